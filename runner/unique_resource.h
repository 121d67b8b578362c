#ifndef KESTRUNE_RUNNER_UNIQUE_RESOURCE_H_
#define KESTRUNE_RUNNER_UNIQUE_RESOURCE_H_

#include <windows.h>

#include <utility>

// Move-only owner of one Win32 resource; Traits says how to tell an empty value
// and how to release a held one.
template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() noexcept = default;
  explicit UniqueResource(Type value) noexcept : value_(value) {}
  ~UniqueResource() { reset(); }

  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type get() const noexcept { return value_; }
  bool is_valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return is_valid(); }

  Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  void reset(Type value = Traits::Invalid()) noexcept {
    Type old = std::exchange(value_, value);
    if (old != Traits::Invalid()) {
      Traits::Close(old);
    }
  }

 private:
  Type value_ = Traits::Invalid();
};

struct HandleTraits {  // kernel objects whose empty value is null
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {  // files and pipes, whose empty value is INVALID_HANDLE_VALUE
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct RegionTraits {
  using Type = HRGN;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::LocalFree(h); }
};

struct HookTraits {
  using Type = HHOOK;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::UnhookWindowsHookEx(h); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueHook = UniqueResource<HookTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueRegion = UniqueResource<RegionTraits>;
using UniqueLibrary = UniqueResource<LibraryTraits>;
using UniqueLocalMemory = UniqueResource<LocalMemoryTraits>;

#endif  // KESTRUNE_RUNNER_UNIQUE_RESOURCE_H_
