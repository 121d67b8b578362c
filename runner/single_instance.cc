#include "runner/single_instance.h"

#include <windows.h>

#include "input/hotkey_event.h"
#include "runner/unique_resource.h"
#include "runner/window_names.h"

namespace {

UniqueHandle single_instance_mutex;

}  // namespace

bool AcquireSingleInstance() {
  if (HWND existing = ::FindWindowW(kWindowClassName, kMainWindowTitle)) {
    if (!::IsWindowVisible(existing)) {
      // Bringing a hidden card to the front would send keystrokes into a view
      // nobody sees: the user started the program again to see it, so the
      // first instance is summoned as by its hotkey, and may take the front.
      DWORD pid = 0;
      ::GetWindowThreadProcessId(existing, &pid);
      ::AllowSetForegroundWindow(pid);
      ::PostMessageW(existing, WM_HOTKEY, kToggleCapsule, 0);
      return false;
    }
    if (::IsIconic(existing)) {
      ::ShowWindow(existing, SW_RESTORE);
    }
    ::SetForegroundWindow(existing);
    return false;
  }
  // A window created again by this process: the mutex it holds is its own.
  if (single_instance_mutex) {
    return true;
  }
  single_instance_mutex.reset(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
  if (single_instance_mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    single_instance_mutex.reset();
    return false;
  }
  // Without a mutex at all we run unprotected rather than not at all.
  return true;
}

void ReleaseSingleInstance() {
  single_instance_mutex.reset();
}
