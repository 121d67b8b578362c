#include "winrt/hstring.h"

#include <gtest/gtest.h>

namespace {

TEST(HStringTest, ConvertsToUtf8) {
  struct Case {
    std::wstring_view text;
    const char* utf8;
  };
  const Case cases[] = {
      {L"", ""},
      {L"Caf\u00e9 \u2615", "Caf\xc3\xa9 \xe2\x98\x95"},
      {L"\U0001D11E clef", "\xf0\x9d\x84\x9e clef"},
      {std::wstring_view(L"Kestrune", 4), "Kest"},  // a view, not up to the null
  };
  for (const Case& c : cases) {
    winrt::HString string;
    ASSERT_EQ(winrt::HString::Create(c.text, &string), S_OK);
    EXPECT_EQ(winrt::HStringToUtf8(string.get()), c.utf8);
  }
  EXPECT_EQ(winrt::HStringToUtf8(nullptr), "");
}

}  // namespace
