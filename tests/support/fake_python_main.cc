// Stands in for a backend's interpreter: writes its command line and working
// folder (UTF-16 lines) to "record_<pid>.txt" in KESTRUNE_BRIDGE_DIR, and
// stays alive.
#include <windows.h>

#include <string>

int main() {
  wchar_t buffer[MAX_PATH];
  std::wstring record = ::GetCommandLineW() + std::wstring(L"\n");
  record.append(buffer, ::GetCurrentDirectoryW(MAX_PATH, buffer));
  std::wstring name(buffer, ::GetEnvironmentVariableW(L"KESTRUNE_BRIDGE_DIR", buffer, MAX_PATH));
  name += L"\\record_" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
  // Written aside and renamed, so a reader never sees half a record.
  HANDLE file = ::CreateFileW((name + L".part").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  ::WriteFile(file, record.data(), static_cast<DWORD>(record.size() * 2), &written, nullptr);
  ::CloseHandle(file);
  ::MoveFileExW((name + L".part").c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING);
  ::Sleep(INFINITE);
}
