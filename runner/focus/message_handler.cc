#include "runner/focus/message_handler.h"

#include <windowsx.h>

#include <mutex>
#include <string>

#include <flutter_windows.h>
#include "input/hotkey_dispatch.h"
#include "input/hotkey_event.h"
#include "runner/debug_log.h"
#include "runner/env_switch.h"
#include "tray/tray_icon.h"
#include "runner/flutter_window.h"
#include "runner/focus/activation.h"
#include "runner/focus/card_placement.h"
#include "runner/focus/focus_verdicts.h"
#include "runner/focus/foreground.h"
#include "runner/focus/hit_test.h"
#include "runner/focus/interaction_state.h"
#include "runner/utils.h"
#include "runner/win32_window.h"

namespace {

constexpr UINT kExpandFlags = SWP_FRAMECHANGED | SWP_SHOWWINDOW;  // 0x60
constexpr UINT kDefaultDpi = 96;

Bounds ToBounds(const RECT& rect) {
  return Bounds{rect.left, rect.top, rect.right, rect.bottom};
}

int Width(const RECT& rect) {
  return rect.right - rect.left;
}

int Height(const RECT& rect) {
  return rect.bottom - rect.top;
}

UINT WindowDpi(HWND hwnd) {
  // A window that reports no dpi would get a card of no size.
  UINT dpi = ::GetDpiForWindow(hwnd);
  return dpi != 0 ? dpi : kDefaultDpi;
}

UINT MonitorDpi(HMONITOR monitor, HWND fallback) {
  UINT dpi = monitor != nullptr ? FlutterDesktopGetDpiForMonitor(monitor) : 0;
  return dpi != 0 ? dpi : WindowDpi(fallback);
}

// The card's size on |target|, the monitor it is about to be placed on, which
// may have another dpi than the one the window is on now.
CardSize CardSizeFor(HWND hwnd, HMONITOR target) {
  RECT rect{};
  ::GetWindowRect(hwnd, &rect);
  return CardSizeOnMonitor(MonitorDpi(target, hwnd), WindowDpi(hwnd), keep_window_size, Width(rect),
                           Height(rect));
}

std::optional<Bounds> WorkAreaOf(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) {
    return std::nullopt;
  }
  return ToBounds(info.rcWork);
}

// The state every expand sets so the collapse logic is armed before the
// interface answers.
void ArmExpanded() {
  blur_guard = ::GetTickCount64() + kGuardAfterExpandMs;
  collapse_sent = false;
  card_expanded = true;
}

bool HasRole(const FlutterWindow* window) {
  return window->is_main || window->is_capsule;
}

