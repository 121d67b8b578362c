#ifndef KESTRUNE_INPUT_HOTKEY_CHANNEL_H_
#define KESTRUNE_INPUT_HOTKEY_CHANNEL_H_

#include <memory>

#include <flutter/method_call.h>
#include <flutter/method_result.h>
#include <flutter/encodable_value.h>

class FlutterWindow;

// Handles the interface's calls on "kestrune/hotkey".
void HotkeyChannelHandler(FlutterWindow* window,
                          const flutter::MethodCall<flutter::EncodableValue>& call,
                          std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

// The six default hotkeys on the main window (main role only).
void RegisterDefaultHotkeys(FlutterWindow* window);
void UnregisterDefaultHotkeys(FlutterWindow* window);

#endif  // KESTRUNE_INPUT_HOTKEY_CHANNEL_H_
