#ifndef KESTRUNE_RUNNER_FOCUS_MESSAGE_HANDLER_H_
#define KESTRUNE_RUNNER_FOCUS_MESSAGE_HANDLER_H_

#include <windows.h>

#include <optional>

class FlutterWindow;

// The main window's messages in three stages: observation (activation, hit
// tests, frame, size), the Flutter hand-off, then the window's own messages
// (hotkeys and the expands, timers, private messages, forwarded payloads).
// Nothing means the message goes on to the base window class.
std::optional<LRESULT> HandleMainWindowMessage(FlutterWindow* window,
                                               HWND hwnd,
                                               UINT message,
                                               WPARAM wparam,
                                               LPARAM lparam);

#endif  // KESTRUNE_RUNNER_FOCUS_MESSAGE_HANDLER_H_
