#ifndef KESTRUNE_CHANNELS_WINDOW_WINDOW_GEOMETRY_H_
#define KESTRUNE_CHANNELS_WINDOW_WINDOW_GEOMETRY_H_

#include <flutter/encodable_value.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>

class FlutterWindow;

// The geometry and appearance methods of "kestrune/window", which come first
// in its dispatch order. Answers the call and returns true when |call| names
// one of them; returns false, without answering, otherwise.
bool HandleGeometryMethod(FlutterWindow* window,
                          const flutter::MethodCall<flutter::EncodableValue>& call,
                          flutter::MethodResult<flutter::EncodableValue>& result);

#endif  // KESTRUNE_CHANNELS_WINDOW_WINDOW_GEOMETRY_H_
