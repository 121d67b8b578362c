// A second main-role start hands over to the first and leaves.
#include <gtest/gtest.h>

#include "runner/unique_resource.h"
#include "tests/support/host_process.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

HWND StartedMainWindow(ChildProcess* host) {
  HWND window = WaitForHostWindow(host->pid());
  if (window == nullptr) {
    return nullptr;
  }
  WaitUntil([&] { return !ChildWindowsOfClass(window, L"FLUTTERVIEW").empty(); });
  return MessageLoopAnswers(window) ? window : nullptr;
}

// Runs a second main instance to its end; true if it never showed a window of its own.
bool SecondInstanceExitsWithoutWindow(DWORD* exit_code) {
  auto second = StartHost({});
  if (!second) {
    return false;
  }
  bool had_window = false;
  std::optional<DWORD> code;
  WaitUntil(
      [&] {
        had_window = had_window || !HostWindows(second->pid()).empty();
        code = second->WaitForExit(0);
        return code.has_value();
      },
      15000);
  if (!code) {
    return false;
  }
  *exit_code = *code;
  return !had_window;
}

TEST(SingleInstance, SecondStartRestoresMinimisedFirstAndExitsWithOne) {
  auto first = StartHost({});
  ASSERT_TRUE(first);
  HWND window = StartedMainWindow(first.get());
  ASSERT_NE(window, nullptr);
  ::ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(window) != FALSE; }));

  DWORD exit_code = 0;
  EXPECT_TRUE(SecondInstanceExitsWithoutWindow(&exit_code));
  EXPECT_EQ(exit_code, 1u);

  EXPECT_TRUE(WaitUntil([&] { return ::IsIconic(window) == FALSE; }));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }));
  EXPECT_TRUE(first->running());
  EXPECT_EQ(HostWindows(first->pid()).size(), 1u);
}

TEST(SingleInstance, SecondStartBringsHiddenFirstToFrontAndExitsWithOne) {
  auto first = StartHost({});
  ASSERT_TRUE(first);
  HWND window = StartedMainWindow(first.get());
  ASSERT_NE(window, nullptr);

  DWORD exit_code = 0;
  EXPECT_TRUE(SecondInstanceExitsWithoutWindow(&exit_code));
  EXPECT_EQ(exit_code, 1u);
  EXPECT_TRUE(first->running());
}

TEST(SingleInstance, HeldMutexAloneRefusesTheStart) {
  // Another main instance that has no window (yet) still holds the mutex.
  UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, L"Global\\KestruneSingleInstanceMutex"));
  ASSERT_TRUE(mutex.is_valid());
  DWORD exit_code = 0;
  EXPECT_TRUE(SecondInstanceExitsWithoutWindow(&exit_code));
  EXPECT_EQ(exit_code, 1u);
}

TEST(SingleInstance, MainStartsAgainAfterTheFirstEnded) {
  {
    auto first = StartHost({});
    ASSERT_TRUE(first);
    HWND window = StartedMainWindow(first.get());
    ASSERT_NE(window, nullptr);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first->WaitForExit(10000).has_value());
  }
  auto again = StartHost({});
  ASSERT_TRUE(again);
  EXPECT_NE(StartedMainWindow(again.get()), nullptr);
}

}  // namespace
}  // namespace kr_test