// Stage 1: what the card watches before Flutter sees the message.
std::optional<LRESULT> Observe(FlutterWindow* window,
                               HWND hwnd,
                               UINT message,
                               WPARAM wparam,
                               LPARAM lparam) {
  switch (message) {
    case WM_ACTIVATE: {
      int state = LOWORD(wparam);
      DebugLogF("[KR] MH WM_ACTIVATE: wp=%d lp=%p cap=%d main=%d", state,
                reinterpret_cast<void*>(lparam), window->is_capsule ? 1 : 0,
                window->is_main ? 1 : 0);
      if (!HasRole(window)) {
        return std::nullopt;
      }
      if (state == WA_ACTIVE || state == WA_CLICKACTIVE) {
        NoteFocusGained();
      } else if (state == WA_INACTIVE) {
        HandleFocusLoss(hwnd, reinterpret_cast<HWND>(lparam), ActivationSource::kMessageHandler);
      }
      return std::nullopt;
    }
    case WM_NCHITTEST: {
      DebugLogF("[KR] MH NCHITTEST: cap=%d main=%d", window->is_capsule ? 1 : 0,
                window->is_main ? 1 : 0);
      if (!HasRole(window)) {
        return std::nullopt;
      }
      Bounds hit = ToBounds(window->hit_rect);
      if (HitRectEmpty(hit)) {
        if (window->is_capsule) {
          DebugLog("[KR] CAP NCHITTEST: empty rect -> HTCLIENT");
        }
        return HTCLIENT;
      }
      POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
      ::ScreenToClient(hwnd, &point);
      if (window->is_capsule) {
        DebugLogF("[KR] CAP NCHITTEST: pt=(%d,%d) hit=(%ld,%ld)-(%ld,%ld)",
                  static_cast<int>(point.x), static_cast<int>(point.y), window->hit_rect.left,
                  window->hit_rect.top, window->hit_rect.right, window->hit_rect.bottom);
      }
      return HitTestInside(hit, point.x, point.y);
    }
    case WM_NCCALCSIZE:
      if (HasRole(window) && wparam == TRUE) {
        return 0;
      }
      return std::nullopt;
    case WM_ACTIVATEAPP:
      if (HasRole(window)) {
        HandleActivateApp(wparam != 0);
      }
      return std::nullopt;
    case WM_SIZE: {
      if (!window->controller) {
        return std::nullopt;
      }
      RECT outer{};
      RECT client{};
      RECT child_rect{};
      ::GetWindowRect(hwnd, &outer);
      ::GetClientRect(hwnd, &client);
      HWND child = window->controller->view() != nullptr
                       ? window->controller->view()->GetNativeWindow()
                       : nullptr;
      if (child != nullptr && ::IsWindow(child)) {
        ::GetWindowRect(child, &child_rect);
      }
      DebugLogF("[KR] MH WM_SIZE lp=%dx%d win=%dx%d client=%dx%d child=%dx%d cap=%d",
                static_cast<int>(LOWORD(lparam)), static_cast<int>(HIWORD(lparam)), Width(outer),
                Height(outer), Width(client), Height(client), Width(child_rect), Height(child_rect),
                window->is_capsule ? 1 : 0);
      return std::nullopt;
    }
  }
  return std::nullopt;
}

bool ForegroundIsFullScreen() {
  HWND foreground = ::GetForegroundWindow();
  RECT rect{};
  // A click on the desktop makes the shell's desktop window the foreground.
  if (foreground == nullptr || IsShellDesktopWindow(foreground) ||
      !::GetWindowRect(foreground, &rect)) {
    return false;
  }
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  HMONITOR monitor = ::MonitorFromWindow(foreground, MONITOR_DEFAULTTONEAREST);
  if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) {
    return false;
  }
  return CoversMonitor(ToBounds(rect), ToBounds(info.rcMonitor));
}

void HotkeyExpand(HWND hwnd) {
  HMONITOR target = MonitorFromCursor();
  UINT dpi = MonitorDpi(target, hwnd);
  CardSize size = CardSizeFor(hwnd, target);
  PixelPoint origin;
  if (std::optional<Bounds> work = WorkAreaOf(target)) {
    origin = PlaceCard(size, *work);
    DebugLogF("[KR] WM_HOTKEY expand: dpi=%u scale=%.2f pw=%d ph=%d work=(%d,%d,%d,%d) pos=(%d,%d)",
              dpi, dpi / 96.0, size.width, size.height, static_cast<int>(work->left),
              static_cast<int>(work->top), static_cast<int>(work->right),
              static_cast<int>(work->bottom), origin.x, origin.y);
  }
  {
    ScopedOwnPlacement placing;
    ::SetWindowPos(hwnd, HWND_TOP, origin.x, origin.y, size.width, size.height, kExpandFlags);
  }
  ClampToWorkArea(hwnd);
  RECT placed{};
  ::GetWindowRect(hwnd, &placed);
  DebugLogF("[KR] WM_HOTKEY after SetWindowPos+Clamp: rect=(%d,%d,%d,%d)",
            static_cast<int>(placed.left), static_cast<int>(placed.top),
            static_cast<int>(placed.right), static_cast<int>(placed.bottom));
  ArmExpanded();
  for (int attempt = 0; attempt < 2; ++attempt) {
    ever_activated = true;
    ForceForeground(hwnd);
  }
  ::SetFocus(hwnd);
  space_combo_active = false;
  focus_retry_count = 0;
  ::SetTimer(hwnd, kExpandSettleTimer, kExpandSettleDelayMs, nullptr);
  // The second arming replaces the first: the first retry comes after 500 ms.
  ::SetTimer(hwnd, kFocusRetryTimer, kFocusRetryDelayMs, nullptr);
  ::SetTimer(hwnd, kFocusRetryTimer, kFocusRetryFirstDelayMs, nullptr);
}

