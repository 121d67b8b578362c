#include "runner/utils.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/scoped_environment.h"

namespace {

TEST(Utf16ToUtf8, ConvertsValidTextReadsAtMost32767UnitsRefusesLoneSurrogates) {
  const wchar_t high_alone[] = {L'a', 0xD83D, L'b', 0}, low_alone[] = {0xDE00, 0};
  std::wstring split(32766, L'c');  // the bound falls between the halves of a pair
  split += L"\U0001F600";
  const std::pair<std::wstring, std::string> rows[] = {
      {L"", ""},
      {L"na\u00efve \u65e5", "na\xc3\xafve \xe6\x97\xa5"},
      {L"\U0001F600", "\xf0\x9f\x98\x80"},
      {high_alone, ""},
      {low_alone, ""},
      {std::wstring{L'a', 0xD83D}, ""},
      {std::wstring(40000, L'a'), std::string(32767, 'a')},
      {split, ""},
  };
  for (const auto& [wide, utf8] : rows) {
    EXPECT_EQ(Utf16ToUtf8(wide.c_str()), utf8) << utf8.size();
  }
  EXPECT_EQ(Utf16ToUtf8(nullptr), "");
  // The lenient form keeps the text and marks the lone half.
  EXPECT_EQ(Utf16ToUtf8Lenient(high_alone),
            "a\xef\xbf\xbd"
            "b");
  EXPECT_EQ(Utf16ToUtf8Lenient(L"\U0001F600"), "\xf0\x9f\x98\x80");
}

// Which process reads "" or "0" as the capsule is seen with the real executable.
TEST(Environment, EmptyValueIsPresentLongValueIsReadWhole) {
  for (const std::wstring& value : {std::wstring(), std::wstring(5000, L'v')}) {
    kr_test::ScopedEnvironment variable(L"KR_TEST_VALUE", value.c_str());
    EXPECT_EQ(ReadEnvironment(L"KR_TEST_VALUE"), std::optional<std::wstring>(value));
  }
  EXPECT_EQ(ReadEnvironment(L"KR_TEST_VALUE"), std::nullopt);
}

}  // namespace
