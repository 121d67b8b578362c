#include "winrt/activation.h"

#include "winrt/hstring.h"

namespace winrt {

RuntimeProcs& GetRuntimeProcs() {
  static RuntimeProcs procs;
  return procs;
}

HRESULT GetActivationFactory(std::wstring_view class_id, REFIID iid, void** factory) {
  *factory = nullptr;
  HString id;
  HRESULT hr = HString::Create(class_id, &id);
  return FAILED(hr) ? hr : GetRuntimeProcs().ro_get_activation_factory(id.get(), iid, factory);
}

HRESULT ActivateInstance(std::wstring_view class_id, ComPtr<IInspectable>* instance) {
  IInspectable** out = instance->put();
  HString id;
  HRESULT hr = HString::Create(class_id, &id);
  return FAILED(hr) ? hr : GetRuntimeProcs().ro_activate_instance(id.get(), out);
}

}  // namespace winrt
