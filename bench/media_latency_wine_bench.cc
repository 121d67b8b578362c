// Latency of a media event under Wine: from a fake session's PlaybackInfoChanged
// raised on another thread to the "smtc.playback" frame read by the UI bridge,
// through the real watcher callback, pending slot, main-thread message and
// channel, in this process. Median and p99 over 1,000 events, in ms. Then the
// time a stop takes while a callback waits for a hung media application and
// the watcher sleeps in a day-long poll period (20 stops).
//   tools/wine-run build/win64/wine build/win64/bin/media_latency_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/bench_clock.h"
#include "capsule/capsule_pipe.h"
#include "feeds/media/media_watcher.h"
#include "runner/flutter_window.h"
#include "tests/support/media_fakes.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace {

constexpr int kEvents = 1000;

kr_test::FakeManager* g_manager = nullptr;
HRESULT WINAPI FakeFactory(HSTRING, REFIID iid, void** factory) {
  return g_manager->QueryInterface(iid, factory);
}

}  // namespace

int main() {
  kr_test::FakeRuntimeLog log;
  auto manager = kr_test::FakeManager::Create(&log);
  auto session = kr_test::FakeSession::Create(&log, L"bench.player");
  manager->Set({session}, session.get());
  session->end_time = 2'000'000;
  session->position = 1'000'000;
  g_manager = manager.get();
  winrt::GetRuntimeProcs().ro_get_activation_factory = &FakeFactory;
  SetCapsuleExecutable(L"C:\\kr_bench_start_no_capsule.exe");

  kr_test::UiBridgeServer bridge;
  ::SetEnvironmentVariableW(L"KR_UI_BRIDGE", bridge.Setting().c_str());
  auto window = std::make_unique<FlutterWindow>(flutter::DartProject(L"data"));
  if (!window->Create(L"kr_media_bench", {10, 10}, {400, 300})) {
    std::printf("the main window could not be created\n");
    return 1;
  }
  ::SetEnvironmentVariableW(L"KR_UI_BRIDGE", nullptr);
  kr_test::BridgeConnection* ui = bridge.WaitForConnection("main");
  if (ui == nullptr) {
    std::printf("the UI bridge did not connect\n");
    return 1;
  }
  window->media_feed.poll.SetPeriod(std::chrono::hours(24));
  StartSmtcListener(window.get());
  kr_test::WaitUntil([&] { return window->media_feed.poll.Waiting() > 0; });

  // The event source measures; this thread runs the window's messages meanwhile.
  std::vector<double> latencies;
  std::atomic<bool> done{false};
  HWND target = window->GetHandle();
  std::thread source([&] {
    for (int i = 0; i < kEvents; ++i) {
      double start = NowMicroseconds();
      session->playback_changed.Raise(session.get());
      if (!ui->WaitForCall("kestrune/smtc", "smtc.playback", 5000)) {
        break;
      }
      latencies.push_back((NowMicroseconds() - start) / 1e3);
    }
    done = true;
    ::PostMessageW(target, WM_NULL, 0, 0);
  });
  while (!done) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      ::DispatchMessageW(&msg);
    }
  }
  source.join();
  StopSmtcListener(window.get());

  std::vector<double> stops;
  for (int i = 0; i < 20; ++i) {
    session->hold = false;
    StartSmtcListener(window.get());
    kr_test::WaitUntil([&] { return window->media_feed.poll.Waiting() > 0; });
    session->hold = true;  // the track read of the next event waits
    std::thread in_flight([&] { session->playback_changed.Raise(session.get()); });
    kr_test::WaitUntil([&] { return session->Held() == 1; });
    double start = NowMicroseconds();
    StopSmtcListener(window.get());
    stops.push_back((NowMicroseconds() - start) / 1e3);
    in_flight.join();
  }
  window.reset();

  if (latencies.size() != kEvents) {
    std::printf("only %zu of %d events arrived\n", latencies.size(), kEvents);
    return 1;
  }
  std::sort(latencies.begin(), latencies.end());
  std::printf("media event to smtc.playback frame (%d events): median %.3f ms, p99 %.3f ms\n",
              kEvents, latencies[kEvents / 2], latencies[kEvents * 99 / 100]);
  std::sort(stops.begin(), stops.end());
  std::printf("stop with a callback in flight (%zu stops): median %.3f ms, max %.3f ms\n",
              stops.size(), stops[stops.size() / 2], stops.back());
  return 0;
}
