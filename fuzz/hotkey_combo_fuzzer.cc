// The hotkey combination parser: an accepted combination has MOD_NOREPEAT, no
// other flags than the four modifiers, and a key from the accepted set; the
// reading ignores ASCII case.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_check.h"
#include "input/hotkey_combo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string combo(reinterpret_cast<const char*>(data), size);
  const std::optional<HotkeyCombo> parsed = ParseHotkeyCombo(combo);
  if (parsed) {
    FUZZ_CHECK((parsed->modifiers & kModNoRepeat) != 0);
    FUZZ_CHECK(
        (parsed->modifiers & ~(kModNoRepeat | kModAlt | kModControl | kModShift | kModWin)) == 0);
    const uint32_t key = parsed->virtual_key;
    FUZZ_CHECK(key == 0x20 || key == 0x1B || key == 0x09 || key == 0x0D ||
               (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'));
  }
  for (char& c : combo) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  const std::optional<HotkeyCombo> upper = ParseHotkeyCombo(combo);
  FUZZ_CHECK(upper.has_value() == parsed.has_value());
  FUZZ_CHECK(!parsed ||
             (upper->modifiers == parsed->modifiers && upper->virtual_key == parsed->virtual_key));
  return 0;
}
