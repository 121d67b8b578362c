#ifndef KESTRUNE_WINRT_NOTIFICATIONS_H_
#define KESTRUNE_WINRT_NOTIFICATIONS_H_

// The notification listener of Windows.UI.Notifications(.Management) and the
// Windows.ApplicationModel interfaces it hands out, at their ABI. mingw-w64
// ships none of them. Each interface is declared up to the last slot the chat
// feed calls: slots before it keep their place, slots after it are left out.

#include <windows.h>
#include <inspectable.h>

#include <cstdint>

#include "winrt/abi.h"
#include "winrt/collections.h"
#include "winrt/pinterface_iid.h"

namespace winrt {

// The IID of a generic instance, from its type signature, at compile time.
constexpr GUID SignatureIid(std::string_view signature) {
  const Guid iid = PinterfaceIid(signature);
  return GUID{iid.data1,
              iid.data2,
              iid.data3,
              {iid.data4[0], iid.data4[1], iid.data4[2], iid.data4[3], iid.data4[4], iid.data4[5],
               iid.data4[6], iid.data4[7]}};
}

inline constexpr wchar_t kUserNotificationListenerClass[] =
    L"Windows.UI.Notifications.Management.UserNotificationListener";

// Its statics. With the two completion delegates below these are the only IIDs
// the feed asks for: it calls the other interfaces on the pointers handed out.
inline constexpr GUID kIidUserNotificationListenerStatics{
    0xff6123cf,
    0x4386,
    0x4aa3,
    {0xb7, 0x3d, 0xb8, 0x04, 0xe5, 0xb6, 0x3b, 0x23}};
// UserNotificationListenerAccessStatus.
enum class NotificationAccess : int32_t { kUnspecified = 0, kAllowed = 1, kDenied = 2 };
// NotificationKinds, a [flags] enum.
inline constexpr UINT32 kNotificationKindsToast = 1;

struct IAppDisplayInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_DisplayName(HSTRING* value) = 0;
};

struct IAppInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AppUserModelId(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DisplayInfo(IAppDisplayInfo** value) = 0;
};

struct IAdaptiveNotificationText : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Text(HSTRING* value) = 0;
};

struct INotificationBinding : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Template(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Template(HSTRING value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Language(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Language(HSTRING value) = 0;
  // IMap<String, String>, never read here.
  virtual HRESULT STDMETHODCALLTYPE get_Hints(IInspectable** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  GetTextElements(IVectorView<IAdaptiveNotificationText*>** result) = 0;
};

// IVector<T>, read only: its writers come after these two slots.
template <typename TAbi>
struct IVector : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, TAbi* item) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
};

struct INotificationVisual : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Language(HSTRING* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Language(HSTRING value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Bindings(IVector<INotificationBinding*>** value) = 0;
};

struct INotification : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_ExpirationTime(IReference<DateTime>** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ExpirationTime(IReference<DateTime>* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Visual(INotificationVisual** value) = 0;
};

struct IUserNotification : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Notification(INotification** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AppInfo(IAppInfo** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CreationTime(DateTime* value) = 0;
};

using AccessOperation = IAsyncOperation<NotificationAccess>;
using AccessCompletedHandler = AsyncOperationCompletedHandler<NotificationAccess>;
using UserNotificationList = IVectorView<IUserNotification*>;
using NotificationListOperation = IAsyncOperation<UserNotificationList*>;

// AsyncOperationCompletedHandler<UserNotificationListenerAccessStatus>.
inline constexpr GUID kIidAccessCompletedHandler = SignatureIid(
    "pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};enum(Windows.UI.Notifications."
    "Management.UserNotificationListenerAccessStatus;i4))");
// AsyncOperationCompletedHandler<IVectorView<UserNotification>>.
inline constexpr GUID kIidNotificationListCompletedHandler = SignatureIid(
    "pinterface({fcdcf02c-e5d8-4478-915a-4d90b74b83a5};pinterface({bbe1fa4c-b0e3-4583-baef-"
    "1f1b2e483e56};rc(Windows.UI.Notifications.UserNotification;{adf7e52f-4e53-42d5-9c33-"
    "eb5ea515b23e})))");

struct IUserNotificationListener : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE RequestAccessAsync(AccessOperation** operation) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAccessStatus(NotificationAccess* result) = 0;
  // NotificationChanged, with a TypedEventHandler<UserNotificationListener,
  // UserNotificationChangedEventArgs>; not subscribed here.
  virtual HRESULT STDMETHODCALLTYPE add_NotificationChanged(IUnknown* handler,
                                                            EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_NotificationChanged(EventRegistrationToken token) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  GetNotificationsAsync(UINT32 kinds, NotificationListOperation** operation) = 0;
};

struct IUserNotificationListenerStatics : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Current(IUserNotificationListener** value) = 0;
};

}  // namespace winrt

#endif  // KESTRUNE_WINRT_NOTIFICATIONS_H_
