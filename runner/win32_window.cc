#include "runner/win32_window.h"

#include <dwmapi.h>

#include <flutter_windows.h>
#include "runner/debug_log.h"
#include "runner/win32_procs.h"
#include "runner/env_switch.h"
#include "runner/resources/resource.h"
#include "runner/single_instance.h"
#include "runner/unique_resource.h"
#include "runner/utils.h"
#include "runner/window_names.h"

namespace {

constexpr LONG_PTR kFrameStyles = 0xCF0000;  // caption, system menu, frame, boxes
constexpr LONG_PTR kFrameExStyles = 0x300;   // window edge, client edge
constexpr UINT kTopmostFlags = 0x233;        // no size/move/activate, frame changed
constexpr UINT kDpiChangedFlags = 0x14;      // no z-order, no activate
constexpr DWORD kImmersiveDarkModeAttribute = 20;

constexpr wchar_t kThemeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kThemeValue[] = L"AppsUseLightTheme";

int active_window_count = 0;

bool TrayPolicyOn(const wchar_t* name) {
  return SwitchOn(ReadEnvironment(name), SwitchCase::kAlsoUpperT);
}

// Lets Windows scale the non-client area with the monitor's DPI where the
// system offers it.
void EnableFullDpiSupportIfAvailable(HWND window) {
  UniqueLibrary user32(::LoadLibraryA("User32.dll"));
  if (!user32) {
    return;
  }
  using EnableNonClientDpiScaling = BOOL(WINAPI*)(HWND);
  auto enable = reinterpret_cast<EnableNonClientDpiScaling>(
      reinterpret_cast<void*>(::GetProcAddress(user32.get(), "EnableNonClientDpiScaling")));
  if (enable != nullptr) {
    enable(window);
  }
}

}  // namespace

// Registers the window class on first use; it lives as long as the process.
class WindowClassRegistrar {
 public:
  static WindowClassRegistrar& GetInstance() {
    static WindowClassRegistrar instance;
    return instance;
  }

  const wchar_t* GetWindowClass() {
    if (!class_registered) {
      WNDCLASSW window_class{};
      window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      window_class.lpszClassName = kWindowClassName;
      window_class.style = CS_HREDRAW | CS_VREDRAW;
      window_class.cbClsExtra = 0;
      window_class.cbWndExtra = 0;
      window_class.hInstance = ::GetModuleHandleW(nullptr);
      window_class.hIcon = ::LoadIconW(window_class.hInstance, MAKEINTRESOURCEW(IDI_APP_ICON));
      window_class.hbrBackground = nullptr;
      window_class.lpszMenuName = nullptr;
      window_class.lpfnWndProc = Win32Window::WndProc;
      ::RegisterClassW(&window_class);
      class_registered = true;
    }
    return kWindowClassName;
  }

  void UnregisterWindowClass() {
    ::UnregisterClassW(kWindowClassName, nullptr);
    class_registered = false;
  }

 private:
  WindowClassRegistrar() = default;
  bool class_registered = false;
};

Win32Window::Win32Window() {
  ++active_window_count;
}

Win32Window::~Win32Window() {
  --active_window_count;
  ReleaseSingleInstance();
  Destroy();
}

void ClearFrameStyles(HWND window) {
  ::SetWindowLongPtrW(window, GWL_STYLE, ::GetWindowLongPtrW(window, GWL_STYLE) & ~kFrameStyles);
  ::SetWindowLongPtrW(window, GWL_EXSTYLE,
                      ::GetWindowLongPtrW(window, GWL_EXSTYLE) & ~kFrameExStyles);
}

namespace {
int own_placements = 0;
}  // namespace

ScopedOwnPlacement::ScopedOwnPlacement() {
  ++own_placements;
}

ScopedOwnPlacement::~ScopedOwnPlacement() {
  --own_placements;
}

bool ScopedOwnPlacement::active() {
  return own_placements > 0;
}

int Win32Window::ActiveWindowCount() {
  return active_window_count;
}

bool Win32Window::Create(const std::wstring& title, const Point& origin, const Size& size) {
  Destroy();

  const bool capsule = IsCapsuleProcess();
  if (!capsule && !AcquireSingleInstance()) {
    return false;
  }

  const wchar_t* window_class = WindowClassRegistrar::GetInstance().GetWindowClass();

  const POINT target_point = {static_cast<LONG>(origin.x), static_cast<LONG>(origin.y)};
  HMONITOR monitor = ::MonitorFromPoint(target_point, MONITOR_DEFAULTTONEAREST);
  UINT dpi = FlutterDesktopGetDpiForMonitor(monitor);
  double scale_factor = dpi / 96.0;

  // The capsule's bar never takes activation, not even when it first shows:
  // at start that would take the keyboard from the user's application.
  const DWORD ex_style = capsule ? WS_EX_NOACTIVATE : 0;
  HWND window = ::CreateWindowExW(
      ex_style, window_class, title.c_str(), WS_OVERLAPPEDWINDOW,
      static_cast<int>(origin.x * scale_factor), static_cast<int>(origin.y * scale_factor),
      static_cast<int>(size.width * scale_factor), static_cast<int>(size.height * scale_factor),
      nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
  if (window == nullptr) {
    return false;
  }

  ClearFrameStyles(window);

  EnablePerPixelAlpha(window);

  ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, kTopmostFlags);

  UpdateTheme(window);

  return OnCreate();
}

