// Summoning the card: its place, size, foreground and focus, and the
// messages that must leave it alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/helper_window.h"
#include "tests/support/host_process.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/log_reader.h"
#include "tests/support/main_host_test.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"
#include "tests/support/window_rects.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr char kHotkeyChannel[] = "kestrune/hotkey";
constexpr UINT kActivateMsg = WM_USER + 200;
constexpr UINT kCapsuleExpandMsg = WM_USER + 400;

// Where a card of |width| x |height| belongs at 96 dpi: centred in the cursor's
// work area, or a quarter of the free height down when lower than 200 px.
RECT ExpectedCard(LONG width = 720, LONG height = 530) {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &info);
  const RECT& work = info.rcWork;
  LONG x = work.left + (work.right - work.left - width) / 2;
  LONG y = work.top + (work.bottom - work.top - height) / (height < 200 ? 4 : 2);
  return RECT{x, y, x + width, y + height};
}

// The keyboard focus of |window|'s thread.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) {
    return nullptr;
  }
  return info.hwndFocus;
}

class ExpandTest : public MainHostTest {
 protected:
  void TearDown() override { Type({Up(VK_SPACE), Up(VK_CONTROL)}); }

  HWND View() const {
    std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
    return views.size() == 1 ? views.front() : nullptr;
  }

  bool SetWindowSize(double width, double height) {
    EncodableMap map;
    map[EncodableValue("w")] = EncodableValue(width);
    map[EncodableValue("h")] = EncodableValue(height);
    return ui_->Call("kestrune/window", "setWindowSize", EncodableValue(map)).kind ==
           CallResult::Kind::kSuccess;
  }

  // Waits until the card is shown in place and in front.
  bool WaitForCard(RECT expected = ExpectedCard()) {
    return WaitUntil([&] {
      return ::IsWindowVisible(window_) && ::GetForegroundWindow() == window_ &&
             SameRect(WindowRect(window_), expected);
    });
  }

  // Starts the helper once the capsule process has come up (it activates its
  // window once as it starts) and waits until the helper keeps the foreground.
  void StartHelper(const wchar_t* title, bool fullscreen = false) {
    ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
    helper_ = StartHelperWindow(title, fullscreen);
    ASSERT_TRUE(helper_);
    ULONGLONG since = ::GetTickCount64();
    ASSERT_TRUE(WaitUntil([&] {
      if (::GetForegroundWindow() != helper_->window) {
        since = ::GetTickCount64();
      }
      return ::GetTickCount64() - since >= 500;
    }));
  }

  std::unique_ptr<HelperWindow> helper_;
};

TEST_F(ExpandTest, CtrlSpaceSummonsTheCardCentredInFrontWithTheViewFocused) {
  StartMainHost();
  StartHelper(L"kr expand helper");
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_FALSE(::IsWindowVisible(window_));

  Type({Down(VK_CONTROL), Down(VK_SPACE), Up(VK_SPACE), Up(VK_CONTROL)});
  ASSERT_TRUE(WaitForCard()) << Describe(WindowRect(window_)) << " expected "
                             << Describe(ExpectedCard())
                             << " in front: " << WindowClass(::GetForegroundWindow());
  EXPECT_NE(::GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  HWND view = View();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(window_) == view; }));
  EXPECT_TRUE(WaitUntil([&] { return Count("toggle_capsule") >= 1; }));
  EXPECT_TRUE(log_->WaitForMessage("[KR] WM_HOTKEY: id=1"));
  EXPECT_TRUE(log_->WaitForMessage("[KR] WM_HOTKEY expand: dpi=96 scale=1.00 pw=720 ph=530"));
  EXPECT_TRUE(log_->WaitForMessage("[KR] WM_TIMER delayed check: rect="));
}

TEST_F(ExpandTest, FocusRetriesStopAfterThree) {
  StartMainHost();
  ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard());
  ASSERT_TRUE(log_->WaitForMessage("[KR] WM_TIMER delayed check: rect="));
  // The retries come about 500, 700 and 900 ms after the expand; leave room for a fourth.
  ::Sleep(1500);
  size_t focus_lines = log_->CountMessages("[KR] FocusFlutterView: ");
  size_t from_foreground = log_->CountMessages("[KR] ForceForeground: level 1 OK") +
                           log_->CountMessages("[KR] ForceForeground: level 2 OK") +
                           log_->CountMessages("[KR] ForceForeground: level 3 OK");
  EXPECT_EQ(focus_lines - from_foreground, 3u);
}

