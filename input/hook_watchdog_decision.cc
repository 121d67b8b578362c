#include "input/hook_watchdog_decision.h"

bool HookWatchdog::OnRawKey(uint64_t now, uint64_t hook_seen) {
  // A clock that went back restarts the wait rather than underflowing it.
  if (!waiting_ || hook_seen >= unmatched_since_ || now < unmatched_since_) {
    waiting_ = true;
    unmatched_since_ = now;
    return false;
  }
  if (now - unmatched_since_ < kHookSilenceMs) {
    return false;
  }
  waiting_ = false;
  return true;
}
