#include "runner/utils.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(Utf16ToUtf8, ConvertsValidText) {
  EXPECT_EQ(Utf16ToUtf8(nullptr), "");
  EXPECT_EQ(Utf16ToUtf8(L""), "");
  EXPECT_EQ(Utf16ToUtf8(L"plain"), "plain");
  EXPECT_EQ(Utf16ToUtf8(L"na\u00efve \u65e5"), "na\xc3\xafve \xe6\x97\xa5");
  EXPECT_EQ(Utf16ToUtf8(L"\U0001F600"), "\xf0\x9f\x98\x80");  // a surrogate pair
}

TEST(Utf16ToUtf8, LoneSurrogatesGiveEmptyString) {
  const wchar_t high_alone[] = {L'a', 0xD83D, L'b', 0};
  const wchar_t low_alone[] = {0xDE00, 0};
  const wchar_t high_at_end[] = {L'a', 0xD83D, 0};
  EXPECT_EQ(Utf16ToUtf8(high_alone), "");
  EXPECT_EQ(Utf16ToUtf8(low_alone), "");
  EXPECT_EQ(Utf16ToUtf8(high_at_end), "");
}

TEST(Utf16ToUtf8, ReadsAtMost32767Units) {
  std::wstring long_text(40000, L'a');
  EXPECT_EQ(Utf16ToUtf8(long_text.c_str()), std::string(32767, 'a'));
  std::wstring exact(32767, L'b');
  EXPECT_EQ(Utf16ToUtf8(exact.c_str()).size(), 32767u);
  // The bound falls between the halves of a pair: what is read ends in a lone
  // high surrogate and is refused.
  std::wstring split(32766, L'c');
  split += L"\U0001F600";
  EXPECT_EQ(Utf16ToUtf8(split.c_str()), "");
}

TEST(Environment, EmptyValueIsPresentAndSelectsTheCapsule) {
  ::SetEnvironmentVariableW(L"KR_TEST_EMPTY", L"");
  EXPECT_EQ(ReadEnvironment(L"KR_TEST_EMPTY"), std::optional<std::wstring>(L""));
  ::SetEnvironmentVariableW(L"KR_TEST_EMPTY", nullptr);
  EXPECT_EQ(ReadEnvironment(L"KR_TEST_EMPTY"), std::nullopt);

  ASSERT_FALSE(IsCapsuleProcess());
  ::SetEnvironmentVariableW(L"KESTRUNE_CAPSULE", L"");
  EXPECT_TRUE(IsCapsuleProcess());
  ::SetEnvironmentVariableW(L"KESTRUNE_CAPSULE", L"0");
  EXPECT_TRUE(IsCapsuleProcess());
  ::SetEnvironmentVariableW(L"KESTRUNE_CAPSULE", nullptr);
  EXPECT_FALSE(IsCapsuleProcess());
}

TEST(Environment, LongValueIsReadWhole) {
  std::wstring value(5000, L'v');
  ::SetEnvironmentVariableW(L"KR_TEST_LONG", value.c_str());
  EXPECT_EQ(ReadEnvironment(L"KR_TEST_LONG"), std::optional<std::wstring>(value));
  ::SetEnvironmentVariableW(L"KR_TEST_LONG", nullptr);
}

}  // namespace
