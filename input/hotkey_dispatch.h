#ifndef KESTRUNE_INPUT_HOTKEY_DISPATCH_H_
#define KESTRUNE_INPUT_HOTKEY_DISPATCH_H_

#include <windows.h>

#include <cstdint>

class FlutterWindow;

// Sends hotkey event |number| (1 to 11) to the interface on "kestrune/hotkey",
// unless the foreground blacklist or the pause-in-background rule drops it.
// True once the call is on its way: sent, or, from another thread, queued for
// the main thread in order.
bool DispatchHotkeyEvent(FlutterWindow* window, int32_t number);

// True when the foreground window's title contains one of the comma-separated
// fragments in the environment variable |variable|.
bool ForegroundTitleMatches(const wchar_t* variable);

// Reads |window|'s title without sending a message to a window of this process;
// returns its length in UTF-16 units (at most |capacity| - 1).
int ReadWindowTitle(HWND window, wchar_t* title, int capacity);

#endif  // KESTRUNE_INPUT_HOTKEY_DISPATCH_H_