LRESULT OnHotkey(FlutterWindow* window, HWND hwnd, WPARAM wparam) {
  int id = static_cast<int>(wparam);
  DebugLogF("[KR] WM_HOTKEY: id=%d", id);
  if (FullScreenGuardApplies(id) &&
      SwitchOn(ReadEnvironment(L"KR_HOTKEY_IGNORE_FS"), SwitchCase::kLowerOnly) &&
      ForegroundIsFullScreen()) {
    DebugLog("[KR] WM_HOTKEY: foreground is fullscreen, ignoring");
    return 0;
  }
  if ((id == kToggleCapsule || id == kShowMain) && hwnd != nullptr) {
    HotkeyExpand(hwnd);
  }
  DispatchHotkeyEvent(window, id);
  ::SetTimer(hwnd, kHotkeyCheckTimer, kHotkeyCheckDelayMs, nullptr);
  return 0;
}

void OnTimer(HWND hwnd, UINT_PTR id) {
  switch (id) {
    case kExpandSettleTimer:
      ::KillTimer(hwnd, id);
      break;
    case kHotkeyCheckTimer: {
      ::KillTimer(hwnd, id);
      RECT rect{};
      ::GetWindowRect(hwnd, &rect);
      DebugLogF("[KR] WM_TIMER delayed check: rect=(%d,%d,%d,%d) card=%d",
                static_cast<int>(rect.left), static_cast<int>(rect.top),
                static_cast<int>(rect.right), static_cast<int>(rect.bottom), card_expanded ? 1 : 0);
      break;
    }
    case kFocusRetryTimer:
      ::KillTimer(hwnd, id);
      if (ShouldRetryFocus(card_expanded, flutter_window_instance.load() != nullptr,
                           focus_retry_count)) {
        ++focus_retry_count;
        FocusFlutterView(hwnd);
        ::SetTimer(hwnd, kFocusRetryTimer, kFocusRetryDelayMs, nullptr);
      }
      break;
  }
}

// Sends a payload a background thread left in |slot|, once however many
// posts announced it.
void ForwardPending(std::mutex& lock,
                    std::optional<flutter::EncodableMap>& slot,
                    Channel* channel,
                    const char* name,
                    bool media) {
  std::optional<flutter::EncodableMap> payload;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (slot) {
      payload = std::move(slot);
      slot.reset();
    }
  }
  if (!payload || channel == nullptr) {
    return;
  }
  if (media) {
    DebugLogF("[KR] SMTC event: %s", name);
  }
  channel->InvokeMethod(name, std::make_unique<flutter::EncodableValue>(std::move(*payload)));
}

void OnSmtcEvent(FlutterWindow* window, WPARAM which) {
  switch (which) {
    case 1:
      ForwardPending(window->smtc_event_lock, window->pending_track_change,
                     window->smtc_channel.get(), "smtc.track_change", true);
      break;
    case 2:
      ForwardPending(window->smtc_event_lock, window->pending_playback, window->smtc_channel.get(),
                     "smtc.playback", true);
      break;
    case 3:
      ForwardPending(window->smtc_event_lock, window->pending_progress, window->smtc_channel.get(),
                     "smtc.progress", true);
      break;
  }
}

LRESULT OnActivateMsg(HWND hwnd) {
  DebugLog("[KR] kActivateMsg received");
  if (hwnd == nullptr) {
    DebugLog("[KR] kActivateMsg: hwnd is NULL!");
    return 0;
  }
  POINT cursor{0, 0};
  ::GetCursorPos(&cursor);
  HMONITOR monitor = ::MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
  CardSize size = CardSizeFor(hwnd, monitor);
  ::EnumDisplayMonitors(nullptr, nullptr, LogMonitor, 0);
  PixelPoint origin;
  if (std::optional<Bounds> work = WorkAreaOf(monitor)) {
    origin = PlaceCard(size, *work);
    DebugLogF("[KR] kActivate primary work=(%d,%d,%d,%d) pos=(%d,%d)", static_cast<int>(work->left),
              static_cast<int>(work->top), static_cast<int>(work->right),
              static_cast<int>(work->bottom), origin.x, origin.y);
  }
  {
    ScopedOwnPlacement placing;
    ::SetWindowPos(hwnd, HWND_TOP, origin.x, origin.y, size.width, size.height, kExpandFlags);
  }
  ClampToWorkArea(hwnd);
  space_combo_active = false;
  ArmExpanded();
  ever_activated = true;
  ForceForeground(hwnd);
  ::SetFocus(hwnd);
  ::SetTimer(hwnd, kExpandSettleTimer, kExpandSettleDelayMs, nullptr);
  return 0;
}

