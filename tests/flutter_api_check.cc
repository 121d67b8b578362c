// Compile-only: every engine and wrapper API the host uses, built against the stand-in and, with
// KR_FLUTTER_WRAPPER, against Flutter's wrapper, where a name only the stand-in has fails.
#include <flutter/flutter_view_controller.h>
#include <flutter/method_channel.h>
#include <flutter/standard_method_codec.h>
#include <flutter_windows.h>
#include "runner/plugin_registrants.h"

namespace flutter {

[[maybe_unused]] void UseEveryHostApi(HMONITOR monitor, HWND hwnd) {
  DartProject project(L"data");
  project.set_dart_entrypoint_arguments(std::vector<std::string>{"--x"});
  FlutterViewController controller(900, 720, project);
  FlutterEngine* engine = controller.engine();
  (void)controller.view()->GetNativeWindow();
  controller.ForceRedraw();
  (void)controller.HandleTopLevelWindowProc(hwnd, WM_SIZE, 0, 0).value_or(0);
  engine->ReloadSystemFonts();
  WindowManagerPluginRegisterWithRegistrar(engine->GetRegistrarForPlugin("WindowManagerPlugin"));
  (void)FlutterDesktopGetDpiForMonitor(monitor);
  FlutterDesktopResyncOutputStreams();
  MethodChannel<EncodableValue> channel(engine->messenger(), "kestrune/window",
                                        &StandardMethodCodec::GetInstance());
  channel.SetMethodCallHandler([](const MethodCall<EncodableValue>& call,
                                  std::unique_ptr<MethodResult<EncodableValue>> result) {
    const auto* map = std::get_if<EncodableMap>(call.arguments());
    if (map == nullptr || call.arguments()->IsNull() || call.method_name().empty()) {
      result->Error("BAD_ARGS");
      result->Error("BAD_ARGS", "message", EncodableValue(EncodableList{EncodableValue(1)}));
      return result->Error("BAD_ARGS", "message");
    }
    result->Success(EncodableValue(map->at(EncodableValue("x")).LongValue()));
    result->Success();
    result->NotImplemented();
  });
  channel.InvokeMethod("onEvent", std::make_unique<EncodableValue>(EncodableMap{}));
  channel.SetMethodCallHandler(nullptr);
}
}  // namespace flutter
