// The floor of summon latency: a minimal program that shows, centres and
// foregrounds its own window on its own WM_HOTKEY (Ctrl+Space), and hides it on
// WM_APP. Used by summon_wine_bench side by side with the host. With "--show"
// its window is shown from the start: the floor of idle_cost_wine_bench.
#include <windows.h>

namespace {

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  switch (message) {
    case WM_HOTKEY: {
      RECT work{};
      ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      int x = work.left + (work.right - work.left - 720) / 2;
      int y = work.top + (work.bottom - work.top - 530) / 2;
      ::SetWindowPos(window, HWND_TOPMOST, x, y, 720, 530, SWP_SHOWWINDOW);
      ::SetForegroundWindow(window);
      return 0;
    }
    case WM_APP:
      ::ShowWindow(window, SW_HIDE);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, wchar_t* command_line, int) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = FloorProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"KR_SUMMON_FLOOR";
  ::RegisterClassW(&window_class);
  HWND window = ::CreateWindowExW(WS_EX_TOPMOST, L"KR_SUMMON_FLOOR", L"summon floor", WS_POPUP, 0,
                                  0, 720, 530, nullptr, nullptr, instance, nullptr);
  if (window == nullptr || !::RegisterHotKey(window, 1, MOD_CONTROL | MOD_NOREPEAT, VK_SPACE)) {
    return 1;
  }
  if (wcsstr(command_line, L"--show") != nullptr) {
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
  }
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0)) {
    ::DispatchMessageW(&msg);
  }
  return 0;
}
