#include "capsule/capsule_environment.h"

#include <gtest/gtest.h>

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

TEST(CapsuleEnvironmentTest, KeepsTheParentsEntriesInOrderAndEndsWithTheSwitch) {
  const struct {
    std::u16string_view parent;
    std::u16string_view block;
  } rows[] = {
      {u"=C:=C:\\w\0PATH=C:\\bin\0KESTRUNE_BRIDGE_DIR=C:\\k\0A=\0\0"sv,
       u"=C:=C:\\w\0PATH=C:\\bin\0KESTRUNE_BRIDGE_DIR=C:\\k\0A=\0KESTRUNE_CAPSULE=1\0\0"sv},
      // Every inherited switch goes, whatever its value.
      {u"KESTRUNE_CAPSULE=1\0A=1\0KESTRUNE_CAPSULE=\0B=2\0KESTRUNE_CAPSULE==x\0\0"sv,
       u"A=1\0B=2\0KESTRUNE_CAPSULE=1\0\0"sv},
      // Entries that only look like the switch stay.
      {u"kestrune_capsule=1\0KESTRUNE_CAPSULE\0KESTRUNE_CAPSULE_OLD=1\0 KESTRUNE_CAPSULE=1\0\0"sv,
       u"kestrune_capsule=1\0KESTRUNE_CAPSULE\0KESTRUNE_CAPSULE_OLD=1\0 KESTRUNE_CAPSULE=1\0"
       u"KESTRUNE_CAPSULE=1\0\0"sv},
      {u""sv, u"KESTRUNE_CAPSULE=1\0\0"sv},
      // Reading stops at the first empty entry or at the end of the view.
      {u"A=1\0\0B=2\0\0"sv, u"A=1\0KESTRUNE_CAPSULE=1\0\0"sv},
      {u"A=1\0B=2"sv, u"A=1\0B=2\0KESTRUNE_CAPSULE=1\0\0"sv},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Build(row.parent), row.block);
  }
}

}  // namespace
