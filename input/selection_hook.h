#ifndef KESTRUNE_INPUT_SELECTION_HOOK_H_
#define KESTRUNE_INPUT_SELECTION_HOOK_H_

#include <windows.h>

#include "runner/unique_resource.h"

// The text-selection trigger's low-level mouse hook, present while KR_SELECT_ON
// is on.
extern UniqueHook mouse_hook;
extern bool select_on;

// Reads KR_SELECT_ON and installs or removes the mouse hook accordingly.
void SetUpTextSelection();

// Removes the mouse hook if installed.
void RemoveTextSelectionHook();

// The WH_MOUSE_LL procedure: posts kSelectOnMsg to the main window when the
// configured gesture completes. Never swallows an event.
LRESULT CALLBACK MouseHookProc(int code, WPARAM wparam, LPARAM lparam) noexcept;

#endif  // KESTRUNE_INPUT_SELECTION_HOOK_H_
