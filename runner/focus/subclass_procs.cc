#include "runner/focus/subclass_procs.h"

WNDPROC prev_main_wndproc = nullptr;
WNDPROC prev_child_wndproc = nullptr;

// The activation, hit-test and tray decisions of these procedures are not
// built yet; until then they pass every message on unchanged.
LRESULT CALLBACK MainSubclassProc(HWND window,
                                  UINT message,
                                  WPARAM wparam,
                                  LPARAM lparam) noexcept {
  return ::CallWindowProcW(prev_main_wndproc, window, message, wparam, lparam);
}

LRESULT CALLBACK ChildSubclassProc(HWND window,
                                   UINT message,
                                   WPARAM wparam,
                                   LPARAM lparam) noexcept {
  return ::CallWindowProcW(prev_child_wndproc, window, message, wparam, lparam);
}

void SubclassMainWindow(HWND window) {
  prev_main_wndproc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainSubclassProc)));
}

void SubclassFirstChild(HWND window) {
  HWND child = ::FindWindowExW(window, nullptr, nullptr, nullptr);
  if (child == nullptr) {
    return;
  }
  prev_child_wndproc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ChildSubclassProc)));
}
