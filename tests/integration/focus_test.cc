// Collapse on focus loss: the card against another application's window and
// against its own capsule. Collapses are counted on the interface: the capsule
// writes the same focus lines to the shared log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/helper_window.h"
#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

class FocusTest : public MainHostTest {
 protected:
  void SetUp() override {
    StartMainHost(HostEnvironment());
    if (HasFatalFailure()) {
      return;
    }
    // The capsule activates its window once as it starts; let that pass first.
    capsule_ui_ = bridge_.WaitForConnection("capsule");
    ASSERT_NE(capsule_ui_, nullptr);
    ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
    helper_ = StartHelperWindow(L"kr focus helper");
    ASSERT_TRUE(helper_);
    ASSERT_TRUE(StaysInFront(helper_->window));
  }

  virtual EnvironmentChanges HostEnvironment() const { return {}; }

  // Summons the card as Ctrl+Space does with collapse on focus loss enabled,
  // waits out the focus retries (the last about 900 ms after the expand) and
  // leaves the guard at |guard_ms|.
  void Summon(int guard_ms = 0) {
    ASSERT_TRUE(CallWindow("setBlurHide", Args({{"enabled", true}})));
    ::PostMessageW(window_, WM_HOTKEY, 1, 0);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }));
    ASSERT_TRUE(WaitUntil([&] { return Count("toggle_capsule") == 1; }));
    ::Sleep(1200);
    ASSERT_TRUE(CallWindow("setBlurGuard", Args({{"ms", guard_ms}})));
  }

  // Keeps watching long enough for the polling thread to act several times.
  static void WatchPolls() { ::Sleep(1500); }

  // The capsule's window, which it keeps in front once it cannot find the card
  // by its title to hand the foreground back.
  HWND CapsuleInFrontOfAnUntitledCard() {
    ::SetWindowTextW(window_, L"kr card");
    return WaitForHostWindow(static_cast<DWORD>(capsule_ui_->pid()));
  }

  // Ticks of the log lines that contain |text|.
  std::vector<unsigned long long> Ticks(const std::string& text) const {
    std::vector<unsigned long long> ticks;
    for (const std::string& line : log_->NewLines()) {
      if (line.find(text) != std::string::npos) {
        ticks.push_back(std::stoull(line));
      }
    }
    return ticks;
  }

  BridgeConnection* capsule_ui_ = nullptr;
  std::unique_ptr<HelperWindow> helper_;
};

// Two losses without a gain between them collapse once.
TEST_F(FocusTest, LossPastTheGuardCollapsesOnce) {
  Summon();
  ASSERT_TRUE(helper_->BringToFront());
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  // Only WM_ACTIVATEAPP is repeated: a posted WM_ACTIVATE would make the base
  // window class focus the view, which activates the card again.
  ::PostMessageW(window_, WM_ACTIVATEAPP, FALSE, 0);
  Drain();
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
}

// The subclass procedure and the window's handler both judge the one message.
TEST_F(FocusTest, ActivateNamingAnotherApplicationCollapsesOnceThoughBothProceduresSeeIt) {
  Summon();
  ::PostMessageW(window_, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(helper_->window));
  Drain();
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
}

TEST_F(FocusTest, LossInGraceCollapsesOnceFromThePollAfterTheGuard) {
  Summon(2500);
  ASSERT_TRUE(helper_->BringToFront());
  EXPECT_FALSE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse", 1000));
  ASSERT_TRUE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse"));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
}

TEST_F(FocusTest, LossBeforeActivationWithoutBlurHideOrToItsOwnViewDoesNotCollapse) {
  ASSERT_TRUE(CallWindow("setBlurHide", Args({{"enabled", true}})));
  ASSERT_TRUE(SetCardExpanded(true));
  ASSERT_TRUE(CallWindow("setBlurGuard", Args({{"ms", 0}})));
  ::PostMessageW(window_, WM_ACTIVATEAPP, FALSE, 0);
  Drain();
  WatchPolls();
  Summon();
  std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
  ASSERT_EQ(views.size(), 1u);
  ::PostMessageW(window_, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(views.front()));
  Drain();
  ASSERT_TRUE(CallWindow("setBlurHide", Args({{"enabled", false}})));
  ASSERT_TRUE(helper_->BringToFront());
  // Wine names no window in the WM_ACTIVATE of a switch to another process.
  ::PostMessageW(window_, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(helper_->window));
  Drain();
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 0);
}

