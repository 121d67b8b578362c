#ifndef KESTRUNE_WINRT_ABI_H_
#define KESTRUNE_WINRT_ABI_H_

// The few Windows.Foundation interfaces the runtime layer calls, declared here
// rather than taken from mingw-w64's windows.foundation.h, whose generic
// templates have wrong signatures (IAsyncOperation::GetResults among them).
// IInspectable and HSTRING come from inspectable.h, which is correct.

#include <windows.h>
#include <inspectable.h>

#include <cstdint>

namespace winrt {

inline constexpr GUID kIidActivationFactory{0x00000035,
                                            0x0000,
                                            0x0000,
                                            {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr GUID kIidAsyncInfo{0x00000036,
                                    0x0000,
                                    0x0000,
                                    {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// Answered by objects that may be called on any thread, as our delegates may.
inline constexpr GUID kIidAgileObject{0x94ea2b94,
                                      0xe9cc,
                                      0x49e0,
                                      {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

// A second put_Completed on one operation fails with this.
inline constexpr HRESULT kIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018);

enum class AsyncStatus : int32_t { kStarted = 0, kCompleted = 1, kCanceled = 2, kError = 3 };

struct EventRegistrationToken {
  int64_t value;
};

struct IActivationFactory : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) = 0;
};

// Every asynchronous operation answers QueryInterface for it; it is not part of
// IAsyncOperation's own table.
struct IAsyncInfo : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Status(AsyncStatus* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* error_code) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

// IAsyncOperation<TResult> and its completion delegate, over the ABI type of the
// result (boolean for Boolean, IFoo* for a runtime class). The IID of each
// instance is computed from its signature by the caller and passed alongside.
template <typename TResultAbi>
struct IAsyncOperation;

// Delegates derive from IUnknown only: Invoke is slot 3.
template <typename TResultAbi>
struct AsyncOperationCompletedHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation<TResultAbi>* async_info,
                                           AsyncStatus status) = 0;
};

template <typename TResultAbi>
struct IAsyncOperation : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE
  put_Completed(AsyncOperationCompletedHandler<TResultAbi>* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_Completed(AsyncOperationCompletedHandler<TResultAbi>** handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetResults(TResultAbi* results) = 0;
};

}  // namespace winrt

#endif  // KESTRUNE_WINRT_ABI_H_
