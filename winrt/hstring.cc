#include "winrt/hstring.h"

#include <winstring.h>

#include <utility>

#include "runner/utils.h"

namespace winrt {

HString::HString(HString&& other) noexcept : string_(std::exchange(other.string_, nullptr)) {}

HString& HString::operator=(HString&& other) noexcept {
  if (this != &other) {
    reset();
    string_ = std::exchange(other.string_, nullptr);
  }
  return *this;
}

HRESULT HString::Create(std::wstring_view text, HString* out) {
  HSTRING created = nullptr;
  HRESULT hr = ::WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &created);
  if (SUCCEEDED(hr)) {
    out->reset();
    out->string_ = created;
  }
  return hr;
}

HSTRING* HString::put() noexcept {
  reset();
  return &string_;
}

void HString::reset() noexcept {
  if (HSTRING old = std::exchange(string_, nullptr)) {
    ::WindowsDeleteString(old);
  }
}

std::string HStringToUtf8(HSTRING string) {
  if (!string) {
    return {};
  }
  // The raw buffer ends with a terminating null, which is what Utf16ToUtf8 reads to.
  return Utf16ToUtf8(::WindowsGetStringRawBuffer(string, nullptr));
}

}  // namespace winrt
