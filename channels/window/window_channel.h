#ifndef KESTRUNE_CHANNELS_WINDOW_WINDOW_CHANNEL_H_
#define KESTRUNE_CHANNELS_WINDOW_WINDOW_CHANNEL_H_

#include <memory>

#include <flutter/encodable_value.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>

class FlutterWindow;

// Handles the interface's calls on "kestrune/window".
void WindowChannelHandler(FlutterWindow* window,
                          const flutter::MethodCall<flutter::EncodableValue>& call,
                          std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

#endif  // KESTRUNE_CHANNELS_WINDOW_WINDOW_CHANNEL_H_
