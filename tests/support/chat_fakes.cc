#include "tests/support/chat_fakes.h"

#include <winstring.h>

namespace kr_test {

namespace {

GUID Iid(const wchar_t* text) {
  GUID iid{};
  ::IIDFromString(text, &iid);
  return iid;
}

const GUID kListenerStaticsIid = Iid(L"{ff6123cf-4386-4aa3-b73d-b804e5b63b23}");
const GUID kAccessHandlerIid = Iid(L"{f09e843a-13cb-559b-a9fc-015722c2cd57}");
const GUID kListHandlerIid = Iid(L"{9e42ed08-45b3-5643-b5c7-b216f5781594}");

HRESULT CopyString(const std::wstring& text, HSTRING* out) {
  return ::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), out);
}

// A toast's text elements, each one also this list seen at its own index.
class FakeTexts final : public FakeObject<FakeTexts,
                                          rt::IVectorView<rt::IAdaptiveNotificationText*>,
                                          rt::IAdaptiveNotificationText> {
 public:
  FakeTexts(FakeRuntimeLog* log, std::vector<std::wstring> texts, UINT32 index)
      : FakeObject(log), texts_(std::move(texts)), index_(index) {}
  void* Find(REFIID) { return nullptr; }
  KR_FAKE(GetAt, UINT32 i, rt::IAdaptiveNotificationText** v) {
    return i < texts_.size() ? *v = Create(log_, texts_, i).detach(), S_OK : E_INVALIDARG;
  }
  KR_FAKE(get_Size, UINT32* v) { return *v = static_cast<UINT32>(texts_.size()), S_OK; }
  KR_FAKE(IndexOf, rt::IAdaptiveNotificationText*, UINT32*, boolean*) { return E_NOTIMPL; }
  KR_FAKE(GetMany, UINT32, UINT32, rt::IAdaptiveNotificationText**, UINT32*) { return E_NOTIMPL; }
  KR_FAKE(get_Text, HSTRING* v) { return CopyString(texts_.at(index_), v); }

 private:
  const std::vector<std::wstring> texts_;
  const UINT32 index_;
};

}  // namespace

HRESULT FakeToast::GetTextElements(rt::IVectorView<rt::IAdaptiveNotificationText*>** v) {
  *v = FakeTexts::Create(log_, texts, 0u).detach();
  return S_OK;
}

HRESULT FakeToast::get_DisplayName(HSTRING* v) {
  return CopyString(app, v);
}

void* FakeNotificationCentre::Find(REFIID iid) {
  return iid == kListenerStaticsIid ? static_cast<rt::IUserNotificationListenerStatics*>(this)
                                    : nullptr;
}

HRESULT FakeNotificationCentre::RequestAccessAsync(rt::AccessOperation** operation) {
  request_thread = ::GetCurrentThreadId();
  request = FakeOperation<rt::NotificationAccess>::Create(log_, kAccessHandlerIid);
  *operation = rt::ComPtr(request).detach();
  return S_OK;
}

// Toasts only; the list is the centre itself.
HRESULT FakeNotificationCentre::GetNotificationsAsync(UINT32 kinds,
                                                      rt::NotificationListOperation** operation) {
  ++polls;
  auto poll = FakeOperation<rt::UserNotificationList*>::Create(log_, kListHandlerIid);
  if (kinds == 1) {
    poll->Finish(rt::AsyncStatus::kCompleted, this);
  }
  *operation = poll.detach();
  return S_OK;
}

HRESULT FakeNotificationCentre::GetAt(UINT32 i, rt::IUserNotification** v) {
  return i < toasts.size() ? toasts[i]->Give(v) : E_INVALIDARG;
}

}  // namespace kr_test
