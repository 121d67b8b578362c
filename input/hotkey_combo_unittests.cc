#include "input/hotkey_combo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace {

struct ComboRow {
  std::string_view combo;
  std::optional<uint32_t> modifiers;  // nothing: the combination does not parse
  uint32_t virtual_key;
};

void ExpectRows(std::initializer_list<ComboRow> rows) {
  for (const ComboRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "combo \"" << row.combo << "\"");
    const std::optional<HotkeyCombo> parsed = ParseHotkeyCombo(row.combo);
    ASSERT_EQ(parsed.has_value(), row.modifiers.has_value());
    if (parsed) {
      EXPECT_EQ(parsed->modifiers, *row.modifiers);
      EXPECT_EQ(parsed->virtual_key, row.virtual_key);
    }
  }
}

TEST(ParseHotkeyComboTest, ModifiersAreFoundAnywhereAndAlwaysCarryNoRepeat) {
  ExpectRows({
      {"ctrl+alt+space", 0x4003, 0x20},
      {"Shift+Win+K", 0x400C, 0x4B},
      {"CTRL+ALT+Q", 0x4003, 0x51},
      // No separator needed, order and repetition do not matter.
      {"ctrlshift+a", 0x4006, 0x41},
      {"alt+ctrl+alt+z", 0x4003, 0x5A},
      {"shift+ctrl+alt+win+a", 0x400F, 0x41},
      {"windows+e", 0x4008, 0x45},
      // Plain keys still get MOD_NOREPEAT.
      {"space", 0x4000, 0x20},
      {"a", 0x4000, 0x41},
  });
}

TEST(ParseHotkeyComboTest, NamedKeysMatchAfterLowerCasing) {
  ExpectRows({
      {"esc", 0x4000, 0x1B},
      {"tab", 0x4000, 0x09},
      {"enter", 0x4000, 0x0D},
      {"ctrl+Enter", 0x4002, 0x0D},
      {"Alt+ESC", 0x4001, 0x1B},
      {"win+Tab", 0x4008, 0x09},
      {"SPACE", 0x4000, 0x20},
  });
}

TEST(ParseHotkeyComboTest, OnlyLettersAndDigitsAreSingleCharacterKeys) {
  ExpectRows({
      {"ctrl+1", 0x4002, 0x31},
      {"ctrl+0", 0x4002, 0x30},
      {"ctrl+9", 0x4002, 0x39},
      {"ctrl+z", 0x4002, 0x5A},
      {"ctrl+Z", 0x4002, 0x5A},
      // Their codes would be other keys: Delete, PrintScreen, Insert, LeftWin.
      {"ctrl+.", std::nullopt, 0},
      {"ctrl+,", std::nullopt, 0},
      {"ctrl+-", std::nullopt, 0},
      {"shift+[", std::nullopt, 0},
      {"ctrl+;", std::nullopt, 0},
      {"ctrl+ ", std::nullopt, 0},
  });
}

TEST(ParseHotkeyComboTest, KeyPartIsTextAfterLastPlus) {
  ExpectRows({
      {"ctrl+space+x", 0x4002, 0x58},
      {"ctrl+x+space", 0x4002, 0x20},
      // Without a plus the whole text is the key part.
      {"ctrl-shift-a", std::nullopt, 0},
      // Spaces around the plus are kept, so " space" is not a name.
      {"Ctrl + Space", std::nullopt, 0},
  });
}

TEST(ParseHotkeyComboTest, EmptyOrUnknownKeyPartGivesNothing) {
  ExpectRows({
      {"", std::nullopt, 0},
      {"ctrl+", std::nullopt, 0},
      {"ctrl++", std::nullopt, 0},
      {"+", std::nullopt, 0},
      {"ctrl+f5", std::nullopt, 0},
      {"ctrl+delete", std::nullopt, 0},
      {"ctrl+alt", std::nullopt, 0},
      {"ctrl+spacebar", std::nullopt, 0},
      // Two UTF-8 bytes are more than one character of the key part.
      {"ctrl+\xC3\xA9", std::nullopt, 0},
  });
}

}  // namespace
