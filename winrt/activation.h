#ifndef KESTRUNE_WINRT_ACTIVATION_H_
#define KESTRUNE_WINRT_ACTIVATION_H_

#include <windows.h>
#include <roapi.h>

#include <string_view>

#include "winrt/com_ptr.h"

namespace winrt {

// Every way into the runtime goes through this table, so tests can put fake
// runtime objects behind it and the code they run is the code that ships.
struct RuntimeProcs {
  HRESULT(WINAPI* ro_get_activation_factory)(HSTRING, REFIID, void**) = ::RoGetActivationFactory;
  HRESULT(WINAPI* ro_activate_instance)(HSTRING, IInspectable**) = ::RoActivateInstance;
};

// The table in use; tests may swap entries and must restore them.
RuntimeProcs& GetRuntimeProcs();

// The activation factory or statics interface |iid| of the class |class_id|.
HRESULT GetActivationFactory(std::wstring_view class_id, REFIID iid, void** factory);

template <typename T>
HRESULT GetActivationFactory(std::wstring_view class_id, REFIID iid, ComPtr<T>* factory) {
  return GetActivationFactory(class_id, iid, factory->put_void());
}

// A new instance of the activatable class |class_id|.
HRESULT ActivateInstance(std::wstring_view class_id, ComPtr<IInspectable>* instance);

}  // namespace winrt

#endif  // KESTRUNE_WINRT_ACTIVATION_H_
