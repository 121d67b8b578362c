#ifndef KESTRUNE_WINRT_GUID_H_
#define KESTRUNE_WINRT_GUID_H_

#include <cstdint>
#include <type_traits>

// A GUID laid out exactly like Win32's GUID (Data1..Data4, 16 bytes, no
// padding), so the runtime layer can copy it bit for bit into an IID without
// this portable code depending on <windows.h>.
struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];

  friend constexpr bool operator==(const Guid& a, const Guid& b) {
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) {
      return false;
    }
    for (int i = 0; i < 8; ++i) {
      if (a.data4[i] != b.data4[i]) {
        return false;
      }
    }
    return true;
  }
};

static_assert(sizeof(Guid) == 16 && alignof(Guid) == 4);
static_assert(std::is_trivially_copyable_v<Guid> && std::is_standard_layout_v<Guid>);

#endif  // KESTRUNE_WINRT_GUID_H_
