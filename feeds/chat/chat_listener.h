#ifndef KESTRUNE_FEEDS_CHAT_CHAT_LISTENER_H_
#define KESTRUNE_FEEDS_CHAT_CHAT_LISTENER_H_

#include <windows.h>

#include <functional>
#include <memory>

#include <flutter/encodable_value.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>
#include "feeds/chat/chat_notification.h"
#include "winrt/notifications.h"

class FlutterWindow;

// The kestrune/wechat channel of the main window.
void WechatChannelHandler(FlutterWindow* window,
                          const flutter::MethodCall<flutter::EncodableValue>& call,
                          std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

// Starts the polling thread unless it runs.
void StartWechatListener(FlutterWindow* window);
// Stops the polling thread and joins it; returns at once when none runs.
void StopWechatListener(FlutterWindow* window);

// A poll hands over at most this many notifications; the rest wait for the
// next poll, so a full notification centre cannot flood the main thread.
inline constexpr int kMaxNotificationsPerPoll = 200;

// Takes one "wechat.notification" payload; false when it could not be taken,
// and the notification is then offered again by the next poll.
using NotificationSink = std::function<bool(flutter::EncodableMap payload)>;

// One pass over the toasts of the notification centre: each WeChat toast not
// seen before goes to |deliver|, in the centre's order. The runtime's wait ends
// on |stop_event|. Returns the error that cut the pass short, if any.
HRESULT PollNotifications(winrt::IUserNotificationListener* listener,
                          HANDLE stop_event,
                          SeenNotifications* seen,
                          const NotificationSink& deliver);

#endif  // KESTRUNE_FEEDS_CHAT_CHAT_LISTENER_H_
