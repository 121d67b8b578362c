#include "capsule/capsule_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

// Builds from an allocation of exactly the given units, so reading past the
// view shows up under the address sanitizer.
std::u16string Build(std::u16string_view parent) {
  std::vector<char16_t> exact(parent.begin(), parent.end());
  std::vector<char16_t> block =
      BuildCapsuleEnvironment(std::u16string_view(exact.data(), exact.size()));
  return std::u16string(block.begin(), block.end());
}

// The entries of a finished block; fails the test unless the block ends with
// the double null and holds no empty entry before it.
std::vector<std::u16string> Entries(const std::u16string& block) {
  std::vector<std::u16string> entries;
  EXPECT_GE(block.size(), 2u);
  EXPECT_TRUE(block.ends_with(u"\0\0"sv));
  size_t start = 0;
  while (start + 1 < block.size()) {
    size_t end = block.find(u'\0', start);
    EXPECT_GT(end, start) << "empty entry inside the block";
    entries.push_back(block.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

TEST(CapsuleEnvironmentTest, KeepsTheParentsEntriesInOrderAndAddsTheSwitchLast) {
  EXPECT_EQ(Build(u"=C:=C:\\w\0PATH=C:\\bin\0KESTRUNE_BRIDGE_DIR=C:\\k\0A=\0\0"sv),
            u"=C:=C:\\w\0PATH=C:\\bin\0KESTRUNE_BRIDGE_DIR=C:\\k\0A=\0KESTRUNE_CAPSULE=1\0\0"s);
}

TEST(CapsuleEnvironmentTest, DropsEveryInheritedSwitchEntry) {
  const std::u16string block = Build(
      u"KESTRUNE_CAPSULE=1\0A=1\0KESTRUNE_CAPSULE=\0B=2\0KESTRUNE_CAPSULE=0\0KESTRUNE_CAPSULE==x\0\0"sv);
  EXPECT_EQ(block, u"A=1\0B=2\0KESTRUNE_CAPSULE=1\0\0"s);
}

TEST(CapsuleEnvironmentTest, KeepsEntriesThatOnlyLookLikeTheSwitch) {
  const std::vector<std::u16string> entries = Entries(
      Build(u"kestrune_capsule=1\0Kestrune_Capsule=1\0KESTRUNE_CAPSULE\0KESTRUNE_CAPSULEX=1\0"
            u"KESTRUNE_CAPSULE_OLD=1\0XKESTRUNE_CAPSULE=1\0 KESTRUNE_CAPSULE=1\0\0"sv));
  const std::vector<std::u16string> expected = {
      u"kestrune_capsule=1",  u"Kestrune_Capsule=1",     u"KESTRUNE_CAPSULE",
      u"KESTRUNE_CAPSULEX=1", u"KESTRUNE_CAPSULE_OLD=1", u"XKESTRUNE_CAPSULE=1",
      u" KESTRUNE_CAPSULE=1", u"KESTRUNE_CAPSULE=1",
  };
  EXPECT_EQ(entries, expected);
}

TEST(CapsuleEnvironmentTest, UnreadableOrEmptyParentGivesOnlyTheSwitch) {
  const std::u16string only_switch = u"KESTRUNE_CAPSULE=1\0\0"s;
  EXPECT_EQ(Build(u""sv), only_switch);
  EXPECT_EQ(Build(u"\0"sv), only_switch);
  EXPECT_EQ(Build(u"\0\0"sv), only_switch);
  EXPECT_EQ(Build(u"KESTRUNE_CAPSULE=0\0\0"sv), only_switch);
}

TEST(CapsuleEnvironmentTest, ReadsUpToTheBlocksEnd) {
  // Whatever follows the closing empty entry is not part of the block.
  EXPECT_EQ(Build(u"A=1\0\0B=2\0\0"sv), u"A=1\0KESTRUNE_CAPSULE=1\0\0"s);
  // A view without its closing nulls still yields its last entry.
  EXPECT_EQ(Build(u"A=1\0B=2"sv), u"A=1\0B=2\0KESTRUNE_CAPSULE=1\0\0"s);
  EXPECT_EQ(Build(u"A=1\0"sv), u"A=1\0KESTRUNE_CAPSULE=1\0\0"s);
}

TEST(CapsuleEnvironmentTest, KeepsUnitsOutsideAsciiUnchanged) {
  // A surrogate pair, a CJK character and a lone surrogate are copied as they are.
  const std::u16string value = u"NAME=\xD83D\xDE00\x4E2D\xDC00"s;
  EXPECT_EQ(Build(value + u"\0\0"s), value + u"\0KESTRUNE_CAPSULE=1\0\0"s);
}

TEST(CapsuleEnvironmentTest, SwitchEntryIsLastAndOnlyOnceInALargeBlock) {
  std::u16string parent;
  for (int i = 0; i < 500; ++i) {
    parent += u"V" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) + u"=x"s + u'\0';
    if (i % 100 == 0) {
      parent += u"KESTRUNE_CAPSULE=1"s + u'\0';
    }
  }
  parent += u'\0';
  const std::vector<std::u16string> entries = Entries(Build(parent));
  ASSERT_EQ(entries.size(), 501u);
  EXPECT_EQ(entries.back(), u"KESTRUNE_CAPSULE=1");
  EXPECT_EQ(std::count(entries.begin(), entries.end(), u"KESTRUNE_CAPSULE=1"), 1);
  EXPECT_EQ(entries[1], u"VB=x");
}

}  // namespace
