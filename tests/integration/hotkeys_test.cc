// The default hotkeys and the interface's hotkey calls.
#include <gtest/gtest.h>

#include "runner/debug_log.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/main_host_test.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

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

// True when another process (this test) can take the combination: nobody holds it.
bool ComboIsFree(UINT modifiers, UINT vk) {
  if (!::RegisterHotKey(nullptr, 0x7000, modifiers | MOD_NOREPEAT, vk)) {
    return false;
  }
  ::UnregisterHotKey(nullptr, 0x7000);
  return true;
}

bool ComboIsHeldByAnother(UINT modifiers, UINT vk) {
  if (::RegisterHotKey(nullptr, 0x7001, modifiers | MOD_NOREPEAT, vk)) {
    ::UnregisterHotKey(nullptr, 0x7001);
    return false;
  }
  return ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
}

EncodableValue Args(std::initializer_list<std::pair<const char*, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) {
    map[EncodableValue(key)] = value;
  }
  return EncodableValue(map);
}

class HotkeysTest : public MainHostTest {};

TEST_F(HotkeysTest, DefaultsAreHeldWhileRunningAndFreeAfterTeardown) {
  StartMainHost();
  for (const Combo& combo : kDefaults) {
    EXPECT_TRUE(ComboIsHeldByAnother(combo.modifiers, combo.vk)) << std::hex << combo.vk;
  }
  EXPECT_EQ(log_->CountMessages("[KR] RegisterHotKey Ctrl+Space: result=1 err="), 1u);
  EXPECT_EQ(log_->CountMessages("[KR] RegisterHotKey Alt+Space: result=1 err="), 1u);

  ::PostMessageW(window_, WM_CLOSE, 0, 0);
  ASSERT_TRUE(host_->WaitForExit(10000).has_value());
  for (const Combo& combo : kDefaults) {
    EXPECT_TRUE(ComboIsFree(combo.modifiers, combo.vk)) << std::hex << combo.vk;
  }
}

TEST_F(HotkeysTest, TakenCtrlSpaceIsLoggedWithItsError) {
  ASSERT_TRUE(::RegisterHotKey(nullptr, 0x7100, MOD_CONTROL | MOD_NOREPEAT, VK_SPACE));
  StartMainHost();
  EXPECT_EQ(log_->CountMessages("[KR] RegisterHotKey Ctrl+Space: result=0 err=1409"), 1u);
  EXPECT_EQ(log_->CountMessages("[KR] RegisterHotKey Alt+Space: result=1"), 1u);
  EXPECT_TRUE(MessageLoopAnswers(window_));
  ::UnregisterHotKey(nullptr, 0x7100);
}

TEST_F(HotkeysTest, ReboundIdFreesItsOldCombinationAndHoldsTheNew) {
  StartMainHost();
  CallResult result = ui_->Call(
      "kestrune/hotkey", "reRegisterHotkey",
      Args({{"id", EncodableValue(int32_t{1})}, {"combo", EncodableValue("Ctrl+Shift+K")}}));
  EXPECT_EQ(result.kind, CallResult::Kind::kSuccess);
  EXPECT_TRUE(ComboIsFree(MOD_CONTROL, VK_SPACE));
  EXPECT_TRUE(ComboIsHeldByAnother(MOD_CONTROL | MOD_SHIFT, 'K'));
  EXPECT_EQ(
      log_->CountMessages("[KR] reRegisterHotkey id=1 combo='Ctrl+Shift+K' mods=0x4006 vk=0x4b"),
      1u);

  // An id sent as a 64-bit integer that fits is read as that id.
  result = ui_->Call(
      "kestrune/hotkey", "reRegisterHotkey",
      Args({{"id", EncodableValue(int64_t{2})}, {"combo", EncodableValue("ctrl+alt+space")}}));
  EXPECT_EQ(result.kind, CallResult::Kind::kSuccess);
  EXPECT_TRUE(ComboIsFree(MOD_ALT, VK_SPACE));
  EXPECT_TRUE(ComboIsHeldByAnother(MOD_CONTROL | MOD_ALT, VK_SPACE));
}

