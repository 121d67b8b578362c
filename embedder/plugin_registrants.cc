#include "runner/plugin_registrants.h"

#include <flutter/flutter_engine.h>
#include "embedder/plugin_registrar.h"

void FlutterDesktopPluginRegistrar::Record(const char* entry) {
  if (engine != nullptr) {
    engine->RecordPluginRegistration(entry, plugin_name);
  }
}

namespace {

void Record(FlutterDesktopPluginRegistrarRef registrar, const char* entry) {
  if (registrar != nullptr) {
    registrar->Record(entry);
  }
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
