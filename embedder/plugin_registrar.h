#ifndef KESTRUNE_EMBEDDER_PLUGIN_REGISTRAR_H_
#define KESTRUNE_EMBEDDER_PLUGIN_REGISTRAR_H_

#include <string>

namespace flutter {
class FlutterEngine;
}

// What the engine hands a plug-in's registration entry.
struct FlutterDesktopPluginRegistrar {
  // Tells the engine that plug-in |entry| registered itself here.
  void Record(const char* entry);

  std::string plugin_name;
  flutter::FlutterEngine* engine = nullptr;
};

#endif  // KESTRUNE_EMBEDDER_PLUGIN_REGISTRAR_H_
