// The main window's hotkeys, the hotkey channel's calls, and its events.
#include <gtest/gtest.h>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

struct Combo {
  UINT modifiers;
  UINT vk;
};
constexpr Combo kDefaults[] = {{MOD_CONTROL, VK_SPACE},        {MOD_ALT, VK_SPACE},
                               {MOD_CONTROL | MOD_ALT, 'Q'},   {MOD_CONTROL | MOD_SHIFT, 'S'},
                               {MOD_CONTROL | MOD_SHIFT, 'V'}, {MOD_CONTROL | MOD_SHIFT, 'A'}};

// True when this test can take the combination: nobody holds it.
bool IsFree(Combo combo) {
  if (!::RegisterHotKey(nullptr, 0x7000, combo.modifiers | MOD_NOREPEAT, combo.vk)) {
    return false;
  }
  ::UnregisterHotKey(nullptr, 0x7000);
  return true;
}

bool IsHeld(Combo combo) {
  return !IsFree(combo) && ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
}

void Press(Combo combo) {
  Type({Down(VK_CONTROL), Down(VK_SHIFT), Down(static_cast<WORD>(combo.vk)),
        Up(static_cast<WORD>(combo.vk)), Up(VK_SHIFT), Up(VK_CONTROL)});
}

class HotkeysTest : public MainHostTest {
 protected:
  CallResult Call(const char* method, const EncodableMap& arguments) {
    return ui_->Call("kestrune/hotkey", method, EncodableValue(arguments));
  }
  bool Rebind(EncodableValue id, EncodableValue combo) {
    return Call("reRegisterHotkey", {{"id", id}, {"combo", combo}}).kind ==
           CallResult::Kind::kSuccess;
  }
  // Methods of the hotkey-channel calls so far, checking they carry no argument.
  std::vector<std::string> Methods() const {
    std::vector<std::string> methods;
    for (const InterfaceCall& call : ui_->Calls()) {
      EXPECT_TRUE(call.arguments.IsNull()) << call.method;
      methods.push_back(call.method);
    }
    return methods;
  }
};

TEST_F(HotkeysTest, DefaultsAreHeldBadArgumentsRefusedRebindingMovesTheIdAndIdsSendTheirEvents) {
  StartHosts();
  // Freed again by the teardown while the process still runs: see the
  // lifecycle's in-process tests.
  for (const Combo& combo : kDefaults) {
    EXPECT_TRUE(IsHeld(combo)) << std::hex << combo.vk;
  }
  // Bad arguments are refused naming the key and change nothing.
  auto refused = [&](const char* method, const EncodableMap& arguments, const char* named) {
    CallResult result = Call(method, arguments);
    return result.code == "BAD_ARGS" && result.message.find(named) != std::string::npos;
  };
  EXPECT_TRUE(refused("reRegisterHotkey", {{"id", "2"}, {"combo", "ctrl+b"}}, "id"));
  EXPECT_TRUE(refused("reRegisterHotkey", {{"id", int32_t{2}}, {"combo", 7}}, "combo"));
  EXPECT_TRUE(refused("reRegisterHotkey", {{"id", int64_t{2} << 40}, {"combo", "ctrl+b"}}, "id"));
  EXPECT_TRUE(refused("set_voice_listening", {{"enabled", int32_t{1}}}, "enabled"));
  EXPECT_TRUE(refused("set_card_expanded", {{"expanded", "yes"}}, "expanded"));
  EXPECT_TRUE(IsHeld({MOD_ALT, VK_SPACE}));
  // Not a map, or the key missing: success, and nothing logged.
  EXPECT_EQ(ui_->Call("kestrune/hotkey", "set_card_expanded", EncodableValue(true)).kind,
            CallResult::Kind::kSuccess);
  EXPECT_EQ(Call("set_voice_listening", {}).kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(log_->CountMessages("[KR] set_"), 0u);

  EXPECT_TRUE(Rebind(int32_t{1}, "Ctrl+Shift+K"));
  EXPECT_TRUE(IsFree({MOD_CONTROL, VK_SPACE}));
  EXPECT_TRUE(IsHeld({MOD_CONTROL | MOD_SHIFT, 'K'}));
  EXPECT_TRUE(Rebind(int64_t{2}, "ctrl+alt+space"));  // a 64-bit id that fits
  EXPECT_TRUE(IsFree({MOD_ALT, VK_SPACE}));
  EXPECT_TRUE(IsHeld({MOD_CONTROL | MOD_ALT, VK_SPACE}));
  // A key part without a name unbinds the id and registers nothing.
  EXPECT_TRUE(Rebind(int32_t{3}, "ctrl+f5"));
  EXPECT_TRUE(IsFree({MOD_CONTROL | MOD_ALT, 'Q'}));
  EXPECT_EQ(log_->CountMessages("[KR] reRegisterHotkey id=3"), 0u);
  EXPECT_TRUE(Rebind(int32_t{0}, "ctrl+b") && Rebind(int32_t{-1}, "ctrl+b"));  // no effect
  EXPECT_TRUE(IsFree({MOD_CONTROL, 'B'}));

  // Ids are event numbers: 4 sends "space_down"; 12 registers but sends nothing.
  constexpr Combo kFour{MOD_CONTROL | MOD_SHIFT, 'J'};
  constexpr Combo kTwelve{MOD_CONTROL | MOD_SHIFT, 'L'};
  EXPECT_TRUE(Rebind(int32_t{4}, "ctrl+shift+j"));
  EXPECT_TRUE(Rebind(int32_t{12}, "ctrl+shift+l"));
  EXPECT_TRUE(IsHeld(kTwelve));
  Press(kFour);
  Press(kTwelve);
  Press(kFour);
  ASSERT_TRUE(WaitUntil([&] { return Count("space_down") == 2; }));
  // Push-to-talk and selection messages posted to the card become events as well.
  ::PostMessageW(window_, 1124, 1, 0);
  ::PostMessageW(window_, 1124, 0, 0);
  ::PostMessageW(window_, 1227, 0, 0);
  ASSERT_TRUE(ui_->WaitForCall("kestrune/hotkey", "select_on"));
  EXPECT_EQ(Methods(), (std::vector<std::string>{"space_down", "space_down", "space_down",
                                                 "space_up", "select_on"}));
}

}  // namespace
}  // namespace kr_test
