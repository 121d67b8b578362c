#include "tray/tray_icon.h"

#include <shellapi.h>

#include <cwchar>

#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/resources/resource.h"
#include "runner/win32_procs.h"
#include "tray/tray_menu.h"

namespace {

constexpr UINT kTrayIconId = 1;
constexpr wchar_t kTrayTip[] = L"Tirvane Kestrune";

static_assert(sizeof(NOTIFYICONDATAW) == 976, "the shell expects the full Vista+ layout");

bool tray_icon_visible = false;
// The shell knows the icon by window and id, so deletion must name the window
// it was added with, even when the tray menu window appeared since.
HWND tray_icon_owner = nullptr;

void AddIcon(HWND owner) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = owner;
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayIconCallbackMessage;
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

void SetTrayIconVisible(FlutterWindow* window, bool visible) {
  if (!visible) {
    RemoveTrayIcon();
    return;
  }
  HWND owner = window != nullptr ? EnsureTrayMenuWindow(window) : nullptr;
  if (owner == nullptr) {
    DebugLog("[KR] setTrayVisible: no tray menu window, icon not added");
    return;
  }
  // Shown again on another window: the old entry would otherwise linger.
  if (tray_icon_visible && tray_icon_owner != owner) {
    DeleteIcon(tray_icon_owner);
  }
  AddIcon(owner);
  tray_icon_owner = owner;
  tray_icon_visible = true;
}

void RemoveTrayIcon() {
  if (tray_icon_visible) {
    DeleteIcon(tray_icon_owner);
  }
  tray_icon_visible = false;
  tray_icon_owner = nullptr;
}

void ReAddTrayIconIfVisible(FlutterWindow*) {
  if (!tray_icon_visible) {
    return;
  }
  AddIcon(tray_icon_owner);
  DebugLog("[KR] TaskbarCreated: tray icon added again");
}

bool TrayIconVisible() {
  return tray_icon_visible;
}

HWND TrayIconOwner() {
  return tray_icon_owner;
}
