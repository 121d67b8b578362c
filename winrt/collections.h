#ifndef KESTRUNE_WINRT_COLLECTIONS_H_
#define KESTRUNE_WINRT_COLLECTIONS_H_

// Generic Windows.Foundation interfaces and delegates shared by the feeds:
// read-only vectors, boxed values and typed event handlers, over the ABI type
// of their arguments (an interface pointer for a runtime class, HSTRING for
// String, a plain value for a struct or number). As with IAsyncOperation, the
// IID of an instance is computed from its signature by the caller.

#include <windows.h>
#include <inspectable.h>

#include <cstdint>

#include "winrt/abi.h"

namespace winrt {

// Windows.Foundation.DateTime: 100 ns intervals since 1601-01-01 UTC.
struct DateTime {
  int64_t universal_time;
};

// Windows.Foundation.TimeSpan: a duration in 100 ns intervals.
struct TimeSpan {
  int64_t duration;
};

// IVectorView<T>; GetAt and GetMany hand out owned references.
template <typename TAbi>
struct IVectorView : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, TAbi* item) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE IndexOf(TAbi value, UINT32* index, boolean* found) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start_index,
                                            UINT32 capacity,
                                            TAbi* items,
                                            UINT32* actual) = 0;
};

// IReference<T>: a boxed value; a null pointer in its place means "no value".
template <typename TAbi>
struct IReference : IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_Value(TAbi* value) = 0;
};

// TypedEventHandler<TSender, TArgs>. Delegates derive from IUnknown only, so
// Invoke is slot 3; the runtime may call it on any thread.
template <typename TSenderAbi, typename TArgsAbi>
struct TypedEventHandler : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Invoke(TSenderAbi sender, TArgsAbi args) = 0;
};

}  // namespace winrt

#endif  // KESTRUNE_WINRT_COLLECTIONS_H_
