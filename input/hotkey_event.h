#ifndef KESTRUNE_INPUT_HOTKEY_EVENT_H_
#define KESTRUNE_INPUT_HOTKEY_EVENT_H_

#include <cstdint>
#include <span>

// Events sent to the interface on the hotkey channel. The numbers double as hotkey
// ids, so WM_HOTKEY's id is passed on unchanged.
enum HotkeyEvent : int32_t {
  kToggleCapsule = 1,
  kShowMain = 2,
  kQuit = 3,
  kSpaceDown = 4,
  kSpaceUp = 5,
  kVoiceMode = 6,
  kEscCollapse = 7,
  kCloseTag = 8,
  kScreenshot = 9,
  kClipboard = 10,
  kAi = 11,
};

// The method name sent for an event number, or nullptr outside 1 to 11.
const char* HotkeyEventMethod(int32_t number);

struct DefaultHotkey {
  int32_t id;
  uint32_t modifiers;
  uint32_t virtual_key;
};

// The hotkeys the main window registers at creation, in registration order.
std::span<const DefaultHotkey> DefaultHotkeys();

#endif  // KESTRUNE_INPUT_HOTKEY_EVENT_H_
