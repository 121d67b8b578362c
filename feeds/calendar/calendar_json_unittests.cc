#include "feeds/calendar/calendar_json.h"

#include <gtest/gtest.h>

namespace {

TEST(CalendarJsonTest, EntriesInOrderWithSubjectsKeptInsideTheirStrings) {
  EXPECT_EQ(CalendarJson().Finish(), "[]");
  CalendarJson json;
  json.Add(23, 59, "\"Q\" C:\\t\tx\r\n");
  json.Add(0, 5,
           std::string("\x01\x1f\x7f\0 \xe5\x91\xa8\xf0\x9f\x93\x85", 12));  // UTF-8 unchanged
  EXPECT_EQ(json.Finish(),
            R"([{"t":"23:59","e":"\"Q\" C:\\t\tx\r\n"},)"
            "{\"t\":\"00:05\",\"e\":\"\\u0001\\u001F\x7f\\u0000 \xe5\x91\xa8\xf0\x9f\x93\x85\"}]");
}

}  // namespace
