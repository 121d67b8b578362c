#include "tray/tray_menu.h"

#include <memory>

#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "runner/unique_resource.h"
#include "tray/tray_icon.h"

namespace {

constexpr wchar_t kTrayMenuClass[] = L"KestruneTrayMenu";
constexpr UINT kOpenCommand = 1;
constexpr UINT kQuitCommand = 2;

struct MenuTraits {
  using Type = HMENU;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type menu) noexcept { ::DestroyMenu(menu); }
};
using UniqueMenu = UniqueResource<MenuTraits>;

}  // namespace

HWND EnsureTrayMenuWindow(FlutterWindow* window) {
  if (window->tray_menu_window == nullptr) {
    WNDCLASSW owner_class{};
    owner_class.lpfnWndProc = TrayMenuWndProc;
    owner_class.hInstance = ::GetModuleHandleW(nullptr);
    owner_class.lpszClassName = kTrayMenuClass;
    ::RegisterClassW(&owner_class);
    // Never shown; a tool window so that it stays out of the task switcher.
    window->tray_menu_window =
        ::CreateWindowExW(WS_EX_TOOLWINDOW, kTrayMenuClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                          nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (window->tray_menu_window == nullptr) {
      DebugLogF("[KR] tray menu window failed: %lu", ::GetLastError());
    }
  }
  return window->tray_menu_window;
}

bool HandleTrayClick(FlutterWindow* window, UINT mouse_message) {
  switch (mouse_message) {
    case WM_RBUTTONUP:
    case WM_RBUTTONDOWN:
      ShowTrayMenu(window);
      return true;
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      TrayEvent(window, "tray_show_main");
      return true;
  }
  return false;
}

void ShowTrayMenu(FlutterWindow* window) {
  HWND owner = EnsureTrayMenuWindow(window);
  if (owner == nullptr) {
    return;
  }
  UniqueMenu menu(::CreatePopupMenu());
  if (!menu) {
    return;
  }
  ::AppendMenuW(menu.get(), 0, kOpenCommand, L"\u6253\u5f00Tirvane");
  ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu.get(), 0, kQuitCommand, L"\u9000\u51faTirvane");
  POINT cursor{};
  ::GetCursorPos(&cursor);
  // In front, so the menu closes when the user clicks elsewhere.
  ::SetForegroundWindow(owner);
  ::TrackPopupMenu(menu.get(), 0, cursor.x, cursor.y, 0, owner, nullptr);
  ::PostMessageW(owner, WM_NULL, 0, 0);
}

LRESULT CALLBACK TrayMenuWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  if (message != WM_COMMAND && message != kTrayIconCallbackMessage) {
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  try {
    FlutterWindow* main = flutter_window_instance.load();
    if (main == nullptr) {
      return 0;
    }
    if (message == kTrayIconCallbackMessage) {
      HandleTrayClick(main, LOWORD(lparam));
    } else if (LOWORD(wparam) == kOpenCommand) {
      TrayEvent(main, "tray_show_main");
    } else if (LOWORD(wparam) == kQuitCommand) {
      TrayEvent(main, "tray_quit");
    }
  } catch (...) {
    DebugLog("[KR] tray menu dropped an exception");
  }
  return 0;
}

void TrayEvent(FlutterWindow* window, const char* action) {
  if (std::string_view(action) == "tray_quit") {
    // Posted, not done here: teardown inside a menu command or a channel
    // handler would free what is still running, and messages already queued
    // would then meet a torn-down window.
    if (HWND main = window->GetHandle()) {
      ::PostMessageW(main, kQuitMsg, 0, 0);
    } else {
      window->OnDestroy();
      ::PostQuitMessage(0);
    }
    return;
  }
  if (window->channels_ready && window->hotkey_channel) {
    window->hotkey_channel->InvokeMethod(action,
                                         std::make_unique<flutter::EncodableValue>(int32_t{0}));
  }
}
