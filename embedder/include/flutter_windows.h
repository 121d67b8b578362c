#ifndef KESTRUNE_EMBEDDER_FLUTTER_WINDOWS_H_
#define KESTRUNE_EMBEDDER_FLUTTER_WINDOWS_H_

#include <windows.h>

#include <flutter_plugin_registrar.h>

// The engine's C entry points that the host calls directly, with C linkage as
// flutter_windows.dll exports them.

extern "C" {

typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;

// Effective DPI of |monitor| (96 when it cannot be read).
UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor);

// The child window that shows the interface.
HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view);

// Repaints the view at once.
void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller);

// Re-binds the engine's output to standard output and error after they moved.
void FlutterDesktopResyncOutputStreams();

}  // extern "C"

#endif  // KESTRUNE_EMBEDDER_FLUTTER_WINDOWS_H_
