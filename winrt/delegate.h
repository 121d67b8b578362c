#ifndef KESTRUNE_WINRT_DELEGATE_H_
#define KESTRUNE_WINRT_DELEGATE_H_

#include <windows.h>

#include <atomic>
#include <memory>

#include "winrt/abi.h"

namespace winrt {

// The IUnknown half of a delegate we hand to the runtime (a completion or event
// handler). The runtime may call it on any thread, at the same time, and keep
// it after the call that registered it has returned: the count is atomic, and
// QueryInterface answers IAgileObject beside IUnknown and the delegate
// instance's own IID. Self derives from Delegate<Self, Interface> and
// implements Invoke.
template <typename Self, typename Interface>
class Delegate : public Interface {
 public:
  explicit Delegate(REFIID iid) : iid_(iid) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) noexcept override {
    if (!object) {
      return E_POINTER;
    }
    if (iid == __uuidof(IUnknown) || iid == iid_ || iid == kIidAgileObject) {
      AddRef();
      *object = static_cast<Interface*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    ULONG left = --references_;
    if (left == 0) {
      std::unique_ptr<Self> self(static_cast<Self*>(this));
    }
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
  const GUID iid_;
};

}  // namespace winrt

#endif  // KESTRUNE_WINRT_DELEGATE_H_
