#include "runner/focus/subclass_procs.h"

#include <windowsx.h>

#include <optional>

#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/activation.h"
#include "runner/focus/hit_test.h"
#include "runner/focus/interaction_state.h"
#include "tray/tray_menu.h"

WNDPROC prev_main_wndproc = nullptr;
WNDPROC prev_child_wndproc = nullptr;

namespace {

// The tray plug-in's icon reports mouse events to the main window with it.
UINT TrayNotifyMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"SystemTrayNotify");
  return message;
}

// Answers the tray's clicks here so the plug-in never sees them; nothing when
// the message is not one of them.
std::optional<LRESULT> HandleTray(UINT message, LPARAM lparam) {
  FlutterWindow* instance = flutter_window_instance.load();
  if (message != TrayNotifyMessage() || instance == nullptr) {
    return std::nullopt;
  }
  if (HandleTrayClick(instance, LOWORD(lparam))) {
    return 0;
  }
  return std::nullopt;
}

void LogGeometry(HWND window, const char* name) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  FlutterWindow* instance = flutter_window_instance.load();
  DebugLogF("[KR] SUB %s rect=(%d,%d,%d,%d) %dx%d cap=%d", name, static_cast<int>(rect.left),
            static_cast<int>(rect.top), static_cast<int>(rect.right), static_cast<int>(rect.bottom),
            static_cast<int>(rect.right - rect.left), static_cast<int>(rect.bottom - rect.top),
            instance != nullptr ? (instance->is_capsule ? 1 : 0) : -1);
}

// The capsule never keeps the foreground: it hands it to the main process's card.
void RedirectCapsuleActivation() {
  FlutterWindow* instance = flutter_window_instance.load();
  if (instance == nullptr || !instance->is_capsule) {
    return;
  }
  HWND main = ::FindWindowW(L"FLUTTER_RUNNER_WIN32_WINDOW", L"kestrune_flutter");
  if (main != nullptr && ::IsWindow(main)) {
    ::SetForegroundWindow(main);
    DebugLog("[KR] CAP WM_ACTIVATE: redirected foreground to main window");
  }
}

void ObserveMain(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCHITTEST:
      DebugLog("[KR] SUB NCHITTEST received");
      break;
    case WM_SIZE:
      LogGeometry(window, "WM_SIZE");
      break;
    case WM_MOVE:
      LogGeometry(window, "WM_MOVE");
      break;
    case WM_WINDOWPOSCHANGED:
      LogGeometry(window, "WM_WINDOWPOSCHANGED");
      break;
    case WM_WINDOWPOSCHANGING:
      if (const auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam)) {
        DebugLogF("[KR] SUB POSCHANGING cx=%d cy=%d x=%d y=%d flags=0x%X", pos->cx, pos->cy, pos->x,
                  pos->y, pos->flags);
      }
      break;
    case WM_ACTIVATE: {
      int state = LOWORD(wparam);
      if (state == WA_ACTIVE || state == WA_CLICKACTIVE) {
        RedirectCapsuleActivation();
        NoteFocusGained();
      } else if (state == WA_INACTIVE) {
        HandleFocusLoss(window, reinterpret_cast<HWND>(lparam), ActivationSource::kSubclassProc);
      }
      break;
    }
    case WM_ACTIVATEAPP:
      HandleActivateApp(wparam != 0);
      break;
  }
}

std::optional<LRESULT> ChildHitTest(HWND window, LPARAM lparam) {
  FlutterWindow* instance = flutter_window_instance.load();
  if (instance == nullptr || !instance->is_capsule) {
    if (click_through) {
      return HTTRANSPARENT;
    }
    return std::nullopt;
  }
  const RECT& rect = instance->hit_rect;
  Bounds hit{rect.left, rect.top, rect.right, rect.bottom};
  if (HitRectEmpty(hit)) {
    DebugLog("[KR] CAP child NCHITTEST: empty -> HTCLIENT");
    return HTCLIENT;
  }
  POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  ::ScreenToClient(window, &point);
  DebugLogF("[KR] CAP child NCHITTEST: pt=(%d,%d) hit=(%ld,%ld)-(%ld,%ld)",
            static_cast<int>(point.x), static_cast<int>(point.y), rect.left, rect.top, rect.right,
            rect.bottom);
  if (HitTestInside(hit, point.x, point.y) == kHitClient) {
    return HTCLIENT;
  }
  DebugLog("[KR] CAP child NCHITTEST: outside -> HTTRANSPARENT");
  return HTTRANSPARENT;
}

}  // namespace

LRESULT CALLBACK MainSubclassProc(HWND window,
                                  UINT message,
                                  WPARAM wparam,
                                  LPARAM lparam) noexcept {
  try {
    if (std::optional<LRESULT> answer = HandleTray(message, lparam)) {
      return *answer;
    }
    ObserveMain(window, message, wparam, lparam);
  } catch (...) {
    DebugLogF("[KR] main subclass procedure dropped an exception (message 0x%X)", message);
  }
  return ::CallWindowProcW(prev_main_wndproc, window, message, wparam, lparam);
}

LRESULT CALLBACK ChildSubclassProc(HWND window,
                                   UINT message,
                                   WPARAM wparam,
                                   LPARAM lparam) noexcept {
  try {
    if (message == WM_NCHITTEST) {
      if (std::optional<LRESULT> answer = ChildHitTest(window, lparam)) {
        return *answer;
      }
    }
  } catch (...) {
    DebugLogF("[KR] child subclass procedure dropped an exception (message 0x%X)", message);
  }
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
