// The debug log as written by this process and by helper processes.
#include "runner/debug_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <regex>
#include <set>

#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"

namespace {

TEST(DebugLog, LinesAreTickSeparatorTextAndCrLfWithPercentVerbatimUnlessFormatted) {
  std::string before = kr_test::ReadWholeFile(DebugLogPath());
  unsigned long long tick_before = ::GetTickCount64();
  DebugLog("[KR] 100% %d %s %n");
  unsigned long long tick_after = ::GetTickCount64();
  std::string payload(100 * 1024, 'x');  // far beyond any buffer on the stack
  DebugLogF("[KR] rate %d%% of %s", 5, payload.c_str());
  std::string after = kr_test::ReadWholeFile(DebugLogPath());

  ASSERT_GT(after.size(), before.size());
  EXPECT_EQ(after.compare(0, before.size(), before), 0);  // appended
  std::string added = after.substr(before.size());
  size_t first_end = added.find("\r\n") + 2;
  std::smatch match;
  std::string first = added.substr(0, first_end);
  ASSERT_TRUE(std::regex_match(first, match, std::regex(R"(^(\d+) \| \[KR\] 100% %d %s %n\r\n$)")))
      << first;
  EXPECT_GE(std::stoull(match[1]), tick_before);
  EXPECT_LE(std::stoull(match[1]), tick_after);
  std::string second = added.substr(first_end);
  EXPECT_EQ(second.substr(second.find(" | ")), " | [KR] rate 5% of " + payload + "\r\n");
}

// Every line of |messages| that holds |marker| must be one complete, untorn line
// of the writer program: "marker index padding", the padding letter and length
// set by the writer thread (index % 4).
void ExpectWholeMarkedLines(const std::vector<std::string>& messages,
                            const std::string& marker,
                            int count) {
  std::set<int> seen;
  std::regex format("^" + marker + R"( (\d+) ([a-d])+$)");
  for (const std::string& message : messages) {
    std::smatch match;
    if (message.find(marker) == std::string::npos) {
      continue;
    }
    ASSERT_TRUE(std::regex_match(message, match, format)) << "torn: " << message.substr(0, 80);
    int index = std::stoi(match[1]);
    EXPECT_TRUE(seen.insert(index).second) << "line " << index << " twice";
    EXPECT_EQ(message.size() - message.rfind(' ') - 1, 200u + index % 4 * 50u);
    EXPECT_EQ(match[2], std::string(1, static_cast<char>('a' + index % 4)));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(count));
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
  while (!held) {
    ::Sleep(1);
  }
  ULONGLONG start = ::GetTickCount64();
  for (int i = 0; i < 100; ++i) {
    DebugLogF("[KR] stalled-mutex line %d", i);
  }
  ULONGLONG took = ::GetTickCount64() - start;
  release = true;
  holder.join();
  EXPECT_EQ(log.CountMessages("[KR] stalled-mutex line "), 100u);
  // Waiting for every line would take 100 waits of at least 20 ms.
  EXPECT_LT(took, 2000u);
}

}  // namespace
