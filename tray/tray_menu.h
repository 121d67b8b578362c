#ifndef KESTRUNE_TRAY_TRAY_MENU_H_
#define KESTRUNE_TRAY_TRAY_MENU_H_

#include <windows.h>

class FlutterWindow;

// The notification-area menu (open, quit) and its actions. Main thread only.

// The menu's owner, created once: a hidden top-level window, since only such
// a window can take the foreground, and a menu whose owner is not in front
// never closes when the user clicks elsewhere. It also receives the clicks on
// the icon that "setTrayVisible" adds. Null when it could not be created.
HWND EnsureTrayMenuWindow(FlutterWindow* window);

// Shows the menu at the cursor; returns when it has closed.
void ShowTrayMenu(FlutterWindow* window);

// Acts on a mouse message reported by a notification-area icon: the right
// button opens the menu, a left release or double click sends
// "tray_show_main". False when |mouse_message| is none of those.
bool HandleTrayClick(FlutterWindow* window, UINT mouse_message);

// Owner window procedure of the menu ("KestruneTrayMenu").
LRESULT CALLBACK TrayMenuWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

// Carries out one tray action: "tray_quit" has the main window destroyed,
// which ends the message loop; any other name is sent to the interface with
// the argument 0.
void TrayEvent(FlutterWindow* window, const char* action);

#endif  // KESTRUNE_TRAY_TRAY_MENU_H_
