#include "runner/search_tool.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "runner/debug_log.h"
#include "runner/unique_resource.h"

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
  // Only the copy bundled with the assistant: the user's own copy of the same
  // tool, started from anywhere else, is none of our business.
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    DebugLogF("[KR] search tool: process snapshot failed: %lu", ::GetLastError());
    return;
  }
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (::CompareStringOrdinal(entry.szExeFile, -1, L"Everything.exe", -1, TRUE) != CSTR_EQUAL) {
      continue;
    }
    UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                                       entry.th32ProcessID));
    if (!process) {
      continue;
    }
    std::vector<wchar_t> image(32768);
    DWORD length = static_cast<DWORD>(image.size());
    if (!::QueryFullProcessImageNameW(process.get(), 0, image.data(), &length) ||
        ::CompareStringOrdinal(image.data(), static_cast<int>(length), tool.c_str(),
                               static_cast<int>(tool.size()), TRUE) != CSTR_EQUAL) {
      continue;
    }
    if (::TerminateProcess(process.get(), 1)) {
      DebugLogF("[KR] search tool ended: pid=%lu", entry.th32ProcessID);
    } else {
      DebugLogF("[KR] search tool: TerminateProcess failed: %lu", ::GetLastError());
    }
  }
}
