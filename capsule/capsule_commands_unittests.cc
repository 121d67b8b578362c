#include "capsule/capsule_commands.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr auto Build = BuildCapsuleRenderCommand;

const std::string kButtons = R"("buttons":[{"id":"prev"},{"id":"play_pause"},{"id":"next"}]})";

TEST(CapsuleCommandsTest, EachTypeTakesItsMembersInOrder) {
  const struct {
    EncodableValue type;
    std::string every_member_set;
    std::string only_type;  // also when every member has another codec type
  } rows[] = {
      {"music",
       R"({"cmd":"render","type":"music","title":"T","artist":"A","progress":0.500000,"playing":true,)" +
           kButtons,
       R"({"cmd":"render","type":"music","title":"","artist":"","progress":0.000000,"playing":false,)" +
           kButtons},
      {"status",
       R"({"cmd":"render","type":"status","text":"say \"hi\" C:\\x","success":true,"duration":4})",
       R"({"cmd":"render","type":"status","text":"","success":false,"duration":5})"},
      {"progress",
       R"({"cmd":"render","type":"progress","text":"say \"hi\" C:\\x","progress":0.500000})",
       R"({"cmd":"render","type":"progress","text":"","progress":0.000000})"},
      {"idle",
       R"({"cmd":"render","type":"idle","text":"say \"hi\" C:\\x","success":true,"progress":0.500000,"duration":4})",
       R"({"cmd":"render","type":"idle","text":"","success":false,"progress":0.000000})"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Build({{"type", row.type},
                     {"title", "T"},
                     {"artist", "A"},
                     {"text", "say \"hi\" C:\\x"},
                     {"success", true},
                     {"progress", 0.5},
                     {"duration", int32_t{4}},
                     {"playing", true}}),
              row.every_member_set);
    EXPECT_EQ(Build({{"type", row.type}}), row.only_type);
    EXPECT_EQ(Build({{"type", row.type},
                     {"title", int32_t{1}},
                     {"artist", true},
                     {"text", EncodableValue()},
                     {"success", int32_t{1}},
                     {"progress", "0.5"},
                     {"duration", int64_t{7}},
                     {"playing", "true"}}),
              row.only_type);
  }
  EXPECT_EQ(Build({{"type", int32_t{3}}}),
            R"({"cmd":"render","type":"","text":"","success":false,"progress":0.000000})");
}

TEST(CapsuleCommandsTest, DurationIsTruncatedThenDefaultedOrLeftOut) {
  const struct {
    EncodableValue duration;
    const char* timed;  // "duration" of a status or notify command
    const char* other;  // its tail in an idle command: "" when left out
  } rows[] = {
      {int32_t{0}, "5", ""},   {2.9, "2", R"(,"duration":2)"},
      {0.9, "5", ""},          {1e300, "2147483647", R"(,"duration":2147483647)"},
      {std::nan(""), "5", ""},
  };
  const std::string timed =
      R"({"cmd":"render","type":"notify","text":"","success":false,"duration":)";
  const std::string other =
      R"({"cmd":"render","type":"idle","text":"","success":false,"progress":0.000000)";
  for (const auto& row : rows) {
    EXPECT_EQ(Build({{"type", "notify"}, {"duration", row.duration}}), timed + row.timed + "}");
    EXPECT_EQ(Build({{"type", "idle"}, {"duration", row.duration}}), other + row.other + "}");
  }
}

TEST(CapsuleCommandsTest, ProgressIsWrittenLikePrintfFixed) {
  const struct {
    EncodableValue progress;
    const char* text;
  } rows[] = {
      {int32_t{1}, "1.000000"},
      {2.0 / 3, "0.666667"},
      // No JSON form: written as the missing value.
      {std::numeric_limits<double>::quiet_NaN(), "0.000000"},
      {std::numeric_limits<double>::infinity(), "0.000000"},
  };
  const std::string prefix = R"({"cmd":"render","type":"progress","text":"","progress":)";
  for (const auto& row : rows) {
    EXPECT_EQ(Build({{"type", "progress"}, {"progress", row.progress}}), prefix + row.text + "}");
  }
  // Extremes against the C library, which formats in the C locale here.
  for (double progress : {-DBL_MAX, DBL_TRUE_MIN}) {
    char expected[512];
    std::snprintf(expected, sizeof(expected), "%f", progress);
    EXPECT_EQ(Build({{"type", "progress"}, {"progress", progress}}), prefix + expected + "}");
  }
}

TEST(CapsuleCommandsTest, StringsAreEscapedAsJson) {
  // Control bytes, the quote and the backslash; UTF-8, '/' and DEL pass unchanged.
  const std::string text =
      std::string("\0\x01\x07\b\t\n\x0b\f\r\x0e\x1f\"\\ caf\xC3\xA9 1/2 \x7F", 25);
  EXPECT_EQ(Build({{"type", "voice"}, {"text", text}}),
            R"({"cmd":"render","type":"voice","text":")"
            R"(\u0000\u0001\u0007\b\t\n\u000b\f\r\u000e\u001f\"\\ )"
            "caf\xC3\xA9 1/2 \x7F\"}");
}

}  // namespace
