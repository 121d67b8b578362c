// The capsule role: a shown, non-activating popup bar; any number may run.
#include <gtest/gtest.h>

#include "runner/unique_resource.h"
#include "tests/support/host_process.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

bool MutexExists() {
  UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\KestruneSingleInstanceMutex"));
  return mutex.is_valid();
}

// Waits until the entry point has styled and shown the window.
HWND WaitForCapsuleWindow(DWORD pid) {
  HWND window = WaitForHostWindow(pid);
  if (window == nullptr) {
    return nullptr;
  }
  WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; });
  return window;
}

void ExpectCapsuleWindow(const wchar_t* capsule_value) {
  auto capsule = StartHost({{L"KESTRUNE_CAPSULE", std::wstring(capsule_value)}});
  ASSERT_TRUE(capsule);
  HWND window = WaitForCapsuleWindow(capsule->pid());
  ASSERT_NE(window, nullptr);

  EXPECT_EQ(WindowTitle(window), L"Kestrune_Capsule");
  EXPECT_TRUE(::IsWindowVisible(window));
  LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  LONG_PTR ex_style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
  EXPECT_NE(style & WS_POPUP, 0);
  EXPECT_NE(ex_style & WS_EX_NOACTIVATE, 0);
  EXPECT_NE(ex_style & WS_EX_TOPMOST, 0);
  EXPECT_EQ(style & 0xCF0000, 0);
  EXPECT_NE(::GetForegroundWindow(), window);
  RECT rect;
  ASSERT_TRUE(::GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right - rect.left, 400);
  EXPECT_EQ(rect.bottom - rect.top, 64);
  EXPECT_TRUE(MessageLoopAnswers(window));
  EXPECT_FALSE(MutexExists());
}

// Any value selects the capsule role, the empty one included.
TEST(CapsuleRole, EmptyValueSelectsCapsule) {
  ExpectCapsuleWindow(L"");
}
TEST(CapsuleRole, ZeroSelectsCapsule) {
  ExpectCapsuleWindow(L"0");
}
TEST(CapsuleRole, OneSelectsCapsule) {
  ExpectCapsuleWindow(L"1");
}

TEST(CapsuleRole, TwoCapsulesRunSideBySide) {
  auto first = StartHost({{L"KESTRUNE_CAPSULE", L"1"}});
  auto second = StartHost({{L"KESTRUNE_CAPSULE", L"1"}});
  ASSERT_TRUE(first && second);
  HWND first_window = WaitForCapsuleWindow(first->pid());
  HWND second_window = WaitForCapsuleWindow(second->pid());
  ASSERT_NE(first_window, nullptr);
  ASSERT_NE(second_window, nullptr);
  EXPECT_NE(first_window, second_window);
  EXPECT_TRUE(MessageLoopAnswers(first_window));
  EXPECT_TRUE(MessageLoopAnswers(second_window));
  EXPECT_TRUE(first->running());
  EXPECT_TRUE(second->running());
}

TEST(CapsuleRole, RunsBesideAMainInstance) {
  auto main = StartHost({});
  ASSERT_TRUE(main);
  ASSERT_NE(WaitForHostWindow(main->pid()), nullptr);
  ASSERT_TRUE(WaitUntil(MutexExists));
  auto capsule = StartHost({{L"KESTRUNE_CAPSULE", L"1"}});
  ASSERT_TRUE(capsule);
  EXPECT_NE(WaitForCapsuleWindow(capsule->pid()), nullptr);
  EXPECT_TRUE(capsule->running());
}

}  // namespace
}  // namespace kr_test
