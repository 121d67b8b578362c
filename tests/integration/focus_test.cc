// Collapse on focus loss: the card against another application's window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/helper_window.h"
#include "tests/support/log_reader.h"
#include "tests/support/main_host_test.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr char kHotkeyChannel[] = "kestrune/hotkey";
constexpr char kWindowChannel[] = "kestrune/window";

class FocusTest : public MainHostTest {
 protected:
  void SetUp() override {
    StartMainHost(HostEnvironment());
    if (HasFatalFailure()) {
      return;
    }
    // The capsule process activates its window once as it starts; let that
    // pass before the helper takes the foreground.
    ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
    helper_ = StartHelperWindow(L"kr focus helper");
    ASSERT_TRUE(helper_);
    ASSERT_TRUE(StaysInFront(helper_->window));
  }

  virtual EnvironmentChanges HostEnvironment() const { return {}; }

  // True once |window| has held the foreground for a while, as late focus
  // events of the window system have then arrived.
  static bool StaysInFront(HWND window) {
    ULONGLONG since = ::GetTickCount64();
    return WaitUntil([&] {
      if (::GetForegroundWindow() != window) {
        since = ::GetTickCount64();
      }
      return ::GetTickCount64() - since >= 500;
    });
  }

  // A window method with one named argument; false when the host lacks it.
  bool CallWindow(const char* method, const char* key, EncodableValue value) {
    EncodableMap map;
    map[EncodableValue(key)] = std::move(value);
    return ui_->Call(kWindowChannel, method, EncodableValue(map)).kind ==
           CallResult::Kind::kSuccess;
  }

  // Summons the card as Ctrl+Space does, and waits until it is in front.
  bool Summon() {
    int toggles = Count("toggle_capsule");
    ::PostMessageW(window_, WM_HOTKEY, 1, 0);
    return WaitUntil([&] { return ::GetForegroundWindow() == window_; }) &&
           WaitUntil([&] { return Count("toggle_capsule") > toggles; });
  }

  // Waits out the focus retries that follow a summons (at most 900 ms).
  void LetRetriesEnd() { ::Sleep(1200); }

  // Keeps watching long enough for the polling thread to act more than once.
  static void WatchPolls() { ::Sleep(1500); }

  std::unique_ptr<HelperWindow> helper_;
};

TEST_F(FocusTest, LossPastTheGuardCollapsesOnceThoughBothProceduresSeeIt) {
  ASSERT_TRUE(CallWindow("setBlurHide", "enabled", EncodableValue(true)));
  ASSERT_TRUE(Summon());
  LetRetriesEnd();
  ASSERT_TRUE(log_->WaitForMessage("[KR] BLUR_POLL: gained focus"));
  // Past the expand's grace period.
  ASSERT_TRUE(CallWindow("setBlurGuard", "ms", EncodableValue(0)));
  ASSERT_TRUE(helper_->BringToFront());
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
  // Whichever saw the loss first took the one collapse: normally the subclass
  // procedure, or the polling thread when its pass came before the message.
  EXPECT_EQ(log_->CountMessages("dispatching esc_collapse"), 1u);
  EXPECT_EQ(log_->CountMessages("[KR] WM_ACTIVATE MessageHandler: dispatching"), 0u);
  EXPECT_EQ(log_->CountMessages("[KR] BLUR_POLL: retrying"), 0u);
  // Both procedures judged the same loss.
  EXPECT_EQ(log_->CountMessages("[KR] WM_ACTIVATE: LOST focus (no grace)"), 2u);
}

TEST_F(FocusTest, LossInGraceCollapsesOnceFromThePollAfterTheGuard) {
  ASSERT_TRUE(CallWindow("setBlurHide", "enabled", EncodableValue(true)));
  ASSERT_TRUE(Summon());
  LetRetriesEnd();
  ASSERT_TRUE(log_->WaitForMessage("[KR] BLUR_POLL: gained focus"));
  // A grace period that outlasts the switch by far.
  ASSERT_TRUE(CallWindow("setBlurGuard", "ms", EncodableValue(1500)));
  ASSERT_TRUE(helper_->BringToFront());
  ASSERT_TRUE(log_->WaitForMessage("[KR] WM_ACTIVATE: LOST focus (in grace)"));
  EXPECT_EQ(Count("esc_collapse"), 0);
  ASSERT_TRUE(log_->WaitForMessage("[KR] BLUR_POLL: lost focus (in grace)"));
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
  EXPECT_EQ(log_->CountMessages("[KR] BLUR_POLL: retrying esc_collapse (dispatch lost earlier)"),
            1u);
}

TEST_F(FocusTest, SecondLossWithoutAGainDoesNotCollapseAgain) {
  ASSERT_TRUE(CallWindow("setBlurHide", "enabled", EncodableValue(true)));
  ASSERT_TRUE(Summon());
  LetRetriesEnd();
  ASSERT_TRUE(CallWindow("setBlurGuard", "ms", EncodableValue(0)));
  ASSERT_TRUE(helper_->BringToFront());
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  // Another loss arrives while the first collapse stands, with no gain between.
  // (Only WM_ACTIVATEAPP is repeated: a posted WM_ACTIVATE would make the base
  // window class focus the view, which activates the card again.)
  size_t losses = log_->CountMessages("[KR] WM_ACTIVATEAPP: inactive (no grace)");
  ::PostMessageW(window_, WM_ACTIVATEAPP, FALSE, 0);
  ASSERT_TRUE(WaitUntil([&] {
    return log_->CountMessages("[KR] WM_ACTIVATEAPP: inactive (no grace)") >= losses + 2;
  }));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
}

