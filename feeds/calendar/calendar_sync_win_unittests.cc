// The sync thread on a window record, against a fake appointment store and
// Wine's own runtime; ctest runs it with TZ=Asia/Tokyo (UTC+9, no DST).
#include "feeds/calendar/calendar_sync.h"

#include <gtest/gtest.h>

#include <thread>

#include <flutter/method_result_functions.h>

#include "channels/window/window_channel.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "tests/support/calendar_fakes.h"
#include "tests/support/log_reader.h"
#include "tests/support/wait.h"

namespace {

using flutter::EncodableValue;

constexpr int64_t kNow = 133545132000000000;  // 2024-03-10 03:00 UTC, 12:00 in Tokyo
std::wstring folder;                          // the application-data folder; empty: unknown

class CalendarSyncTest : public ::testing::Test {
 protected:
  CalendarSyncTest() {
    auto& procs = GetCalendarProcs();
    procs.get_system_time = [](LPFILETIME now) { *now = {DWORD(kNow), DWORD(kNow >> 32)}; };
    procs.get_folder_path = [](HWND, int, HANDLE, DWORD, LPWSTR out) {
      return folder.empty() ? E_FAIL : (::wcscpy(out, folder.c_str()), S_OK);
    };
    folder = _wgetenv(L"TEMP") + (L"\\kr_calendar_" + std::to_wstring(::GetCurrentProcessId()));
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ::DeleteFileW((path_ = CalendarFilePath()).c_str());
    window_.calendar_pacer.SetPeriod(INFINITE);  // one pass per start
  }
  ~CalendarSyncTest() override {
    StopCalendarSync(&window_);
    GetCalendarProcs() = saved_;
    EXPECT_EQ(script_.log.live_objects, 0);
  }

  // Runs the thread until its first pass is done or waits on the search, over
  // the fake store unless real.
  std::string Sync(bool fake = true) {
    auto manager = kr_test::MakeFakeAppointmentManager(&script_);
    std::optional<kr_test::ScopedFakeActivation> activation;
    if (fake) {
      activation.emplace(manager.get(), S_OK);
    }
    Call("startCalendarSync");
    Call("startCalendarSync");  // a second thread would make a second request
    EXPECT_TRUE(kr_test::WaitUntil(
        [&] { return window_.calendar_pacer.Waiting() > 0 || script_.search_waited; }));
    StopCalendarSync(&window_);
    return kr_test::ReadWholeFile(path_);
  }
  EncodableValue Call(const char* method) {
    EncodableValue answer("none");
    WindowChannelHandler(
        &window_, {method, nullptr},
        std::make_unique<flutter::MethodResultFunctions<EncodableValue>>(
            [&](auto* value) { answer = value ? *value : EncodableValue(); }, nullptr, nullptr));
    return answer;
  }

  const CalendarProcs saved_ = GetCalendarProcs();
  kr_test::LogReader log_{DebugLogPath()};
  kr_test::CalendarScript script_;
  FlutterWindow window_{flutter::DartProject(L"data")};
  std::wstring path_;
};

TEST_F(CalendarSyncTest, EachPassWritesTheNextDayOrAnEmptyOne) {
  EXPECT_EQ(Call("getCalendarAppointments"), EncodableValue("[]"));  // no file yet
  const struct Row {
    bool fake = true;
    HRESULT request_error = S_OK;
    bool pending = false;
    std::vector<std::pair<std::wstring, int64_t>> found = {};
    const char* file;
    const char* line;
  } rows[] = {
      {.found = {{L"Stand-up \"A\" \\ B", 133544349000000000},  // since yesterday, 14:15
                 {L"Line\nbreak\x01", 133545186000000000},
                 {L"", INT64_MIN},            // no calendar time: left out, but counted
                 {L"", 133545567000000000}},  // 00:05 tomorrow
       .file = R"([{"t":"14:15","e":"Stand-up \"A\" \\ B"},)"
               R"({"t":"13:30","e":"Line\nbreak\u0001"},{"t":"00:05","e":""}])",
       .line = "[CAL] synced 4 appointments"},
      {.file = "[]", .line = "[CAL] synced 0 appointments"},
      {.request_error = E_ACCESSDENIED, .file = "[]", .line = "[CAL] hresult_error: 0x80070005"},
      {.fake = false, .file = "[]", .line = "[CAL] hresult_error: 0x80040154"},  // Wine has none
      {.pending = true, .file = "[1]", .line = ""},  // a stop ends the search, and is no failure
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(ReplaceCalendarFile(path_, "[1]", nullptr));
    script_.found = row.found;
    script_.request_error = row.request_error;
    script_.search_pending = row.pending;
    EXPECT_EQ(Sync(row.fake), row.file);
    EXPECT_EQ(Call("getCalendarAppointments"), EncodableValue(row.file));
    EXPECT_TRUE(log_.WaitForMessage(row.line));
  }
  EXPECT_EQ(script_.requests, 4);  // one per fake row, though each started twice
  EXPECT_EQ(script_.log.cancel_calls, 1);
  EXPECT_EQ(script_.range_start, kNow);
  EXPECT_EQ(script_.range_length, 864000000000);
}

TEST_F(CalendarSyncTest, NothingRunsInTheCapsuleOrWithoutCom) {
  window_.is_capsule = true;
  EXPECT_EQ(Call("startCalendarSync"), EncodableValue());
  EXPECT_FALSE(window_.calendar_running || window_.calendar_thread.joinable());
  window_.is_capsule = false;
  GetCalendarProcs().co_initialize_ex = [](LPVOID, DWORD) { return E_OUTOFMEMORY; };
  Call("startCalendarSync");
  EXPECT_TRUE(log_.WaitForMessage("[CAL] CoInitializeEx failed: 0x8007000E"));
  EXPECT_TRUE(kr_test::WaitUntil([&] { return !window_.calendar_running; }));
  EXPECT_EQ(::GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES);
  folder.clear();  // no application-data folder: nothing to read
  EXPECT_EQ(Call("getCalendarAppointments"), EncodableValue("[]"));
}

TEST_F(CalendarSyncTest, ReadersSeeOneWholeVersionWhileTheFileIsReplaced) {
  const std::string texts[] = {std::string(6000, 'a'), std::string(9000, 'b')};
  ASSERT_TRUE(ReplaceCalendarFile(path_, texts[1], nullptr));
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 1000; ++i) {
      ReplaceCalendarFile(path_, texts[i % 2], nullptr);
    }
    done = true;
  });
  int torn = 0;
  for (; !done; ::Sleep(1)) {
    std::string text = ReadCalendarFile(path_);
    torn += text != texts[0] && text != texts[1];
  }
  writer.join();
  EXPECT_EQ(torn, 0);
  // A reader that keeps the file open outlasts the retries: the old text stays.
  HANDLE reader = ::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(ReplaceCalendarFile(path_, "[2]", nullptr));
  ::CloseHandle(reader);
  EXPECT_EQ(ReadCalendarFile(path_), texts[1]);
  EXPECT_EQ(::GetFileAttributesW((path_ + L".tmp").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(log_.WaitForMessage("[CAL] calendar file replace failed: 5"));
}

}  // namespace
