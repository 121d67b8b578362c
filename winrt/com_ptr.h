#ifndef KESTRUNE_WINRT_COM_PTR_H_
#define KESTRUNE_WINRT_COM_PTR_H_

#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace winrt {

// Owns one reference to a COM object.
template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  ~ComPtr() { reset(); }

  ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) { AddRefHeld(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }

  // Takes a reference of its own to |pointer|.
  static ComPtr CopyFrom(T* pointer) noexcept {
    ComPtr result;
    result.pointer_ = pointer;
    result.AddRefHeld();
    return result;
  }

  // Adopts the reference the caller owns (an [out] value, a new object).
  void attach(T* pointer) noexcept {
    reset();
    pointer_ = pointer;
  }
  [[nodiscard]] T* detach() noexcept { return std::exchange(pointer_, nullptr); }
  void reset() noexcept {
    if (T* old = std::exchange(pointer_, nullptr)) {
      old->Release();
    }
  }

  // For [out] parameters: drops the current reference first, so a reused
  // pointer never leaks the object it held.
  T** put() noexcept {
    reset();
    return &pointer_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  T* get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

  // QueryInterface for |iid|, which must be the IID of U; empty when the object
  // does not answer it, with the reason in |result| if given.
  template <typename U>
  ComPtr<U> As(REFIID iid, HRESULT* result = nullptr) const noexcept {
    ComPtr<U> other;
    HRESULT hr = pointer_ ? pointer_->QueryInterface(iid, other.put_void()) : E_POINTER;
    if (result) {
      *result = hr;
    }
    return other;
  }

 private:
  void AddRefHeld() noexcept {
    if (pointer_) {
      pointer_->AddRef();
    }
  }

  T* pointer_ = nullptr;
};

}  // namespace winrt

#endif  // KESTRUNE_WINRT_COM_PTR_H_
