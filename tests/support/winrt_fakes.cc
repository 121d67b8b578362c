#include "tests/support/winrt_fakes.h"

#include "winrt/hstring.h"

namespace kr_test {

FakeBoolOperation::~FakeBoolOperation() {
  if (state_.handler) {
    log_->handler_left_on_drop = state_.handler.detach()->Release();
  }
}

void FakeBoolOperation::Finish(winrt::AsyncStatus status, HRESULT error_code, boolean result) {
  {
    std::lock_guard lock(mutex_);
    state_.status = status;
    state_.error_code = error_code;
    state_.result = result;
  }
  InvokeHandler();
}

HRESULT FakeBoolOperation::put_Completed(Handler* handler) {
  {
    std::lock_guard lock(mutex_);
    if (state_.handler) {
      return winrt::kIllegalDelegateAssignment;
    }
    // Through the instance's IID, as a runtime that marshals the delegate does.
    HRESULT hr = handler->QueryInterface(handler_iid_, state_.handler.put_void());
    if (FAILED(hr)) {
      return hr;
    }
  }
  InvokeHandler();
  return S_OK;
}

HRESULT FakeBoolOperation::Cancel() {
  ++log_->cancel_calls;
  if (Snapshot().status == winrt::AsyncStatus::kStarted) {
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
