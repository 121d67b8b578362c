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
  std::vector<std::wstring> arguments = {title, L"fullscreen"};
  arguments.resize(fullscreen ? 2 : 1);
  helper->process = ChildProcess::Start(ProgramFolder() + L"kr_helper_window.exe", arguments, {});
  helper->window = helper->process
                       ? WaitForHostWindow(helper->process->pid(), 5000, kHelperWindowClass)
                       : nullptr;
  return helper->window != nullptr && helper->BringToFront() ? std::move(helper) : nullptr;
}

}  // namespace kr_test
