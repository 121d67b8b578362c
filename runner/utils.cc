#include "runner/utils.h"

#include <windows.h>
#include <shellapi.h>

#include <io.h>
#include <stdio.h>
#include <wchar.h>

#include <iostream>

#include <flutter_windows.h>
#include "runner/unique_resource.h"

namespace {
constexpr size_t kMaxUtf16Units = 32767;
}  // namespace

void AttachDebugConsole() {
  if (!::AllocConsole()) {
    return;
  }
  FILE* unused;
  if (freopen_s(&unused, "CONOUT$", "w", stdout) != 0) {
    _dup2(_fileno(stdout), 1);
  }
  if (freopen_s(&unused, "CONOUT$", "w", stderr) != 0) {
    _dup2(_fileno(stdout), 2);
  }
  std::ios::sync_with_stdio();
  FlutterDesktopResyncOutputStreams();
}

std::vector<std::string> CommandLineArgumentsUtf8() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr) {
    return {};
  }
  UniqueLocalMemory argv_memory(argv);
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.push_back(Utf16ToUtf8(argv[i]));
  }
  return arguments;
}

namespace {

std::string ConvertUtf16ToUtf8(const wchar_t* utf16_string, DWORD flags) {
  if (utf16_string == nullptr) {
    return std::string();
  }
  int input_length = static_cast<int>(wcsnlen(utf16_string, kMaxUtf16Units));
  if (input_length == 0) {
    return std::string();
  }
  int target_length = ::WideCharToMultiByte(CP_UTF8, flags, utf16_string, input_length, nullptr, 0,
                                            nullptr, nullptr);
  if (target_length == 0) {
    return std::string();
  }
  std::string utf8_string(static_cast<size_t>(target_length), '\0');
  int converted = ::WideCharToMultiByte(CP_UTF8, flags, utf16_string, input_length,
                                        utf8_string.data(), target_length, nullptr, nullptr);
  if (converted == 0) {
    return std::string();
  }
  return utf8_string;
}

}  // namespace

std::string Utf16ToUtf8(const wchar_t* utf16_string) {
  return ConvertUtf16ToUtf8(utf16_string, WC_ERR_INVALID_CHARS);
}

std::string Utf16ToUtf8Lenient(const wchar_t* utf16_string) {
  return ConvertUtf16ToUtf8(utf16_string, 0);
}

std::optional<std::wstring> ReadEnvironment(const wchar_t* name) {
  DWORD needed = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) {
    return std::nullopt;
  }
  std::wstring value(needed, L'\0');
  DWORD length = ::GetEnvironmentVariableW(name, value.data(), needed);
  if (length >= needed) {
    return std::nullopt;  // changed between the two calls; treat as unset
  }
  value.resize(length);
  return value;
}

bool IsCapsuleProcess() {
  return ::GetEnvironmentVariableW(L"KESTRUNE_CAPSULE", nullptr, 0) != 0;
}
