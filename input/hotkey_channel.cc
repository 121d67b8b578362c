#include "input/hotkey_channel.h"

#include <windows.h>

#include "input/channel_args.h"
#include "input/hotkey_combo.h"
#include "input/hotkey_event.h"
#include "input/keyboard_hook.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "runner/utils.h"

namespace {

using flutter::EncodableValue;
using Result = std::unique_ptr<flutter::MethodResult<EncodableValue>>;

void RefuseWrongType(const Result& result, const char* key) {
  result->Error("BAD_ARGS", std::string("argument \"") + key + "\" has the wrong type");
}

// True when the flag was set.
bool SetFlag(const EncodableValue* arguments,
             const char* key,
             std::atomic<bool>& flag,
             const char* log_format,
             const Result& result) {
  ArgRead<bool> value = ReadBoolArgument(arguments, key);
  if (value.wrong_type) {
    RefuseWrongType(result, key);
    return false;
  }
  if (value.value) {
    flag = *value.value;
    DebugLogF(log_format, *value.value ? 1 : 0);
  }
  result->Success();
  return value.value.has_value();
}

void ReRegisterHotkey(FlutterWindow* window,
                      const EncodableValue* arguments,
                      const Result& result) {
  ArgRead<int32_t> id = ReadInt32Argument(arguments, "id");
  ArgRead<std::string> combo = ReadStringArgument(arguments, "combo");
  if (id.wrong_type) {
    RefuseWrongType(result, "id");
    return;
  }
  if (combo.wrong_type) {
    RefuseWrongType(result, "combo");
    return;
  }
  int32_t hotkey_id = id.value.value_or(0);
  std::string text = combo.value.value_or(std::string());
  HWND hwnd = window->GetHandle();
  if (hwnd != nullptr && hotkey_id > 0) {
    // Dropped before parsing: a combination that does not parse leaves the id unbound.
    ::UnregisterHotKey(hwnd, hotkey_id);
    if (std::optional<HotkeyCombo> parsed = ParseHotkeyCombo(text)) {
      ::RegisterHotKey(hwnd, hotkey_id, parsed->modifiers, parsed->virtual_key);
      DebugLogF("[KR] reRegisterHotkey id=%d combo='%s' mods=0x%x vk=0x%x", hotkey_id, text.c_str(),
                parsed->modifiers, parsed->virtual_key);
    }
  }
  result->Success();
}

}  // namespace

void HotkeyChannelHandler(FlutterWindow* window,
                          const flutter::MethodCall<EncodableValue>& call,
                          Result result) {
  const std::string& method = call.method_name();
  const EncodableValue* arguments = call.arguments();
  if (method == "set_voice_listening") {
    const bool before = voice_listening;
    if (SetFlag(arguments, "enabled", voice_listening, "[KR] set_voice_listening: %d", result) &&
        voice_listening != before) {
      // A push-to-talk press still held when listening changes would otherwise
      // make the next press look like a repeat of it. The same value again
      // changes nothing: clearing then would turn the next repeat into a
      // second "space_down" of one press.
      KeyboardHookFlags().voice_space_down = false;
      KeyboardHookFlags().voice_space_outside = false;
    }
  } else if (method == "set_card_expanded") {
    SetFlag(arguments, "expanded", card_expanded, "[KR] set_card_expanded: %d", result);
  } else if (method == "reRegisterHotkey") {
    ReRegisterHotkey(window, arguments, result);
  } else {
    result->NotImplemented();
  }
}

void RegisterDefaultHotkeys(FlutterWindow* window) {
  HWND hwnd = window->GetHandle();
  if (hwnd == nullptr || IsCapsuleProcess()) {
    return;
  }
  for (const DefaultHotkey& hotkey : DefaultHotkeys()) {
    BOOL registered = ::RegisterHotKey(hwnd, hotkey.id, hotkey.modifiers, hotkey.virtual_key);
    DWORD error = ::GetLastError();
    if (hotkey.id == kToggleCapsule) {
      DebugLogF("[KR] RegisterHotKey Ctrl+Space: result=%d err=%d", registered,
                static_cast<int>(error));
    } else if (hotkey.id == kShowMain) {
      DebugLogF("[KR] RegisterHotKey Alt+Space: result=%d err=%d", registered,
                static_cast<int>(error));
    }
  }
}

void UnregisterDefaultHotkeys(FlutterWindow* window) {
  HWND hwnd = window->GetHandle();
  if (hwnd == nullptr) {
    return;
  }
  for (const DefaultHotkey& hotkey : DefaultHotkeys()) {
    ::UnregisterHotKey(hwnd, hotkey.id);
  }
}
