#ifndef KESTRUNE_INPUT_KEYBOARD_HOOK_H_
#define KESTRUNE_INPUT_KEYBOARD_HOOK_H_

#include <windows.h>

#include "input/keyboard_decision.h"
#include "runner/unique_resource.h"

// The system-wide low-level keyboard hook of the main role: chords, push-to-talk,
// Esc and Delete. Installed and removed by the main window's lifecycle.
extern UniqueHook keyboard_hook;

// Installs KeyboardHookProc for all threads into keyboard_hook (null on failure).
void InstallKeyboardHook();

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wparam, LPARAM lparam) noexcept;

// True while the keyboard hook procedure runs on this thread.
bool InKeyboardHook();

// The hook's own flags (esc_down is cleared at window destruction).
KeyboardHookState& KeyboardHookFlags();

#endif  // KESTRUNE_INPUT_KEYBOARD_HOOK_H_
