#include "runner/focus/focus_verdicts.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A loss past the guard, to another application, with the card expanded and
// collapse-on-blur set: the case that collapses. Each row changes what it names.
FocusLossFacts CollapsingLoss() {
  FocusLossFacts facts;
  facts.ever_activated = true;
  facts.now = 10000;
  facts.blur_guard = 9000;
  facts.card_expanded = true;
  facts.blur_hide = true;
  return facts;
}

struct LossRow {
  const char* name;
  void (*change)(FocusLossFacts&);
  LossVerdict activate;
  LossVerdict activate_app;
};

const LossRow kLossRows[] = {
    {"collapses", [](FocusLossFacts&) {}, LossVerdict::kCollapse, LossVerdict::kCollapse},
    {"never activated", [](FocusLossFacts& f) { f.ever_activated = false; },
     LossVerdict::kNeverActivated, LossVerdict::kNeverActivated},
    {"never activated wins over grace",
     [](FocusLossFacts& f) {
       f.ever_activated = false;
       f.blur_guard = 20000;
     },
     LossVerdict::kNeverActivated, LossVerdict::kNeverActivated},
    {"one tick before the guard", [](FocusLossFacts& f) { f.blur_guard = f.now + 1; },
     LossVerdict::kInGrace, LossVerdict::kInGrace},
    {"at the guard tick", [](FocusLossFacts& f) { f.blur_guard = f.now; }, LossVerdict::kCollapse,
     LossVerdict::kCollapse},
    {"grace wins over null window",
     [](FocusLossFacts& f) {
       f.blur_guard = 20000;
       f.other_is_null = true;
     },
     LossVerdict::kInGrace, LossVerdict::kInGrace},
    {"null window", [](FocusLossFacts& f) { f.other_is_null = true; }, LossVerdict::kNoOtherWindow,
     LossVerdict::kCollapse},
    {"same root, child or process", [](FocusLossFacts& f) { f.own_window = true; },
     LossVerdict::kOwnWindow, LossVerdict::kCollapse},
    {"own window wins over capsule",
     [](FocusLossFacts& f) {
       f.own_window = true;
       f.capsule_in_front = true;
     },
     LossVerdict::kOwnWindow, LossVerdict::kCollapse},
    {"capsule in front", [](FocusLossFacts& f) { f.capsule_in_front = true; },
     LossVerdict::kCapsuleInFront, LossVerdict::kCollapse},
    {"capsule re-arms even after a collapse",
     [](FocusLossFacts& f) {
       f.capsule_in_front = true;
       f.collapse_sent = true;
     },
     LossVerdict::kCapsuleInFront, LossVerdict::kAlreadySent},
    {"second loss without a gain", [](FocusLossFacts& f) { f.collapse_sent = true; },
     LossVerdict::kAlreadySent, LossVerdict::kAlreadySent},
    {"blur_hide off", [](FocusLossFacts& f) { f.blur_hide = false; }, LossVerdict::kSkip,
     LossVerdict::kSkip},
    {"card collapsed", [](FocusLossFacts& f) { f.card_expanded = false; }, LossVerdict::kSkip,
     LossVerdict::kSkip},
};

TEST(FocusLoss, VerdictsInCheckOrder) {
  for (const LossRow& row : kLossRows) {
    FocusLossFacts facts = CollapsingLoss();
    row.change(facts);
    EXPECT_EQ(JudgeActivateLoss(facts), row.activate) << row.name;
    EXPECT_EQ(JudgeActivateAppLoss(facts), row.activate_app) << row.name;
  }
}

TEST(FocusLoss, GuardIsComparedUnsigned) {
  FocusLossFacts facts = CollapsingLoss();
  facts.blur_guard = UINT64_MAX;
  EXPECT_EQ(JudgeActivateLoss(facts), LossVerdict::kInGrace);
  facts.blur_guard = 0;
  EXPECT_EQ(JudgeActivateLoss(facts), LossVerdict::kCollapse);
}

// A pass that sees focus away, having seen it the pass before, past the guard,
// with the card expanded and collapse-on-blur set.
PollFacts JustLost() {
  PollFacts facts;
  facts.had_focus = true;
  facts.ever_activated = true;
  facts.card_expanded = true;
  facts.blur_hide = true;
  facts.now = 50000;
  facts.blur_guard = 40000;
  return facts;
}

struct PollRow {
  const char* name;
  void (*change)(PollFacts&);
  PollVerdict verdict;
};

