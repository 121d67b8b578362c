// Stands in for a backend's Python interpreter: records how it was started into
// "record_<pid>.txt" beside itself (command line, working folder,
// KESTRUNE_BRIDGE_DIR and creation time, one per line, UTF-16) and stays alive.
#include <windows.h>

#include <string>

int main() {
  wchar_t buffer[MAX_PATH];
  std::wstring record = ::GetCommandLineW();
  record += L'\n';
  record.append(buffer, ::GetCurrentDirectoryW(MAX_PATH, buffer));
  record += L'\n';
  record.append(buffer, ::GetEnvironmentVariableW(L"KESTRUNE_BRIDGE_DIR", buffer, MAX_PATH));
  FILETIME created{};
  FILETIME unused{};
  ::GetProcessTimes(::GetCurrentProcess(), &created, &unused, &unused, &unused);
  record +=
      L'\n' + std::to_wstring((ULONGLONG{created.dwHighDateTime} << 32) | created.dwLowDateTime);

  std::wstring folder(buffer, ::GetModuleFileNameW(nullptr, buffer, MAX_PATH));
  folder.resize(folder.find_last_of(L'\\') + 1);
  std::wstring name = folder + L"record_" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
  // Written aside and renamed, so a reader never sees half a record.
  std::wstring partial = name + L".part";
  HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  ::WriteFile(file, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written,
              nullptr);
  ::CloseHandle(file);
  ::MoveFileExW(partial.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING);
  ::Sleep(INFINITE);
}
