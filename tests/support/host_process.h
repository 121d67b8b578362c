#ifndef KESTRUNE_TESTS_SUPPORT_HOST_PROCESS_H_
#define KESTRUNE_TESTS_SUPPORT_HOST_PROCESS_H_

#include <windows.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runner/unique_resource.h"

namespace kr_test {

// Environment changes for a child: a value sets the variable, nothing removes it.
using EnvironmentChanges = std::map<std::wstring, std::optional<std::wstring>>;

// A program started by a test. It runs in a job that ends it, and whatever it
// started, when the test lets go of it or dies.
class ChildProcess {
 public:
  static std::unique_ptr<ChildProcess> Start(const std::wstring& program,
                                             const std::vector<std::wstring>& arguments,
                                             const EnvironmentChanges& environment);
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  DWORD pid() const { return pid_; }
  HANDLE handle() const { return process_.get(); }
  bool running() const;

  // Exit code, or nothing when it still runs after |timeout_ms|.
  std::optional<DWORD> WaitForExit(DWORD timeout_ms);

 private:
  UniqueHandle job_;
  UniqueHandle process_;
  DWORD pid_ = 0;
};

// Folder of the running test program, with a trailing backslash; the build puts
// the host and every helper program there.
std::wstring ProgramFolder();

// The host executable beside the test program.
std::wstring HostExecutable();

// Starts the host with |environment| changes (KESTRUNE_CAPSULE and
// KR_UI_BRIDGE are removed unless given).
std::unique_ptr<ChildProcess> StartHost(const EnvironmentChanges& environment,
                                        const std::vector<std::wstring>& arguments = {});

// Top-level windows of |class_name| (the host's by default) owned by |pid|.
std::vector<HWND> HostWindows(DWORD pid,
                              const wchar_t* class_name = L"FLUTTER_RUNNER_WIN32_WINDOW");

// Waits for such a window; null after |timeout_ms|.
HWND WaitForHostWindow(DWORD pid,
                       DWORD timeout_ms = 10000,
                       const wchar_t* class_name = L"FLUTTER_RUNNER_WIN32_WINDOW");

// Child windows of |parent| whose class is |class_name|.
std::vector<HWND> ChildWindowsOfClass(HWND parent, const wchar_t* class_name);

std::wstring WindowTitle(HWND window);

// True when |window|'s thread answers a sent message within |timeout_ms|.
bool MessageLoopAnswers(HWND window, DWORD timeout_ms = 2000);

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_HOST_PROCESS_H_
