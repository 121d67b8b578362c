#ifndef KESTRUNE_RUNNER_FOCUS_FOCUS_VERDICTS_H_
#define KESTRUNE_RUNNER_FOCUS_FOCUS_VERDICTS_H_

#include <cstdint>

// What the card does when focus moves: decided from plain facts so the window
// procedures and the polling thread only gather them and act.

inline constexpr uint32_t kPollPeriodMs = 200;
// The card is pulled back in front of the capsule at most this often (strictly more apart).
inline constexpr uint64_t kGrabBackSpacingMs = 3000;
// Collapse retries are at least this far apart.
inline constexpr uint64_t kRetrySpacingMs = 500;
// Focus retries after a hotkey expand.
inline constexpr uint32_t kMaxFocusRetries = 3;

// A loss of focus seen by an activation message.
struct FocusLossFacts {
  bool ever_activated = false;
  uint64_t now = 0;
  uint64_t blur_guard = 0;
  // WM_ACTIVATE only: the window being activated is unknown.
  bool other_is_null = false;
  // WM_ACTIVATE only: it shares our root, is our child, or belongs to our process.
  bool own_window = false;
  // WM_ACTIVATE only: it belongs to the capsule process.
  bool capsule_in_front = false;
  bool collapse_sent = false;
  bool card_expanded = false;
  bool blur_hide = false;
};

enum class LossVerdict {
  kNeverActivated,  // a window never shown never collapses
  kInGrace,         // before blur_guard
  kNoOtherWindow,   // logged and ignored
  kOwnWindow,       // silent
  kCapsuleInFront,  // guard extended, collapse re-armed
  kAlreadySent,     // silent
  kCollapse,        // send esc_collapse
  kSkip,            // card collapsed or collapse-on-blur off: logged
};

bool InGrace(uint64_t now, uint64_t blur_guard);

// WM_ACTIVATE with WA_INACTIVE; checks in the order the log lines follow.
LossVerdict JudgeActivateLoss(const FocusLossFacts& facts);

// WM_ACTIVATEAPP inactive: no ancestry, process or capsule tests; anything but
// a collapse past the grace period is silent (kSkip).
LossVerdict JudgeActivateAppLoss(const FocusLossFacts& facts);

// One pass of the polling thread.
struct PollFacts {
  // The foreground window is ours or shares our root.
  bool focused = false;
  bool had_focus = false;
  // The foreground window belongs to the capsule process.
  bool capsule_in_front = false;
  bool ever_activated = false;
  bool collapse_sent = false;
  bool card_expanded = false;
  bool blur_hide = false;
  uint64_t now = 0;
  uint64_t blur_guard = 0;
  uint64_t last_collapse_at = 0;
  uint64_t last_grab_back_at = 0;
};

enum class PollVerdict {
  kStillFocused,        // nothing
  kGained,              // arm: ever activated, collapse not sent
  kCapsuleGrabBack,     // card expanded: pull it back in front, extend the guard
  kCapsuleHoldGuard,    // card expanded, pulled back recently: extend the guard only
  kCapsuleExtendGuard,  // card collapsed: extend the guard
  kLostInGrace,
  kLostAlreadySent,
  kLostCollapse,
  kLostSkip,
  kRetry,  // a collapse that was never delivered
  kRetryTooSoon,
  kAway,  // nothing to do
};

PollVerdict JudgePollPass(const PollFacts& facts);

// Whether the next pass starts with focus seen.
bool HadFocusAfter(PollVerdict verdict);

// The focus-retry timer's expiry: whether to focus the view once more.
bool ShouldRetryFocus(bool card_expanded, bool has_window, uint32_t retries_done);

#endif  // KESTRUNE_RUNNER_FOCUS_FOCUS_VERDICTS_H_
