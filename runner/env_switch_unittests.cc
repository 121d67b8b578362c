#include "runner/env_switch.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

struct SwitchCaseRow {
  std::optional<std::wstring> value;
  bool lower_only;
  bool also_upper_t;
};

TEST(EnvSwitchTest, FirstCharacterDecides) {
  const SwitchCaseRow rows[] = {
      {std::nullopt, false, false},
      {L"", false, false},
      {L"1", true, true},
      {L"t", true, true},
      {L"T", false, true},
      {L"true", true, true},
      {L"True", false, true},
      {L"10", true, true},
      {L"yes", false, false},
      {L"0", false, false},
      {L"f", false, false},
      {L"F", false, false},
      {L" 1", false, false},
      {std::wstring(L"\0"
                    L"1",
                    2),
       false, false},
  };
  for (const SwitchCaseRow& row : rows) {
    SCOPED_TRACE(row.value ? "\"" + std::string(row.value->begin(), row.value->end()) + "\""
                           : std::string("unset"));
    EXPECT_EQ(SwitchOn(row.value, SwitchCase::kLowerOnly), row.lower_only);
    EXPECT_EQ(SwitchOn(row.value, SwitchCase::kAlsoUpperT), row.also_upper_t);
  }
}

}  // namespace
