// Summoning the card on a 1920 x 1080 desktop at 96 DPI: its place, size,
// foreground and focus, and the messages that must leave it alone.
#include <gtest/gtest.h>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

class ExpandTest : public MainHostTest {
 protected:
  void TearDown() override { Type({Up(VK_SPACE), Up(VK_CONTROL)}); }
};

TEST_F(ExpandTest, CtrlSpaceSummonsTheCardCentredInFrontWithTheViewFocused) {
  StartBehindHelper();
  ASSERT_FALSE(::IsWindowVisible(window_));
  Type({Down(VK_CONTROL), Down(VK_SPACE), Up(VK_SPACE), Up(VK_CONTROL)});
  // The 720 x 530 card, centred.
  ASSERT_TRUE(WaitUntil([&] {
    return ::IsWindowVisible(window_) && ::GetForegroundWindow() == window_ &&
           SameRect(WindowRect(window_), {600, 275, 1320, 805});
  })) << Describe(WindowRect(window_));
  EXPECT_NE(::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
  ASSERT_EQ(views.size(), 1u);
  EXPECT_TRUE(WaitUntil([&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window_, nullptr), &info) &&
           info.hwndFocus == views[0];
  }));
  EXPECT_TRUE(ui_->WaitForCall("kestrune/hotkey", "toggle_capsule"));
}

TEST_F(ExpandTest, FullScreenGuardIgnoresAllButQuit) {
  StartBehindHelper({{L"KR_HOTKEY_IGNORE_FS", L"1"}}, true);
  for (WPARAM id : {1, 2, 9, 10, 11}) {
    ::PostMessageW(window_, WM_HOTKEY, id, 0);
  }
  Drain();
  for (const char* method : {"toggle_capsule", "show_main", "screenshot", "clipboard", "ai"}) {
    EXPECT_EQ(Count(method), 0) << method;
  }
  EXPECT_FALSE(::IsWindowVisible(window_));
  EXPECT_EQ(::GetForegroundWindow(), helper_->window);
}

}  // namespace
}  // namespace kr_test
