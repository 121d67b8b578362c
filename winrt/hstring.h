#ifndef KESTRUNE_WINRT_HSTRING_H_
#define KESTRUNE_WINRT_HSTRING_H_

#include <windows.h>
#include <hstring.h>

#include <string>
#include <string_view>

namespace winrt {

// Owns one HSTRING; the null HSTRING is the empty string.
class HString {
 public:
  HString() noexcept = default;
  ~HString() { reset(); }
  HString(HString&& other) noexcept;
  HString& operator=(HString&& other) noexcept;
  HString(const HString&) = delete;
  HString& operator=(const HString&) = delete;

  // A copy of |text|.
  static HRESULT Create(std::wstring_view text, HString* out);

  HSTRING get() const noexcept { return string_; }
  // For [out] HSTRING parameters, which hand over a string the caller deletes.
  HSTRING* put() noexcept;
  void reset() noexcept;

 private:
  HSTRING string_ = nullptr;
};

// The text of |string| in UTF-8, up to its first null and at most 32767 units
// (the host's conversion); empty for the null string and for text that is not
// valid UTF-16.
std::string HStringToUtf8(HSTRING string);

}  // namespace winrt

#endif  // KESTRUNE_WINRT_HSTRING_H_
