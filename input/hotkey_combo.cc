#include "input/hotkey_combo.h"

#include <string>

namespace {

// Only ASCII letters change; bytes of multi-byte UTF-8 sequences stay as they are.
std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return lower;
}

std::optional<uint32_t> KeyFromName(std::string_view name) {
  struct NamedKey {
    std::string_view name;
    uint32_t virtual_key;
  };
  static constexpr NamedKey kNamedKeys[] = {
      {"space", 0x20},
      {"esc", 0x1B},
      {"tab", 0x09},
      {"enter", 0x0D},
  };
  for (const NamedKey& key : kNamedKeys) {
    if (name == key.name) {
      return key.virtual_key;
    }
  }
  if (name.size() != 1) {
    return std::nullopt;
  }
  // A single letter or digit is its own virtual key after upper-casing. No
  // other character is: "." would be VK_DELETE, "," VK_SNAPSHOT, "-" VK_INSERT,
  // "[" VK_LWIN, keys the user never meant.
  auto code = static_cast<unsigned char>(name[0]);
  if (code >= 'a' && code <= 'z') {
    return static_cast<uint32_t>(code - 'a' + 'A');
  }
  if (code >= '0' && code <= '9') {
    return code;
  }
  return std::nullopt;
}

}  // namespace

std::optional<HotkeyCombo> ParseHotkeyCombo(std::string_view combo) {
  const std::string lower = AsciiLower(combo);
  const std::string_view text = lower;

  uint32_t modifiers = kModNoRepeat;
  if (text.find("ctrl") != std::string_view::npos) {
    modifiers |= kModControl;
  }
  if (text.find("alt") != std::string_view::npos) {
    modifiers |= kModAlt;
  }
  if (text.find("shift") != std::string_view::npos) {
    modifiers |= kModShift;
  }
  if (text.find("win") != std::string_view::npos) {
    modifiers |= kModWin;
  }

  const size_t last_plus = text.rfind('+');
  const std::string_view key_part =
      last_plus == std::string_view::npos ? text : text.substr(last_plus + 1);
  const std::optional<uint32_t> key = KeyFromName(key_part);
  if (!key) {
    return std::nullopt;
  }
  return HotkeyCombo{modifiers, *key};
}
