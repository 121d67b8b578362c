#ifndef KESTRUNE_INPUT_HOOK_WATCHDOG_DECISION_H_
#define KESTRUNE_INPUT_HOOK_WATCHDOG_DECISION_H_

#include <cstdint>

// Windows removes a low-level keyboard hook without notice when its procedure
// overruns LowLevelHooksTimeout. Raw keyboard input keeps arriving after that,
// so keys that arrive there while the hook sees none tell that it is gone.

// How long raw keys may arrive with the hook seeing none before it counts as removed.
inline constexpr uint64_t kHookSilenceMs = 2000;

class HookWatchdog {
 public:
  // A raw key arrived at tick |now|; |hook_seen| is the tick of the hook's latest
  // key. True when the hook has seen no key since a raw key that arrived
  // kHookSilenceMs or more ago: the hook is gone. Watching starts afresh then.
  bool OnRawKey(uint64_t now, uint64_t hook_seen);

 private:
  // The hook sees a key before its raw input is posted, but a burst may deliver
  // raw input ahead of the next keys' hook calls: the hook is overdue only for
  // keys it has not caught up with since the oldest raw key it missed.
  bool waiting_ = false;
  uint64_t unmatched_since_ = 0;
};

#endif  // KESTRUNE_INPUT_HOOK_WATCHDOG_DECISION_H_
