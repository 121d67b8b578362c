#include <windows.h>
#include <objbase.h>

#include <flutter/dart_project.h>
#include "runner/backend_launcher.h"
#include "runner/flutter_window.h"
#include "runner/utils.h"
#include "runner/window_names.h"

namespace {

constexpr UINT kCapsuleFrameFlags = 0x37;  // no size/move/z-order/activate, frame changed

int RunMessageLoop() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

int RunCapsule(const flutter::DartProject& project) {
  FlutterWindow window(project);
  if (!window.Create(kCapsuleWindowTitle, Win32Window::Point(0, 0), Win32Window::Size(400, 64))) {
    return 1;
  }
  if (HWND hwnd = window.GetHandle()) {
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, ::GetWindowLongPtrW(hwnd, GWL_STYLE) | WS_POPUP);
    ::SetWindowLongPtrW(hwnd, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, kCapsuleFrameFlags);
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  }
  window.SetQuitOnClose(true);
  RunMessageLoop();
  return 0;
}

int RunMain(const flutter::DartProject& project) {
  LaunchBackends();
  FlutterWindow window(project);
  if (!window.Create(kMainWindowTitle, Win32Window::Point(10, 10), Win32Window::Size(1280, 720))) {
    return 1;
  }
  window.SetQuitOnClose(true);
  RunMessageLoop();
  return 0;
}

}  // namespace

int APIENTRY wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

  if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::IsDebuggerPresent()) {
    AttachDebugConsole();
  }

  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  const bool capsule = IsCapsuleProcess();

  flutter::DartProject project(L"data");
  project.set_dart_entrypoint_arguments(CommandLineArgumentsUtf8());

  int exit_code = capsule ? RunCapsule(project) : RunMain(project);
  if (exit_code == 0) {
    ::CoUninitialize();
  }
  return exit_code;
}
