// The text-selection trigger's mouse hook on mouse moves, side by side with a
// hook that only calls CallNextHookEx, under Wine, in one run:
//  1. the procedures as Windows calls them, in-process: the trigger's own cost
//     (and, for comparison, that of a button press, which reads the settings);
//  2. moves injected with SendInput while each hook in turn is installed on this
//     thread: the whole round trip an application's move pays.
// Every selection setting is set, so a move that read one would show.
//   tools/wine-run build/win64/wine build/win64/bin/mouse_hook_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/bench_clock.h"
#include "capsule/capsule_pipe.h"
#include "input/selection_hook.h"
#include "runner/flutter_window.h"

namespace {

HHOOK baseline_hook = nullptr;

LRESULT CALLBACK BaselineHookProc(int code, WPARAM wparam, LPARAM lparam) noexcept {
  return ::CallNextHookEx(baseline_hook, code, wparam, lparam);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Medians per event of |rounds| blocks of |per_round| direct calls of each
// procedure with |message|, alternating, so that both see the same machine.
void DirectCalls(const char* name, WPARAM message, int rounds, int per_round) {
  MSLLHOOKSTRUCT event{};
  std::vector<double> real, baseline;
  for (int round = 0; round < rounds; ++round) {
    for (HOOKPROC proc : {MouseHookProc, BaselineHookProc}) {
      const double start = NowMicroseconds();
      for (int i = 0; i < per_round; ++i) {
        event.pt.x = i & 255;
        proc(HC_ACTION, message, reinterpret_cast<LPARAM>(&event));
      }
      (proc == MouseHookProc ? real : baseline).push_back((NowMicroseconds() - start) / per_round);
    }
  }
  const double r = Median(real), b = Median(baseline);
  std::printf(
      "direct call, %d %s each: trigger %.3f us, CallNextHookEx only %.3f us, "
      "ratio %.3f\n",
      rounds * per_round, name, r, b, r / b);
}

// Times each of |moves| SendInput calls, made from another thread while this
// thread, which holds the hook, runs its message loop, into |micros|.
void InjectMoves(int moves, std::vector<double>* micros) {
  std::atomic<bool> done{false};
  const DWORD main_thread = ::GetCurrentThreadId();
  std::thread sender([&] {
    for (int i = 0; i < moves; ++i) {
      INPUT input{};
      input.type = INPUT_MOUSE;
      input.mi.dx = (i & 1) ? 1 : -1;
      input.mi.dwFlags = MOUSEEVENTF_MOVE;
      const double start = NowMicroseconds();
      ::SendInput(1, &input, sizeof(input));
      micros->push_back(NowMicroseconds() - start);
    }
    done = true;
    ::PostThreadMessageW(main_thread, WM_NULL, 0, 0);
  });
  MSG msg;
  while (!done && ::GetMessageW(&msg, nullptr, 0, 0)) {
    ::DispatchMessageW(&msg);
  }
  sender.join();
}

// Alternates short blocks with either hook installed, the order swapped every
// round, and compares the medians of all single moves.
void InjectedRounds(int rounds, int moves) {
  std::vector<double> real, baseline;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      if ((round + turn) % 2 == 0) {
        InjectMoves(moves, &real);  // the trigger's hook, installed with the window
        continue;
      }
      RemoveTextSelectionHook();
      baseline_hook =
          ::SetWindowsHookExW(WH_MOUSE_LL, BaselineHookProc, ::GetModuleHandleW(nullptr), 0);
      InjectMoves(moves, &baseline);
      ::UnhookWindowsHookEx(baseline_hook);
      baseline_hook = nullptr;
      SetUpTextSelection();
    }
  }
  const double r = Median(real), b = Median(baseline);
  std::printf(
      "SendInput move, %d each: trigger %.2f us, CallNextHookEx only %.2f us, "
      "ratio %.3f\n",
      rounds * moves, r, b, r / b);
}

}  // namespace

int main() {
  ::SetEnvironmentVariableW(L"KR_SELECT_ON", L"1");
  ::SetEnvironmentVariableW(L"KR_SELECT_TRIGGER", L"long_press");
  ::SetEnvironmentVariableW(L"KR_SELECT_MOUSE_BUTTON", L"left");
  ::SetEnvironmentVariableW(L"KR_SELECT_LONGPRESS_MS", L"300");
  ::SetEnvironmentVariableW(L"KR_SELECT_BLOCKLIST", L"Editor, Game, Terminal");
  // Started as the capsule, this program would run the bench again.
  SetCapsuleExecutable(L"C:\\kr_bench_starts_no_capsule.exe");
  FlutterWindow window(flutter::DartProject(L"data"));
  if (!window.Create(L"kr_mouse_hook_bench", Win32Window::Point(0, 0),
                     Win32Window::Size(200, 100)) ||
      !mouse_hook) {
    std::fprintf(stderr, "window or mouse hook creation failed\n");
    return 1;
  }
  DirectCalls("moves", WM_MOUSEMOVE, 21, 20000);
  // For comparison, the costliest button event: a long-press press reads the
  // trigger, the button, the blocklist and the foreground title.
  DirectCalls("right presses", WM_RBUTTONDOWN, 7, 2000);
  InjectedRounds(40, 100);
  return 0;
}
