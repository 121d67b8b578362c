// Capsule command latency and throughput under Wine, end to end: the bench
// plays the main interface (UI bridge) and the capsule's interface (pipe
// client) around a real host process.
//   tools/wine-run build/win64/wine build/win64/bin/capsule_pipe_wine_bench.exe
// Latency: "sendCapsuleCommand" call from the interface until the capsule has
// read the whole frame (this bounds PipeSend-to-frame from above), 1000 commands
// of 200 bytes, one at a time. Throughput: 1 KiB commands sent back to back.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "embedder/bridge_protocol.h"
#include <flutter/standard_method_codec.h>
#include "tests/support/host_process.h"
#include "tests/support/pipe_client.h"
#include "tests/support/ui_bridge_server.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

double Now() {
  return NowMicroseconds() / 1e3;
}

// A "sendCapsuleCommand" call for which no answer is awaited.
std::vector<uint8_t> SendCommandFrame(const std::string& json) {
  flutter::MethodCall<EncodableValue> call(
      "sendCapsuleCommand", std::make_unique<EncodableValue>(
                                EncodableMap{{EncodableValue("json"), EncodableValue(json)}}));
  bridge::Frame frame;
  frame.kind = bridge::FrameKind::kMessage;
  frame.channel = "kestrune/window";
  frame.data = *flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
  return bridge::EncodeFrame(frame);
}

std::string Command(size_t size, int index) {
  std::string json = R"({"cmd":"bench","i":)" + std::to_string(index) + R"(,"pad":")";
  json += std::string(size - json.size() - 2, 'p') + "\"}";
  return json;
}

}  // namespace

int main() {
  kr_test::UiBridgeServer bridge;
  auto host = kr_test::StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}});
  kr_test::BridgeConnection* ui = host ? bridge.WaitForConnection("main") : nullptr;
  kr_test::PipeClient capsule;
  if (ui == nullptr || !capsule.Connect()) {
    std::fprintf(stderr, "host did not start\n");
    return 1;
  }

  const int kLatencyCommands = 1000;
  std::vector<double> latencies;
  for (int i = 0; i < kLatencyCommands; ++i) {
    std::string json = Command(200, i);
    double start = Now();
    ui->SendRaw(SendCommandFrame(json));
    std::optional<std::string> frame = capsule.ReadFrame(5000);
    double end = Now();
    if (!frame || *frame != json) {
      std::fprintf(stderr, "command %d lost\n", i);
      return 1;
    }
    latencies.push_back(end - start);
  }
  // The interface's own round trip through the bridge, side by side.
  std::vector<double> round_trips;
  for (int i = 0; i < kLatencyCommands; ++i) {
    double start = Now();
    ui->Call("kr_embedder/introspect", "echo", EncodableValue(Command(200, i)));
    round_trips.push_back(Now() - start);
  }
  std::sort(round_trips.begin(), round_trips.end());
  std::printf("bridge call round trip alone, %d x 200 B: median %.3f ms, p99 %.3f ms\n",
              kLatencyCommands, round_trips[kLatencyCommands / 2],
              round_trips[kLatencyCommands * 99 / 100]);
  std::sort(latencies.begin(), latencies.end());
  std::printf("capsule command latency, %d x 200 B: median %.3f ms, p99 %.3f ms\n",
              kLatencyCommands, latencies[kLatencyCommands / 2],
              latencies[kLatencyCommands * 99 / 100]);

  const int kBurst = 2000;
  std::vector<uint8_t> burst;
  std::vector<std::string> expected;
  for (int i = 0; i < kBurst; ++i) {
    expected.push_back(Command(1024, i));
    std::vector<uint8_t> frame = SendCommandFrame(expected.back());
    burst.insert(burst.end(), frame.begin(), frame.end());
  }
  double start = Now();
  ui->SendRaw(burst);
  for (int i = 0; i < kBurst; ++i) {
    std::optional<std::string> frame = capsule.ReadFrame(10000);
    if (!frame || *frame != expected[i]) {
      std::fprintf(stderr, "burst command %d lost or out of order\n", i);
      return 1;
    }
  }
  double seconds = (Now() - start) / 1e3;
  std::printf("capsule throughput, %d x 1 KiB back to back: %.0f frames/s\n", kBurst,
              kBurst / seconds);
  return 0;
}
