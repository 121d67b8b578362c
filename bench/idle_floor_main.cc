// The floor of idle cost: a minimal program that shows one window and runs its
// message loop, nothing else. Used by idle_cost_wine_bench beside the host.
#include <windows.h>

namespace {

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t*, int) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = FloorProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"KR_IDLE_FLOOR";
  ::RegisterClassW(&window_class);
  HWND window = ::CreateWindowExW(WS_EX_TOPMOST, L"KR_IDLE_FLOOR", L"idle floor", WS_POPUP, 0, 0,
                                  400, 40, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    return 1;
  }
  ::ShowWindow(window, SW_SHOWNOACTIVATE);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0)) {
    ::DispatchMessageW(&msg);
  }
  return 0;
}
