#include <flutter/flutter_engine.h>

#include "embedder/value_text.h"
#include "runner/debug_log.h"
#include "runner/focus/interaction_state.h"

namespace flutter {
namespace {

constexpr wchar_t kSinkClassName[] = L"KR_ENGINE_SINK";
constexpr UINT kBridgeFramesMsg = WM_APP + 0x40;
constexpr size_t kTrafficLines = 14;

// Not a channel of the host: lets a test ask the engine what start-up did.
constexpr char kIntrospectionChannel[] = "kr_embedder/introspect";

std::string ProcessRole() {
  return ::GetEnvironmentVariableW(L"KESTRUNE_CAPSULE", nullptr, 0) != 0 ? "capsule" : "main";
}

std::optional<std::string> ReadBridgeSetting() {
  char value[1024];
  DWORD length = ::GetEnvironmentVariableA("KR_UI_BRIDGE", value, sizeof(value));
  if (length == 0) {
    return std::nullopt;
  }
  if (length >= sizeof(value)) {
    return std::string();  // too long to be valid; refused by the parser
  }
  return std::string(value, length);
}

EncodableList ToList(const std::vector<std::string>& items) {
  EncodableList list;
  for (const std::string& item : items) {
    list.emplace_back(item);
  }
  return list;
}

}  // namespace

FlutterEngine::FlutterEngine(const DartProject& project)
    : project_(project), role_(ProcessRole()) {}

FlutterEngine::~FlutterEngine() {
  introspection_channel_.reset();
  if (bridge_) {
    bridge_->Close();
  }
  router_.SetFrameSink(nullptr);
  router_.OnDisconnected();
  if (sink_window_ != nullptr) {
    ::DestroyWindow(sink_window_);
  }
}

bool FlutterEngine::Run() {
  WNDCLASSW sink_class{};
  sink_class.lpfnWndProc = SinkProc;
  sink_class.hInstance = ::GetModuleHandleW(nullptr);
  sink_class.lpszClassName = kSinkClassName;
  ::RegisterClassW(&sink_class);  // fails harmlessly when already registered
  sink_window_ = ::CreateWindowExW(0, kSinkClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
  if (sink_window_ == nullptr) {
    return false;
  }
  ::SetWindowLongPtrW(sink_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  router_.SetTrafficObserver([this](ChannelRouter::Direction direction, const std::string& channel,
                                    const uint8_t* message, size_t size) {
    const char* arrow = direction == ChannelRouter::Direction::kToInterface ? "->" : "<-";
    AddTraffic(std::string(arrow) + " " + channel + " " + DescribeMethodCall(message, size));
  });
  InstallIntrospection();

  std::optional<std::string> setting = ReadBridgeSetting();
  if (!setting) {
    return true;
  }
  std::string error;
  std::optional<bridge::Address> address = bridge::ParseSetting(*setting, &error);
  if (!address) {
    DebugLogF("[Bridge] KR_UI_BRIDGE refused: %s", error.c_str());
    return true;
  }
  bridge_ = std::make_unique<UiBridge>(sink_window_, kBridgeFramesMsg);
  EncodableMap hello{
      {EncodableValue("token"), EncodableValue(address->token)},
      {EncodableValue("role"), EncodableValue(role_)},
      {EncodableValue("pid"), EncodableValue(static_cast<int64_t>(::GetCurrentProcessId()))},
      {EncodableValue("args"), EncodableValue(ToList(project_.dart_entrypoint_arguments()))},
  };
  if (bridge_->Connect(*address, hello)) {
    router_.SetFrameSink([this](const bridge::Frame& frame) {
      if (!bridge_ || !bridge_->connected()) {
        return false;
      }
      if (!bridge_->Send(frame)) {
        CloseBridge("send failed");
        return false;
      }
      return true;
    });
    AddTraffic("bridge connected");
  }
  return true;
}

FlutterDesktopPluginRegistrarRef FlutterEngine::GetRegistrarForPlugin(
    const std::string& plugin_name) {
  auto& registrar = registrars_[plugin_name];
  if (!registrar) {
    registrar = std::make_unique<FlutterDesktopPluginRegistrar>();
    registrar->plugin_name = plugin_name;
    registrar->engine = this;
  }
  return registrar.get();
}

void FlutterEngine::ReloadSystemFonts() {
  AddTraffic("system fonts reloaded");
}

void FlutterEngine::RecordPluginRegistration(const std::string& entry,
                                             const std::string& registrar_name) {
  registered_plugins_.push_back(entry == registrar_name ? entry : entry + "@" + registrar_name);
}

void FlutterEngine::InstallIntrospection() {
  introspection_channel_ = std::make_unique<MethodChannel<EncodableValue>>(
      &router_, kIntrospectionChannel, &StandardMethodCodec::GetInstance());
  introspection_channel_->SetMethodCallHandler(
      [this](const MethodCall<EncodableValue>& call,
             std::unique_ptr<MethodResult<EncodableValue>> result) {
        if (call.method_name() == "registeredPlugins") {
          result->Success(EncodableValue(ToList(registered_plugins_)));
        } else if (call.method_name() == "handledChannels") {
          std::vector<std::string> channels;
          for (const std::string& name : router_.HandledChannels()) {
            if (name != kIntrospectionChannel) {
              channels.push_back(name);
            }
          }
          result->Success(EncodableValue(ToList(channels)));
        } else if (call.method_name() == "echo") {
          result->Success(*call.arguments());
        } else if (call.method_name() == "entrypointArguments") {
          result->Success(EncodableValue(ToList(project_.dart_entrypoint_arguments())));
        } else if (call.method_name() == "quit") {
          // The tray's quit: the window tears down from its own queue, after
          // this reply has gone out.
          HWND top = view_window_ ? ::GetAncestor(view_window_, GA_ROOT) : nullptr;
          if (top == nullptr || top == view_window_ || !::PostMessageW(top, kQuitMsg, 0, 0)) {
            result->Error("NO_WINDOW", "the view has no top-level window");
          } else {
            result->Success();
          }
        } else {
          result->NotImplemented();
        }
      });
}

void FlutterEngine::DrainBridge() {
  if (!bridge_) {
    return;
  }
  bool ended = false;
  std::string reason;
  std::vector<bridge::Frame> frames = bridge_->TakeFrames(&ended, &reason);
  for (const bridge::Frame& frame : frames) {
    std::string error;
    if (!router_.HandleFrame(frame, &error)) {
      DebugLogF("[Bridge] refused frame from the interface: %s; connection closed", error.c_str());
      CloseBridge(error);
      return;
    }
    if (!bridge_ || !bridge_->connected()) {
      return;  // a handler's reply failed and closed the connection
    }
  }
  if (ended) {
    if (reason == "connection closed") {
      DebugLog("[Bridge] interface disconnected");
    } else {
      DebugLogF("[Bridge] refused frame from the interface: %s; connection closed", reason.c_str());
    }
    CloseBridge(reason);
  }
}

void FlutterEngine::CloseBridge(const std::string& reason) {
  if (bridge_) {
    bridge_->Close();
  }
  router_.OnDisconnected();
  AddTraffic("bridge closed: " + reason);
}

void FlutterEngine::AddTraffic(std::string line) {
  traffic_.push_back(std::move(line));
  while (traffic_.size() > kTrafficLines) {
    traffic_.pop_front();
  }
  if (status_listener_) {
    status_listener_();
  }
}

LRESULT CALLBACK FlutterEngine::SinkProc(HWND window,
                                         UINT message,
                                         WPARAM wparam,
                                         LPARAM lparam) noexcept {
  if (message == kBridgeFramesMsg) {
    auto* engine = reinterpret_cast<FlutterEngine*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (engine != nullptr) {
      try {
        engine->DrainBridge();
      } catch (...) {
        DebugLog("[Bridge] exception while handling interface frames");
      }
    }
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace flutter
