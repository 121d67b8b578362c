#include "feeds/chat/chat_listener.h"

#include <objbase.h>

#include <atomic>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/main_thread_tasks.h"
#include "runner/unique_resource.h"
#include "winrt/activation.h"
#include "winrt/async_wait.h"
#include "winrt/com_ptr.h"
#include "winrt/delegate.h"
#include "winrt/hstring.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using winrt::ComPtr;
using winrt::HString;
using winrt::NotificationAccess;

// The user's answer to the access request, carried from the completion
// handler, on whatever thread the runtime calls it, to the polling thread.
struct AccessAnswer {
  void Give(NotificationAccess value) {
    access = value;
    ::SetEvent(answered.get());
  }

  UniqueHandle answered{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<NotificationAccess> access{NotificationAccess::kUnspecified};
};

class AccessHandler final : public winrt::Delegate<AccessHandler, winrt::AccessCompletedHandler> {
 public:
  explicit AccessHandler(std::shared_ptr<AccessAnswer> answer)
      : Delegate(winrt::kIidAccessCompletedHandler), answer_(std::move(answer)) {}

  HRESULT STDMETHODCALLTYPE Invoke(winrt::AccessOperation* operation,
                                   winrt::AsyncStatus status) noexcept override {
    NotificationAccess access = NotificationAccess::kUnspecified;
    if (status != winrt::AsyncStatus::kCompleted || FAILED(operation->GetResults(&access))) {
      access = NotificationAccess::kUnspecified;
    }
    answer_->Give(access);
    return S_OK;
  }

 private:
  const std::shared_ptr<AccessAnswer> answer_;
};

// Runs on the main thread: starts the request and returns without waiting.
void RequestAccess(winrt::IUserNotificationListener* listener,
                   const std::shared_ptr<AccessAnswer>& answer) {
  ComPtr<AccessHandler> handler;
  handler.attach(std::make_unique<AccessHandler>(answer).release());
  ComPtr<winrt::AccessOperation> operation;
  if (FAILED(listener->RequestAccessAsync(operation.put())) || !operation ||
      FAILED(operation->put_Completed(handler.get()))) {
    answer->Give(NotificationAccess::kUnspecified);
  }
}

// Whether the user lets this program read the notifications. Windows asks the
// user only when the request comes from a UI thread, so the main thread starts
// it; this thread waits for the answer, or for a stop.
bool AccessAllowed(winrt::IUserNotificationListener* listener, HANDLE stop_event) {
  NotificationAccess access = NotificationAccess::kUnspecified;
  if (SUCCEEDED(listener->GetAccessStatus(&access)) && access == NotificationAccess::kAllowed) {
    return true;
  }
  auto answer = std::make_shared<AccessAnswer>();
  if (!answer->answered ||
      !GetMainThreadTasks().Post(
          [listener = ComPtr<winrt::IUserNotificationListener>::CopyFrom(listener), answer] {
            RequestAccess(listener.get(), answer);
          })) {
    return false;
  }
  const HANDLE handles[] = {answer->answered.get(), stop_event};
  return ::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 &&
         answer->access == NotificationAccess::kAllowed;
}

// The text elements of the toast's first binding; none when it has no visual,
// no binding or no texts.
HRESULT ReadTextElements(winrt::IUserNotification* notification,
                         std::vector<std::string>* elements) {
  ComPtr<winrt::INotification> toast;
  ComPtr<winrt::INotificationVisual> visual;
  ComPtr<winrt::IVector<winrt::INotificationBinding*>> bindings;
  UINT32 count = 0;
  HRESULT hr = notification->get_Notification(toast.put());
  if (FAILED(hr) || !toast || FAILED(hr = toast->get_Visual(visual.put())) || !visual ||
      FAILED(hr = visual->get_Bindings(bindings.put())) || !bindings ||
      FAILED(hr = bindings->get_Size(&count)) || count == 0) {
    return hr;
  }
  ComPtr<winrt::INotificationBinding> first;
  ComPtr<winrt::IVectorView<winrt::IAdaptiveNotificationText*>> texts;
  if (FAILED(hr = bindings->GetAt(0, first.put())) || !first ||
      FAILED(hr = first->GetTextElements(texts.put())) || !texts ||
      FAILED(hr = texts->get_Size(&count))) {
    return hr;
  }
  for (UINT32 i = 0; i < count; ++i) {
    ComPtr<winrt::IAdaptiveNotificationText> element;
    HString text;
    if (FAILED(hr = texts->GetAt(i, element.put())) ||
        (element && FAILED(hr = element->get_Text(text.put())))) {
      return hr;
    }
    elements->push_back(winrt::HStringToUtf8(text.get()));
  }
  return S_OK;
}

// The payload of |notification| if it is WeChat's; nothing for another
// application's, or one that does not say whose it is.
HRESULT ReadWechatNotification(winrt::IUserNotification* notification,
                               std::optional<EncodableMap>* payload) {
  ComPtr<winrt::IAppInfo> app;
  ComPtr<winrt::IAppDisplayInfo> display;
  HString name;
  HRESULT hr = notification->get_AppInfo(app.put());
  if (FAILED(hr) || !app || FAILED(hr = app->get_DisplayInfo(display.put())) || !display ||
      FAILED(hr = display->get_DisplayName(name.put()))) {
    return hr;
  }
  std::string sender = winrt::HStringToUtf8(name.get());
  if (!IsWechatApp(sender)) {
    return S_OK;
  }
  winrt::DateTime created{};
  std::vector<std::string> elements;
  if (FAILED(hr = notification->get_CreationTime(&created)) ||
      FAILED(hr = ReadTextElements(notification, &elements))) {
    return hr;
  }
  NotificationText text = JoinTextElements(elements);
  *payload = EncodableMap{
      {EncodableValue("sender"), EncodableValue(std::move(sender))},
      {EncodableValue("title"), EncodableValue(std::move(text.title))},
      {EncodableValue("content"), EncodableValue(std::move(text.content))},
      {EncodableValue("timestamp"),
       EncodableValue(NotificationTimestampMs(created.universal_time))},
  };
  return S_OK;
}

// Each payload is a task of its own on the main thread, in order; the queue
// never drops one.
bool HandOver(FlutterWindow* window, EncodableMap payload) {
  return GetMainThreadTasks().Post([window, payload = std::move(payload)]() mutable {
    if (window->wechat_channel) {
      window->wechat_channel->InvokeMethod("wechat.notification",
                                           std::make_unique<EncodableValue>(std::move(payload)));
    }
  });
}

ComPtr<winrt::IUserNotificationListener> CurrentListener() {
  ComPtr<winrt::IUserNotificationListenerStatics> statics;
  ComPtr<winrt::IUserNotificationListener> listener;
  if (SUCCEEDED(winrt::GetActivationFactory(winrt::kUserNotificationListenerClass,
                                            winrt::kIidUserNotificationListenerStatics,
                                            &statics))) {
    statics->get_Current(listener.put());
  }
  return listener;
}

void WechatListenerLoop(FlutterWindow* window) {
  PollPacer& pacer = window->wechat_pacer;
  if (SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    if (ComPtr<winrt::IUserNotificationListener> listener = CurrentListener();
        listener && AccessAllowed(listener.get(), pacer.stop_event())) {
      SeenNotifications seen;
      NotificationSink deliver = [window](EncodableMap payload) {
        return HandOver(window, std::move(payload));
      };
      // An error ends only its own poll; the next one comes a period later.
      while (window->wechat_running) {
        PollNotifications(listener.get(), pacer.stop_event(), &seen, deliver);
        if (!pacer.WaitForNextPoll()) {
          break;
        }
      }
    }
    ::CoUninitialize();
  }
  window->wechat_running = false;
}

}  // namespace

