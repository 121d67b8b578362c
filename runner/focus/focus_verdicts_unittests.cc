#include "runner/focus/focus_verdicts.h"

#include <gtest/gtest.h>

namespace {

// Facts of a row, one bit each.
constexpr unsigned kEver = 1, kNullOther = 2, kOwn = 4, kCapsule = 8, kSent = 16, kExpanded = 32,
                   kHide = 64, kFocused = 128, kHad = 256;
// Activated once, card expanded, collapse-on-blur on.
constexpr unsigned kArmed = kEver | kExpanded | kHide;

// Plain collapses, skips, the capsule's pull-back and the retries are also seen with the
// real executable; these rows hold the order of the checks and their edges.
TEST(FocusLoss, VerdictsInCheckOrder) {
  using enum LossVerdict;
  const struct {
    const char* name;
    unsigned facts;
    uint64_t guard;  // the loss is seen at tick 10000
    LossVerdict activate, activate_app;
  } rows[] = {
      {"collapses", kArmed, 9000, kCollapse, kCollapse},
      {"at the guard tick", kArmed, 10000, kCollapse, kCollapse},
      {"one tick before the guard", kArmed, 10001, kInGrace, kInGrace},
      {"guard compared unsigned", kArmed, UINT64_MAX, kInGrace, kInGrace},
      {"never activated wins over grace", kArmed & ~kEver, 20000, kNeverActivated, kNeverActivated},
      {"grace wins over null window", kArmed | kNullOther, 20000, kInGrace, kInGrace},
      {"null window", kArmed | kNullOther, 9000, kNoOtherWindow, kCollapse},
      {"own window wins over capsule", kArmed | kOwn | kCapsule, 9000, kOwnWindow, kCollapse},
      {"capsule re-arms after a collapse", kArmed | kCapsule | kSent, 9000, kCapsuleInFront,
       kAlreadySent},
      {"card collapsed", kArmed & ~kExpanded, 9000, kSkip, kSkip},
  };
  for (const auto& row : rows) {
    auto has = [&](unsigned fact) { return (row.facts & fact) != 0; };
    FocusLossFacts facts{has(kEver),    10000,      row.guard,      has(kNullOther), has(kOwn),
                         has(kCapsule), has(kSent), has(kExpanded), has(kHide)};
    EXPECT_EQ(JudgeActivateLoss(facts), row.activate) << row.name;
    EXPECT_EQ(JudgeActivateAppLoss(facts), row.activate_app) << row.name;
  }
}

TEST(PollPass, Verdicts) {
  using enum PollVerdict;
  constexpr unsigned kLost = kArmed | kHad;  // seen focused on the pass before
  const struct {
    const char* name;
    unsigned facts;
    uint64_t now, guard, last_collapse_at, last_grab_back_at;
    PollVerdict verdict;
  } rows[] = {
      {"gain", kArmed | kFocused, 5000, 4000, 0, 0, kGained},
      {"still focused", kLost | kFocused, 5000, 4000, 0, 0, kStillFocused},
      {"capsule, grabbed 3000 ms ago", kLost | kCapsule, 5000, 4000, 0, 2000, kCapsuleHoldGuard},
      {"capsule, grabbed 3001 ms ago", kLost | kCapsule, 5000, 4000, 0, 1999, kCapsuleGrabBack},
      {"capsule wins over a retry", kArmed | kCapsule, 5000, 4000, 0, 0, kCapsuleGrabBack},
      {"just lost at the guard tick", kLost, 5000, 5000, 0, 0, kLostCollapse},
      {"just lost, already sent", kLost | kSent, 5000, 4000, 0, 0, kLostAlreadySent},
      {"away, tried 500 ms ago", kArmed, 5000, 4000, 4500, 0, kRetry},
      {"away, try stamped later", kArmed, 5000, 4000, 5003, 0, kRetryTooSoon},
      {"away, already sent", kArmed | kSent, 5000, 4000, 0, 0, kAway},
      {"away, never activated", kArmed & ~kEver, 5000, 4000, 0, 0, kAway},
      // Focus lost at 1000 within a guard ending at 1500, every collapse failing: passes
      // every 200 ms, the first retry on the first pass past the guard, the next ones no
      // sooner than 500 ms after the one before.
      {"lost in grace", kArmed | kHad, 1000, 1500, 0, 0, kLostInGrace},
      {"away in grace", kArmed, 1200, 1500, 0, 0, kAway},
      {"last pass in grace", kArmed, 1400, 1500, 0, 0, kAway},
      {"first retry", kArmed, 1600, 1500, 0, 0, kRetry},
      {"400 ms later", kArmed, 2000, 1500, 1600, 0, kRetryTooSoon},
      {"600 ms later", kArmed, 2200, 1500, 1600, 0, kRetry},
      {"200 ms after that", kArmed, 2400, 1500, 2200, 0, kRetryTooSoon},
  };
  for (const auto& row : rows) {
    auto has = [&](unsigned fact) { return (row.facts & fact) != 0; };
    PollFacts facts{
        has(kFocused),        has(kHad),  has(kCapsule), has(kEver), has(kSent),
        has(kExpanded),       has(kHide), row.now,       row.guard,  row.last_collapse_at,
        row.last_grab_back_at};
    EXPECT_EQ(JudgePollPass(facts), row.verdict) << row.name;
  }
}

}  // namespace
