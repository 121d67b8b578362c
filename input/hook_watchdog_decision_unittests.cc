#include "input/hook_watchdog_decision.h"

#include <gtest/gtest.h>

#include <vector>

struct RawKey {
  uint64_t now, hook_seen;
  bool removed;
};

TEST(HookWatchdogTest, RemovedOnlyAfterTwoSecondsOfRawKeysTheHookMissed) {
  const std::vector<std::vector<RawKey>> cases = {
      // Alive: the hook sees each key just before its raw input.
      {{1000, 998, false}, {2500, 2499, false}, {9000, 8998, false}},
      // Gone before the first missed key; 1999 ms is not yet enough; then watched afresh.
      {{1000, 999, false}, {2999, 999, false}, {3000, 999, true}, {3100, 999, false}},
      // One raw key late after a stalled main thread, or the hook a key behind in a burst.
      {{5000, 1000, false}, {7500, 7499, false}},
      {{1000, 990, false}, {1010, 995, false}, {1020, 1005, false}, {3100, 3099, false}},
  };
  for (const auto& keys : cases) {
    HookWatchdog watchdog;
    for (const RawKey& key : keys) {
      EXPECT_EQ(watchdog.OnRawKey(key.now, key.hook_seen), key.removed) << key.now;
    }
  }
}
