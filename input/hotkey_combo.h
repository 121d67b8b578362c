#ifndef KESTRUNE_INPUT_HOTKEY_COMBO_H_
#define KESTRUNE_INPUT_HOTKEY_COMBO_H_

#include <cstdint>
#include <optional>
#include <string_view>

// RegisterHotKey modifier flags, spelled out so this file needs no Windows headers.
inline constexpr uint32_t kModAlt = 0x0001;
inline constexpr uint32_t kModControl = 0x0002;
inline constexpr uint32_t kModShift = 0x0004;
inline constexpr uint32_t kModWin = 0x0008;
inline constexpr uint32_t kModNoRepeat = 0x4000;

struct HotkeyCombo {
  uint32_t modifiers;
  uint32_t virtual_key;
};

// Turns the interface's textual combination ("ctrl+alt+space", "Shift+Win+K") into
// RegisterHotKey arguments. Modifiers are found by substring anywhere in the text, so
// "ctrlshift+a" works too; MOD_NOREPEAT is always present so holding a hotkey fires
// once. The key is what follows the last '+': one of "space", "esc", "tab", "enter"
// or a single ASCII letter (upper-cased) or digit. Nothing when the key part is
// empty, an unknown name or any other single character.
std::optional<HotkeyCombo> ParseHotkeyCombo(std::string_view combo);

#endif  // KESTRUNE_INPUT_HOTKEY_COMBO_H_