TEST_F(HotkeysTest, UnparseableCombinationLeavesTheIdUnboundAndLogsNothing) {
  StartMainHost();
  CallResult result =
      ui_->Call("kestrune/hotkey", "reRegisterHotkey",
                Args({{"id", EncodableValue(int32_t{3})}, {"combo", EncodableValue("ctrl+f5")}}));
  EXPECT_EQ(result.kind, CallResult::Kind::kSuccess);
  EXPECT_TRUE(ComboIsFree(MOD_CONTROL | MOD_ALT, 'Q'));
  EXPECT_EQ(log_->CountMessages("reRegisterHotkey"), 0u);

  // Ids 0 and -1 touch nothing.
  for (int32_t id : {0, -1}) {
    result = ui_->Call("kestrune/hotkey", "reRegisterHotkey",
                       Args({{"id", EncodableValue(id)}, {"combo", EncodableValue("ctrl+b")}}));
    EXPECT_EQ(result.kind, CallResult::Kind::kSuccess);
  }
  EXPECT_TRUE(ComboIsFree(MOD_CONTROL, 'B'));
  EXPECT_TRUE(ComboIsHeldByAnother(MOD_CONTROL, VK_SPACE));
}

TEST_F(HotkeysTest, WrongArgumentTypesAreRefusedAndChangeNothing) {
  StartMainHost();
  CallResult result =
      ui_->Call("kestrune/hotkey", "reRegisterHotkey",
                Args({{"id", EncodableValue("1")}, {"combo", EncodableValue("ctrl+b")}}));
  EXPECT_EQ(result.kind, CallResult::Kind::kError);
  EXPECT_EQ(result.code, "BAD_ARGS");
  EXPECT_NE(result.message.find("id"), std::string::npos);
  EXPECT_TRUE(ComboIsHeldByAnother(MOD_CONTROL, VK_SPACE));

  result = ui_->Call("kestrune/hotkey", "reRegisterHotkey",
                     Args({{"id", EncodableValue(int32_t{1})}, {"combo", EncodableValue(7)}}));
  EXPECT_EQ(result.code, "BAD_ARGS");
  EXPECT_NE(result.message.find("combo"), std::string::npos);
  EXPECT_TRUE(ComboIsHeldByAnother(MOD_CONTROL, VK_SPACE));

  result = ui_->Call(
      "kestrune/hotkey", "reRegisterHotkey",
      Args({{"id", EncodableValue(int64_t{1} << 40)}, {"combo", EncodableValue("ctrl+b")}}));
  EXPECT_EQ(result.code, "BAD_ARGS");

  result = ui_->Call("kestrune/hotkey", "set_voice_listening",
                     Args({{"enabled", EncodableValue(int32_t{1})}}));
  EXPECT_EQ(result.code, "BAD_ARGS");
  EXPECT_NE(result.message.find("enabled"), std::string::npos);
  result = ui_->Call("kestrune/hotkey", "set_card_expanded",
                     Args({{"expanded", EncodableValue("yes")}}));
  EXPECT_EQ(result.code, "BAD_ARGS");
  EXPECT_EQ(log_->CountMessages("[KR] set_"), 0u);
}

TEST_F(HotkeysTest, FlagCallsLogTheirValueAndToleratePlainArguments) {
  StartMainHost();
  EXPECT_EQ(
      ui_->Call("kestrune/hotkey", "set_voice_listening", Args({{"enabled", EncodableValue(true)}}))
          .kind,
      CallResult::Kind::kSuccess);
  EXPECT_EQ(
      ui_->Call("kestrune/hotkey", "set_card_expanded", Args({{"expanded", EncodableValue(false)}}))
          .kind,
      CallResult::Kind::kSuccess);
  // Not a map, or the key missing: success, nothing changes, nothing logged.
  EXPECT_EQ(ui_->Call("kestrune/hotkey", "set_card_expanded", EncodableValue(true)).kind,
            CallResult::Kind::kSuccess);
  EXPECT_EQ(ui_->Call("kestrune/hotkey", "set_voice_listening", Args({})).kind,
            CallResult::Kind::kSuccess);
  std::vector<std::string> lines;
  for (const std::string& message : log_->NewMessages()) {
    if (message.rfind("[KR] set_", 0) == 0) {
      lines.push_back(message);
    }
  }
  EXPECT_EQ(lines,
            (std::vector<std::string>{"[KR] set_voice_listening: 1", "[KR] set_card_expanded: 0"}));
}

}  // namespace
}  // namespace kr_test
