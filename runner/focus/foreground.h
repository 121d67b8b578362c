#ifndef KESTRUNE_RUNNER_FOCUS_FOREGROUND_H_
#define KESTRUNE_RUNNER_FOCUS_FOREGROUND_H_

#include <windows.h>

// How the card gets and keeps the foreground and the keyboard focus.

// Brings |window| to the foreground in up to three levels, judged by the
// result, then focuses the Flutter view inside it.
void ForceForeground(HWND window);

// Gives the keyboard focus to the Flutter view inside |window|.
void FocusFlutterView(HWND window);

// Shrinks |window| proportionally into its monitor's work area when it is
// larger, centres it there and makes it topmost.
void ClampToWorkArea(HWND window);

// The shell's desktop: the shell window, or a window of class "Progman" or
// "WorkerW". It covers the screen but is no full-screen application.
bool IsShellDesktopWindow(HWND window);

// The monitor under the cursor, or the nearest one.
HMONITOR MonitorFromCursor();

// EnumDisplayMonitors callback that logs each monitor.
BOOL CALLBACK LogMonitor(HMONITOR monitor, HDC dc, LPRECT rect, LPARAM data) noexcept;

#endif  // KESTRUNE_RUNNER_FOCUS_FOREGROUND_H_