const PollRow kPollRows[] = {
    {"just lost, collapses", [](PollFacts&) {}, PollVerdict::kLostCollapse},
    {"gain",
     [](PollFacts& f) {
       f.focused = true;
       f.had_focus = false;
     },
     PollVerdict::kGained},
    {"gain of a never activated window",
     [](PollFacts& f) {
       f.focused = true;
       f.had_focus = false;
       f.ever_activated = false;
     },
     PollVerdict::kGained},
    {"still focused", [](PollFacts& f) { f.focused = true; }, PollVerdict::kStillFocused},
    {"capsule, expanded, never grabbed", [](PollFacts& f) { f.capsule_in_front = true; },
     PollVerdict::kCapsuleGrabBack},
    {"capsule, expanded, grabbed 3000 ms ago",
     [](PollFacts& f) {
       f.capsule_in_front = true;
       f.last_grab_back_at = f.now - 3000;
     },
     PollVerdict::kCapsuleHoldGuard},
    {"capsule, expanded, grabbed 3001 ms ago",
     [](PollFacts& f) {
       f.capsule_in_front = true;
       f.last_grab_back_at = f.now - 3001;
     },
     PollVerdict::kCapsuleGrabBack},
    {"capsule, expanded, grab-back tick from the future",
     [](PollFacts& f) {
       f.capsule_in_front = true;
       f.last_grab_back_at = f.now + 5;
     },
     PollVerdict::kCapsuleHoldGuard},
    {"capsule, collapsed",
     [](PollFacts& f) {
       f.capsule_in_front = true;
       f.card_expanded = false;
     },
     PollVerdict::kCapsuleExtendGuard},
    {"capsule wins over a pending retry",
     [](PollFacts& f) {
       f.capsule_in_front = true;
       f.had_focus = false;
     },
     PollVerdict::kCapsuleGrabBack},
    {"just lost in grace", [](PollFacts& f) { f.blur_guard = f.now + 1; },
     PollVerdict::kLostInGrace},
    {"just lost at the guard tick", [](PollFacts& f) { f.blur_guard = f.now; },
     PollVerdict::kLostCollapse},
    {"just lost, already sent", [](PollFacts& f) { f.collapse_sent = true; },
     PollVerdict::kLostAlreadySent},
    {"just lost, blur_hide off", [](PollFacts& f) { f.blur_hide = false; }, PollVerdict::kLostSkip},
    {"just lost, card collapsed", [](PollFacts& f) { f.card_expanded = false; },
     PollVerdict::kLostSkip},
    {"lost but never activated: no just-lost verdict",
     [](PollFacts& f) { f.ever_activated = false; }, PollVerdict::kAway},
    {"away, retry", [](PollFacts& f) { f.had_focus = false; }, PollVerdict::kRetry},
    {"away, retry 499 ms after the last",
     [](PollFacts& f) {
       f.had_focus = false;
       f.last_collapse_at = f.now - 499;
     },
     PollVerdict::kRetryTooSoon},
    {"away, retry 500 ms after the last",
     [](PollFacts& f) {
       f.had_focus = false;
       f.last_collapse_at = f.now - 500;
     },
     PollVerdict::kRetry},
    {"away, last attempt stamped after now",
     [](PollFacts& f) {
       f.had_focus = false;
       f.last_collapse_at = f.now + 3;
     },
     PollVerdict::kRetryTooSoon},
    {"away, in grace: the retry waits for the guard",
     [](PollFacts& f) {
       f.had_focus = false;
       f.blur_guard = f.now + 1;
     },
     PollVerdict::kAway},
    {"away, already sent",
     [](PollFacts& f) {
       f.had_focus = false;
       f.collapse_sent = true;
     },
     PollVerdict::kAway},
    {"away, never activated",
     [](PollFacts& f) {
       f.had_focus = false;
       f.ever_activated = false;
     },
     PollVerdict::kAway},
    {"away, blur_hide off",
     [](PollFacts& f) {
       f.had_focus = false;
       f.blur_hide = false;
     },
     PollVerdict::kAway},
    {"away, card collapsed",
     [](PollFacts& f) {
       f.had_focus = false;
       f.card_expanded = false;
     },
     PollVerdict::kAway},
};

TEST(PollPass, Verdicts) {
  for (const PollRow& row : kPollRows) {
    PollFacts facts = JustLost();
    row.change(facts);
    EXPECT_EQ(JudgePollPass(facts), row.verdict) << row.name;
  }
}

TEST(PollPass, OnlyFocusedVerdictsKeepFocus) {
  EXPECT_TRUE(HadFocusAfter(PollVerdict::kGained));
  EXPECT_TRUE(HadFocusAfter(PollVerdict::kStillFocused));
  for (PollVerdict verdict :
       {PollVerdict::kCapsuleGrabBack, PollVerdict::kCapsuleHoldGuard,
        PollVerdict::kCapsuleExtendGuard, PollVerdict::kLostInGrace, PollVerdict::kLostAlreadySent,
        PollVerdict::kLostCollapse, PollVerdict::kLostSkip, PollVerdict::kRetry,
        PollVerdict::kRetryTooSoon, PollVerdict::kAway}) {
    EXPECT_FALSE(HadFocusAfter(verdict));
  }
}

TEST(PollPass, RetriesComeEveryThirdPassWhileTheyFail) {
  // Focus lost in grace at 1000 (guard 1500); every dispatch fails.
  PollFacts facts = JustLost();
  facts.blur_guard = 1500;
  facts.now = 1000;
  std::vector<uint64_t> attempts;
  for (int pass = 0; pass < 12; ++pass, facts.now += kPollPeriodMs) {
    PollVerdict verdict = JudgePollPass(facts);
    if (verdict == PollVerdict::kLostCollapse || verdict == PollVerdict::kRetry) {
      attempts.push_back(facts.now);
      if (verdict == PollVerdict::kRetry) {
        facts.last_collapse_at = facts.now;
      }
    }
    facts.had_focus = HadFocusAfter(verdict);
  }
  EXPECT_EQ(attempts, (std::vector<uint64_t>{1600, 2200, 2800}));
}

TEST(FocusRetry, AtMostThreeWhileExpanded) {
  EXPECT_TRUE(ShouldRetryFocus(true, true, 0));
  EXPECT_TRUE(ShouldRetryFocus(true, true, 2));
  EXPECT_FALSE(ShouldRetryFocus(true, true, 3));
  EXPECT_FALSE(ShouldRetryFocus(false, true, 0));
  EXPECT_FALSE(ShouldRetryFocus(true, false, 0));
}

}  // namespace
