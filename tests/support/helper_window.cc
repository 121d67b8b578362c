#include "tests/support/helper_window.h"

#include "tests/support/host_process.h"
#include "tests/support/wait.h"

namespace kr_test {

bool HelperWindow::BringToFront() const {
  ::SetForegroundWindow(window);
  return WaitUntil([&] { return ::GetForegroundWindow() == window; });
}

bool StaysInFront(HWND window, ULONGLONG hold_ms) {
  ULONGLONG since = ::GetTickCount64();
  return WaitUntil(
      [&] {
        since = ::GetForegroundWindow() == window ? since : ::GetTickCount64();
        return ::GetTickCount64() - since >= hold_ms;
      },
      static_cast<DWORD>(hold_ms) + 5000);
}

std::unique_ptr<HelperWindow> StartHelperWindow(const std::wstring& title, bool fullscreen) {
  auto helper = std::make_unique<HelperWindow>();
  std::vector<std::wstring> arguments = {title};
  if (fullscreen) {
    arguments.push_back(L"fullscreen");
  }
  helper->process = ChildProcess::Start(ProgramFolder() + L"kr_helper_window.exe", arguments, {});
  if (!helper->process) {
    return nullptr;
  }
  WaitUntil([&] {
    for (HWND found = nullptr;
         (found = ::FindWindowExW(nullptr, found, kHelperWindowClass, nullptr));) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(found, &owner);
      if (owner == helper->process->pid()) {
        helper->window = found;
      }
    }
    return helper->window != nullptr;
  });
  return helper->window != nullptr && helper->BringToFront() ? std::move(helper) : nullptr;
}

}  // namespace kr_test
