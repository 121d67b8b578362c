#include "runner/focus/activation.h"

#include "input/hotkey_dispatch.h"
#include "input/hotkey_event.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/focus_verdicts.h"
#include "runner/focus/interaction_state.h"

namespace {

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  if (window != nullptr) {
    ::GetWindowThreadProcessId(window, &pid);
  }
  return pid;
}

// Judged on the facts the verdict was made from, so the line never contradicts it.
void LogGrace(const char* prefix, const FocusLossFacts& facts) {
  DebugLogF("%s %s", prefix, InGrace(facts.now, facts.blur_guard) ? "(in grace)" : "(no grace)");
}

}  // namespace

void NoteFocusGained() {
  DebugLog("[KR] WM_ACTIVATE: GAINED focus");
  ever_activated = true;
  collapse_sent = false;
}

CollapseResult SendCollapse(uint64_t now, const char* log_line) {
  // Claimed before sending, so the subclass procedure, the handler and the
  // polling thread never send two for one loss.
  bool expected = false;
  if (!collapse_sent.compare_exchange_strong(expected, true)) {
    return CollapseResult::kAlreadySent;
  }
  if (log_line != nullptr) {
    DebugLog(log_line);
  }
  FlutterWindow* instance = flutter_window_instance.load();
  if (instance != nullptr && DispatchHotkeyEvent(instance, kEscCollapse)) {
    last_collapse_at = now;
    return CollapseResult::kSent;
  }
  collapse_sent = false;
  return CollapseResult::kFailed;
}

void HandleFocusLoss(HWND window, HWND other, ActivationSource source) {
  bool from_handler = source == ActivationSource::kMessageHandler;
  FocusLossFacts facts;
  facts.ever_activated = ever_activated;
  facts.now = ::GetTickCount64();
  facts.blur_guard = blur_guard;
  facts.other_is_null = other == nullptr;
  HWND root = ::GetAncestor(window, GA_ROOT);
  HWND other_root = other != nullptr ? ::GetAncestor(other, GA_ROOT) : nullptr;
  DWORD own_pid = ProcessOf(root);
  DWORD other_pid = ProcessOf(other_root);
  facts.own_window = other != nullptr && (root == other_root || ::IsChild(window, other) ||
                                          (own_pid != 0 && own_pid == other_pid));
  FlutterWindow* instance = flutter_window_instance.load();
  facts.capsule_in_front =
      instance != nullptr && instance->capsule_pid != 0 && instance->capsule_pid == other_pid;
  facts.collapse_sent = collapse_sent;
  facts.card_expanded = card_expanded;
  facts.blur_hide = blur_hide;

  LossVerdict verdict = JudgeActivateLoss(facts);
  if (verdict == LossVerdict::kNeverActivated) {
    DebugLog("[KR] WM_ACTIVATE: LOST focus (never activated, skip collapse)");
    return;
  }
  LogGrace("[KR] WM_ACTIVATE: LOST focus", facts);
  switch (verdict) {
    case LossVerdict::kNoOtherWindow:
      DebugLog(from_handler ? "[KR] WM_ACTIVATE MH: LOST focus but lparam NULL, skip collapse"
                            : "[KR] WM_ACTIVATE: LOST focus but lparam NULL, skip collapse");
      return;
    case LossVerdict::kCapsuleInFront:
      DebugLog("[KR] WM_ACTIVATE: capsule process gained focus, extending blur_guard");
      blur_guard = ::GetTickCount64() + kGuardCapsuleForegroundMs;
      collapse_sent = false;
      return;
    case LossVerdict::kCollapse: {
      uint64_t guard = blur_guard;
      uint64_t tick = ::GetTickCount64();
      char line[160];
      snprintf(line, sizeof(line),
               "[KR] WM_ACTIVATE %s: dispatching esc_collapse guard=%llu now=%llu diff=%lld",
               from_handler ? "MessageHandler" : "SubclassProc",
               static_cast<unsigned long long>(guard), static_cast<unsigned long long>(tick),
               static_cast<long long>(guard - tick));
      if (SendCollapse(facts.now, line) == CollapseResult::kFailed) {
        DebugLog(from_handler ? "[KR] WM_ACTIVATE MessageHandler: esc_collapse dispatch FAILED, "
                                "will retry in poll"
                              : "[KR] WM_ACTIVATE: esc_collapse dispatch FAILED (channel not "
                                "ready), will retry in poll");
      }
      return;
    }
    case LossVerdict::kSkip:
      DebugLogF("[KR] WM_ACTIVATE: skip collapse: card=%d blur_hide=%d voice=%d",
                card_expanded ? 1 : 0, blur_hide ? 1 : 0, voice_listening ? 1 : 0);
      return;
    default:
      return;
  }
}

void HandleActivateApp(bool active) {
  if (active) {
    DebugLog("[KR] WM_ACTIVATEAPP: active");
    collapse_sent = false;
    return;
  }
  FocusLossFacts facts;
  facts.ever_activated = ever_activated;
  facts.now = ::GetTickCount64();
  facts.blur_guard = blur_guard;
  facts.collapse_sent = collapse_sent;
  facts.card_expanded = card_expanded;
  facts.blur_hide = blur_hide;
  LossVerdict verdict = JudgeActivateAppLoss(facts);
  if (verdict == LossVerdict::kNeverActivated) {
    DebugLog("[KR] WM_ACTIVATEAPP: inactive (never activated, skip collapse)");
    return;
  }
  LogGrace("[KR] WM_ACTIVATEAPP: inactive", facts);
  if (verdict == LossVerdict::kCollapse &&
      SendCollapse(facts.now, "[KR] WM_ACTIVATEAPP: dispatching esc_collapse") ==
          CollapseResult::kFailed) {
    DebugLog("[KR] WM_ACTIVATEAPP: esc_collapse dispatch FAILED, will retry in poll");
  }
}
