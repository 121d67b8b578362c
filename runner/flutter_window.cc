#include "runner/flutter_window.h"

#include "embedder/plugin_registrants.h"
#include "runner/utils.h"

namespace {
constexpr int kInitialViewWidth = 900;
constexpr int kInitialViewHeight = 720;
}  // namespace

FlutterWindow::FlutterWindow(const flutter::DartProject& project) : project(project) {}

FlutterWindow::~FlutterWindow() {
  calendar_running = false;
  if (calendar_thread.joinable()) {
    calendar_thread.join();
  }
}

bool FlutterWindow::OnCreate() {
  if (!Win32Window::OnCreate()) {
    return false;
  }
  is_capsule = IsCapsuleProcess();

  controller = std::make_unique<flutter::FlutterViewController>(kInitialViewWidth,
                                                                kInitialViewHeight, project);
  if (!controller->engine() || !controller->view()) {
    return false;
  }
  RegisterPlugins(controller->engine());
  SetChildContent(controller->view()->GetNativeWindow());
  return true;
}

void FlutterWindow::OnDestroy() {
  channels_ready = false;
  hotkey_channel.reset();
  smtc_channel.reset();
  system_monitor_channel.reset();
  wechat_channel.reset();
  controller.reset();
  Win32Window::OnDestroy();
}

LRESULT FlutterWindow::MessageHandler(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (controller) {
    std::optional<LRESULT> result =
        controller->HandleTopLevelWindowProc(hwnd, message, wparam, lparam);
    if (result) {
      return *result;
    }
  }
  if (message == WM_FONTCHANGE && controller && controller->engine()) {
    controller->engine()->ReloadSystemFonts();
  }
  return Win32Window::MessageHandler(hwnd, message, wparam, lparam);
}

void FlutterWindow::RegisterPlugins(flutter::FlutterEngine* engine) {
  DesktopDropPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("DesktopDropPlugin"));
  ScreenRetrieverPluginRegisterWithRegistrar(
      engine->GetRegistrarForPlugin("ScreenRetrieverPlugin"));
  SystemTrayPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("SystemTrayPlugin"));
  UrlLauncherWindowsRegisterWithRegistrar(engine->GetRegistrarForPlugin("UrlLauncherWindows"));
  WebviewWindowsPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("WebviewWindowsPlugin"));
  WindowManagerPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("WindowManagerPlugin"));
}
