#ifndef KESTRUNE_TRAY_TRAY_ICON_H_
#define KESTRUNE_TRAY_TRAY_ICON_H_

#include <windows.h>

class FlutterWindow;

// The notification-area icon (id 1). Main thread only.

// Adds the icon, attached to the tray menu window when it exists, else to
// |fallback| (the main window, or null), or deletes it from the window it was
// added to.
void SetTrayIconVisible(FlutterWindow* window, HWND fallback, bool visible);

// Adds the icon again when the interface made it visible: after Explorer
// restarts ("TaskbarCreated") the notification area has forgotten it.
void ReAddTrayIconIfVisible(FlutterWindow* window);

// Whether the interface last asked for the icon, and the window it is attached to.
bool TrayIconVisible();
HWND TrayIconOwner();

#endif  // KESTRUNE_TRAY_TRAY_ICON_H_
