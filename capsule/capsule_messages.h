#ifndef KESTRUNE_CAPSULE_CAPSULE_MESSAGES_H_
#define KESTRUNE_CAPSULE_CAPSULE_MESSAGES_H_

#include <string_view>

class FlutterWindow;

// Turns one message from the capsule into calls to the main interface, a
// private message or a reply to the capsule. Runs on the pipe thread; the
// calls reach the main thread in arrival order.
void HandleCapsuleMessage(FlutterWindow* window, std::string_view message);

#endif  // KESTRUNE_CAPSULE_CAPSULE_MESSAGES_H_
