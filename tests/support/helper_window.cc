#include "tests/support/helper_window.h"

#include "tests/support/host_process.h"
#include "tests/support/wait.h"

namespace kr_test {

int HelperWindow::KeyDowns(UINT vk) const {
  return static_cast<int>(::SendMessageW(window, kCountKeyDownsMsg, vk, 0));
}

int HelperWindow::KeyUps(UINT vk) const {
  return static_cast<int>(::SendMessageW(window, kCountKeyUpsMsg, vk, 0));
}

bool HelperWindow::BringToFront() const {
  ::SetForegroundWindow(window);
  return WaitUntil([&] { return ::GetForegroundWindow() == window; });
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
  DWORD pid = helper->process->pid();
  WaitUntil([&] {
    HWND found = nullptr;
    while ((found = ::FindWindowExW(nullptr, found, kHelperWindowClass, nullptr)) != nullptr) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(found, &owner);
      if (owner == pid) {
        helper->window = found;
        return true;
      }
    }
    return false;
  });
  if (helper->window == nullptr || !helper->BringToFront()) {
    return nullptr;
  }
  return helper;
}

}  // namespace kr_test
