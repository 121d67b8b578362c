#ifndef KESTRUNE_FEEDS_MEDIA_MEDIA_WATCHER_H_
#define KESTRUNE_FEEDS_MEDIA_MEDIA_WATCHER_H_

#include <memory>

#include <flutter/encodable_value.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>

class FlutterWindow;

// Starts the media-session watcher unless it runs.
void StartSmtcListener(FlutterWindow* window);

// Stops the watcher and joins it. Returns promptly: the watcher's sleep and
// every wait of it and its callbacks end on the stop; callbacks still running
// are waited for, and nothing published before the stop is sent afterwards.
void StopSmtcListener(FlutterWindow* window);

// Teardown: the watcher, then the playback command threads (bounded wait).
void ShutDownMedia(FlutterWindow* window);

// The kestrune/smtc channel of the main window.
void SmtcChannelHandler(FlutterWindow* window,
                        const flutter::MethodCall<flutter::EncodableValue>& call,
                        std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

#endif  // KESTRUNE_FEEDS_MEDIA_MEDIA_WATCHER_H_
