#ifndef KESTRUNE_EMBEDDER_FLUTTER_ENGINE_H_
#define KESTRUNE_EMBEDDER_FLUTTER_ENGINE_H_

#include <windows.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <flutter/binary_messenger.h>
#include "embedder/channel_router.h"
#include <flutter/dart_project.h>
#include <flutter_windows.h>
#include <flutter/method_channel.h>
#include "embedder/plugin_registrar.h"
#include "embedder/ui_bridge.h"

struct FlutterDesktopView;
struct FlutterDesktopPluginRegistrar;

namespace flutter {

// Our stand-in for the Flutter engine. It runs no Dart: the interface is
// whatever connects through the UI bridge (KR_UI_BRIDGE), and without one,
// messages to the interface are dropped. It keeps a short record of the
// traffic for the view to show.
class FlutterEngine {
 public:
  explicit FlutterEngine(const DartProject& project);
  ~FlutterEngine();
  FlutterEngine(const FlutterEngine&) = delete;
  FlutterEngine& operator=(const FlutterEngine&) = delete;

  // Starts the engine: connects the UI bridge when configured.
  bool Run();

  BinaryMessenger* messenger() { return &router_; }

  FlutterDesktopPluginRegistrarRef GetRegistrarForPlugin(const std::string& plugin_name);

  // Called by the engine when the system's fonts changed.
  void ReloadSystemFonts();

  // Nothing is pending in this engine between messages.
  std::chrono::nanoseconds ProcessMessages() { return std::chrono::nanoseconds(0); }

 private:
  // Not part of Flutter's API: only the stand-in's view, controller and plug-in
  // registrar read the status and record registrations.
  friend class FlutterViewController;
  friend struct ::FlutterDesktopView;
  friend struct ::FlutterDesktopPluginRegistrar;

  // "main" or "capsule", as the process was started.
  const std::string& role() const { return role_; }
  void RecordPluginRegistration(const std::string& entry, const std::string& registrar_name);
  bool bridge_connected() const { return bridge_ && bridge_->connected(); }
  // The connected interface's own name, empty when it gave none.
  std::string bridge_peer() const { return bridge_connected() ? bridge_->peer() : std::string(); }
  // The view's window, whose top-level window the introspection's "quit" closes.
  void SetViewWindow(HWND view) { view_window_ = view; }
  // Most recent traffic lines, oldest first.
  const std::deque<std::string>& traffic() const { return traffic_; }
  // Called whenever what the view shows changed.
  void SetStatusListener(std::function<void()> listener) { status_listener_ = std::move(listener); }

  static LRESULT CALLBACK SinkProc(HWND window,
                                   UINT message,
                                   WPARAM wparam,
                                   LPARAM lparam) noexcept;
  void DrainBridge();
  void CloseBridge(const std::string& reason);
  void AddTraffic(std::string line);
  void InstallIntrospection();

  DartProject project_;
  std::string role_;
  ChannelRouter router_;
  HWND sink_window_ = nullptr;
  HWND view_window_ = nullptr;
  std::unique_ptr<UiBridge> bridge_;
  std::map<std::string, std::unique_ptr<FlutterDesktopPluginRegistrar>> registrars_;
  std::vector<std::string> registered_plugins_;
  std::deque<std::string> traffic_;
  std::function<void()> status_listener_;
  std::unique_ptr<MethodChannel<EncodableValue>> introspection_channel_;
};

}  // namespace flutter

#endif  // KESTRUNE_EMBEDDER_FLUTTER_ENGINE_H_
