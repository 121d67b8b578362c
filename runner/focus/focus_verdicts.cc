#include "runner/focus/focus_verdicts.h"

bool InGrace(uint64_t now, uint64_t blur_guard) {
  return now < blur_guard;
}

LossVerdict JudgeActivateLoss(const FocusLossFacts& facts) {
  if (!facts.ever_activated) {
    return LossVerdict::kNeverActivated;
  }
  if (InGrace(facts.now, facts.blur_guard)) {
    return LossVerdict::kInGrace;
  }
  if (facts.other_is_null) {
    return LossVerdict::kNoOtherWindow;
  }
  if (facts.own_window) {
    return LossVerdict::kOwnWindow;
  }
  if (facts.capsule_in_front) {
    return LossVerdict::kCapsuleInFront;
  }
  if (facts.collapse_sent) {
    return LossVerdict::kAlreadySent;
  }
  return facts.card_expanded && facts.blur_hide ? LossVerdict::kCollapse : LossVerdict::kSkip;
}

LossVerdict JudgeActivateAppLoss(const FocusLossFacts& facts) {
  if (!facts.ever_activated) {
    return LossVerdict::kNeverActivated;
  }
  if (InGrace(facts.now, facts.blur_guard)) {
    return LossVerdict::kInGrace;
  }
  if (facts.collapse_sent) {
    return LossVerdict::kAlreadySent;
  }
  return facts.card_expanded && facts.blur_hide ? LossVerdict::kCollapse : LossVerdict::kSkip;
}

PollVerdict JudgePollPass(const PollFacts& facts) {
  if (facts.focused) {
    return facts.had_focus ? PollVerdict::kStillFocused : PollVerdict::kGained;
  }
  if (facts.capsule_in_front) {
    if (!facts.card_expanded) {
      return PollVerdict::kCapsuleExtendGuard;
    }
    // A tick older than the last grab-back is not a reason to grab.
    bool spaced =
        facts.last_grab_back_at == 0 || (facts.now > facts.last_grab_back_at &&
                                         facts.now - facts.last_grab_back_at > kGrabBackSpacingMs);
    return spaced ? PollVerdict::kCapsuleGrabBack : PollVerdict::kCapsuleHoldGuard;
  }
  if (facts.had_focus && facts.ever_activated) {
    if (InGrace(facts.now, facts.blur_guard)) {
      return PollVerdict::kLostInGrace;
    }
    if (facts.collapse_sent) {
      return PollVerdict::kLostAlreadySent;
    }
    return facts.card_expanded && facts.blur_hide ? PollVerdict::kLostCollapse
                                                  : PollVerdict::kLostSkip;
  }
  if (facts.collapse_sent || !facts.ever_activated || !facts.card_expanded || !facts.blur_hide ||
      InGrace(facts.now, facts.blur_guard)) {
    return PollVerdict::kAway;
  }
  // The last attempt may carry a tick taken a moment later on the main thread.
  bool too_soon =
      facts.last_collapse_at != 0 &&
      (facts.now < facts.last_collapse_at || facts.now - facts.last_collapse_at < kRetrySpacingMs);
  return too_soon ? PollVerdict::kRetryTooSoon : PollVerdict::kRetry;
}

bool HadFocusAfter(PollVerdict verdict) {
  return verdict == PollVerdict::kStillFocused || verdict == PollVerdict::kGained;
}

bool ShouldRetryFocus(bool card_expanded, bool has_window, uint32_t retries_done) {
  return card_expanded && has_window && retries_done < kMaxFocusRetries;
}
