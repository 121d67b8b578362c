#include "feeds/calendar/calendar_sync.h"

#include <exception>
#include <thread>

#include "feeds/calendar/calendar_json.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/unique_resource.h"
#include "winrt/activation.h"
#include "winrt/appointments.h"
#include "winrt/async_wait.h"
#include "winrt/hstring.h"

namespace {

using winrt::ComPtr;

constexpr int64_t kDayTicks = 864000000000;  // 24 h in 100 ns
constexpr int kReplaceRetries = 10;
constexpr DWORD kReplaceRetryDelayMs = 20;
constexpr DWORD kReadChunk = 4096;
constexpr int kOpenAttempts = 5;

// A failed runtime call inside a pass; the pass ends with it.
struct RuntimeFailure {
  HRESULT hr;
};

void Check(HRESULT hr) {
  if (FAILED(hr)) {
    throw RuntimeFailure{hr};
  }
}

template <typename T>
void CheckHeld(HRESULT hr, const ComPtr<T>& object) {
  Check(hr);
  if (!object) {
    throw RuntimeFailure{E_POINTER};
  }
}

// The new text is written here first, beside the file it replaces.
std::wstring TemporaryPath(const std::wstring& path) {
  return path + L".tmp";
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Waits |ms| unless |stop_event| is set first; false when it was.
bool Pause(HANDLE stop_event, DWORD ms) {
  if (stop_event == nullptr) {
    ::Sleep(ms);
    return true;
  }
  return ::WaitForSingleObject(stop_event, ms) == WAIT_TIMEOUT;
}

// The start in local time; false when it has no calendar time there.
bool LocalStart(winrt::DateTime start, SYSTEMTIME* local) {
  const auto ticks = static_cast<uint64_t>(start.universal_time);
  FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  FILETIME local_time = utc;
  ::FileTimeToLocalFileTime(&utc, &local_time);
  return ::FileTimeToSystemTime(&local_time, local);
}

void SyncOnce(HANDLE stop_event) {
  std::optional<std::string> text = FetchCalendarText(stop_event);
  if (!text) {
    return;
  }
  if (std::wstring path = CalendarFilePath(); !path.empty()) {
    ReplaceCalendarFile(path, *text, stop_event);
  }
}

void CalendarSyncLoop(FlutterWindow* window) {
  const HRESULT hr = GetCalendarProcs().co_initialize_ex(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) {
    DebugLogF("[CAL] CoInitializeEx failed: 0x%08X", static_cast<unsigned>(hr));
    window->calendar_running = false;
    return;
  }
  while (window->calendar_running) {
    SyncOnce(window->calendar_pacer.stop_event());
    if (!window->calendar_pacer.WaitForNextPoll()) {
      break;
    }
  }
  ::CoUninitialize();
  window->calendar_running = false;
}

}  // namespace

CalendarProcs& GetCalendarProcs() {
  static CalendarProcs procs;
  return procs;
}

std::wstring CalendarFilePath() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(
          GetCalendarProcs().get_folder_path(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder))) {
    return {};
  }
  std::wstring path = std::wstring(folder) + L"\\Kestrune";
  ::CreateDirectoryW(path.c_str(), nullptr);  // an existing folder is no error
  return path + L"\\capsule_calendar.json";
}

std::string ReadCalendarFile(const std::wstring& path) {
  UniqueFileHandle file;
  for (int attempt = 1;; ++attempt) {
    // Sharing delete lets the writer replace the file meanwhile; this handle
    // keeps reading the version it opened.
    file.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Under Wine an open that meets a replace can miss the file for a moment
    // (measured), while the file or its replacement is there.
    if (file || ::GetLastError() != ERROR_FILE_NOT_FOUND || attempt == kOpenAttempts ||
        (!Exists(path) && !Exists(TemporaryPath(path)))) {
      break;
    }
    ::Sleep(1);
  }
  if (!file) {
    return "[]";
  }
  std::string text;
  char chunk[kReadChunk];
  for (DWORD read = 0;; text.append(chunk, read)) {
    if (!::ReadFile(file.get(), chunk, kReadChunk, &read, nullptr)) {
      return "[]";  // part of a text is no JSON
    }
    if (read == 0) {
      break;
    }
  }
  return text.empty() ? "[]" : text;
}

