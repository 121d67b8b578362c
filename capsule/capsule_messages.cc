#include "capsule/capsule_messages.h"

#include <windows.h>

#include <memory>
#include <string>

#include "capsule/capsule_commands.h"
#include "capsule/capsule_pipe.h"
#include "capsule/json_string_field.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "runner/main_thread_tasks.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

// Sends on the hotkey channel from the main thread, which owns the messenger.
// The capsule message's size counts against the capsule's share of the
// main thread's queue.
void SendToInterface(FlutterWindow* window,
                     std::string_view message,
                     const char* method,
                     EncodableValue arguments) {
  GetMainThreadTasks().PostCapsuleMessage(
      message.size(), [window, method, arguments = std::move(arguments)] {
        if (flutter_window_instance.load() == window && window->hotkey_channel) {
          window->hotkey_channel->InvokeMethod(method, std::make_unique<EncodableValue>(arguments));
        }
      });
}

EncodableValue OneEntry(const char* key, EncodableValue value) {
  return EncodableValue(EncodableMap{{EncodableValue(key), std::move(value)}});
}

}  // namespace

void HandleCapsuleMessage(FlutterWindow* window, std::string_view message) {
  DebugLogF("[KR] Capsule pipe msg: %.200s", std::string(message).c_str());
  std::string cmd = JsonStringField(message, "cmd");
  if (cmd == "button_click") {
    SendToInterface(window, message, "capsule.button_click",
                    OneEntry("id", EncodableValue(JsonStringField(message, "id"))));
  } else if (cmd == "expand") {
    HWND main = window->GetHandle();
    if (main != nullptr && !card_expanded) {
      ::PostMessageW(main, kCapsuleExpandMsg, 0, 0);
    }
    SendToInterface(window, message, "toggle_capsule", EncodableValue());
  } else if (cmd == "ready") {
    DebugLog("[KR] Capsule process ready, sending initial render idle");
    PipeSend(window, std::string(kCapsuleRenderIdleCommand));
  } else if (cmd == "voice_off") {
    SendToInterface(window, message, "capsule.voice_off", EncodableValue());
  } else if (cmd == "voice_tts") {
    std::string on = JsonStringField(message, "on");
    SendToInterface(window, message, "capsule.voice_tts",
                    OneEntry("on", EncodableValue(on == "true" || on == "1")));
  } else if (cmd == "todo_toggle" || cmd == "todo_add") {
    SendToInterface(window, message, "capsule.todo",
                    EncodableValue(EncodableMap{
                        {EncodableValue("cmd"), EncodableValue(cmd)},
                        {EncodableValue("json"), EncodableValue(std::string(message))},
                    }));
  }
}
