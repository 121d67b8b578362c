#ifndef KESTRUNE_WINRT_ASYNC_WAIT_H_
#define KESTRUNE_WINRT_ASYNC_WAIT_H_

#include <windows.h>

#include <atomic>
#include <memory>

#include "runner/unique_resource.h"
#include "winrt/abi.h"
#include "winrt/com_ptr.h"
#include "winrt/delegate.h"

namespace winrt {

// Outcomes of a wait that did not see the operation finish. A stop is not a
// failure of the operation, so it has a code of its own.
inline constexpr HRESULT kAsyncTimedOut = static_cast<HRESULT>(0x800705B4);  // ERROR_TIMEOUT
inline constexpr HRESULT kAsyncStopped = static_cast<HRESULT>(0x800704C7);   // ERROR_CANCELLED
// The operation ended with the status Canceled.
inline constexpr HRESULT kAsyncCanceled = E_ABORT;

struct AsyncWaitOptions {
  DWORD timeout_ms = 5000;
  // When set (optional), the wait ends at once and cancels the operation.
  HANDLE stop_event = nullptr;
};

namespace internal {

// The completion delegate the wait registers. The operation may invoke it on
// any thread, and keep it after the wait has given up, so it owns the event it
// signals and counts its references atomically.
template <typename TResultAbi>
class CompletionHandler final
    : public Delegate<CompletionHandler<TResultAbi>, AsyncOperationCompletedHandler<TResultAbi>> {
 public:
  static HRESULT Create(REFIID iid, ComPtr<CompletionHandler>* out) {
    auto handler = std::make_unique<CompletionHandler>(iid);
    if (!handler->event_) {
      return HRESULT_FROM_WIN32(::GetLastError());
    }
    out->attach(handler.release());
    return S_OK;
  }

  explicit CompletionHandler(REFIID iid)
      : CompletionHandler::Delegate(iid), event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

  HANDLE event() const noexcept { return event_.get(); }

  HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation<TResultAbi>*, AsyncStatus) noexcept override {
    ::SetEvent(event_.get());
    return S_OK;
  }

 private:
  UniqueHandle event_;
};

// Waits until |completed| is signalled, the stop event is set or the time is up,
// and turns the operation's status into the wait's outcome.
HRESULT AwaitCompletion(IAsyncInfo* info, HANDLE completed, const AsyncWaitOptions& options);

}  // namespace internal

// Blocks until |operation| finishes, then takes its results. |handler_iid| is the
// IID of AsyncOperationCompletedHandler<TResult> for this TResult. Returns the
// operation's own error code when it failed, kAsyncCanceled when it was
// canceled, and kAsyncTimedOut or kAsyncStopped, after canceling it, when the
// wait gave up on it.
template <typename TResultAbi>
HRESULT WaitForResults(IAsyncOperation<TResultAbi>* operation,
                       REFIID handler_iid,
                       TResultAbi* results,
                       const AsyncWaitOptions& options = {}) {
  ComPtr<IAsyncInfo> info;
  HRESULT hr = operation->QueryInterface(kIidAsyncInfo, info.put_void());
  if (FAILED(hr)) {
    return hr;
  }
  using Handler = internal::CompletionHandler<TResultAbi>;
  ComPtr<Handler> handler;
  if (FAILED(hr = Handler::Create(handler_iid, &handler)) ||
      FAILED(hr = operation->put_Completed(handler.get()))) {
    return hr;
  }
  hr = internal::AwaitCompletion(info.get(), handler->event(), options);
  return FAILED(hr) ? hr : operation->GetResults(results);
}

}  // namespace winrt

#endif  // KESTRUNE_WINRT_ASYNC_WAIT_H_
