#ifndef KESTRUNE_INPUT_KEYBOARD_DECISION_H_
#define KESTRUNE_INPUT_KEYBOARD_DECISION_H_

#include <cstdint>

// What the low-level keyboard hook does with one key event, decided from plain
// values so it can be tested without a desktop. The Win32 glue samples the facts,
// calls DecideKeyEvent and carries out the decision.

// Messages and codes the hook looks at, spelled out so no Windows header is needed.
inline constexpr uintptr_t kWmKeyDown = 0x0100;
inline constexpr uintptr_t kWmKeyUp = 0x0101;
inline constexpr uintptr_t kWmSysKeyDown = 0x0104;
inline constexpr uintptr_t kWmSysKeyUp = 0x0105;
inline constexpr uint32_t kLlkhfAltDown = 0x20;
inline constexpr uint32_t kVkControl = 0x11;
inline constexpr uint32_t kVkMenu = 0x12;
inline constexpr uint32_t kVkEscape = 0x1B;
inline constexpr uint32_t kVkSpace = 0x20;
inline constexpr uint32_t kVkDelete = 0x2E;
inline constexpr uint32_t kVkX = 0x58;
inline constexpr uint32_t kVkLWin = 0x5B;
inline constexpr uint32_t kVkRWin = 0x5C;

struct KeyEventFacts {
  uint32_t vk = 0;
  uint32_t scan = 0;
  uint32_t flags = 0;     // KBDLLHOOKSTRUCT flags; 0x20 is LLKHF_ALTDOWN
  uintptr_t message = 0;  // the hook's wParam: WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP
  bool ctrl = false;      // VK_CONTROL held
  bool space = false;     // VK_SPACE held
  bool alt = false;       // LLKHF_ALTDOWN in flags, or VK_MENU held
  bool win = false;       // VK_LWIN or VK_RWIN held
  bool focused = false;   // the focus window is the main window or one of its children
  bool voice_listening = false;
  bool card_expanded = false;
};

// Carried from one key event to the next; lives on the hook's thread.
struct KeyboardHookState {
  bool space_combo_active = false;  // Space went down with Ctrl or Alt; completes on its release
  bool voice_space_down = false;    // Space is held for push-to-talk
  // Where the held press goes, fixed at its first key-down: true for the
  // interface (the focus was outside our window), false for our view. The
  // release follows the press, so a card that comes up or goes away meanwhile
  // never splits a press from its release.
  bool voice_space_outside = false;
  bool esc_down = false;  // Esc is held and has already collapsed the card
};

// Which of the Space log lines to write.
enum class SpaceLog { kNone, kComboKeyDown, kAloneKeyDown, kKeyUp };

// Carried out by the glue in field order: the KB line, the Space line with the
// recorded values, the activation line, the posts and the dispatch, then swallow or
// pass the event on.
struct KeyDecision {
  bool log_key = false;  // write the per-key line; only for keys the hook acts on
  SpaceLog space_log = SpaceLog::kNone;
  bool log_ctrl = false;    // values printed by the Space line
  bool log_alt = false;     // the event's Alt flag, not the full Alt test
  bool log_active = false;  // the chord flag before this event changed it
  bool log_voice = false;
  bool log_activate = false;  // "posting kActivateMsg" line
  bool post_activate = false;
  int32_t dispatch_event = 0;  // 0: none
  int space_voice = -1;        // -1 none, 1 pressed, 0 released
  bool post_close_tag = false;
  bool swallow = false;
};

KeyDecision DecideKeyEvent(const KeyEventFacts& facts, KeyboardHookState* state);

// Keys whose events get the per-key debug line. The log is a shared file, so other
// keys are never recorded there.
bool IsLoggedKey(uint32_t vk);

#endif  // KESTRUNE_INPUT_KEYBOARD_DECISION_H_
