#include "embedder/plugin_registrants.h"

#include "embedder/flutter_engine.h"
#include "embedder/plugin_registrar.h"

namespace {

void Record(FlutterDesktopPluginRegistrarRef registrar, const char* entry) {
  if (registrar == nullptr || registrar->engine == nullptr) {
    return;
  }
  registrar->engine->RecordPluginRegistration(entry, registrar->plugin_name);
}

}  // namespace

void DesktopDropPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(registrar, "DesktopDropPlugin");
}
void ScreenRetrieverPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(registrar, "ScreenRetrieverPlugin");
}
void SystemTrayPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(registrar, "SystemTrayPlugin");
}
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(registrar, "UrlLauncherWindows");
}
void WebviewWindowsPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(registrar, "WebviewWindowsPlugin");
}
void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  Record(registrar, "WindowManagerPlugin");
}
