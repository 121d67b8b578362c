// Latency of a media event under Wine: from a fake session's PlaybackInfoChanged
// raised on another thread to the "smtc.playback" frame read by the UI bridge,
// through the real watcher callback, pending slot, main-thread message and
// channel, in this process. Median and p99 over 1,000 events, in ms. Then the
// time a stop takes while a callback waits for a hung media application and
// the watcher sleeps in a day-long poll period (20 stops).
// The floor takes the same path without the watcher: another thread posts a
// message whose handler sends the same payload on the same channel.
//   tools/wine-run build/win64/wine build/win64/bin/media_latency_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "bench/bench_clock.h"
#include "capsule/capsule_pipe.h"
#include "feeds/media/media_rules.h"
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

FlutterWindow* g_window = nullptr;
LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  if (message == WM_APP) {
    g_window->smtc_channel->InvokeMethod(
        "smtc.playback", std::make_unique<flutter::EncodableValue>(
                             PlaybackPayload("bench track", "bench artist", "playing", 0.5)));
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

// Raises |raise| kEvents times on another thread, each until its frame is
// read, while this thread runs the window's messages; the latencies in ms.
std::vector<double> Measure(kr_test::BridgeConnection* ui, const std::function<void()>& raise) {
  std::vector<double> latencies;
  std::atomic<bool> done{false};
  const DWORD main_thread = ::GetCurrentThreadId();
  std::thread source([&] {
    for (int i = 0; i < kEvents; ++i) {
      double start = NowMicroseconds();
      raise();
      if (!ui->WaitForCall("kestrune/smtc", "smtc.playback", 5000)) {
        break;
      }
      latencies.push_back((NowMicroseconds() - start) / 1e3);
    }
    done = true;
    ::PostThreadMessageW(main_thread, WM_NULL, 0, 0);
  });
  while (!done) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      ::DispatchMessageW(&msg);
    }
  }
  source.join();
  std::sort(latencies.begin(), latencies.end());
  return latencies;
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

  std::vector<double> latencies =
      Measure(ui, [&] { session->playback_changed.Raise(session.get()); });
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

  g_window = window.get();
  WNDCLASSW floor_class{};
  floor_class.lpfnWndProc = FloorProc;
  floor_class.hInstance = ::GetModuleHandleW(nullptr);
  floor_class.lpszClassName = L"KR_MEDIA_FLOOR";
  ::RegisterClassW(&floor_class);
  HWND floor_window = ::CreateWindowExW(0, L"KR_MEDIA_FLOOR", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, floor_class.hInstance, nullptr);
  std::vector<double> floor = Measure(ui, [&] { ::PostMessageW(floor_window, WM_APP, 0, 0); });
  ::DestroyWindow(floor_window);
  window.reset();

  if (latencies.size() != kEvents || floor.size() != kEvents) {
    std::printf("only %zu and %zu of %d events arrived\n", latencies.size(), floor.size(), kEvents);
    return 1;
  }
  std::printf("media event to smtc.playback frame (%d events): median %.3f ms, p99 %.3f ms\n",
              kEvents, latencies[kEvents / 2], latencies[kEvents * 99 / 100]);
  std::printf(
      "floor, a posted message sending the same frame: median %.3f ms, p99 %.3f ms; "
      "ratio of the medians %.2f\n",
      floor[kEvents / 2], floor[kEvents * 99 / 100], latencies[kEvents / 2] / floor[kEvents / 2]);
  std::sort(stops.begin(), stops.end());
  std::printf("stop with a callback in flight (%zu stops): median %.3f ms, max %.3f ms\n",
              stops.size(), stops[stops.size() / 2], stops.back());
  return 0;
}