bool ReplaceCalendarFile(const std::wstring& path, std::string_view text, HANDLE stop_event) {
  const std::wstring temp = TemporaryPath(path);
  UniqueFileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  const auto size = static_cast<DWORD>(text.size());
  const bool wrote = file && ::WriteFile(file.get(), text.data(), size, &written, nullptr);
  if (!wrote || written != size) {
    // A short write without an error is a full disk.
    DebugLogF("[CAL] calendar file write failed: %lu", wrote ? ERROR_DISK_FULL : ::GetLastError());
    file.reset();
    ::DeleteFileW(temp.c_str());
    return false;
  }
  file.reset();
  for (int retry = 0;; ++retry) {
    if (::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return true;
    }
    const DWORD error = ::GetLastError();
    // A reader holding the file refuses the replace (5 under Wine) only for a moment.
    const bool held = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
    if (!held || retry == kReplaceRetries || !Pause(stop_event, kReplaceRetryDelayMs)) {
      DebugLogF("[CAL] calendar file replace failed: %lu", error);
      ::DeleteFileW(temp.c_str());
      return false;
    }
  }
}

std::optional<std::string> FetchCalendarText(HANDLE stop_event) {
  winrt::AsyncWaitOptions wait;
  wait.stop_event = stop_event;
  try {
    ComPtr<winrt::IAppointmentManagerStatics2> manager;
    CheckHeld(winrt::GetActivationFactory(winrt::kAppointmentManagerClass,
                                          winrt::kIidAppointmentManagerStatics2, &manager),
              manager);
    ComPtr<winrt::IAsyncOperation<winrt::IAppointmentStore*>> store_request;
    CheckHeld(manager->RequestStoreAsync(winrt::kAllCalendarsReadOnly, store_request.put()),
              store_request);
    ComPtr<winrt::IAppointmentStore> store;
    CheckHeld(
        winrt::WaitForResults(store_request.get(), winrt::kIidStoreHandler, store.put(), wait),
        store);

    FILETIME now{};
    GetCalendarProcs().get_system_time(&now);
    const winrt::DateTime range_start{
        static_cast<int64_t>(uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime)};
    ComPtr<winrt::IAsyncOperation<winrt::AppointmentList*>> search;
    CheckHeld(store->FindAppointmentsAsync(range_start, {kDayTicks}, search.put()), search);
    ComPtr<winrt::AppointmentList> appointments;
    CheckHeld(winrt::WaitForResults(search.get(), winrt::kIidListHandler, appointments.put(), wait),
              appointments);

    UINT32 size = 0;
    Check(appointments->get_Size(&size));
    CalendarJson json;
    for (UINT32 i = 0; i < size; ++i) {
      ComPtr<winrt::IAppointment> appointment;
      CheckHeld(appointments->GetAt(i, appointment.put()), appointment);
      winrt::HString subject;  // a null subject reads as empty
      Check(appointment->get_Subject(subject.put()));
      winrt::DateTime start{};
      Check(appointment->get_StartTime(&start));
      // An appointment under way since yesterday keeps yesterday's time of day.
      if (SYSTEMTIME local{}; LocalStart(start, &local)) {
        json.Add(local.wHour, local.wMinute, winrt::HStringToUtf8(subject.get()));
      }
    }
    // Skipped appointments are counted too.
    DebugLogF("[CAL] synced %u appointments", static_cast<unsigned>(size));
    return json.Finish();
  } catch (const RuntimeFailure& failure) {
    if (failure.hr == winrt::kAsyncStopped) {
      return std::nullopt;
    }
    DebugLogF("[CAL] hresult_error: 0x%08X", static_cast<unsigned>(failure.hr));
  } catch (const std::exception&) {
    // Anything else (out of memory) empties the day without a line.
  }
  return "[]";
}

void StartCalendarSync(FlutterWindow* window) {
  if (window->is_capsule || window->calendar_running.exchange(true)) {
    return;
  }
  // A thread that ended by itself is still held.
  if (window->calendar_thread.joinable()) {
    window->calendar_thread.join();
  }
  window->calendar_pacer.Rearm();
  try {
    window->calendar_thread = std::thread(CalendarSyncLoop, window);
  } catch (...) {
    window->calendar_running = false;
    throw;
  }
}

void StopCalendarSync(FlutterWindow* window) {
  window->calendar_running = false;
  window->calendar_pacer.Stop();
  if (window->calendar_thread.joinable()) {
    window->calendar_thread.join();
  }
}

std::string ReadCalendarAppointments() {
  const std::wstring path = CalendarFilePath();
  return path.empty() ? "[]" : ReadCalendarFile(path);
}
