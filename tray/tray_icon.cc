#include "tray/tray_icon.h"

#include <shellapi.h>

#include <cwchar>

#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/resources/resource.h"
#include "runner/win32_procs.h"

namespace {

constexpr UINT kTrayIconId = 1;
constexpr UINT kTrayCallbackMessage = 1125;
constexpr wchar_t kTrayTip[] = L"Tirvane Kestrune";

static_assert(sizeof(NOTIFYICONDATAW) == 976, "the shell expects the full Vista+ layout");

bool tray_icon_visible = false;
// The shell knows the icon by window and id, so deletion must name the window
// it was added with, even when the tray menu window appeared since.
HWND tray_icon_owner = nullptr;

HWND PreferredOwner(FlutterWindow* window, HWND fallback) {
  return window != nullptr && window->tray_menu_window != nullptr ? window->tray_menu_window
                                                                  : fallback;
}

void AddIcon(HWND owner) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayCallbackMessage;
  data.hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP_ICON));
  wcsncpy(data.szTip, kTrayTip, sizeof(data.szTip) / sizeof(data.szTip[0]) - 1);
  GetWin32Procs().shell_notify_icon(NIM_ADD, &data);
}

void DeleteIcon(HWND owner) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = kTrayIconId;
  GetWin32Procs().shell_notify_icon(NIM_DELETE, &data);
}

}  // namespace

void SetTrayIconVisible(FlutterWindow* window, HWND fallback, bool visible) {
  HWND owner = PreferredOwner(window, fallback);
  if (visible) {
    // Shown again on another window: the old entry would otherwise linger.
    if (tray_icon_visible && tray_icon_owner != owner) {
      DeleteIcon(tray_icon_owner);
    }
    AddIcon(owner);
    tray_icon_owner = owner;
  } else {
    DeleteIcon(tray_icon_visible ? tray_icon_owner : owner);
    tray_icon_owner = nullptr;
  }
  tray_icon_visible = visible;
}

void ReAddTrayIconIfVisible(FlutterWindow* window) {
  if (!tray_icon_visible) {
    return;
  }
  HWND fallback = tray_icon_owner;
  if (window != nullptr && window->GetHandle() != nullptr) {
    fallback = window->GetHandle();
  }
  tray_icon_owner = PreferredOwner(window, fallback);
  AddIcon(tray_icon_owner);
  DebugLog("[KR] TaskbarCreated: tray icon added again");
}

bool TrayIconVisible() {
  return tray_icon_visible;
}

HWND TrayIconOwner() {
  return tray_icon_owner;
}
