#include "runner/focus/foreground.h"

#include <cwchar>

#include "runner/debug_log.h"
#include "runner/focus/clamp.h"
#include "runner/win32_procs.h"

namespace {

constexpr UINT kClampFlags = SWP_FRAMECHANGED | SWP_SHOWWINDOW;  // 0x60

bool IsInFront(HWND window, HWND foreground) {
  return foreground == window || ::GetAncestor(foreground, GA_ROOT) == window;
}

}  // namespace

void FocusFlutterView(HWND window) {
  Win32Procs& procs = GetWin32Procs();
  HWND child = ::FindWindowExW(window, nullptr, L"FLUTTERVIEW", nullptr);
  if (child == nullptr) {
    child = ::FindWindowExW(window, nullptr, nullptr, nullptr);
  }
  if (child != nullptr && ::IsWindow(child)) {
    procs.set_focus(child);
    DebugLogF("[KR] FocusFlutterView: SetFocus(child=%p) focus=%p", static_cast<void*>(child),
              static_cast<void*>(::GetFocus()));
    return;
  }
  procs.set_focus(window);
  DebugLog("[KR] FocusFlutterView: no child, SetFocus(main)");
}

void ForceForeground(HWND window) {
  if (window == nullptr) {
    return;
  }
  Win32Procs& procs = GetWin32Procs();
  if (procs.set_foreground_window(window)) {
    DebugLog("[KR] ForceForeground: level 1 OK");
    FocusFlutterView(window);
    return;
  }
  DebugLog("[KR] ForceForeground: level 1 FAILED, trying level 2");
  DWORD foreground_thread = ::GetWindowThreadProcessId(procs.get_foreground_window(), nullptr);
  DWORD me = ::GetCurrentThreadId();
  if (foreground_thread != 0 && foreground_thread != me) {
    procs.attach_thread_input(me, foreground_thread, TRUE);
    procs.set_foreground_window(window);
    procs.attach_thread_input(me, foreground_thread, FALSE);
  }
  // The window judged here is the one the failure line names.
  HWND seen = procs.get_foreground_window();
  if (IsInFront(window, seen)) {
    DebugLog("[KR] ForceForeground: level 2 OK");
    FocusFlutterView(window);
    return;
  }
  DebugLog("[KR] ForceForeground: level 2 FAILED, trying level 3 (alt-hack)");
  procs.keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY, 0);
  procs.keybd_event(VK_MENU, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
  if (procs.set_foreground_window(window)) {
    DebugLog("[KR] ForceForeground: level 3 OK (alt-hack)");
    FocusFlutterView(window);
    return;
  }
  DebugLogF("[KR] ForceForeground: ALL FAILED, fg=%p self=%p", static_cast<void*>(seen),
            static_cast<void*>(window));
}

void ClampToWorkArea(HWND window) {
  if (window == nullptr) {
    return;
  }
  RECT rect{};
  ::GetWindowRect(window, &rect);
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) {
    return;
  }
  HMONITOR monitor = ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) {
    return;
  }
  Placement work{info.rcWork.left, info.rcWork.top, info.rcWork.right - info.rcWork.left,
                 info.rcWork.bottom - info.rcWork.top};
  std::optional<Placement> placed = ClampIntoWorkArea(width, height, work);
  if (!placed) {
    return;
  }
  ::SetWindowPos(window, HWND_TOPMOST, placed->x, placed->y, placed->width, placed->height,
                 kClampFlags);
  DebugLogF("[KR] clamp window: %dx%d -> %dx%d at (%d,%d)", width, height, placed->width,
            placed->height, placed->x, placed->y);
}

bool IsShellDesktopWindow(HWND window) {
  if (window == nullptr) {
    return false;
  }
  if (window == ::GetShellWindow()) {
    return true;
  }
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  return wcscmp(name, L"Progman") == 0 || wcscmp(name, L"WorkerW") == 0;
}

HMONITOR MonitorFromCursor() {
  POINT cursor{0, 0};
  ::GetCursorPos(&cursor);
  return ::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
}

BOOL CALLBACK LogMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) noexcept {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (::GetMonitorInfoW(monitor, &info)) {
    DebugLogF("[KR] ENUM mon: (%d,%d,%d,%d) work=(%d,%d,%d,%d) primary=%d",
              static_cast<int>(info.rcMonitor.left), static_cast<int>(info.rcMonitor.top),
              static_cast<int>(info.rcMonitor.right), static_cast<int>(info.rcMonitor.bottom),
              static_cast<int>(info.rcWork.left), static_cast<int>(info.rcWork.top),
              static_cast<int>(info.rcWork.right), static_cast<int>(info.rcWork.bottom),
              (info.dwFlags & MONITORINFOF_PRIMARY) != 0 ? 1 : 0);
  }
  return TRUE;
}
