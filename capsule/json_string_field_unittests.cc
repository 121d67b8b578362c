#include "capsule/json_string_field.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

struct FieldRow {
  const char* why;
  std::string_view text;
  std::string_view key;
  std::string_view value;
};

void ExpectRows(std::initializer_list<FieldRow> rows) {
  for (const FieldRow& row : rows) {
    SCOPED_TRACE(std::string(row.why) + ": " + std::string(row.text));
    EXPECT_EQ(JsonStringField(row.text, row.key), row.value);
  }
}

TEST(CapsuleJsonStringFieldTest, ReadsStringMembers) {
  ExpectRows({
      {"only member", R"({"cmd":"ready"})", "cmd", "ready"},
      {"later member", R"({"cmd":"button_click","id":"play_pause"})", "id", "play_pause"},
      {"empty value", R"({"cmd":"button_click","id":""})", "id", ""},
      {"UTF-8 kept as bytes", "{\"text\":\"caf\xC3\xA9\"}", "text", "caf\xC3\xA9"},
      {"spaces around the colon", R"({"cmd" : "ready"})", "cmd", "ready"},
      {"tabs and spaces", "{\"cmd\":\t \t\"ready\"}", "cmd", "ready"},
  });
}

TEST(CapsuleJsonStringFieldTest, GivesEmptyWithoutAStringValue) {
  ExpectRows({
      {"missing key", R"({"cmd":"ready"})", "id", ""},
      {"key is only a prefix", R"({"cmdx":"ready"})", "cmd", ""},
      {"key is only a suffix", R"({"xcmd":"ready"})", "cmd", ""},
      {"unquoted key", R"({cmd:"ready"})", "cmd", ""},
      {"no colon after the key", R"({"id":"x","cmd"})", "cmd", ""},
      {"number", R"({"on":1})", "on", ""},
      {"true", R"({"on":true})", "on", ""},
      {"false", R"({"on":false})", "on", ""},
      {"null", R"({"on":null})", "on", ""},
      {"object", R"({"on":{"v":"1"}})", "on", ""},
      {"array", R"({"on":["1"]})", "on", ""},
      {"no closing quote", R"({"cmd":"ready)", "cmd", ""},
      {"nothing after the colon", R"({"cmd":)", "cmd", ""},
      {"only blanks after the colon", "{\"cmd\": \t", "cmd", ""},
      {"newline is not skipped", "{\"cmd\":\n\"ready\"}", "cmd", ""},
      {"carriage return is not skipped", "{\"cmd\":\r\"ready\"}", "cmd", ""},
      {"empty text", "", "cmd", ""},
  });
}

TEST(CapsuleJsonStringFieldTest, DoesNotInterpretEscapes) {
  ExpectRows({
      {"escaped quote ends the value", R"({"cmd":"rea\"dy"})", "cmd", R"(rea\)"},
      {"backslashes kept", R"({"id":"a\\b\nc"})", "id", R"(a\\b\nc)"},
      {"unicode escape kept", R"({"id":"\u0041"})", "id", R"(\u0041)"},
  });
}

TEST(CapsuleJsonStringFieldTest, ReadsFromTheFirstPlaceTheQuotedKeyAppears) {
  ExpectRows({
      {"key inside a nested object", R"({"todo":{"cmd":"inner"},"cmd":"todo_add"})", "cmd",
       "inner"},
      {"key as another member's value takes the next colon's value",
       R"({"hint":"cmd","id":"play"})", "cmd", "play"},
      {"anything between key and colon is skipped", R"({"cmd","id":"next"})", "cmd", "next"},
      {"first of two members wins", R"({"cmd":"expand","cmd":"ready"})", "cmd", "expand"},
  });
}

TEST(CapsuleJsonStringFieldTest, StaysWithinTheGivenText) {
  // The buffer goes on past the view; a reader that looks for terminators in the
  // buffer rather than the view would find the closing quote.
  const std::string buffer = R"({"cmd":"ready"})";
  const std::string_view cut(buffer.data(), buffer.find('y'));
  EXPECT_EQ(JsonStringField(cut, "cmd"), "");
  EXPECT_EQ(JsonStringField(std::string_view(buffer.data(), 6), "cmd"), "");
}

}  // namespace
