// The debug log as written by this process and by helper processes.
#include "runner/debug_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"

namespace {

using kr_test::LogReader;

std::string UniqueMarker(const char* name) {
  return std::string(name) + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
         std::to_string(::GetTickCount64());
}

TEST(DebugLog, LineIsTickSeparatorTextAndNewline) {
  std::string before = kr_test::ReadWholeFile(DebugLogPath());
  unsigned long long tick_before = ::GetTickCount64();
  DebugLog("[KR] format check");
  unsigned long long tick_after = ::GetTickCount64();
  std::string after = kr_test::ReadWholeFile(DebugLogPath());

  // Appended: what was there stays byte for byte.
  ASSERT_GT(after.size(), before.size());
  EXPECT_EQ(after.compare(0, before.size(), before), 0);
  std::string line = after.substr(before.size());
  std::smatch match;
  // Text mode writes the newline as CR LF on Windows.
  ASSERT_TRUE(std::regex_match(line, match, std::regex(R"(^(\d+) \| \[KR\] format check\r\n$)")))
      << line;
  unsigned long long tick = std::stoull(match[1]);
  EXPECT_GE(tick, tick_before);
  EXPECT_LE(tick, tick_after);
}

TEST(DebugLog, PercentIsVerbatimInDebugLogAndFormatInDebugLogF) {
  LogReader log(DebugLogPath());
  DebugLog("[KR] 100% %d %s %n");
  DebugLogF("[KR] rate %d%% of %s", 5, "work");
  std::vector<std::string> messages = log.NewMessages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "[KR] 100% %d %s %n");
  EXPECT_EQ(messages[1], "[KR] rate 5% of work");
}

TEST(DebugLog, LongFormattedMessageIsWrittenWhole) {
  LogReader log(DebugLogPath());
  std::string payload(100 * 1024, 'x');
  payload.back() = 'E';
  DebugLogF("[KR] pipe in: %s", payload.c_str());
  std::vector<std::string> messages = log.NewMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "[KR] pipe in: " + payload);
}

// Every line of |messages| that starts with |marker| must be one complete,
// untorn line written by the writer program or the threads below.
void ExpectWholeMarkedLines(const std::vector<std::string>& messages,
                            const std::string& marker,
                            int count) {
  std::set<int> seen;
  std::regex format("^" + marker + R"( (\d+) ([a-h])+$)");
  for (const std::string& message : messages) {
    if (message.find(marker) == std::string::npos) {
      continue;
    }
    std::smatch match;
    ASSERT_TRUE(std::regex_match(message, match, format)) << "torn line: " << message.substr(0, 80);
    int index = std::stoi(match[1]);
    EXPECT_TRUE(seen.insert(index).second) << "line " << index << " twice";
    // Each writer thread pads with its own letter and length.
    size_t padding = message.size() - message.rfind(' ') - 1;
    int thread = index % 4;
    EXPECT_EQ(padding, static_cast<size_t>(200 + thread * 50));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(count));
}

TEST(DebugLog, ThreadsNeverTearLines) {
  for (bool formatted : {false, true}) {
    SCOPED_TRACE(formatted ? "DebugLogF" : "DebugLog");
    LogReader log(DebugLogPath());
    std::string marker = UniqueMarker(formatted ? "threadsf" : "threads");
    const int kCount = 800;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        std::string padding(200 + t * 50, static_cast<char>('a' + t));
        for (int i = t; i < kCount; i += 4) {
          if (formatted) {
            DebugLogF("%s %d %s", marker.c_str(), i, padding.c_str());
          } else {
            DebugLog((marker + " " + std::to_string(i) + " " + padding).c_str());
          }
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    ExpectWholeMarkedLines(log.NewMessages(), marker, kCount);
  }
}

TEST(DebugLog, TwoProcessesAppendAtOnceWithoutLosingLines) {
  LogReader log(DebugLogPath());
  std::wstring writer = kr_test::ProgramFolder() + L"kr_log_writer.exe";
  std::string first_marker = UniqueMarker("procA");
  std::string second_marker = UniqueMarker("procB");
  const int kCount = 600;
  auto first = kr_test::ChildProcess::Start(
      writer, {std::wstring(first_marker.begin(), first_marker.end()), std::to_wstring(kCount)},
      {});
  auto second = kr_test::ChildProcess::Start(
      writer,
      {std::wstring(second_marker.begin(), second_marker.end()), std::to_wstring(kCount), L"f"},
      {});
  ASSERT_TRUE(first && second);
  ASSERT_EQ(first->WaitForExit(30000), std::optional<DWORD>(0));
  ASSERT_EQ(second->WaitForExit(30000), std::optional<DWORD>(0));
  std::vector<std::string> messages = log.NewMessages();
  ExpectWholeMarkedLines(messages, first_marker, kCount);
  ExpectWholeMarkedLines(messages, second_marker, kCount);
}

TEST(DebugLog, LaterRunsAppendAfterEarlierOnes) {
  std::wstring writer = kr_test::ProgramFolder() + L"kr_log_writer.exe";
  std::string marker = UniqueMarker("runs");
  std::wstring wide_marker(marker.begin(), marker.end());
  std::string before = kr_test::ReadWholeFile(DebugLogPath());
  ASSERT_EQ(
      kr_test::ChildProcess::Start(writer, {wide_marker + L"-1", L"4"}, {})->WaitForExit(30000),
      std::optional<DWORD>(0));
  ASSERT_EQ(
      kr_test::ChildProcess::Start(writer, {wide_marker + L"-2", L"4"}, {})->WaitForExit(30000),
      std::optional<DWORD>(0));
  std::string after = kr_test::ReadWholeFile(DebugLogPath());
  EXPECT_EQ(after.compare(0, before.size(), before), 0);
  size_t first_run = after.find(marker + "-1 ", before.size());
  size_t second_run = after.find(marker + "-2 ", before.size());
  ASSERT_NE(first_run, std::string::npos);
  ASSERT_NE(second_run, std::string::npos);
  EXPECT_LT(first_run, second_run);
}

}  // namespace
