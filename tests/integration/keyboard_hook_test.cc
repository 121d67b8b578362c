// The keyboard hook, driven with injected keys while another application is in front.
#include <gtest/gtest.h>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

class KeyboardHookTest : public MainHostTest {
 protected:
  void SetUp() override {
    // The chords are the hook's to complete: with Ctrl+Space and Alt+Space held
    // here the host's registrations fail, as when another program owns them.
    ASSERT_TRUE(::RegisterHotKey(nullptr, 0x7200, MOD_CONTROL | MOD_NOREPEAT, VK_SPACE));
    ASSERT_TRUE(::RegisterHotKey(nullptr, 0x7201, MOD_ALT | MOD_NOREPEAT, VK_SPACE));
    StartBehindHelper();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(log_->WaitForMessage("[KR] RegisterHotKey Ctrl+Space: result=0 err=1409"));
    ASSERT_TRUE(Settle());  // the hook is live once a Delete comes back
    ::SendMessageW(helper_->window, kResetKeysMsg, 0, 0);
  }

  void TearDown() override {
    // A failed test must not leave a key held for the next one.
    Type({Up(VK_LCONTROL), Up(VK_CONTROL), Up(VK_MENU), Up('X'), Up(VK_SPACE), Up(VK_LWIN),
          Up(VK_ESCAPE)});
    ::UnregisterHotKey(nullptr, 0x7200);
    ::UnregisterHotKey(nullptr, 0x7201);
  }

  bool Listen(bool on) {
    return ui_->Call("kestrune/hotkey", "set_voice_listening", Args({{"enabled", on}})).kind ==
           CallResult::Kind::kSuccess;
  }

  // Once the interface and the helper saw a Delete, every key typed before has
  // been through the hook; then waits for anything that should not happen.
  bool Settle() {
    int ups = helper_->KeyUps(VK_DELETE);
    int tags = Count("close_tag");
    Type({Down(VK_DELETE), Up(VK_DELETE)});
    bool seen = WaitUntil([&] { return Count("close_tag") > tags; });
    // A completed chord summoned the card, which took the Delete.
    if (seen && ::GetForegroundWindow() != helper_->window) {
      seen = helper_->BringToFront();
      Type({Down(VK_DELETE), Up(VK_DELETE)});
    }
    seen = seen && WaitUntil([&] { return helper_->KeyUps(VK_DELETE) > ups; });
    ::Sleep(300);
    return seen;
  }

  // How many |method| calls typing |keys| caused.
  int Sent(const char* method, std::initializer_list<Key> keys) {
    int before = Count(method);
    Type(keys);
    EXPECT_TRUE(Settle());
    return Count(method) - before;
  }
  int Toggles(std::initializer_list<Key> keys) { return Sent("toggle_capsule", keys); }
};

TEST_F(KeyboardHookTest, ChordsCompleteOnTheSpaceKeyUpAndSpaceAlonePassesOn) {
  // Released with Space first, or with a side-specific Ctrl key-up first.
  EXPECT_EQ(Toggles({Down(VK_CONTROL), Down(VK_SPACE), Up(VK_SPACE), Up(VK_CONTROL)}), 1);
  EXPECT_EQ(Toggles({Down(VK_LCONTROL), Down(VK_SPACE), Up(VK_LCONTROL), Up(VK_SPACE)}), 1);
  // A generic Ctrl key-up breaks the chord.
  EXPECT_EQ(Toggles({Down(VK_CONTROL), Down(VK_SPACE), Up(VK_CONTROL), Up(VK_SPACE)}), 0);
  // Alt counts only through the Space event's own LLKHF_ALTDOWN. Injected input
  // under Wine 8 never carries it, so Alt is down here in the key state alone.
  EXPECT_EQ(Toggles({Down(VK_MENU), Down(VK_SPACE), Up(VK_SPACE), Up(VK_MENU)}), 0);
  EXPECT_TRUE(log_->WaitForMessage("[KR] KB: vk=0x20 wparam=260 scan=0x39 flags=0x10"));

  // Space alone, held or not, reaches the application while not listening.
  ::SendMessageW(helper_->window, kResetKeysMsg, 0, 0);
  Type({Down(VK_SPACE), Down(VK_SPACE), Up(VK_SPACE)});
  ASSERT_TRUE(Listen(true) && Listen(false));
  EXPECT_EQ(Toggles({Down(VK_SPACE), Up(VK_SPACE)}), 0);
  EXPECT_EQ(helper_->KeyDowns(VK_SPACE), 3);
  EXPECT_EQ(helper_->KeyUps(VK_SPACE), 2);
  // No push-to-talk here: under Wine the host keeps its view as focus window
  // while another process is in front.
  EXPECT_EQ(Count("space_down") + Count("space_up"), 0);
}

TEST_F(KeyboardHookTest, EscAndXAreSeenAndOnlyTheChordsXIsSwallowed) {
  // Esc collapses once per press, only while the card is expanded, and passes on.
  EXPECT_EQ(Sent("esc_collapse", {Down(VK_ESCAPE), Up(VK_ESCAPE)}), 0);
  ASSERT_TRUE(SetCardExpanded(true));
  EXPECT_EQ(
      Sent("esc_collapse", {Down(VK_ESCAPE), Down(VK_ESCAPE), Down(VK_ESCAPE), Up(VK_ESCAPE)}), 1);
  EXPECT_EQ(helper_->KeyDowns(VK_ESCAPE), 4);
  EXPECT_EQ(helper_->KeyUps(VK_ESCAPE), 2);
  ASSERT_TRUE(SetCardExpanded(false));

  // Only with the whole chord does X ask for voice mode; then its key-down is taken.
  EXPECT_EQ(Sent("voice_mode", {Down(VK_CONTROL), Down('X'), Up('X'), Up(VK_CONTROL),
                                Down(VK_SPACE), Down('X'), Up('X'), Up(VK_SPACE)}),
            0);
  EXPECT_EQ(Sent("voice_mode", {Down(VK_CONTROL), Down(VK_SPACE), Down('X'), Up('X'), Down('X'),
                                Up('X'), Up(VK_SPACE), Up(VK_CONTROL)}),
            2);
  EXPECT_EQ(helper_->KeyDowns('X'), 2);
  EXPECT_EQ(helper_->KeyUps('X'), 4);
}

TEST_F(KeyboardHookTest, EventsOfOneHookReachTheInterfaceInKeyOrder) {
  ASSERT_TRUE(SetCardExpanded(true));
  const size_t first = ui_->Calls().size();
  // The card's queue holds posted work ("select_on" each) when the keys come;
  // the hook runs before it, and so must what the hook sends, in key order.
  for (int i = 0; i < 2000; ++i) {
    ::PostMessageW(window_, 1227, 0, 0);
  }
  INPUT keys[4] = {};
  for (int i = 0; i < 4; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = i < 2 ? VK_DELETE : VK_ESCAPE;
    keys[i].ki.dwFlags = i % 2 == 0 ? 0 : KEYEVENTF_KEYUP;
  }
  ::SendInput(4, keys, sizeof(INPUT));
  ASSERT_TRUE(
      WaitUntil([&] { return Count("select_on") == 2000 && Count("esc_collapse") == 1; }, 20000));
  std::vector<std::string> order;
  for (const InterfaceCall& call : ui_->CallsFrom(first)) {
    if (call.method == "close_tag" || call.method == "esc_collapse") {
      order.push_back(call.method);
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"close_tag", "esc_collapse"}));
  ASSERT_TRUE(SetCardExpanded(false));
}

}  // namespace
}  // namespace kr_test