TEST_F(FocusTest, NeverActivatedWindowNeverCollapses) {
  ASSERT_TRUE(CallWindow("setBlurHide", "enabled", EncodableValue(true)));
  ASSERT_TRUE(SetCardExpanded(true));
  ASSERT_TRUE(CallWindow("setBlurGuard", "ms", EncodableValue(0)));
  ::PostMessageW(window_, WM_ACTIVATEAPP, FALSE, 0);
  ASSERT_TRUE(
      log_->WaitForMessage("[KR] WM_ACTIVATEAPP: inactive (never activated, skip collapse)"));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 0);
  EXPECT_EQ(log_->CountMessages("[KR] BLUR_POLL: retrying"), 0u);
}

TEST_F(FocusTest, ExpandedCardWithoutBlurHideOnlyLogsTheSkip) {
  ASSERT_TRUE(CallWindow("setBlurHide", "enabled", EncodableValue(false)));
  ASSERT_TRUE(Summon());
  LetRetriesEnd();
  ASSERT_TRUE(CallWindow("setBlurGuard", "ms", EncodableValue(0)));
  ASSERT_TRUE(helper_->BringToFront());
  ASSERT_TRUE(log_->WaitForMessage("[KR] BLUR_POLL: skip collapse: card=1 blur_hide=0"));
  // Wine names no window in the WM_ACTIVATE of a switch to another process, so
  // that path stops at the null window; the test names the helper itself.
  ::PostMessageW(window_, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(helper_->window));
  ASSERT_TRUE(WaitUntil([&] {
    return log_->CountMessages("[KR] WM_ACTIVATE: skip collapse: card=1 blur_hide=0 voice=0") == 2;
  }));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 0);
}

TEST_F(FocusTest, LossToItsOwnViewIsSilent) {
  ASSERT_TRUE(CallWindow("setBlurHide", "enabled", EncodableValue(true)));
  ASSERT_TRUE(Summon());
  LetRetriesEnd();
  ASSERT_TRUE(CallWindow("setBlurGuard", "ms", EncodableValue(0)));
  std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
  ASSERT_EQ(views.size(), 1u);
  ::PostMessageW(window_, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(views.front()));
  ASSERT_TRUE(log_->WaitForMessage("[KR] MH WM_ACTIVATE: wp=0"));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 0);
  EXPECT_EQ(log_->CountMessages("skip collapse"), 0u);
  EXPECT_EQ(log_->CountMessages("dispatching esc_collapse"), 0u);
}

// Events are dropped while the foreground window's title is on the blacklist,
// so the collapse cannot be sent while the helper carries such a title.
class BlockedCollapseTest : public FocusTest {
 protected:
  EnvironmentChanges HostEnvironment() const override {
    return {{L"KR_HOTKEY_BLACKLIST", L"kr blocked"}};
  }

  void SetHelperTitle(const wchar_t* title) {
    ::SendMessageW(helper_->window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title));
  }

  // Ticks of the polling thread's retries, from the log.
  std::vector<unsigned long long> RetryTicks() const {
    std::vector<unsigned long long> ticks;
    for (const std::string& line : log_->NewLines()) {
      if (line.find("[KR] BLUR_POLL: retrying esc_collapse (dispatch lost earlier)") !=
          std::string::npos) {
        ticks.push_back(std::stoull(line.substr(0, line.find(' '))));
      }
    }
    return ticks;
  }
};

TEST_F(BlockedCollapseTest, FailedCollapseIsRetriedEveryHalfSecondUntilItIsSent) {
  ASSERT_TRUE(CallWindow("setBlurHide", "enabled", EncodableValue(true)));
  ASSERT_TRUE(Summon());
  LetRetriesEnd();
  ASSERT_TRUE(CallWindow("setBlurGuard", "ms", EncodableValue(0)));
  SetHelperTitle(L"kr blocked helper");
  ASSERT_TRUE(helper_->BringToFront());

  ASSERT_TRUE(log_->WaitForMessage("esc_collapse dispatch FAILED"));
  ASSERT_TRUE(WaitUntil([&] { return RetryTicks().size() >= 3; }));
  EXPECT_EQ(Count("esc_collapse"), 0);
  std::vector<unsigned long long> blocked = RetryTicks();
  for (size_t i = 1; i < blocked.size(); ++i) {
    EXPECT_GE(blocked[i] - blocked[i - 1], 500u) << "retry " << i;
  }

  // Once the foreground is no longer blacklisted, the next retry sends it, once.
  SetHelperTitle(L"kr focus helper");
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  size_t retries = RetryTicks().size();
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
  EXPECT_EQ(RetryTicks().size(), retries);
}

}  // namespace
}  // namespace kr_test
