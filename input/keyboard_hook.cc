#include "input/keyboard_hook.h"

#include "input/hook_watchdog.h"
#include "input/hotkey_dispatch.h"
#include "input/hotkey_event.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"

UniqueHook keyboard_hook;

namespace {

KeyboardHookState hook_state;
// The hook runs on the main thread only; set while it decides and acts.
bool in_keyboard_hook = false;

struct ScopedHookCall {
  ScopedHookCall() { in_keyboard_hook = true; }
  ~ScopedHookCall() { in_keyboard_hook = false; }
};

bool Held(int virtual_key) {
  return (::GetAsyncKeyState(virtual_key) & 0x8000) != 0;
}

void Post(UINT message, WPARAM wparam) {
  if (HWND main = MainWindowHandle()) {
    ::PostMessageW(main, message, wparam, 0);
  }
}

void LogSpaceLine(const KeyDecision& d) {
  switch (d.space_log) {
    case SpaceLog::kComboKeyDown:
      DebugLogF("[KR] Space+Ctrl/Alt KEYDOWN: ctrl=%d alt=%d", d.log_ctrl, d.log_alt);
      break;
    case SpaceLog::kAloneKeyDown:
      DebugLogF("[KR] Space KEYDOWN alone: ctrl=%d alt=%d active=%d", d.log_ctrl, d.log_alt,
                d.log_active);
      break;
    case SpaceLog::kKeyUp:
      DebugLogF("[KR] Space KEYUP: active=%d ctrl=%d alt=%d voice=%d", d.log_active, d.log_ctrl,
                d.log_alt, d.log_voice);
      break;
    case SpaceLog::kNone:
      break;
  }
}

}  // namespace

bool InKeyboardHook() {
  return in_keyboard_hook;
}

KeyboardHookState& KeyboardHookFlags() {
  return hook_state;
}

void InstallKeyboardHook() {
  keyboard_hook.reset(
      ::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHookProc, ::GetModuleHandleW(nullptr), 0));
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wparam, LPARAM lparam) noexcept {
  NoteKeyboardHookCall();
  FlutterWindow* window = flutter_window_instance.load();
  if (code < 0 || window == nullptr || lparam == 0) {
    return ::CallNextHookEx(keyboard_hook.get(), code, wparam, lparam);
  }
  const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lparam);
  // Most keys are none of the hook's business: pass them on before sampling any
  // key state, since each sample is a round trip to the window system.
  if (!IsLoggedKey(event->vkCode)) {
    return ::CallNextHookEx(keyboard_hook.get(), code, wparam, lparam);
  }
  ScopedHookCall hook_call;
  try {
    KeyEventFacts facts{};
    facts.vk = event->vkCode;
    facts.scan = event->scanCode;
    facts.flags = event->flags;
    facts.message = wparam;
    facts.ctrl = Held(VK_CONTROL);
    facts.space = Held(VK_SPACE);
    facts.alt = (event->flags & LLKHF_ALTDOWN) != 0 || Held(VK_MENU);
    facts.win = Held(VK_LWIN) || Held(VK_RWIN);
    facts.voice_listening = voice_listening;
    facts.card_expanded = card_expanded;
    if (event->vkCode == VK_SPACE) {
      HWND main = window->GetHandle();
      HWND focus = ::GetFocus();
      facts.focused =
          main != nullptr && focus != nullptr && (focus == main || ::IsChild(main, focus));
    }
    hook_state.space_combo_active = space_combo_active;

    KeyDecision decision = DecideKeyEvent(facts, &hook_state);
    space_combo_active = hook_state.space_combo_active;

    if (decision.log_key) {
      DebugLogF("[KR] KB: vk=0x%X wparam=%d scan=0x%X flags=0x%X",
                static_cast<unsigned>(event->vkCode), static_cast<int>(wparam),
                static_cast<unsigned>(event->scanCode), static_cast<unsigned>(event->flags));
    }
    LogSpaceLine(decision);
    if (decision.log_activate) {
      DebugLog("[KR] Ctrl/Alt+Space KEYUP: posting kActivateMsg");
    }
    if (decision.post_activate) {
      Post(kActivateMsg, 0);
    }
    // Every event for the interface takes the same way, so they arrive in key
    // order: a posted message would wait behind the card's queue while a later
    // key's event, sent from here, went first.
    if (decision.dispatch_event != 0) {
      DispatchHotkeyEvent(window, decision.dispatch_event);
    }
    if (decision.space_voice >= 0) {
      DispatchHotkeyEvent(window, decision.space_voice != 0 ? kSpaceDown : kSpaceUp);
    }
    if (decision.post_close_tag) {
      DispatchHotkeyEvent(window, kCloseTag);
    }
    if (decision.swallow) {
      return 1;
    }
  } catch (...) {
    DebugLog("[KR] keyboard hook dropped an exception");
  }
  return ::CallNextHookEx(keyboard_hook.get(), code, wparam, lparam);
}
