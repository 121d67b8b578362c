// Collapse on focus loss: the card against another application's window, its
// own capsule and its own other top-level window. Collapses are counted on the interface: the
// capsule writes the same focus lines to the shared log.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

class FocusTest : public MainHostTest {
 protected:
  void SetUp() override { StartBehindHelper(); }

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
};

// The subclass procedure and the window's handler both judge the one message.
TEST_F(FocusTest, ActivateNamingAnotherApplicationCollapsesOnceThoughBothProceduresSeeIt) {
  Summon();
  ::PostMessageW(window_, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(helper_->window));
  Drain();
  ASSERT_TRUE(WaitUntil([&] { return Count("esc_collapse") == 1; }));
  WatchPolls();
  EXPECT_EQ(Count("esc_collapse"), 1);
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

// Another top-level window of the host's own process in front (here the tray
// menu's owner) is no focus loss: the expanded card stays.
TEST_F(FocusTest, TheHostsOwnTopLevelWindowInFrontDoesNotCollapse) {
  Summon();
  ASSERT_TRUE(SetCardExpanded(true));
  std::future<CallResult> menu = std::async(std::launch::async, [this] {
    return ui_->Call("kestrune/window", "showTrayMenu", flutter::EncodableValue(), 15000);
  });
  ASSERT_TRUE(WaitUntil([&] {
    HWND owner = ::FindWindowW(L"KestruneTrayMenu", nullptr);
    HWND popup = ::FindWindowW(L"#32768", nullptr);
    return owner != nullptr && ::GetForegroundWindow() == owner && popup != nullptr &&
           ::IsWindowVisible(popup);
  }));
  WatchPolls();
  ASSERT_TRUE(MessageLoopAnswers(window_));
  EXPECT_EQ(Count("esc_collapse"), 0);
  // Esc closes the menu (and, as always with the card up, collapses it).
  Type({Down(VK_ESCAPE), Up(VK_ESCAPE)});
  ASSERT_EQ(menu.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

}  // namespace
}  // namespace kr_test
