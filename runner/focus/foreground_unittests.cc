// The foreground routine's three levels, steered and seen through the proc table.
#include "runner/focus/foreground.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "runner/win32_procs.h"

namespace {

// The calls made, windows and threads by name, and the scripted answers.
std::string calls;
std::deque<BOOL> set_foreground_answers;
std::deque<HWND> foreground_answers;
HWND card, view, other;
DWORD other_thread;

void Record(const std::string& call) {
  calls += (calls.empty() ? "" : ", ") + call;
}
std::string Name(HWND window) {
  return window == card ? "card" : window == view ? "view" : window == other ? "other" : "null";
}
std::string Thread(DWORD id) {
  return id == ::GetCurrentThreadId() ? "me" : id == other_thread ? "other" : std::to_string(id);
}
template <typename T>
T Next(std::deque<T>& answers) {  // T{} once the script has run out
  T answer = answers.empty() ? T{} : answers.front();
  answers.empty() ? void() : answers.pop_front();
  return answer;
}

class ForceForegroundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Win32Procs& procs = GetWin32Procs();
    procs.set_foreground_window = [](HWND window) {
      Record("set_foreground " + Name(window));
      return Next(set_foreground_answers);
    };
    procs.get_foreground_window = [] {
      Record("get_foreground");
      return Next(foreground_answers);
    };
    procs.attach_thread_input = [](DWORD from, DWORD to, BOOL attach) {
      Record("attach " + Thread(from) + " " + Thread(to) + (attach ? " TRUE" : " FALSE"));
      return TRUE;
    };
    procs.set_focus = [](HWND window) {
      Record("set_focus " + Name(window));
      return HWND{};
    };
    procs.keybd_event = [](BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extra) {
      Record("key " + std::to_string(vk) + " " + std::to_string(scan) + " " +
             std::to_string(flags) + " " + std::to_string(extra));
    };
    card = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, nullptr, nullptr, nullptr,
                             nullptr);
    view =
        ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 9, 9, card, nullptr, nullptr, nullptr);
    other = ::GetDesktopWindow();  // a window of another thread
    other_thread = ::GetWindowThreadProcessId(other, nullptr);
  }
  void TearDown() override {
    GetWin32Procs() = saved_procs_;
    ::DestroyWindow(card);
  }

  const Win32Procs saved_procs_ = GetWin32Procs();
};

TEST_F(ForceForegroundTest, LevelsAreJudgedByTheResultAndInputIsNeverLeftAttached) {
  const std::string level2 =
      "set_foreground card, get_foreground, attach me other TRUE, set_foreground card, "
      "attach me other FALSE, get_foreground";
  const std::string level3 = ", key 18 0 1 0, key 18 0 3 0, set_foreground card";
  const struct {
    const char* name;
    std::deque<BOOL> set_foreground;
    std::deque<HWND> foreground;  // before level 2, and after it
    std::string expected;
  } rows[] = {
      {"level 1", {TRUE}, {}, "set_foreground card, set_focus view"},
      {"level 2: card in front", {FALSE, FALSE}, {other, card}, level2 + ", set_focus view"},
      {"level 2: child in front", {FALSE, TRUE}, {other, view}, level2 + ", set_focus view"},
      {"level 3", {FALSE, TRUE, TRUE}, {other, other}, level2 + level3 + ", set_focus view"},
      {"all failed: focus untouched", {FALSE, FALSE, FALSE}, {other, other}, level2 + level3},
      {"no foreground window: nothing to attach",
       {FALSE, FALSE},
       {nullptr, nullptr},
       "set_foreground card, get_foreground, get_foreground" + level3},
  };
  for (const auto& row : rows) {
    calls.clear();
    set_foreground_answers = row.set_foreground;
    foreground_answers = row.foreground;
    ForceForeground(card);
    EXPECT_EQ(calls, row.expected) << row.name;
  }
}

TEST(ShellDesktop, TheShellsDesktopWindowsAreNoApplication) {
  const auto make = [](const wchar_t* class_name) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = ::DefWindowProcW;
    window_class.lpszClassName = class_name;
    ::RegisterClassW(&window_class);
    return ::CreateWindowExW(0, class_name, L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                             nullptr, nullptr);
  };
  for (auto [class_name, desktop] :
       {std::pair{L"Progman", true}, std::pair{L"WorkerW", true}, std::pair{L"WorkerWindow", false},
        std::pair{L"Game", false}}) {
    HWND window = make(class_name);
    EXPECT_EQ(IsShellDesktopWindow(window), desktop);
    ::DestroyWindow(window);
  }
  EXPECT_EQ(IsShellDesktopWindow(::GetShellWindow()), ::GetShellWindow() != nullptr);
  EXPECT_FALSE(IsShellDesktopWindow(nullptr));
}

}  // namespace