LRESULT OnCapsuleExpand(FlutterWindow* window, HWND hwnd) {
  DebugLog("[KR] kCapsuleExpandMsg received");
  if (hwnd == nullptr || card_expanded) {
    return 0;
  }
  CardSize size = CardSizeFor(hwnd, ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
  PixelPoint origin;
  if (std::optional<Bounds> work =
          WorkAreaOf(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST))) {
    origin = PlaceCard(size, *work);
  }
  ::SetWindowPos(hwnd, HWND_TOP, origin.x, origin.y, size.width, size.height, kExpandFlags);
  ArmExpanded();
  space_combo_active = false;
  ever_activated = true;
  ForceForeground(hwnd);
  ::SetFocus(hwnd);
  ::SetTimer(hwnd, kExpandSettleTimer, kExpandSettleDelayMs, nullptr);
  DispatchHotkeyEvent(window, kToggleCapsule);
  return 0;
}

// Stage 3: the window's own messages.
// Broadcast by the shell when it (re)starts: its notification area is empty then.
UINT TaskbarCreatedMessage() {
  static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
  return message;
}

std::optional<LRESULT> HandleOwnMessage(FlutterWindow* window,
                                        HWND hwnd,
                                        UINT message,
                                        WPARAM wparam) {
  if (message != 0 && message == TaskbarCreatedMessage()) {
    ReAddTrayIconIfVisible(window);
    return std::nullopt;
  }
  switch (message) {
    case WM_FONTCHANGE:
      if (window->controller && window->controller->engine()) {
        window->controller->engine()->ReloadSystemFonts();
      }
      return std::nullopt;
    case WM_HOTKEY:
      return OnHotkey(window, hwnd, wparam);
    case WM_TIMER:
      OnTimer(hwnd, wparam);
      return std::nullopt;
    case kSpaceVoiceMsg:
      DispatchHotkeyEvent(window, wparam != 0 ? kSpaceDown : kSpaceUp);
      return 0;
    case kSystemSnapshotMsg:
      ForwardPending(window->snapshot_lock, window->pending_snapshot,
                     window->system_monitor_channel.get(), "system.snapshot", false);
      return 0;
    case kSmtcEventMsg:
      OnSmtcEvent(window, wparam);
      return 0;
    case kActivateMsg:
      return OnActivateMsg(hwnd);
    case kCloseTagMsg:
      DebugLog("[KR] kCloseTagMsg received");
      if (FlutterWindow* instance = flutter_window_instance.load()) {
        DispatchHotkeyEvent(instance, kCloseTag);
      }
      return 0;
    case kSelectOnMsg:
      if (window->channels_ready && window->hotkey_channel) {
        window->hotkey_channel->InvokeMethod("select_on",
                                             std::make_unique<flutter::EncodableValue>());
      }
      return 0;
    case kCapsuleExpandMsg:
      return OnCapsuleExpand(window, hwnd);
  }
  return std::nullopt;
}

}  // namespace

std::optional<LRESULT> HandleMainWindowMessage(FlutterWindow* window,
                                               HWND hwnd,
                                               UINT message,
                                               WPARAM wparam,
                                               LPARAM lparam) {
  if (std::optional<LRESULT> answer = Observe(window, hwnd, message, wparam, lparam)) {
    return answer;
  }
  if (window->controller) {
    if (std::optional<LRESULT> answer =
            window->controller->HandleTopLevelWindowProc(hwnd, message, wparam, lparam)) {
      return answer;
    }
  }
  return HandleOwnMessage(window, hwnd, message, wparam);
}
