// The debug log as written by this process and by helper processes.
#include "runner/debug_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <set>
#include <thread>

#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/wait.h"

namespace {

TEST(DebugLog, LinesAreTickSeparatorTextAndCrLfWithPercentVerbatimUnlessFormatted) {
  size_t before = kr_test::ReadWholeFile(DebugLogPath()).size();
  unsigned long long tick_before = ::GetTickCount64();
  DebugLog("[KR] 100% %d %s %n");
  unsigned long long tick_after = ::GetTickCount64();
  std::string payload(100 * 1024, 'x');  // far beyond any buffer on the stack
  DebugLogF("[KR] rate %d%% of %s", 5, payload.c_str());

  std::string added = kr_test::ReadWholeFile(DebugLogPath()).substr(before);
  std::smatch match;
  ASSERT_TRUE(std::regex_search(added, match, std::regex(R"((\d+) \| \[KR\] 100% %d %s %n\r\n)"),
                                std::regex_constants::match_continuous))
      << added.substr(0, 80);
  EXPECT_GE(std::stoull(match[1]), tick_before);
  EXPECT_LE(std::stoull(match[1]), tick_after);
  EXPECT_EQ(added.substr(added.find(" | ", match.length())),
            " | [KR] rate 5% of " + payload + "\r\n");
}

// Every line of |messages| that holds |marker| must be one whole line of the writer
// program: "marker index padding", its letter and length set by index % 4.
void ExpectWholeMarkedLines(const std::vector<std::string>& messages,
                            const std::string& marker,
                            size_t count) {
  std::set<int> seen;
  for (const std::string& message : messages) {
    if (message.find(marker) != std::string::npos) {
      int index = std::atoi(message.c_str() + marker.size() + 1);
      EXPECT_EQ(message, marker + " " + std::to_string(index) + " " +
                             std::string(200 + index % 4 * 50, static_cast<char>('a' + index % 4)));
      EXPECT_TRUE(seen.insert(index).second) << "line " << index << " twice";
    }
  }
  EXPECT_EQ(seen.size(), count);
}

TEST(DebugLog, TwoProcessesOfFourThreadsAppendAtOnceWithoutTearingOrTruncating) {
  std::string before = kr_test::ReadWholeFile(DebugLogPath());
  kr_test::LogReader log(DebugLogPath());
  std::wstring writer = kr_test::ProgramFolder() + L"kr_log_writer.exe";
  std::string marker = "writer-" + std::to_string(::GetCurrentProcessId()) + "-" +
                       std::to_string(::GetTickCount64());
  std::wstring wide(marker.begin(), marker.end());
  auto plain = kr_test::ChildProcess::Start(writer, {wide + L"-p", L"600"}, {});
  auto formatted = kr_test::ChildProcess::Start(writer, {wide + L"-f", L"600", L"f"}, {});
  ASSERT_TRUE(plain && formatted);
  ASSERT_EQ(plain->WaitForExit(30000), std::optional<DWORD>(0));
  ASSERT_EQ(formatted->WaitForExit(30000), std::optional<DWORD>(0));
  std::vector<std::string> messages = log.NewMessages();
  ExpectWholeMarkedLines(messages, marker + "-p", 600);
  ExpectWholeMarkedLines(messages, marker + "-f", 600);
  EXPECT_EQ(kr_test::ReadWholeFile(DebugLogPath()).compare(0, before.size(), before), 0);
}

// Another process stalled while holding the line mutex: lines are still written,
// and only the first waits for it.
TEST(DebugLog, AStalledHolderOfTheLineMutexHoldsUpOneWaitAtMost) {
  kr_test::LogReader log(DebugLogPath());
  std::atomic<bool> held{false}, release{false};
  std::thread holder([&] {
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"Local\\KestruneDebugLogLine");
    ::WaitForSingleObject(mutex, INFINITE);
    held = true;
    while (!release) {
      ::Sleep(5);
    }
    ::ReleaseMutex(mutex);
    ::CloseHandle(mutex);
  });
  ASSERT_TRUE(kr_test::WaitUntil([&] { return held.load(); }));
  EXPECT_EQ(DebugLogLineLockWaitMs(), 20u);
  for (int i = 0; i < 100; ++i) {
    DebugLogF("[KR] stalled-mutex line %d", i);
    EXPECT_EQ(DebugLogLineLockWaitMs(), 0u);  // timed out once: no more waiting
  }
  release = true;
  holder.join();
  DebugLog("[KR] stalled-mutex line after");  // the mutex seen free again
  EXPECT_EQ(DebugLogLineLockWaitMs(), 20u);
  EXPECT_EQ(log.CountMessages("[KR] stalled-mutex line "), 101u);
}

}  // namespace
