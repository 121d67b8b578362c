#ifndef KESTRUNE_TRAY_TRAY_MENU_H_
#define KESTRUNE_TRAY_TRAY_MENU_H_

#include <windows.h>

class FlutterWindow;

// The notification-area menu (open, quit) and its actions. Main thread only.

// Shows the menu at the cursor; returns when it has closed.
void ShowTrayMenu(FlutterWindow* window);

// Owner window procedure of the menu ("KestruneTrayMenu").
LRESULT CALLBACK TrayMenuWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

// Carries out one tray action: "tray_quit" tears the window down and ends the
// message loop; any other name is sent to the interface with the argument 0.
void TrayEvent(FlutterWindow* window, const char* action);

#endif  // KESTRUNE_TRAY_TRAY_MENU_H_