void Win32Window::Destroy() {
  OnDestroy();
  if (window_handle != nullptr) {
    ::DestroyWindow(window_handle);
    window_handle = nullptr;
  }
  if (active_window_count == 0) {
    WindowClassRegistrar::GetInstance().UnregisterWindowClass();
  }
}

void Win32Window::SetQuitOnClose(bool quit) {
  quit_on_close = quit;
}

void Win32Window::SetChildContent(HWND content) {
  child_content = content;
  ::SetParent(content, window_handle);
  RECT frame{};
  ::GetClientRect(window_handle, &frame);
  ::MoveWindow(content, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
               TRUE);
  // Focusing the view of a hidden window would activate it and take the
  // keyboard from the user's application at every start.
  if (::IsWindowVisible(window_handle)) {
    ::SetFocus(child_content);
  }
}

void Win32Window::UpdateTheme(HWND window) {
  DWORD light_mode = 0;
  DWORD light_mode_size = sizeof(light_mode);
  LSTATUS result = ::RegGetValueW(HKEY_CURRENT_USER, kThemeKey, kThemeValue, RRF_RT_REG_DWORD,
                                  nullptr, &light_mode, &light_mode_size);
  if (result == ERROR_SUCCESS) {
    BOOL enable_dark_mode = light_mode == 0;
    GetWin32Procs().dwm_set_window_attribute(window, kImmersiveDarkModeAttribute, &enable_dark_mode,
                                             sizeof(enable_dark_mode));
  }
}

bool Win32Window::OnCreate() {
  return true;
}

void Win32Window::OnDestroy() {}

LRESULT Win32Window::MessageHandler(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      if (TrayPolicyOn(L"KR_CLOSE_TO_TRAY")) {
        ::ShowWindow(hwnd, SW_HIDE);
      } else {
        ::DestroyWindow(hwnd);
      }
      return 0;

    case WM_DESTROY:
      window_handle = nullptr;
      Destroy();
      if (quit_on_close) {
        ::PostQuitMessage(0);
      }
      return 0;

    case WM_SIZE: {
      RECT window_rect{};
      ::GetWindowRect(hwnd, &window_rect);
      TraceWindowSize(window_rect);
      if (wparam == SIZE_MINIMIZED && TrayPolicyOn(L"KR_MINIMIZE_TO_TRAY")) {
        ::ShowWindow(hwnd, SW_HIDE);
        return 0;
      }
      RECT rect{};
      ::GetClientRect(window_handle, &rect);
      char line[96];
      snprintf(line, sizeof(line), "[WM_SIZE] client=(%ld,%ld,%ld,%ld)\n", rect.left, rect.top,
               rect.right, rect.bottom);
      ::OutputDebugStringA(line);
      if (child_content != nullptr) {
        ::MoveWindow(child_content, rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, TRUE);
      }
      return 0;
    }

    case WM_ACTIVATE:
      if (child_content != nullptr) {
        ::SetFocus(child_content);
      }
      return 0;

    case WM_NCCALCSIZE:
      if (wparam == TRUE) {
        return 0;
      }
      break;

    case WM_DPICHANGED: {
      if (ScopedOwnPlacement::active()) {
        return 0;
      }
      auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     kDpiChangedFlags);
      return 0;
    }

    case WM_DWMCOLORIZATIONCOLORCHANGED:
      UpdateTheme(hwnd);
      return 0;
  }
  return ::DefWindowProcW(window_handle, message, wparam, lparam);
}

Win32Window* Win32Window::GetThisFromHandle(HWND window) noexcept {
  return reinterpret_cast<Win32Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

LRESULT CALLBACK Win32Window::WndProc(HWND window,
                                      UINT message,
                                      WPARAM wparam,
                                      LPARAM lparam) noexcept {
  try {
    if (message == WM_NCCREATE) {
      auto* create_struct = reinterpret_cast<CREATESTRUCTW*>(lparam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create_struct->lpCreateParams));
      auto* that = static_cast<Win32Window*>(create_struct->lpCreateParams);
      EnableFullDpiSupportIfAvailable(window);
      that->window_handle = window;
    } else if (Win32Window* that = GetThisFromHandle(window)) {
      return that->MessageHandler(window, message, wparam, lparam);
    }
  } catch (...) {
    DebugLogF("[KR] window procedure dropped an exception (message 0x%X)", message);
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}
