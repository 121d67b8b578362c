#include "tests/support/host_process.h"

#include <algorithm>
#include <cstdio>

#include "tests/support/wait.h"

namespace kr_test {
namespace {

// Quoted as CommandLineToArgvW splits it back.
std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

// The current environment with |changes| applied, as a CreateProcess block.
std::vector<wchar_t> BuildEnvironment(const EnvironmentChanges& changes) {
  std::map<std::wstring, std::wstring> variables;
  wchar_t* block = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
    std::wstring text(entry);
    size_t equals = text.find(L'=', 1);  // "=C:" style entries start with '='
    if (equals != std::wstring::npos) {
      variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
  }
  ::FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : changes) {
    value ? void(variables[name] = *value) : void(variables.erase(name));
  }
  std::vector<wchar_t> result;
  for (const auto& [name, value] : variables) {
    std::wstring entry = name + L"=" + value;
    result.insert(result.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
  }
  result.resize(result.size() + (result.empty() ? 2 : 1), L'\0');
  return result;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::wstring& program,
                                                  const std::vector<std::wstring>& arguments,
                                                  const EnvironmentChanges& environment) {
  auto child = std::make_unique<ChildProcess>();
  child->job_.reset(::CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(child->job_.get(), JobObjectExtendedLimitInformation, &limits,
                            sizeof(limits));
  std::wstring command_line = QuoteArgument(program);
  for (const std::wstring& argument : arguments) {
    command_line += L" " + QuoteArgument(argument);
  }
  std::vector<wchar_t> env = BuildEnvironment(environment);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  // Suspended until it is in the job, so that nothing it starts escapes it.
  // A loaded Wine server now and then fails a start with ERROR_INTERNAL_ERROR.
  const auto create = [&] {
    return ::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                            CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT, env.data(), nullptr,
                            &startup, &info) != FALSE;
  };
  if (!child->job_ || (!create() && (::GetLastError() != ERROR_INTERNAL_ERROR || !create()))) {
    fwprintf(stderr, L"starting %ls failed: %lu\n", program.c_str(), ::GetLastError());
    return nullptr;
  }
  ::AssignProcessToJobObject(child->job_.get(), info.hProcess);
  ::ResumeThread(info.hThread);
  ::CloseHandle(info.hThread);
  child->process_.reset(info.hProcess);
  child->pid_ = info.dwProcessId;
  return child;
}

ChildProcess::~ChildProcess() {
  ::TerminateJobObject(job_.get(), 0);
  ::WaitForSingleObject(process_.get(), 5000);
  // Under load the window system may list a dead process's window a little
  // longer, and the next host would take it for a running instance.
  WaitUntil([this] { return HostWindows(pid_).empty(); }, 5000);
}

bool ChildProcess::running() const {
  return ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeout_ms) {
  DWORD code = 0;
  if (::WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process_.get(), &code)) {
    return std::nullopt;
  }
  return code;
}

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  std::wstring folder(path, ::GetModuleFileNameW(nullptr, path, MAX_PATH));
  return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring HostExecutable() {
  return ProgramFolder() + L"kestrune_flutter.exe";
}

std::unique_ptr<ChildProcess> StartHost(const EnvironmentChanges& environment,
                                        const std::vector<std::wstring>& arguments) {
  EnvironmentChanges changes = environment;
  changes.try_emplace(L"KESTRUNE_CAPSULE", std::nullopt);
  changes.try_emplace(L"KR_UI_BRIDGE", std::nullopt);
  return ChildProcess::Start(HostExecutable(), arguments, changes);
}

std::vector<HWND> HostWindows(DWORD pid, const wchar_t* class_name) {
  std::vector<HWND> found;
  for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, class_name, nullptr));) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == pid) {
      found.push_back(window);
    }
  }
  return found;
}

HWND WaitForHostWindow(DWORD pid, DWORD timeout_ms, const wchar_t* class_name) {
  HWND window = nullptr;
  WaitUntil(
      [&] {
        std::vector<HWND> windows = HostWindows(pid, class_name);
        window = windows.empty() ? nullptr : windows.front();
        return window != nullptr;
      },
      timeout_ms);
  return window;
}

std::vector<HWND> ChildWindowsOfClass(HWND parent, const wchar_t* class_name) {
  std::vector<HWND> found;
  for (HWND child = nullptr; (child = ::FindWindowExW(parent, child, class_name, nullptr));) {
    found.push_back(child);
  }
  return found;
}

std::wstring WindowTitle(HWND window) {
  wchar_t title[256];
  return std::wstring(title, std::max(::GetWindowTextW(window, title, 256), 0));
}

bool MessageLoopAnswers(HWND window, DWORD timeout_ms) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &result) != 0;
}

}  // namespace kr_test
