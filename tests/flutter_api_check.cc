// Compile-only: every engine and wrapper API the host uses, with the host's
// argument types. Built against the stand-in in the win64 tree and against
// Flutter's own wrapper in the tree configured with KR_FLUTTER_WRAPPER, so a
// stand-in name or signature the real wrapper lacks fails that build.
#include <flutter/dart_project.h>
#include <flutter/encodable_value.h>
#include <flutter/flutter_view_controller.h>
#include <flutter/method_channel.h>
#include <flutter/standard_method_codec.h>
#include <flutter_windows.h>

#include "runner/plugin_registrants.h"

namespace flutter {

using Value = EncodableValue;

[[maybe_unused]] void UseEveryHostApi(HMONITOR monitor, HWND hwnd) {
  DartProject project(L"data");
  project.set_dart_entrypoint_arguments(std::vector<std::string>{"--x"});
  FlutterViewController controller(900, 720, project);
  FlutterEngine* engine = controller.engine();
  HWND view = controller.view()->GetNativeWindow();
  controller.ForceRedraw();
  std::optional<LRESULT> consumed = controller.HandleTopLevelWindowProc(hwnd, WM_SIZE, 0, 0);
  engine->ReloadSystemFonts();
  FlutterDesktopPluginRegistrarRef registrar = engine->GetRegistrarForPlugin("WindowManagerPlugin");
  WindowManagerPluginRegisterWithRegistrar(registrar);
  UINT dpi = FlutterDesktopGetDpiForMonitor(monitor);
  FlutterDesktopResyncOutputStreams();

  MethodChannel<Value> channel(engine->messenger(), "kestrune/window",
                               &StandardMethodCodec::GetInstance());
  channel.SetMethodCallHandler(
      [](const MethodCall<Value>& call, std::unique_ptr<MethodResult<Value>> result) {
        const std::string& name = call.method_name();
        const Value* arguments = call.arguments();
        const auto* map = std::get_if<EncodableMap>(arguments);
        if (map == nullptr || arguments->IsNull() || name.empty()) {
          result->Error("BAD_ARGS");
          result->Error("BAD_ARGS", "message");
          result->Error("BAD_ARGS", "message", Value(EncodableList{Value(1), Value("a")}));
          return;
        }
        int64_t wide = map->at(Value("x")).LongValue();
        result->Success(Value(wide));
        result->Success();
        result->NotImplemented();
      });
  channel.InvokeMethod("onEvent", std::make_unique<Value>(EncodableMap{{Value("k"), Value(2.5)}}));
  channel.SetMethodCallHandler(nullptr);
  (void)view, (void)consumed, (void)dpi;
}

}  // namespace flutter
