#ifndef KESTRUNE_EMBEDDER_PLUGIN_REGISTRANTS_H_
#define KESTRUNE_EMBEDDER_PLUGIN_REGISTRANTS_H_

#include "embedder/flutter_windows.h"

// Registration entries of the six plug-ins the interface uses. Their own
// behaviour lives outside the host; these record that registration happened
// and in which order, so start-up can be checked.
void DesktopDropPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void ScreenRetrieverPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void SystemTrayPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void UrlLauncherWindowsRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void WebviewWindowsPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);
void WindowManagerPluginRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

#endif  // KESTRUNE_EMBEDDER_PLUGIN_REGISTRANTS_H_