// While the capsule is in front the card is pulled back at most every three
// seconds, and each pass moves the guard 3000 ms ahead: losing the card to the
// capsule again after a pull-back is in grace, and so is a loss to another
// application just after one.
TEST_F(FocusTest, CapsuleInFrontOfAnExpandedCardIsPulledBackWithoutACollapse) {
  HWND capsule = CapsuleInFrontOfAnUntitledCard();
  ASSERT_NE(capsule, nullptr);
  // A guard for the first switch alone: it has passed by the last one.
  Summon(2000);
  // Only the main process has a capsule to pull the card back from.
  auto pulls = [&] { return Ticks("[KR] BLUR_POLL: capsule fg while expanded, grab back"); };
  for (size_t pull = 1; pull <= 2; ++pull) {
    ::SetForegroundWindow(capsule);
    ASSERT_TRUE(WaitUntil([&] { return pulls().size() == pull; }, 6000)) << pull;
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; })) << pull;
  }
  // More than 3000 ms apart by the host's clock, read just before the line's.
  EXPECT_GT(pulls()[1] - pulls()[0], 2900u);
  EXPECT_EQ(Count("esc_collapse"), 0);

  ASSERT_TRUE(helper_->BringToFront());
  EXPECT_FALSE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse", 1000));
  ASSERT_TRUE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse", 6000));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
}

TEST_F(FocusTest, CapsuleInFrontOfACollapsedCardOnlyExtendsTheGuard) {
  HWND capsule = CapsuleInFrontOfAnUntitledCard();
  ASSERT_NE(capsule, nullptr);
  Summon();
  ASSERT_TRUE(SetCardExpanded(false));
  ::SetForegroundWindow(capsule);
  // Longer than the pull-back spacing: the card is not pulled back.
  ASSERT_TRUE(StaysInFront(capsule, 3500));
  ASSERT_TRUE(helper_->BringToFront());
  ASSERT_TRUE(SetCardExpanded(true));
  EXPECT_FALSE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse", 1000));
  ASSERT_TRUE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse", 6000));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
}

// Events are dropped while the foreground window's title is on the blacklist,
// so the collapse cannot be sent while the helper carries such a title.
class BlockedCollapseTest : public FocusTest {
 protected:
  // The capsule never retries a collapse.
  static constexpr char kRetry[] = "[KR] BLUR_POLL: retrying esc_collapse";

  EnvironmentChanges HostEnvironment() const override {
    return {{L"KR_HOTKEY_BLACKLIST", L"kr blocked"}};
  }

  void SetHelperTitle(const wchar_t* title) {
    ::SendMessageW(helper_->window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title));
  }
};

TEST_F(BlockedCollapseTest, FailedCollapseIsRetriedEveryHalfSecondUntilItIsSent) {
  Summon();
  SetHelperTitle(L"kr blocked helper");
  ASSERT_TRUE(helper_->BringToFront());
  ASSERT_TRUE(WaitUntil([&] { return Ticks(kRetry).size() >= 3; }));
  EXPECT_EQ(Count("esc_collapse"), 0);
  std::vector<unsigned long long> blocked = Ticks(kRetry);
  for (size_t i = 1; i < blocked.size(); ++i) {
    EXPECT_GE(blocked[i] - blocked[i - 1], 500u) << "retry " << i;
  }
  // Once the foreground is no longer blacklisted, the next retry sends it, once.
  SetHelperTitle(L"kr focus helper");
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
}

}  // namespace
}  // namespace kr_test
