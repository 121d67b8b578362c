#ifndef KESTRUNE_TRAY_TRAY_ICON_H_
#define KESTRUNE_TRAY_TRAY_ICON_H_

#include <windows.h>

class FlutterWindow;

// The notification-area icon (id 1). Main thread only.

// What the icon reports its mouse messages with, to the tray menu window.
inline constexpr UINT kTrayIconCallbackMessage = 1125;

// Adds the icon, attached to the tray menu window (created first when needed),
// or deletes it from the window it was added to. Never attached to the main
// window, where its callback number is another private message.
void SetTrayIconVisible(FlutterWindow* window, bool visible);

// Deletes the icon if it is shown; teardown.
void RemoveTrayIcon();

// Adds the icon again when the interface made it visible: after Explorer
// restarts ("TaskbarCreated") the notification area has forgotten it.
void ReAddTrayIconIfVisible(FlutterWindow* window);

// Whether the interface last asked for the icon, and the window it is attached to.
bool TrayIconVisible();
HWND TrayIconOwner();

#endif  // KESTRUNE_TRAY_TRAY_ICON_H_
