// Another top-level window of the host's own process in front (here the tray
// menu's owner) is no focus loss: the expanded card stays.
#include <gtest/gtest.h>

#include <future>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

class OwnWindowFocusTest : public MainHostTest {};

TEST_F(OwnWindowFocusTest, TheHostsOwnTopLevelWindowInFrontDoesNotCollapse) {
  StartMainHost();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
  EncodableMap blur_hide{{EncodableValue("enabled"), EncodableValue(true)}};
  ASSERT_EQ(ui_->Call("kestrune/window", "setBlurHide", EncodableValue(blur_hide)).kind,
            CallResult::Kind::kSuccess);
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }));
  ASSERT_TRUE(SetCardExpanded(true));
  ASSERT_TRUE(log_->WaitForMessage("[KR] BLUR_POLL: gained focus"));
  ::Sleep(1600);  // past the 1500 ms guard of the summons

  std::future<CallResult> menu = std::async(std::launch::async, [this] {
    return ui_->Call("kestrune/window", "showTrayMenu", EncodableValue(), 15000);
  });
  HWND owner = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    owner = ::FindWindowW(L"KestruneTrayMenu", nullptr);
    HWND popup = ::FindWindowW(L"#32768", nullptr);
    return owner != nullptr && ::GetForegroundWindow() == owner && popup != nullptr &&
           ::IsWindowVisible(popup);
  }));
  ::Sleep(1000);  // five passes of the focus poll with the owner in front
  ASSERT_TRUE(MessageLoopAnswers(window_));
  EXPECT_EQ(Count("esc_collapse"), 0);
  // Esc closes the menu (and, as always with the card up, collapses it).
  Type({Down(VK_ESCAPE), Up(VK_ESCAPE)});
  ASSERT_EQ(menu.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
}  // namespace kr_test
