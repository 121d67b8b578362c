// Summon latency under Wine, measured from outside: SendInput of the Space
// key-down completing Ctrl+Space until the window is visible, 720 x 530 and in the foreground; 50
// summons of the host, and of a minimal program doing only that, side by side.
//   tools/wine-run build/win64/wine build/win64/bin/summon_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/bench_clock.h"
#include "tests/support/helper_window.h"
#include "tests/support/host_process.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace {

using kr_test::Down;
using kr_test::Up;

double Now() {
  return NowMicroseconds() / 1e3;
}

bool Summoned(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return ::IsWindowVisible(window) && ::GetForegroundWindow() == window &&
         rect.right - rect.left == 720 && rect.bottom - rect.top == 530;
}

// Summons |window| 50 times, putting it away with |dismiss| in between.
std::vector<double> Measure(HWND window,
                            kr_test::HelperWindow& other,
                            const std::function<void()>& dismiss) {
  std::vector<double> times;
  for (int i = 0; i < 50; ++i) {
    dismiss();
    other.BringToFront();
    ::Sleep(50);
    kr_test::Type({Down(VK_CONTROL)});
    // The chord completes with the Space key-down: the clock starts there.
    INPUT space{};
    space.type = INPUT_KEYBOARD;
    space.ki.wVk = VK_SPACE;
    double start = Now();
    ::SendInput(1, &space, sizeof(space));
    bool done = false;
    while (Now() - start < 5000 && !(done = Summoned(window))) {
      ::Sleep(0);
    }
    double elapsed = Now() - start;
    kr_test::Type({Up(VK_SPACE), Up(VK_CONTROL)});
    if (!done) {
      std::fprintf(stderr, "summon %d did not complete\n", i);
      continue;
    }
    times.push_back(elapsed);
  }
  std::sort(times.begin(), times.end());
  return times;
}

void Report(const char* name, const std::vector<double>& times) {
  if (times.empty()) {
    std::printf("%s: no summon completed\n", name);
    return;
  }
  std::printf("%s: %zu summons, median %.1f ms, worst %.1f ms\n", name, times.size(),
              times[times.size() / 2], times.back());
}

}  // namespace

int main() {
  // Keystrokes are paced by Type(); the same pacing applies to both programs.
  auto other = kr_test::StartHelperWindow(L"kr summon bench: someone else");
  if (!other) {
    return 1;
  }

  std::vector<double> floor;
  {
    auto program =
        kr_test::ChildProcess::Start(kr_test::ProgramFolder() + L"hotkey_floor.exe", {}, {});
    HWND window = nullptr;
    kr_test::WaitUntil([&] { return (window = ::FindWindowW(L"KR_SUMMON_FLOOR", nullptr)); });
    if (window == nullptr) {
      return 1;
    }
    floor = Measure(window, *other, [&] { ::SendMessageW(window, WM_APP, 0, 0); });
  }

  std::vector<double> host_times;
  {
    kr_test::UiBridgeServer bridge;
    auto host = kr_test::StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}});
    kr_test::BridgeConnection* ui = bridge.WaitForConnection("main");
    HWND window = host ? kr_test::WaitForHostWindow(host->pid()) : nullptr;
    if (ui == nullptr || window == nullptr) {
      return 1;
    }
    ::Sleep(1500);  // let the capsule process settle
    flutter::EncodableMap collapsed{
        {flutter::EncodableValue("expanded"), flutter::EncodableValue(false)}};
    host_times = Measure(window, *other, [&] {
      ui->Call("kestrune/hotkey", "set_card_expanded", flutter::EncodableValue(collapsed));
      ::ShowWindow(window, SW_HIDE);
    });
  }
  Report("floor (minimal WM_HOTKEY program)", floor);
  Report("host", host_times);
  if (!floor.empty() && !host_times.empty()) {
    std::printf("host median / floor median: %.2f\n",
                host_times[host_times.size() / 2] / floor[floor.size() / 2]);
  }
  return 0;
}
