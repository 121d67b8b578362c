#include "winrt/async_wait.h"

namespace winrt::internal {

namespace {

HRESULT OutcomeOfFinished(IAsyncInfo* info) {
  AsyncStatus status = AsyncStatus::kStarted;
  HRESULT hr = info->get_Status(&status);
  if (FAILED(hr)) {
    return hr;
  }
  switch (status) {
    case AsyncStatus::kCompleted:
      return S_OK;
    case AsyncStatus::kCanceled:
      return kAsyncCanceled;
    case AsyncStatus::kError: {
      HRESULT error = S_OK;
      hr = info->get_ErrorCode(&error);
      if (FAILED(hr)) {
        return hr;
      }
      // A failed operation that reports success still failed.
      return FAILED(error) ? error : E_FAIL;
    }
    case AsyncStatus::kStarted:
      break;
  }
  // The handler ran while the operation claims to be running.
  return E_UNEXPECTED;
}

}  // namespace

HRESULT AwaitCompletion(IAsyncInfo* info, HANDLE completed, const AsyncWaitOptions& options) {
  const HANDLE handles[] = {completed, options.stop_event};
  const DWORD count = options.stop_event ? 2 : 1;
  const DWORD signalled = ::WaitForMultipleObjects(count, handles, FALSE, options.timeout_ms);
  if (signalled == WAIT_OBJECT_0) {
    return OutcomeOfFinished(info);
  }
  const HRESULT outcome = signalled == WAIT_OBJECT_0 + 1 ? kAsyncStopped
                          : signalled == WAIT_TIMEOUT    ? kAsyncTimedOut
                                                         : HRESULT_FROM_WIN32(::GetLastError());
  // Nobody will take the results: let the runtime stop working on them.
  info->Cancel();
  return outcome;
}

}  // namespace winrt::internal
