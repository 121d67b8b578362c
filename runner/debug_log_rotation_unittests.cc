// The debug log's rotation by copy-then-truncate.
#include <gtest/gtest.h>

#include "runner/debug_log.h"
#include "tests/support/log_reader.h"

namespace {

TEST(DebugLogRotation, PastTheSizeTheLogIsCopiedAndEmptiedWithoutLosingALine) {
  ::DeleteFileW(RotatedDebugLogPath());
  DebugLog("[KR] rotation test: first line");
  SetDebugLogRotation(kr_test::ReadWholeFile(DebugLogPath()).size() + 2000, 1000);
  for (int i = 0; i < 200; ++i) {
    DebugLogF("[KR] rotation test line %03d", i);
  }
  SetDebugLogRotation(32ull << 20, 4ull << 20);
  std::string rotated = kr_test::ReadWholeFile(RotatedDebugLogPath());
  std::string current = kr_test::ReadWholeFile(DebugLogPath());
  ASSERT_NE(rotated.find("rotation test: first line"), std::string::npos);
  // Every line is in one of the two files, whole; the log starts afresh.
  EXPECT_EQ(current.find("rotation test: first line"), std::string::npos);
  EXPECT_LT(current.size(), 200u * 40u);
  for (int i = 0; i < 200; ++i) {
    char line[48];
    snprintf(line, sizeof(line), "[KR] rotation test line %03d\r\n", i);
    EXPECT_NE((rotated + current).find(line), std::string::npos) << line;
  }
}

}  // namespace