HRESULT PollNotifications(winrt::IUserNotificationListener* listener,
                          HANDLE stop_event,
                          SeenNotifications* seen,
                          const NotificationSink& deliver) {
  ComPtr<winrt::NotificationListOperation> operation;
  ComPtr<winrt::UserNotificationList> list;
  HRESULT hr = listener->GetNotificationsAsync(winrt::kNotificationKindsToast, operation.put());
  if (FAILED(hr) || FAILED(hr = winrt::WaitForResults(operation.get(),
                                                      winrt::kIidNotificationListCompletedHandler,
                                                      list.put(), {.stop_event = stop_event}))) {
    return hr;
  }
  if (!list) {
    return E_POINTER;
  }
  int handed_over = 0;
  UINT32 size = 0;
  // The size is read again before each step: the list may be live.
  for (UINT32 i = 0; SUCCEEDED(hr = list->get_Size(&size)) && i < size; ++i) {
    ComPtr<winrt::IUserNotification> notification;
    UINT32 id = 0;
    if (FAILED(hr = list->GetAt(i, notification.put())) || !notification ||
        FAILED(hr = notification->get_Id(&id))) {
      hr = FAILED(hr) ? hr : E_POINTER;
      break;
    }
    if (seen->Seen(id) || handed_over >= kMaxNotificationsPerPoll) {
      continue;
    }
    // One notification that cannot be read is tried again next poll, without
    // holding up the ones after it.
    std::optional<EncodableMap> payload;
    if (FAILED(ReadWechatNotification(notification.get(), &payload))) {
      continue;
    }
    if (payload) {
      if (!deliver(std::move(*payload))) {
        continue;
      }
      ++handed_over;
    }
    seen->Remember(id);
  }
  seen->EndPoll(SUCCEEDED(hr));
  return hr;
}

void StartWechatListener(FlutterWindow* window) {
  if (window->wechat_running.exchange(true)) {
    return;
  }
  if (window->wechat_thread.joinable()) {
    window->wechat_thread.join();
  }
  window->wechat_pacer.Rearm();
  try {
    window->wechat_thread = std::thread(WechatListenerLoop, window);
  } catch (const std::exception& error) {
    // Cleared, so that the next start tries again instead of finding the
    // listener "running" with no thread.
    DebugLogF("[WeChat] Listener thread not started: %s", error.what());
    window->wechat_running = false;
  }
}

void StopWechatListener(FlutterWindow* window) {
  window->wechat_running = false;
  window->wechat_pacer.Stop();
  if (window->wechat_thread.joinable()) {
    window->wechat_thread.join();
  }
}

void WechatChannelHandler(FlutterWindow* window,
                          const flutter::MethodCall<EncodableValue>& call,
                          std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
  const std::string& method = call.method_name();
  if (method == "startWechatListener") {
    StartWechatListener(window);
    result->Success();
  } else if (method == "stopWechatListener") {
    StopWechatListener(window);
    result->Success();
  } else {
    result->NotImplemented();
  }
}
