// kr_helper_window TITLE [fullscreen]: another application's window for tests.
// Shows itself in front and counts the keys it receives (see helper_window.h).
#include <windows.h>
#include <shellapi.h>

#include <map>
#include <string>

#include "tests/support/helper_window.h"

namespace {

std::map<WPARAM, LRESULT> key_downs;
std::map<WPARAM, LRESULT> key_ups;

LRESULT CALLBACK HelperProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return ++key_downs[wparam], 0;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      return ++key_ups[wparam], 0;
    case WM_RBUTTONUP:  // counted as a key-up of VK_RBUTTON
      return ++key_ups[VK_RBUTTON], 0;
    case kr_test::kCountKeyDownsMsg:
      return key_downs[wparam];
    case kr_test::kCountKeyUpsMsg:
      return key_ups[wparam];
    case kr_test::kResetKeysMsg:
      key_downs.clear();
      key_ups.clear();
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int) {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::wstring title = argc > 1 ? argv[1] : L"kr helper";
  bool fullscreen = argc > 2 && std::wstring(argv[2]) == L"fullscreen";
  ::LocalFree(argv);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = HelperProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kr_test::kHelperWindowClass;
  ::RegisterClassW(&window_class);
  HWND window =
      fullscreen
          ? ::CreateWindowExW(0, kr_test::kHelperWindowClass, title.c_str(), WS_POPUP, 0, 0,
                              ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                              nullptr, nullptr, instance, nullptr)
          : ::CreateWindowExW(0, kr_test::kHelperWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW,
                              200, 200, 400, 300, nullptr, nullptr, instance, nullptr);
  ::ShowWindow(window, SW_SHOW);
  ::SetForegroundWindow(window);
  ::SetFocus(window);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
