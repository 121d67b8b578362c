#ifndef KESTRUNE_TESTS_SUPPORT_CHAT_FAKES_H_
#define KESTRUNE_TESTS_SUPPORT_CHAT_FAKES_H_

// The notification listener's runtime objects, faked with the runtime's
// vtables; the IIDs they answer are written out in chat_fakes.cc, not taken
// from the product's declarations.

#include <windows.h>

#include <atomic>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "tests/support/winrt_fakes.h"
#include "winrt/notifications.h"

// A method of a faked runtime interface.
#define KR_FAKE(method, ...)                    \
  HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) \
  override

namespace kr_test {

namespace rt = ::winrt;

// IAsyncOperation<T>: runs until Finish or Cancel, then calls its handler (at
// once if that comes later). Used by one thread at a time; a pointer result
// must outlive it.
template <typename T>
class FakeOperation final
    : public FakeObject<FakeOperation<T>, rt::IAsyncOperation<T>, rt::IAsyncInfo> {
 public:
  using Handler = rt::AsyncOperationCompletedHandler<T>;
  FakeOperation(FakeRuntimeLog* log, GUID handler_iid)
      : FakeObject<FakeOperation<T>, rt::IAsyncOperation<T>, rt::IAsyncInfo>(log),
        handler_iid_(handler_iid) {}
  void* Find(REFIID iid) {
    return iid == rt::kIidAsyncInfo ? static_cast<rt::IAsyncInfo*>(this) : nullptr;
  }
  void Finish(rt::AsyncStatus status, T result = {}) {
    if (status_ == rt::AsyncStatus::kStarted) {
      std::tie(status_, result_) = std::tuple(status, result);
      handler_ ? handler_->Invoke(this, status) : S_OK;
    }
  }
  KR_FAKE(put_Completed, Handler* handler) {
    HRESULT hr = handler->QueryInterface(handler_iid_, handler_.put_void());
    return SUCCEEDED(hr) && status_ != rt::AsyncStatus::kStarted ? handler_->Invoke(this, status_)
                                                                 : hr;
  }
  KR_FAKE(GetResults, T* results) {
    if constexpr (std::is_pointer_v<T>) {
      result_->AddRef();
    }
    return *results = result_, status_ == rt::AsyncStatus::kCompleted ? S_OK : E_FAIL;
  }
  KR_FAKE(get_Status, rt::AsyncStatus* status) { return *status = status_, S_OK; }
  KR_FAKE(get_ErrorCode, HRESULT* code) { return *code = E_FAIL, S_OK; }
  KR_FAKE(Cancel) { return ++this->log_->cancel_calls, Finish(rt::AsyncStatus::kCanceled), S_OK; }
  KR_FAKE(get_Completed, Handler**) { return E_NOTIMPL; }
  KR_FAKE(get_Id, UINT32*) { return E_NOTIMPL; }
  KR_FAKE(Close) { return S_OK; }

 private:
  const GUID handler_iid_;
  rt::AsyncStatus status_ = rt::AsyncStatus::kStarted;
  T result_{};
  rt::ComPtr<Handler> handler_;
};

// One toast, which is also its application, visual and only binding; a toast
// without texts has no binding.
class FakeToast final : public FakeObject<FakeToast,
                                          rt::IUserNotification,
                                          rt::INotification,
                                          rt::INotificationVisual,
                                          rt::IVector<rt::INotificationBinding*>,
                                          rt::INotificationBinding,
                                          rt::IAppInfo,
                                          rt::IAppDisplayInfo> {
 public:
  using FakeObject::FakeObject;
  void* Find(REFIID) { return nullptr; }
  UINT32 id = 0;
  std::wstring app;
  std::vector<std::wstring> texts;
  std::atomic<int> app_reads{0};

  template <typename I>
  HRESULT Give(I** out) {
    AddRef();
    return *out = this, S_OK;
  }
  KR_FAKE(get_Notification, rt::INotification** v) { return Give(v); }
  KR_FAKE(get_AppInfo, rt::IAppInfo** v) { return ++app_reads, Give(v); }
  KR_FAKE(get_Id, UINT32* v) { return *v = id, S_OK; }
  // 2024-01-01 00:00:00 UTC.
  KR_FAKE(get_CreationTime, rt::DateTime* v) {
    return v->universal_time = 133485408000000000, S_OK;
  }
  KR_FAKE(get_ExpirationTime, rt::IReference<rt::DateTime>**) { return E_NOTIMPL; }
  KR_FAKE(put_ExpirationTime, rt::IReference<rt::DateTime>*) { return E_NOTIMPL; }
  KR_FAKE(get_Visual, rt::INotificationVisual** v) { return Give(v); }
  KR_FAKE(get_Language, HSTRING*) { return E_NOTIMPL; }
  KR_FAKE(put_Language, HSTRING) { return E_NOTIMPL; }
  KR_FAKE(get_Bindings, rt::IVector<rt::INotificationBinding*>** v) { return Give(v); }
  KR_FAKE(GetAt, UINT32 i, rt::INotificationBinding** v) { return i ? E_INVALIDARG : Give(v); }
  KR_FAKE(get_Size, UINT32* v) { return *v = !texts.empty(), S_OK; }
  KR_FAKE(get_Template, HSTRING*) { return E_NOTIMPL; }
  KR_FAKE(put_Template, HSTRING) { return E_NOTIMPL; }
  KR_FAKE(get_Hints, IInspectable**) { return E_NOTIMPL; }
  KR_FAKE(GetTextElements, rt::IVectorView<rt::IAdaptiveNotificationText*>** v);
  KR_FAKE(get_Id, HSTRING*) { return E_NOTIMPL; }
  KR_FAKE(get_AppUserModelId, HSTRING*) { return E_NOTIMPL; }
  KR_FAKE(get_DisplayInfo, rt::IAppDisplayInfo** v) { return Give(v); }
  KR_FAKE(get_DisplayName, HSTRING* v);
};

// The centre: the listener's statics, the listener and the list of the toasts
// it holds, which a test changes only while no poll runs.
class FakeNotificationCentre final : public FakeObject<FakeNotificationCentre,
                                                       rt::IUserNotificationListenerStatics,
                                                       rt::IUserNotificationListener,
                                                       rt::UserNotificationList> {
 public:
  using FakeObject::FakeObject;
  void* Find(REFIID iid);
  std::atomic<rt::NotificationAccess> access{rt::NotificationAccess::kAllowed};
  std::vector<rt::ComPtr<FakeToast>> toasts;
  std::atomic<int> polls{0};
  std::atomic<DWORD> request_thread{0};
  rt::ComPtr<FakeOperation<rt::NotificationAccess>> request;

  KR_FAKE(get_Current, rt::IUserNotificationListener** v) {
    AddRef();
    return *v = this, S_OK;
  }
  KR_FAKE(RequestAccessAsync, rt::AccessOperation** operation);
  KR_FAKE(GetAccessStatus, rt::NotificationAccess* v) { return *v = access, S_OK; }
  KR_FAKE(add_NotificationChanged, IUnknown*, rt::EventRegistrationToken*) { return E_NOTIMPL; }
  KR_FAKE(remove_NotificationChanged, rt::EventRegistrationToken) { return E_NOTIMPL; }
  KR_FAKE(GetNotificationsAsync, UINT32 kinds, rt::NotificationListOperation** operation);
  KR_FAKE(GetAt, UINT32 i, rt::IUserNotification** v);
  KR_FAKE(get_Size, UINT32* v) { return *v = static_cast<UINT32>(toasts.size()), S_OK; }
  KR_FAKE(IndexOf, rt::IUserNotification*, UINT32*, boolean*) { return E_NOTIMPL; }
  KR_FAKE(GetMany, UINT32, UINT32, rt::IUserNotification**, UINT32*) { return E_NOTIMPL; }
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_CHAT_FAKES_H_
