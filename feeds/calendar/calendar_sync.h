#ifndef KESTRUNE_FEEDS_CALENDAR_CALENDAR_SYNC_H_
#define KESTRUNE_FEEDS_CALENDAR_CALENDAR_SYNC_H_

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>
#include <string_view>

class FlutterWindow;

// Calendar sync: the user's appointments of the next 24 hours, copied from the
// Windows appointment store into a small JSON file every period, for the
// interface to read through the window channel.

// The calls a test steers: COM set-up, the clock and the application-data folder.
struct CalendarProcs {
  HRESULT(WINAPI* co_initialize_ex)(LPVOID, DWORD) = ::CoInitializeEx;
  void(WINAPI* get_system_time)(LPFILETIME) = ::GetSystemTimePreciseAsFileTime;
  HRESULT(WINAPI* get_folder_path)(HWND, int, HANDLE, DWORD, LPWSTR) = ::SHGetFolderPathW;
};

// The table in use; tests may swap entries and must restore them.
CalendarProcs& GetCalendarProcs();

// "<local application data>\Kestrune\capsule_calendar.json", creating the
// folder; empty when the application-data folder is unknown.
std::wstring CalendarFilePath();

// The file's text, read whole from one version of the file; "[]" when there is
// no file, it is empty or cannot be read.
std::string ReadCalendarFile(const std::wstring& path);

// Replaces the file at |path| with |text| through a temporary file beside it,
// so a reader sees the old or the new text, whole. A replace refused because a
// reader holds the file is tried again a few times; when it still fails the old
// file stays and the failure is logged. A set |stop_event| ends the retries.
bool ReplaceCalendarFile(const std::wstring& path, std::string_view text, HANDLE stop_event);

// One pass over the store, logged with the number of appointments listed: the
// file's text, or "[]" (logged with the HRESULT) when the runtime fails. Empty
// when |stop_event| ended a wait, as nothing was learnt.
std::optional<std::string> FetchCalendarText(HANDLE stop_event);

// "startCalendarSync": starts the sync thread of |window| unless it runs or the
// process is the capsule. Throws std::system_error when no thread can be made.
void StartCalendarSync(FlutterWindow* window);
// Ends the sync thread promptly and joins it; at once when none runs.
void StopCalendarSync(FlutterWindow* window);

// "getCalendarAppointments": the stored text, or "[]".
std::string ReadCalendarAppointments();

#endif  // KESTRUNE_FEEDS_CALENDAR_CALENDAR_SYNC_H_
