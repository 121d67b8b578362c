#include "tests/support/winrt_fakes.h"

#include "winrt/hstring.h"

namespace kr_test {

FakeBoolOperation::~FakeBoolOperation() {
  if (handler_) {
    log_->handler_left_on_drop = handler_.detach()->Release();
  }
}

void FakeBoolOperation::Finish(winrt::AsyncStatus status, HRESULT error_code, boolean result) {
  {
    std::lock_guard lock(mutex_);
    status_ = status;
    error_code_ = error_code;
    result_ = result;
  }
  InvokeHandler();
}

bool FakeBoolOperation::HasHandler() {
  std::lock_guard lock(mutex_);
  return static_cast<bool>(handler_);
}

// Outside the lock: a handler may call back into the operation.
void FakeBoolOperation::InvokeHandler() {
  winrt::ComPtr<Handler> handler;
  winrt::AsyncStatus status;
  {
    std::lock_guard lock(mutex_);
    handler = handler_;
    status = status_;
  }
  if (handler && status != winrt::AsyncStatus::kStarted) {
    handler->Invoke(this, status);
  }
}

HRESULT FakeBoolOperation::put_Completed(Handler* handler) {
  {
    std::lock_guard lock(mutex_);
    if (handler_) {
      return winrt::kIllegalDelegateAssignment;
    }
    // Through the instance's IID, as a runtime that marshals the delegate does.
    HRESULT hr = handler->QueryInterface(handler_iid_, handler_.put_void());
    if (FAILED(hr)) {
      return hr;
    }
  }
  InvokeHandler();
  return S_OK;
}

HRESULT FakeBoolOperation::GetResults(boolean* results) {
  std::lock_guard lock(mutex_);
  if (status_ != winrt::AsyncStatus::kCompleted) {
    return static_cast<HRESULT>(0x8000000E);  // E_ILLEGAL_METHOD_CALL
  }
  *results = result_;
  return S_OK;
}

HRESULT FakeBoolOperation::get_Status(winrt::AsyncStatus* status) {
  std::lock_guard lock(mutex_);
  *status = status_;
  return S_OK;
}

HRESULT FakeBoolOperation::get_ErrorCode(HRESULT* error_code) {
  std::lock_guard lock(mutex_);
  *error_code = error_code_;
  return S_OK;
}

HRESULT FakeBoolOperation::Cancel() {
  ++log_->cancel_calls;
  if (winrt::AsyncStatus status;
      get_Status(&status) == S_OK && status == winrt::AsyncStatus::kStarted) {
    Finish(winrt::AsyncStatus::kCanceled, S_OK, 0);
  }
  return S_OK;
}

namespace {
ScopedFakeActivation* g_activation = nullptr;
}  // namespace

ScopedFakeActivation::ScopedFakeActivation(IInspectable* object, HRESULT hr)
    : saved_(winrt::GetRuntimeProcs()), object_(object), hr_(hr) {
  g_activation = this;
  winrt::GetRuntimeProcs() = {&GetFactory, &Activate};
}

ScopedFakeActivation::~ScopedFakeActivation() {
  winrt::GetRuntimeProcs() = saved_;
  g_activation = nullptr;
}

HRESULT WINAPI ScopedFakeActivation::GetFactory(HSTRING class_id, REFIID iid, void** factory) {
  g_activation->class_id_ = winrt::HStringToUtf8(class_id);
  g_activation->iid_ = iid;
  *factory = nullptr;
  return FAILED(g_activation->hr_) ? g_activation->hr_
                                   : g_activation->object_->QueryInterface(iid, factory);
}

HRESULT WINAPI ScopedFakeActivation::Activate(HSTRING class_id, IInspectable** instance) {
  return GetFactory(class_id, kIidInspectable, reinterpret_cast<void**>(instance));
}

}  // namespace kr_test
