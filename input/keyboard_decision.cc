#include "input/keyboard_decision.h"

#include "input/hotkey_event.h"

namespace {

bool IsKeyDown(uintptr_t message) {
  return message == kWmKeyDown || message == kWmSysKeyDown;
}

bool IsKeyUp(uintptr_t message) {
  return message == kWmKeyUp || message == kWmSysKeyUp;
}

// Ctrl+Space and Alt+Space complete when Space is released. Alt here is the event's
// own flag: Alt held per GetAsyncKeyState alone does not make a chord.
void DecideSpaceChord(const KeyEventFacts& facts,
                      bool key_down,
                      bool key_up,
                      KeyboardHookState* state,
                      KeyDecision* decision) {
  if (!key_down && !key_up) {
    return;
  }
  const bool alt_flag = (facts.flags & kLlkhfAltDown) != 0;
  decision->log_ctrl = facts.ctrl;
  decision->log_alt = alt_flag;
  if (key_down) {
    if ((facts.ctrl || alt_flag) && !facts.win) {
      state->space_combo_active = true;
      decision->space_log = SpaceLog::kComboKeyDown;
    } else {
      decision->space_log = SpaceLog::kAloneKeyDown;
      decision->log_active = state->space_combo_active;
    }
  } else if (key_up) {
    decision->space_log = SpaceLog::kKeyUp;
    decision->log_active = state->space_combo_active;
    decision->log_voice = facts.voice_listening;
    // While listening, Space belongs to push-to-talk; the chord waits for a later release.
    if (state->space_combo_active && !facts.voice_listening) {
      decision->log_activate = true;
      decision->post_activate = true;
      decision->dispatch_event = kToggleCapsule;
      state->space_combo_active = false;
    }
  }
}

// Space held while listening talks. Returns true when the event is swallowed: with
// the focus outside our window the foreground application must not see these
// spaces, repeats included; with it inside, the view handles Space itself.
bool DecidePushToTalk(const KeyEventFacts& facts,
                      bool key_down,
                      bool key_up,
                      KeyboardHookState* state,
                      KeyDecision* decision) {
  if (key_down) {
    if (!state->voice_space_down) {
      state->voice_space_down = true;
      state->voice_space_outside = !facts.focused;
      if (state->voice_space_outside) {
        decision->space_voice = 1;
        return true;
      }
    } else if (state->voice_space_outside) {
      return true;  // auto-repeat: nothing new to say
    }
  } else if (key_up) {
    // A release without a press seen while listening is judged by the focus.
    const bool outside = state->voice_space_down ? state->voice_space_outside : !facts.focused;
    state->voice_space_down = false;
    state->voice_space_outside = false;
    if (outside) {
      decision->space_voice = 0;
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsLoggedKey(uint32_t vk) {
  switch (vk) {
    case kVkControl:
    case kVkMenu:
    case kVkEscape:
    case kVkSpace:
    case kVkDelete:
    case kVkX:
      return true;
    default:
      return false;
  }
}

KeyDecision DecideKeyEvent(const KeyEventFacts& facts, KeyboardHookState* state) {
  KeyDecision decision;
  const bool key_down = IsKeyDown(facts.message);
  const bool key_up = IsKeyUp(facts.message);
  decision.log_key = IsLoggedKey(facts.vk);

  if (facts.vk == kVkX) {
    // Ctrl+Space+X asks for voice mode; X is swallowed even if the event is dropped later.
    if (key_down && facts.ctrl && facts.space && !facts.alt && !facts.win) {
      decision.dispatch_event = kVoiceMode;
      decision.swallow = true;
      return decision;
    }
  } else if (facts.vk == kVkSpace) {
    DecideSpaceChord(facts, key_down, key_up, state, &decision);
  }

  // Releasing Ctrl or Alt breaks the chord, but only as the generic codes: the
  // side-specific ones (0xA2-0xA5) leave it, so Ctrl released before Space completes.
  if ((facts.vk == kVkControl || facts.vk == kVkMenu) && key_up) {
    state->space_combo_active = false;
  }

  if (facts.vk == kVkSpace && facts.voice_listening && !facts.ctrl && !facts.alt && !facts.win) {
    if (DecidePushToTalk(facts, key_down, key_up, state, &decision)) {
      decision.swallow = true;
      return decision;
    }
  }

  if (facts.vk == kVkDelete && key_down) {
    decision.post_close_tag = true;  // the tag closes, the application still gets Delete
  }

  if (facts.vk == kVkEscape) {
    if (key_down && !state->esc_down && facts.card_expanded) {
      state->esc_down = true;  // once per press, however long Esc is held
      decision.dispatch_event = kEscCollapse;
    } else if (key_up) {
      state->esc_down = false;
    }
  }
  return decision;
}
