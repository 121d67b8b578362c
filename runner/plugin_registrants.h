#ifndef KESTRUNE_RUNNER_PLUGIN_REGISTRANTS_H_
#define KESTRUNE_RUNNER_PLUGIN_REGISTRANTS_H_

#include <flutter_plugin_registrar.h>

// Registration entries of the six plug-ins the interface uses, each exported
// with C linkage by its plug-in's DLL (the engine stand-in defines them for
// builds without the real plug-ins).
extern "C" {
void DesktopDropPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void ScreenRetrieverPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void SystemTrayPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void WebviewWindowsPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
}

#endif  // KESTRUNE_RUNNER_PLUGIN_REGISTRANTS_H_
