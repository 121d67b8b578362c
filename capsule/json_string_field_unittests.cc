#include "capsule/json_string_field.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

TEST(CapsuleJsonStringFieldTest, ReadsTheQuotedValueAfterTheFirstQuotedKey) {
  const struct {
    std::string_view text;
    std::string_view key;
    std::string_view value;
  } rows[] = {
      {R"({"cmd":"button_click","id":"play_pause"})", "id", "play_pause"},
      {"{\"cmd\" :\t \"ready\"}", "cmd", "ready"},
      // Only spaces and tabs are skipped.
      {"{\"cmd\":\n\"ready\"}", "cmd", ""},
      {R"({"cmdx":"ready","xcmd":"ready",cmd:"ready"})", "cmd", ""},
      {R"({"id":"x","cmd"})", "cmd", ""},
      // Only strings are values.
      {R"({"on":1})", "on", ""},
      {R"({"cmd":"ready)", "cmd", ""},
      // Escapes are not interpreted: an escaped quote ends the value.
      {R"({"cmd":"rea\"dy"})", "cmd", R"(rea\)"},
      // The first place the quoted key appears wins, even inside another value.
      {R"({"todo":{"cmd":"inner"},"cmd":"todo_add"})", "cmd", "inner"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(JsonStringField(row.text, row.key), row.value) << row.text;
  }
  // The buffer goes on past the view; a reader that looked beyond the view would
  // find the closing quote.
  const std::string buffer = R"({"cmd":"ready"})";
  EXPECT_EQ(JsonStringField(std::string_view(buffer.data(), buffer.find('y')), "cmd"), "");
}

}  // namespace
