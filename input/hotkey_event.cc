#include "input/hotkey_event.h"

#include "input/hotkey_combo.h"

const char* HotkeyEventMethod(int32_t number) {
  // Indexed by event number; slot 0 is no event.
  static constexpr const char* kMethods[] = {
      nullptr,      "toggle_capsule", "show_main", "quit",       "space_down", "space_up",
      "voice_mode", "esc_collapse",   "close_tag", "screenshot", "clipboard",  "ai",
  };
  if (number < kToggleCapsule || number > kAi) {
    return nullptr;
  }
  return kMethods[number];
}

std::span<const DefaultHotkey> DefaultHotkeys() {
  static constexpr DefaultHotkey kDefaults[] = {
      {kToggleCapsule, kModNoRepeat | kModControl, 0x20},          // Ctrl+Space
      {kShowMain, kModNoRepeat | kModAlt, 0x20},                   // Alt+Space
      {kQuit, kModNoRepeat | kModControl | kModAlt, 'Q'},          // Ctrl+Alt+Q
      {kScreenshot, kModNoRepeat | kModControl | kModShift, 'S'},  // Ctrl+Shift+S
      {kClipboard, kModNoRepeat | kModControl | kModShift, 'V'},   // Ctrl+Shift+V
      {kAi, kModNoRepeat | kModControl | kModShift, 'A'},          // Ctrl+Shift+A
  };
  return kDefaults;
}
