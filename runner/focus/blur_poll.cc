#include "runner/focus/blur_poll.h"

#include <windows.h>

#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/activation.h"
#include "runner/focus/focus_verdicts.h"
#include "runner/focus/foreground.h"
#include "runner/focus/interaction_state.h"
#include "runner/main_thread_tasks.h"
#include "runner/unique_resource.h"

std::atomic<bool> poll_running{false};
std::thread poll_thread;

namespace {

// Set by the stop, so that it does not wait out a period; manual-reset,
// cleared by the start.
UniqueHandle poll_stop_event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));

// Only the polling thread touches these.
bool poll_had_focus = false;
uint64_t last_grab_back_at = 0;

void ExtendGuardForCapsule() {
  collapse_sent = false;
  blur_guard = ::GetTickCount64() + kGuardCapsuleForegroundMs;
}

bool OwnedByCapsule(const FlutterWindow* instance, HWND foreground) {
  if (foreground == nullptr) {
    return false;
  }
  DWORD foreground_pid = 0;
  ::GetWindowThreadProcessId(foreground, &foreground_pid);
  uint32_t capsule_pid = instance->capsule_pid;
  return capsule_pid != 0 && foreground_pid == capsule_pid;
}

void PollOnce() {
  FlutterWindow* instance = flutter_window_instance.load();
  HWND window = instance != nullptr ? instance->GetHandle() : nullptr;
  if (window == nullptr) {
    return;
  }
  HWND foreground = ::GetForegroundWindow();
  HWND root = ::GetAncestor(window, GA_ROOT);
  PollFacts facts;
  // Another top-level window of this process (a dialog of the card, a web-view
  // popup, the tray menu's owner) counts as ours, as it does for WM_ACTIVATE.
  DWORD foreground_pid = 0;
  if (foreground != nullptr) {
    ::GetWindowThreadProcessId(foreground, &foreground_pid);
  }
  facts.focused = foreground == window ||
                  (foreground != nullptr && ::GetAncestor(foreground, GA_ROOT) == root) ||
                  foreground_pid == ::GetCurrentProcessId();
  facts.had_focus = poll_had_focus;
  facts.capsule_in_front = !facts.focused && OwnedByCapsule(instance, foreground);
  facts.ever_activated = ever_activated;
  facts.collapse_sent = collapse_sent;
  facts.card_expanded = card_expanded;
  facts.blur_hide = blur_hide;
  facts.now = ::GetTickCount64();
  facts.blur_guard = blur_guard;
  facts.last_collapse_at = last_collapse_at;
  facts.last_grab_back_at = last_grab_back_at;

  PollVerdict verdict = JudgePollPass(facts);
  poll_had_focus = HadFocusAfter(verdict);
  switch (verdict) {
    case PollVerdict::kGained:
      ever_activated = true;
      collapse_sent = false;
      DebugLog("[KR] BLUR_POLL: gained focus");
      break;
    case PollVerdict::kCapsuleGrabBack:
      last_grab_back_at = facts.now;
      DebugLog("[KR] BLUR_POLL: capsule fg while expanded, grab back (rate-limited)");
      // The view's focus can only be set from the thread that owns it. By the
      // time the main thread runs it the card may be collapsed or the user may
      // have moved on: only a capsule still in front is taken back from.
      GetMainThreadTasks().PostDeferred([instance] {
        if (flutter_window_instance.load() == instance && card_expanded &&
            OwnedByCapsule(instance, ::GetForegroundWindow())) {
          ForceForeground(instance->GetHandle());
        }
      });
      ExtendGuardForCapsule();
      break;
    case PollVerdict::kCapsuleHoldGuard:
      ExtendGuardForCapsule();
      break;
    case PollVerdict::kCapsuleExtendGuard:
      ExtendGuardForCapsule();
      DebugLog("[KR] BLUR_POLL: capsule has focus, extending blur_guard");
      break;
    case PollVerdict::kLostInGrace:
      DebugLog("[KR] BLUR_POLL: lost focus (in grace)");
      break;
    case PollVerdict::kLostAlreadySent:
      DebugLog("[KR] BLUR_POLL: lost focus (no grace)");
      break;
    case PollVerdict::kLostCollapse: {
      DebugLog("[KR] BLUR_POLL: lost focus (no grace)");
      uint64_t tick = ::GetTickCount64();
      char line[128];
      snprintf(line, sizeof(line),
               "[KR] BLUR_POLL: dispatching esc_collapse guard=%llu now=%llu diff=%lld",
               static_cast<unsigned long long>(facts.blur_guard),
               static_cast<unsigned long long>(tick),
               static_cast<long long>(facts.blur_guard - tick));
      if (SendCollapse(facts.now, line) == CollapseResult::kFailed) {
        DebugLog("[KR] BLUR_POLL: esc_collapse dispatch FAILED, will retry");
      }
      break;
    }
    case PollVerdict::kLostSkip:
      DebugLog("[KR] BLUR_POLL: lost focus (no grace)");
      DebugLogF("[KR] BLUR_POLL: skip collapse: card=%d blur_hide=%d", facts.card_expanded ? 1 : 0,
                facts.blur_hide ? 1 : 0);
      break;
    case PollVerdict::kRetry:
      // Stamped before sending: a failed retry still spaces the next one.
      last_collapse_at = facts.now;
      SendCollapse(facts.now, "[KR] BLUR_POLL: retrying esc_collapse (dispatch lost earlier)");
      break;
    case PollVerdict::kStillFocused:
    case PollVerdict::kRetryTooSoon:
    case PollVerdict::kAway:
      break;
  }
}

void BlurPollThread() noexcept {
  DebugLog("[KR] BlurPollThread: started");
  while (poll_running) {
    DWORD woken = ::WaitForSingleObject(poll_stop_event.get(), kPollPeriodMs);
    if (woken == WAIT_FAILED) {
      ::Sleep(kPollPeriodMs);  // no event: the period still holds
    }
    if (woken == WAIT_OBJECT_0 || !poll_running) {
      break;
    }
    try {
      PollOnce();
    } catch (...) {
      DebugLog("[KR] BlurPollThread: pass dropped an exception");
    }
  }
  DebugLog("[KR] BlurPollThread: stopped");
}

}  // namespace

void StartBlurPollThread() {
  if (poll_running.exchange(true)) {
    return;
  }
  poll_had_focus = false;
  ::ResetEvent(poll_stop_event.get());
  poll_thread = std::thread(BlurPollThread);
}

void StopBlurPollThread() {
  poll_running.exchange(false);
  ::SetEvent(poll_stop_event.get());
  if (poll_thread.joinable()) {
    poll_thread.join();
  }
  poll_thread = std::thread();
}
