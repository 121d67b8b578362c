#include "input/hotkey_combo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>

namespace {

TEST(ParseHotkeyComboTest, ModifiersAnywhereWithNoRepeatAndTheKeyAfterTheLastPlus) {
  const struct {
    std::string_view combo;
    uint32_t modifiers;  // 0 with virtual key 0: the combination does not parse
    uint32_t virtual_key;
  } rows[] = {
      {"ctrl+alt+space", 0x4003, 0x20},
      {"Shift+Win+K", 0x400C, 0x4B},
      // Modifiers are found as substrings: "windows" holds "win".
      {"windows+e", 0x4008, 0x45},
      {"esc", 0x4000, 0x1B},
      {"ctrl+Enter", 0x4002, 0x0D},
      {"ctrl+1", 0x4002, 0x31},
      {"ctrl+space+x", 0x4002, 0x58},
      // Without a plus the whole text is the key; blanks around a plus are kept.
      {"ctrl-shift-a", 0, 0},
      {"Ctrl + Space", 0, 0},
      {"ctrl+", 0, 0},
      {"ctrl+spacebar", 0, 0},
      // Two UTF-8 bytes are not one character.
      {"ctrl+\xC3\xA9", 0, 0},
      // One character other than a letter or a digit: as codes these would be
      // Delete, LeftWin and Space.
      {"ctrl+.", 0, 0},
      {"shift+[", 0, 0},
      {"ctrl+ ", 0, 0},
  };
  for (const auto& row : rows) {
    const std::optional<HotkeyCombo> parsed = ParseHotkeyCombo(row.combo);
    EXPECT_EQ(parsed ? parsed->modifiers : 0, row.modifiers) << '"' << row.combo << '"';
    EXPECT_EQ(parsed ? parsed->virtual_key : 0, row.virtual_key) << '"' << row.combo << '"';
  }
}

}  // namespace
