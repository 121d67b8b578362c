#include "runner/search_tool.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

std::wstring ExecutableFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  while (true) {
    DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return std::wstring();
    }
    if (length < path.size()) {
      std::wstring module(path.data(), length);
      size_t separator = module.find_last_of(L"\\/");
      return separator == std::wstring::npos ? std::wstring() : module.substr(0, separator + 1);
    }
    path.resize(path.size() * 2);
  }
}

void EndSearchTool() {
  std::wstring tool = ExecutableFolder() + L"data\\everything\\Everything.exe";
  if (::GetFileAttributesW(tool.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return;
  }
  // By full path from the system folder: a "taskkill" planted in the working
  // directory or on the path is never the one that runs.
  wchar_t system_folder[MAX_PATH];
  UINT length = ::GetSystemDirectoryW(system_folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return;
  }
  std::wstring taskkill = std::wstring(system_folder, length) + L"\\taskkill.exe";
  ::ShellExecuteW(nullptr, L"open", taskkill.c_str(), L"/IM Everything.exe /F", nullptr, SW_HIDE);
}