TEST_F(ExpandTest, FullScreenGuardIgnoresAllButQuit) {
  StartMainHost({{L"KR_HOTKEY_IGNORE_FS", L"1"}});
  StartHelper(L"kr full-screen helper", true);
  ASSERT_FALSE(HasFatalFailure());
  for (WPARAM id : {1, 2, 9, 10, 11, 3}) {
    ::PostMessageW(window_, WM_HOTKEY, id, 0);
  }
  ASSERT_TRUE(ui_->WaitForCall(kHotkeyChannel, "quit").has_value());
  EXPECT_EQ(log_->CountMessages("[KR] WM_HOTKEY: foreground is fullscreen, ignoring"), 5u);
  for (const char* method : {"toggle_capsule", "show_main", "screenshot", "clipboard", "ai"}) {
    EXPECT_EQ(Count(method), 0) << method;
  }
  EXPECT_FALSE(::IsWindowVisible(window_));
  EXPECT_EQ(::GetForegroundWindow(), helper_->window);
}

TEST_F(ExpandTest, FullScreenGuardNeedsALowerCaseSwitch) {
  StartMainHost({{L"KR_HOTKEY_IGNORE_FS", L"True"}});
  StartHelper(L"kr full-screen helper", true);
  ASSERT_FALSE(HasFatalFailure());
  ::PostMessageW(window_, WM_HOTKEY, 9, 0);
  ASSERT_TRUE(ui_->WaitForCall(kHotkeyChannel, "screenshot").has_value());
  EXPECT_EQ(log_->CountMessages("ignoring"), 0u);
}

TEST_F(ExpandTest, CapsuleExpandWhileExpandedDoesNothing) {
  StartMainHost();
  ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard());
  ASSERT_TRUE(WaitUntil([&] { return Count("toggle_capsule") == 1; }));
  RECT before = WindowRect(window_);

  ::PostMessageW(window_, kCapsuleExpandMsg, 0, 0);
  ASSERT_TRUE(log_->WaitForMessage("[KR] kCapsuleExpandMsg received"));
  // A message posted after it is handled after it.
  ::PostMessageW(window_, WM_HOTKEY, 3, 0);
  ASSERT_TRUE(ui_->WaitForCall(kHotkeyChannel, "quit").has_value());
  EXPECT_EQ(Count("toggle_capsule"), 1);
  EXPECT_TRUE(SameRect(WindowRect(window_), before));
}

TEST_F(ExpandTest, CapsuleExpandOfACollapsedCardPlacesItAndToggles) {
  StartMainHost();
  StartHelper(L"kr expand helper");
  ASSERT_FALSE(HasFatalFailure());
  ::PostMessageW(window_, kCapsuleExpandMsg, 0, 0);
  ASSERT_TRUE(WaitForCard());
  EXPECT_TRUE(ui_->WaitForCall(kHotkeyChannel, "toggle_capsule").has_value());
}

TEST_F(ExpandTest, ActivateMessagePlacesTheCardWithoutAnEvent) {
  StartMainHost();
  StartHelper(L"kr expand helper");
  ASSERT_FALSE(HasFatalFailure());
  ::PostMessageW(window_, kActivateMsg, 0, 0);
  ASSERT_TRUE(WaitForCard());
  EXPECT_TRUE(log_->WaitForMessage("[KR] ENUM mon: "));
  EXPECT_TRUE(log_->WaitForMessage("[KR] kActivate primary work="));
  ::PostMessageW(window_, WM_HOTKEY, 3, 0);
  ASSERT_TRUE(ui_->WaitForCall(kHotkeyChannel, "quit").has_value());
  EXPECT_EQ(Count("toggle_capsule"), 0);
}

TEST_F(ExpandTest, KeptSizeIsUsedUntilItShrinksBelowFiftyPixels) {
  StartMainHost();
  ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));

  // A size the interface set survives the next summon.
  ASSERT_TRUE(SetWindowSize(500, 400));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard(ExpectedCard(500, 400)))
      << Describe(WindowRect(window_)) << " expected " << Describe(ExpectedCard(500, 400));
  EXPECT_TRUE(log_->WaitForMessage("[KR] WM_HOTKEY expand: dpi=96 scale=1.00 pw=500 ph=400"));

  // Lower than 200 px: still kept, placed a quarter of the free height down.
  ASSERT_TRUE(SetWindowSize(300, 120));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard(ExpectedCard(300, 120)))
      << Describe(WindowRect(window_)) << " expected " << Describe(ExpectedCard(300, 120));

  // Below 50 px on one side: the default card again.
  ASSERT_TRUE(SetWindowSize(400, 40));
  ASSERT_TRUE(WaitUntil([&] {
    RECT rect = WindowRect(window_);
    return rect.right - rect.left == 400 && rect.bottom - rect.top == 40;
  }));
  ::PostMessageW(window_, WM_HOTKEY, 1, 0);
  ASSERT_TRUE(WaitForCard()) << Describe(WindowRect(window_)) << " expected "
                             << Describe(ExpectedCard());
  EXPECT_TRUE(log_->WaitForMessage("[KR] WM_HOTKEY expand: dpi=96 scale=1.00 pw=720 ph=530"));
}

}  // namespace
}  // namespace kr_test
