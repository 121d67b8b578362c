#ifndef KESTRUNE_EMBEDDER_FLUTTER_PLUGIN_REGISTRAR_H_
#define KESTRUNE_EMBEDDER_FLUTTER_PLUGIN_REGISTRAR_H_

// What the engine hands a plug-in's registration entry.
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;

#endif  // KESTRUNE_EMBEDDER_FLUTTER_PLUGIN_REGISTRAR_H_
