#ifndef KESTRUNE_TESTS_SUPPORT_WINRT_FAKES_H_
#define KESTRUNE_TESTS_SUPPORT_WINRT_FAKES_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "winrt/abi.h"
#include "winrt/activation.h"
#include "winrt/com_ptr.h"

namespace kr_test {

// What the fake runtime objects saw. It outlives them, so a test can check that
// every reference was given back.
struct FakeRuntimeLog {
  std::atomic<int> live_objects{0};
  std::atomic<int> cancel_calls{0};
  // What the completion handler's Release returned when the operation dropped
  // it: 0 when the operation held the last reference.
  std::atomic<long> handler_left_on_drop{-1};
  std::vector<int64_t> removed_tokens;
};

inline constexpr GUID kIidInspectable{0xaf86e2e0,
                                      0xb12d,
                                      0x4c6a,
                                      {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};

// A runtime object implementing |Interfaces| (IInspectable-based, the first
// one answering IUnknown and IInspectable) with a real reference count; Self
// answers its other interfaces in Find.
template <typename Self, typename First, typename... Others>
class FakeObject : public First, public Others... {
 public:
  template <typename... Args>
  static winrt::ComPtr<Self> Create(FakeRuntimeLog* log, Args... args) {
    winrt::ComPtr<Self> object;
    object.attach(std::make_unique<Self>(log, args...).release());
    return object;
  }
  explicit FakeObject(FakeRuntimeLog* log) : log_(log) { ++log_->live_objects; }
  ~FakeObject() { --log_->live_objects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = iid == __uuidof(IUnknown) || iid == kIidInspectable
                  ? static_cast<First*>(this)
                  : static_cast<Self*>(this)->Find(iid);
    if (!*object) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) {
      std::unique_ptr<Self> self(static_cast<Self*>(this));
    }
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }

 protected:
  FakeRuntimeLog* const log_;

 private:
  std::atomic<ULONG> references_{1};
};

// A plain runtime object, also an activation factory and an event handler.
class FakeInspectable final : public FakeObject<FakeInspectable, winrt::IActivationFactory> {
 public:
  using FakeObject::FakeObject;
  void* Find(REFIID iid) {
    return iid == winrt::kIidActivationFactory ? static_cast<winrt::IActivationFactory*>(this)
                                               : nullptr;
  }
  HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
    *instance = Create(log_).detach();
    return S_OK;
  }
};

// IAsyncOperation<Boolean> with its IAsyncInfo, as the runtime's behave: the
// handler runs when the operation ends, at once if it already has; a second
// handler is refused; Cancel ends a running operation as Canceled.
class FakeBoolOperation final
    : public FakeObject<FakeBoolOperation, winrt::IAsyncOperation<boolean>, winrt::IAsyncInfo> {
 public:
  using Handler = winrt::AsyncOperationCompletedHandler<boolean>;
  FakeBoolOperation(FakeRuntimeLog* log, GUID handler_iid)
      : FakeObject(log), handler_iid_(handler_iid) {}
  ~FakeBoolOperation();
  void* Find(REFIID iid) {
    return iid == winrt::kIidAsyncInfo ? static_cast<winrt::IAsyncInfo*>(this) : nullptr;
  }

  void Finish(winrt::AsyncStatus status, HRESULT error_code, boolean result);
  bool HasHandler() { return static_cast<bool>(Snapshot().handler); }

  HRESULT STDMETHODCALLTYPE put_Completed(Handler* handler) override;
  HRESULT STDMETHODCALLTYPE get_Completed(Handler**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetResults(boolean* results) override {
    State state = Snapshot();
    if (state.status != winrt::AsyncStatus::kCompleted) {
      return static_cast<HRESULT>(0x8000000E);  // E_ILLEGAL_METHOD_CALL
    }
    *results = state.result;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Id(UINT32*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Status(winrt::AsyncStatus* status) override {
    *status = Snapshot().status;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* error_code) override {
    *error_code = Snapshot().error_code;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Cancel() override;
  HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }

 private:
  struct State {
    winrt::AsyncStatus status = winrt::AsyncStatus::kStarted;
    HRESULT error_code = S_OK;
    boolean result = 0;
    winrt::ComPtr<Handler> handler;
  };
  State Snapshot() {
    std::lock_guard lock(mutex_);
    return state_;
  }
  // Outside the lock: a handler may call back into the operation.
  void InvokeHandler() {
    if (State state = Snapshot(); state.handler && state.status != winrt::AsyncStatus::kStarted) {
      state.handler->Invoke(this, state.status);
    }
  }

  const GUID handler_iid_;
  std::mutex mutex_;
  State state_;
};

// An event in the runtime's shape: add_ keeps the handler and hands out a
// token, remove_ logs the token and drops the handler.
struct IFakeEventSource : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE add_Changed(IUnknown* handler,
                                                winrt::EventRegistrationToken* token) = 0;
  virtual HRESULT STDMETHODCALLTYPE remove_Changed(winrt::EventRegistrationToken token) = 0;
};

class FakeEventSource final : public FakeObject<FakeEventSource, IFakeEventSource> {
 public:
  using FakeObject::FakeObject;
  void* Find(REFIID) { return nullptr; }
  HRESULT STDMETHODCALLTYPE add_Changed(IUnknown* handler,
                                        winrt::EventRegistrationToken* token) override {
    if (!handler) {
      return E_POINTER;
    }
    token->value = next_token_++;
    handlers_[token->value] = winrt::ComPtr<IUnknown>::CopyFrom(handler);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE remove_Changed(winrt::EventRegistrationToken token) override {
    log_->removed_tokens.push_back(token.value);
    handlers_.erase(token.value);
    return S_OK;
  }

 private:
  int64_t next_token_ = 0x7000000000000001;
  std::map<int64_t, winrt::ComPtr<IUnknown>> handlers_;
};

// Puts fakes behind the activation table while it lives: both entries answer
// |hr| and, if that is a success, |object| queried for the requested interface.
class ScopedFakeActivation {
 public:
  ScopedFakeActivation(IInspectable* object, HRESULT hr);
  ~ScopedFakeActivation();
  ScopedFakeActivation(const ScopedFakeActivation&) = delete;
  ScopedFakeActivation& operator=(const ScopedFakeActivation&) = delete;

  const std::string& class_id() const { return class_id_; }
  const GUID& iid() const { return iid_; }

 private:
  static HRESULT WINAPI GetFactory(HSTRING class_id, REFIID iid, void** factory);
  static HRESULT WINAPI Activate(HSTRING class_id, IInspectable** instance);

  const winrt::RuntimeProcs saved_;
  IInspectable* const object_;
  const HRESULT hr_;
  std::string class_id_;
  GUID iid_{};
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_WINRT_FAKES_H_
