#include "channels/window/window_channel.h"

#include <string>

#include "capsule/capsule_commands.h"
#include "capsule/capsule_pipe.h"
#include "channels/window/window_geometry.h"
#include "feeds/calendar/calendar_sync.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "tray/tray_menu.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<EncodableValue>>;

const std::string* StringMember(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  return found == map.end() ? nullptr : std::get_if<std::string>(&found->second);
}

void ShowCapsuleWindow(FlutterWindow* window, const EncodableValue* arguments) {
  const auto* map = arguments ? std::get_if<EncodableMap>(arguments) : nullptr;
  if (map == nullptr) {
    return;
  }
  const std::string* type = StringMember(*map, "type");
  DebugLogF("[KR] showCapsuleWindow called, type=%s", type ? type->c_str() : "");
  if (const std::string* json = StringMember(*map, "json")) {
    PipeSend(window, *json);
    return;
  }
  PipeSend(window, BuildCapsuleRenderCommand(*map));
}

void SendCapsuleCommand(FlutterWindow* window, const EncodableValue* arguments) {
  const auto* map = arguments ? std::get_if<EncodableMap>(arguments) : nullptr;
  if (map == nullptr) {
    return;
  }
  if (const std::string* json = StringMember(*map, "json")) {
    PipeSend(window, *json);
  }
}

}  // namespace

void WindowChannelHandler(FlutterWindow* window,
                          const flutter::MethodCall<EncodableValue>& call,
                          Result result) {
  if (HandleGeometryMethod(window, call, *result)) {
    return;
  }
  const std::string& method = call.method_name();
  if (method == "showLineWindow" || method == "hideCapsuleWindow") {
    PipeSend(window, std::string(kCapsuleRenderIdleCommand));
  } else if (method == "hideLineWindow") {
    PipeSend(window, std::string(kCapsuleHideCommand));
  } else if (method == "showCapsuleWindow") {
    ShowCapsuleWindow(window, call.arguments());
  } else if (method == "sendCapsuleCommand") {
    SendCapsuleCommand(window, call.arguments());
  } else if (method == "showTrayMenu") {
    ShowTrayMenu(window);
  } else if (method == "startCalendarSync") {
    StartCalendarSync(window);
  } else if (method == "getCalendarAppointments") {
    result->Success(EncodableValue(ReadCalendarAppointments()));
    return;
  } else {
    result->NotImplemented();
    return;
  }
  result->Success();
}
