#include "channels/window/hitregion_channel.h"

#include <optional>

#include "channels/window/number_args.h"
#include "channels/window/window_placement.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"

namespace {

// A number of any width, or 0: the island's rectangle comes from layout code
// and a stray value must not stop the update.
double NumberOrZero(const flutter::EncodableValue* arguments, const char* key) {
  return ReadDoubleArgument(arguments, key).value.value_or(0.0);
}

}  // namespace

void HitRegionChannelHandler(
    FlutterWindow* window,
    const flutter::MethodCall<flutter::EncodableValue>& call,
    std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
  if (call.method_name() != "set") {
    result->NotImplemented();
    return;
  }
  const flutter::EncodableValue* arguments = call.arguments();
  if (arguments != nullptr && std::holds_alternative<flutter::EncodableMap>(*arguments)) {
    std::optional<Bounds> edges =
        HitRectangle(NumberOrZero(arguments, "x"), NumberOrZero(arguments, "y"),
                     NumberOrZero(arguments, "w"), NumberOrZero(arguments, "h"));
    if (edges) {
      window->hit_rect = RECT{edges->left, edges->top, edges->right, edges->bottom};
      if (window->is_capsule) {
        DebugLogF("[KR] CAP setHitRegion: (%ld,%ld)-(%ld,%ld)", window->hit_rect.left,
                  window->hit_rect.top, window->hit_rect.right, window->hit_rect.bottom);
      }
    }
  }
  result->Success();
}
