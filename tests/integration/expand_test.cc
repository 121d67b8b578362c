// Summoning the card on a 1920 x 1080 desktop at 96 DPI: its place, size,
// foreground and focus, and the messages that must leave it alone.
#include <gtest/gtest.h>

#include "tests/support/helper_window.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

constexpr UINT kActivateMsg = WM_USER + 200;
constexpr UINT kCapsuleExpandMsg = WM_USER + 400;
// The 720 x 530 card, centred.
constexpr RECT kCard{600, 275, 1320, 805};

class ExpandTest : public MainHostTest {
 protected:
  void TearDown() override { Type({Up(VK_SPACE), Up(VK_CONTROL)}); }

  // Starts the host and, once the capsule has come up (it activates its window
  // once as it starts), another application that keeps the foreground.
  void Start(const EnvironmentChanges& environment = {}, bool fullscreen = false) {
    StartMainHost(environment);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
    helper_ = StartHelperWindow(L"kr expand helper", fullscreen);
    ASSERT_TRUE(helper_);
    ASSERT_TRUE(StaysInFront(helper_->window));
  }

  // Waits until the card is shown at |expected| and in front.
  bool WaitForCard(RECT expected = kCard) {
    return WaitUntil([&] {
      return ::IsWindowVisible(window_) && ::GetForegroundWindow() == window_ &&
             SameRect(WindowRect(window_), expected);
    });
  }

  std::unique_ptr<HelperWindow> helper_;
};

TEST_F(ExpandTest, CtrlSpaceSummonsTheCardCentredInFrontWithTheViewFocused) {
  Start();
  ASSERT_FALSE(::IsWindowVisible(window_));
  Type({Down(VK_CONTROL), Down(VK_SPACE), Up(VK_SPACE), Up(VK_CONTROL)});
  ASSERT_TRUE(WaitForCard()) << Describe(WindowRect(window_));
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
  Start({{L"KR_HOTKEY_IGNORE_FS", L"1"}}, true);
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

TEST_F(ExpandTest, FullScreenGuardNeedsALowerCaseSwitch) {
  Start({{L"KR_HOTKEY_IGNORE_FS", L"True"}}, true);
  ::PostMessageW(window_, WM_HOTKEY, 9, 0);
  EXPECT_TRUE(ui_->WaitForCall("kestrune/hotkey", "screenshot"));
}

// kActivateMsg places the card and sends nothing (the hook sent the toggle);
// the capsule's expand does nothing to an expanded card, and places and
// toggles a collapsed one.
TEST_F(ExpandTest, PrivateMessagesExpandTheCard) {
  Start();
  ::PostMessageW(window_, kActivateMsg, 0, 0);
  ASSERT_TRUE(WaitForCard());
  ::PostMessageW(window_, kCapsuleExpandMsg, 0, 0);
  Drain();
  EXPECT_EQ(Count("toggle_capsule"), 0);
  EXPECT_TRUE(SameRect(WindowRect(window_), kCard));

  ASSERT_TRUE(SetCardExpanded(false));
  ASSERT_TRUE(::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
  ASSERT_TRUE(helper_->BringToFront());
  ::PostMessageW(window_, kCapsuleExpandMsg, 0, 0);
  ASSERT_TRUE(WaitForCard());
  EXPECT_TRUE(ui_->WaitForCall("kestrune/hotkey", "toggle_capsule"));
}

TEST_F(ExpandTest, KeptSizeIsUsedUntilItShrinksBelowFiftyPixels) {
  Start();
  ASSERT_TRUE(CallWindow("setWindowSize", Args({{"w", 500.0}, {"h", 400.0}})));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard({710, 340, 1210, 740})) << Describe(WindowRect(window_));
  // Lower than 200 px: a quarter of the free height down.
  ASSERT_TRUE(CallWindow("setWindowSize", Args({{"w", 300.0}, {"h", 120.0}})));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard({810, 240, 1110, 360})) << Describe(WindowRect(window_));
  // Below 50 px on one side: the default card again.
  ASSERT_TRUE(CallWindow("setWindowSize", Args({{"w", 400.0}, {"h", 40.0}})));
  ASSERT_TRUE(WaitUntil([&] { return SameRect(WindowRect(window_), {810, 240, 1210, 280}); }));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard()) << Describe(WindowRect(window_));
}

}  // namespace
}  // namespace kr_test
