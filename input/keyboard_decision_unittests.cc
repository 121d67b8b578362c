#include "input/keyboard_decision.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <ostream>

namespace {

// Low-level hooks report modifier keys with their side-specific codes.
constexpr uint32_t kVkLControl = 0xA2;
constexpr uint32_t kVkRControl = 0xA3;
constexpr uint32_t kVkLMenu = 0xA4;
constexpr uint32_t kVkRMenu = 0xA5;
constexpr uint32_t kVkA = 0x41;
constexpr uint32_t kVkReturn = 0x0D;
constexpr uintptr_t kWmChar = 0x0102;

// The effects of one decision, without its log values.
struct Outcome {
  int32_t dispatch = 0;
  bool activate = false;
  int space_voice = -1;
  bool close_tag = false;
  bool swallow = false;

  bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
  return out << "{dispatch=" << o.dispatch << " activate=" << o.activate
             << " space_voice=" << o.space_voice << " close_tag=" << o.close_tag
             << " swallow=" << o.swallow << "}";
}

Outcome OutcomeOf(const KeyDecision& decision) {
  return {decision.dispatch_event, decision.post_activate, decision.space_voice,
          decision.post_close_tag, decision.swallow};
}

struct Step {
  const char* what;
  KeyEventFacts facts;
  Outcome expect;
  KeyboardHookState after;
};

void RunSequence(std::initializer_list<Step> steps, KeyboardHookState state = {}) {
  int index = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "step " << index++ << ": " << step.what);
    const KeyDecision decision = DecideKeyEvent(step.facts, &state);
    EXPECT_EQ(OutcomeOf(decision), step.expect);
    // The activation line and the post always go together.
    EXPECT_EQ(decision.log_activate, decision.post_activate);
    EXPECT_EQ(state.space_combo_active, step.after.space_combo_active);
    EXPECT_EQ(state.voice_space_down, step.after.voice_space_down);
    EXPECT_EQ(state.esc_down, step.after.esc_down);
  }
}

constexpr Outcome kActivate{.dispatch = 1, .activate = true};
constexpr KeyboardHookState kChord{.space_combo_active = true};

TEST(SpaceChordTest, CtrlSpaceReleasedSpaceFirst) {
  RunSequence({
      {"ctrl down", {.vk = kVkLControl, .message = kWmKeyDown, .ctrl = true}, {}, {}},
      {"space down",
       {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .space = true},
       {},
       kChord},
      {"space repeat",
       {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .space = true},
       {},
       kChord},
      {"space up", {.vk = kVkSpace, .message = kWmKeyUp, .ctrl = true}, kActivate, {}},
      {"ctrl up", {.vk = kVkLControl, .message = kWmKeyUp, .ctrl = true}, {}, {}},
  });
}

TEST(SpaceChordTest, SideSpecificCtrlReleaseKeepsChord) {
  for (uint32_t ctrl_code : {kVkLControl, kVkRControl}) {
    SCOPED_TRACE(ctrl_code);
    RunSequence({
        {"ctrl down", {.vk = ctrl_code, .message = kWmKeyDown, .ctrl = true}, {}, {}},
        {"space down",
         {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .space = true},
         {},
         kChord},
        {"ctrl up first", {.vk = ctrl_code, .message = kWmKeyUp, .space = true}, {}, kChord},
        {"space up", {.vk = kVkSpace, .message = kWmKeyUp}, kActivate, {}},
    });
  }
}

TEST(SpaceChordTest, GenericCtrlOrAltReleaseCancelsChord) {
  for (uintptr_t up : {kWmKeyUp, kWmSysKeyUp}) {
    for (uint32_t generic : {kVkControl, kVkMenu}) {
      SCOPED_TRACE(testing::Message() << "vk " << generic << " message " << up);
      RunSequence({
          {"space down",
           {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .space = true},
           {},
           kChord},
          {"generic modifier up", {.vk = generic, .message = up, .space = true}, {}, {}},
          {"space up", {.vk = kVkSpace, .message = kWmKeyUp}, {}, {}},
      });
    }
  }
}

TEST(SpaceChordTest, ModifierKeyDownsAndSideSpecificAltReleaseLeaveChord) {
  RunSequence(
      {
          {"generic ctrl down",
           {.vk = kVkControl, .message = kWmKeyDown, .ctrl = true},
           {},
           kChord},
          {"generic alt down", {.vk = kVkMenu, .message = kWmSysKeyDown, .alt = true}, {}, kChord},
          {"left alt up", {.vk = kVkLMenu, .message = kWmKeyUp}, {}, kChord},
          {"right alt up", {.vk = kVkRMenu, .message = kWmSysKeyUp}, {}, kChord},
          {"space up", {.vk = kVkSpace, .message = kWmKeyUp}, kActivate, {}},
      },
      kChord);
}

TEST(SpaceChordTest, AltSpaceComesFromTheEventFlag) {
  RunSequence({
      {"alt down",
       {.vk = kVkLMenu, .flags = kLlkhfAltDown, .message = kWmSysKeyDown, .alt = true},
       {},
       {}},
      {"space down",
       {.vk = kVkSpace,
        .flags = kLlkhfAltDown,
        .message = kWmSysKeyDown,
        .space = true,
        .alt = true},
       {},
       kChord},
      {"space up",
       {.vk = kVkSpace, .flags = kLlkhfAltDown, .message = kWmSysKeyUp, .alt = true},
       kActivate,
       {}},
  });
}

TEST(SpaceChordTest, AltHeldWithoutTheFlagIsNoChord) {
  RunSequence({
      {"space down", {.vk = kVkSpace, .message = kWmKeyDown, .space = true, .alt = true}, {}, {}},
      {"space up", {.vk = kVkSpace, .message = kWmKeyUp, .alt = true}, {}, {}},
  });
}

TEST(SpaceChordTest, WinHeldBlocksChord) {
  RunSequence({
      {"win+ctrl+space down",
       {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .space = true, .win = true},
       {},
       {}},
      {"win+ctrl+space up",
       {.vk = kVkSpace, .message = kWmKeyUp, .ctrl = true, .win = true},
       {},
       {}},
      {"win+alt+space down",
       {.vk = kVkSpace,
        .flags = kLlkhfAltDown,
        .message = kWmSysKeyDown,
        .space = true,
        .alt = true,
        .win = true},
       {},
       {}},
      {"win+alt+space up",
       {.vk = kVkSpace, .flags = kLlkhfAltDown, .message = kWmSysKeyUp, .alt = true, .win = true},
       {},
       {}},
  });
}

TEST(SpaceChordTest, ListeningKeepsChordUntilALaterRelease) {
  RunSequence({
      {"space down while listening",
       {.vk = kVkSpace,
        .message = kWmKeyDown,
        .ctrl = true,
        .space = true,
        .voice_listening = true},
       {},
       kChord},
      {"space up while listening",
       {.vk = kVkSpace, .message = kWmKeyUp, .ctrl = true, .voice_listening = true},
       {},
       kChord},
      {"space down alone after listening",
       {.vk = kVkSpace, .message = kWmKeyDown, .space = true},
       {},
       kChord},
      {"space up completes", {.vk = kVkSpace, .message = kWmKeyUp}, kActivate, {}},
  });
}

TEST(SpaceChordTest, ListeningChordWithCtrlReleasedFirstEndsAsPushToTalkRelease) {
  // The Space release has no modifier left, so push-to-talk reports a release even
  // though its press went to the chord.
  RunSequence({
      {"space down",
       {.vk = kVkSpace,
        .message = kWmKeyDown,
        .ctrl = true,
        .space = true,
        .voice_listening = true},
       {},
       kChord},
      {"left ctrl up",
       {.vk = kVkLControl, .message = kWmKeyUp, .voice_listening = true},
       {},
       kChord},
      {"space up",
       {.vk = kVkSpace, .message = kWmKeyUp, .voice_listening = true},
       {.space_voice = 0, .swallow = true},
       kChord},
  });
}

TEST(PushToTalkTest, OnePressAndOneReleaseWhateverTheRepeats) {
  const KeyEventFacts down{
      .vk = kVkSpace, .message = kWmKeyDown, .space = true, .voice_listening = true};
  const KeyEventFacts up{.vk = kVkSpace, .message = kWmKeyUp, .voice_listening = true};
  const KeyboardHookState held{.voice_space_down = true};
  RunSequence({
      {"first down", down, {.space_voice = 1, .swallow = true}, held},
      {"repeat 1", down, {.swallow = true}, held},
      {"repeat 2", down, {.swallow = true}, held},
      {"repeat 3", down, {.swallow = true}, held},
      {"up", up, {.space_voice = 0, .swallow = true}, {}},
      {"next press", down, {.space_voice = 1, .swallow = true}, held},
      {"next release", up, {.space_voice = 0, .swallow = true}, {}},
  });
}

TEST(PushToTalkTest, FocusedWindowGetsSpaceItself) {
  const KeyEventFacts down{.vk = kVkSpace,
                           .message = kWmKeyDown,
                           .space = true,
                           .focused = true,
                           .voice_listening = true};
  const KeyEventFacts up{
      .vk = kVkSpace, .message = kWmKeyUp, .focused = true, .voice_listening = true};
  const KeyboardHookState held{.voice_space_down = true};
  RunSequence({
      {"first down", down, {}, held},
      {"repeat", down, {}, held},
      {"up", up, {}, {}},
  });
}

TEST(PushToTalkTest, OnlyWhileListeningAndWithoutCtrlAltWin) {
  struct Row {
    const char* what;
    KeyEventFacts facts;
  };
  const Row rows[] = {
      {"not listening", {.vk = kVkSpace, .message = kWmKeyDown, .space = true}},
      {"ctrl", {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .voice_listening = true}},
      // Alt held counts here even without the event flag.
      {"alt held", {.vk = kVkSpace, .message = kWmKeyDown, .alt = true, .voice_listening = true}},
      {"win", {.vk = kVkSpace, .message = kWmKeyDown, .win = true, .voice_listening = true}},
      {"not a key event", {.vk = kVkSpace, .message = kWmChar, .voice_listening = true}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    KeyboardHookState state;
    const KeyDecision decision = DecideKeyEvent(row.facts, &state);
    EXPECT_EQ(decision.space_voice, -1);
    EXPECT_FALSE(decision.swallow);
    EXPECT_FALSE(state.voice_space_down);
  }
}

TEST(VoiceModeTest, CtrlSpaceXOncePerXKeyDown) {
  const KeyEventFacts x_down{.vk = kVkX, .message = kWmKeyDown, .ctrl = true, .space = true};
  const KeyEventFacts x_up{.vk = kVkX, .message = kWmKeyUp, .ctrl = true, .space = true};
  const Outcome voice_mode{.dispatch = 6, .swallow = true};
  RunSequence({
      {"ctrl down", {.vk = kVkLControl, .message = kWmKeyDown, .ctrl = true}, {}, {}},
      {"space down",
       {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .space = true},
       {},
       kChord},
      {"x down", x_down, voice_mode, kChord},
      {"x repeat", x_down, voice_mode, kChord},
      {"x up", x_up, {}, kChord},
      {"x down again", x_down, voice_mode, kChord},
  });
}

TEST(VoiceModeTest, NeedsCtrlAndSpaceWithoutAltOrWin) {
  struct Row {
    const char* what;
    KeyEventFacts facts;
    bool voice_mode;
  };
  const Row rows[] = {
      {"ctrl+space", {.vk = kVkX, .message = kWmKeyDown, .ctrl = true, .space = true}, true},
      {"as system key", {.vk = kVkX, .message = kWmSysKeyDown, .ctrl = true, .space = true}, true},
      {"while listening and focused",
       {.vk = kVkX,
        .message = kWmKeyDown,
        .ctrl = true,
        .space = true,
        .focused = true,
        .voice_listening = true},
       true},
      {"ctrl only", {.vk = kVkX, .message = kWmKeyDown, .ctrl = true}, false},
      {"space only", {.vk = kVkX, .message = kWmKeyDown, .space = true}, false},
      {"with alt",
       {.vk = kVkX, .message = kWmKeyDown, .ctrl = true, .space = true, .alt = true},
       false},
      {"with win",
       {.vk = kVkX, .message = kWmKeyDown, .ctrl = true, .space = true, .win = true},
       false},
      {"key up", {.vk = kVkX, .message = kWmKeyUp, .ctrl = true, .space = true}, false},
      {"other letter", {.vk = kVkA, .message = kWmKeyDown, .ctrl = true, .space = true}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    KeyboardHookState state{.space_combo_active = true, .esc_down = true};
    const Outcome expect = row.voice_mode ? Outcome{.dispatch = 6, .swallow = true} : Outcome{};
    EXPECT_EQ(OutcomeOf(DecideKeyEvent(row.facts, &state)), expect);
    EXPECT_TRUE(state.space_combo_active);
    EXPECT_TRUE(state.esc_down);
  }
}

TEST(EscCollapseTest, OncePerPressOnlyWhileExpanded) {
  const KeyEventFacts down{.vk = kVkEscape, .message = kWmKeyDown, .card_expanded = true};
  const KeyEventFacts up{.vk = kVkEscape, .message = kWmKeyUp, .card_expanded = true};
  const KeyboardHookState held{.esc_down = true};
  RunSequence({
      {"collapsed down", {.vk = kVkEscape, .message = kWmKeyDown}, {}, {}},
      {"collapsed up", {.vk = kVkEscape, .message = kWmKeyUp}, {}, {}},
      {"expanded down", down, {.dispatch = 7}, held},
      {"expanded repeat", down, {}, held},
      {"expanded up", up, {}, {}},
      {"expanded down again", down, {.dispatch = 7}, held},
      {"up as system key", {.vk = kVkEscape, .message = kWmSysKeyUp}, {}, {}},
      {"held while collapsed", {.vk = kVkEscape, .message = kWmKeyDown}, {}, {}},
      {"repeat once expanded", down, {.dispatch = 7}, held},
  });
}

TEST(EscCollapseTest, ReleaseClearsWhateverTheCard) {
  RunSequence({{"collapsed up", {.vk = kVkEscape, .message = kWmKeyUp}, {}, {}}},
              {.esc_down = true});
}

TEST(CloseTagTest, EveryDeleteKeyDownPostsAndPassesOn) {
  RunSequence({
      {"down", {.vk = kVkDelete, .message = kWmKeyDown}, {.close_tag = true}, {}},
      {"repeat", {.vk = kVkDelete, .message = kWmKeyDown}, {.close_tag = true}, {}},
      {"up", {.vk = kVkDelete, .message = kWmKeyUp}, {}, {}},
      {"system key down", {.vk = kVkDelete, .message = kWmSysKeyDown}, {.close_tag = true}, {}},
      {"with everything held and listening",
       {.vk = kVkDelete,
        .message = kWmKeyDown,
        .ctrl = true,
        .space = true,
        .alt = true,
        .win = true,
        .voice_listening = true,
        .card_expanded = true},
       {.close_tag = true},
       {}},
  });
}

TEST(IgnoredKeysTest, LeaveDecisionAndStateAlone) {
  const KeyEventFacts rows[] = {
      {.vk = kVkA,
       .message = kWmKeyDown,
       .ctrl = true,
       .space = true,
       .voice_listening = true,
       .card_expanded = true},
      {.vk = kVkA, .message = kWmKeyUp},
      {.vk = kVkReturn, .message = kWmKeyDown, .card_expanded = true},
      {.vk = kVkLWin, .message = kWmKeyUp, .win = true},
      {.vk = kVkRWin, .message = kWmKeyDown, .win = true},
      {.vk = kVkSpace, .message = kWmChar, .ctrl = true, .voice_listening = true},
      {.vk = kVkEscape, .message = kWmChar, .card_expanded = true},
      {.vk = kVkDelete, .message = kWmChar},
      {.vk = kVkControl, .message = kWmChar},
  };
  for (const KeyEventFacts& facts : rows) {
    SCOPED_TRACE(testing::Message() << "vk " << facts.vk << " message " << facts.message);
    for (bool flags_set : {false, true}) {
      KeyboardHookState state{
          .space_combo_active = flags_set, .voice_space_down = flags_set, .esc_down = flags_set};
      const KeyDecision decision = DecideKeyEvent(facts, &state);
      EXPECT_EQ(OutcomeOf(decision), Outcome{});
      EXPECT_EQ(decision.space_log, SpaceLog::kNone);
      EXPECT_FALSE(decision.log_activate);
      EXPECT_EQ(state.space_combo_active, flags_set);
      EXPECT_EQ(state.voice_space_down, flags_set);
      EXPECT_EQ(state.esc_down, flags_set);
    }
  }
}

struct SpaceLogRow {
  const char* what;
  KeyEventFacts facts;
  SpaceLog line;
  // As the log lines print them.
  int ctrl;
  int alt;
  int active;
  int voice;
  int activate;
};

TEST(SpaceLogTest, LinesCarryTheValuesBeforeTheEventActs) {
  const SpaceLogRow rows[] = {
      {"alone", {.vk = kVkSpace, .message = kWmKeyDown}, SpaceLog::kAloneKeyDown, 0, 0, 0, 0, 0},
      {"with ctrl",
       {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true},
       SpaceLog::kComboKeyDown,
       1,
       0,
       0,
       0,
       0},
      // The printed alt is the event flag, not the held-key test.
      {"alone, alt held, chord set",
       {.vk = kVkSpace, .message = kWmKeyDown, .alt = true},
       SpaceLog::kAloneKeyDown,
       0,
       0,
       1,
       0,
       0},
      {"with alt flag",
       {.vk = kVkSpace, .flags = kLlkhfAltDown, .message = kWmSysKeyDown},
       SpaceLog::kComboKeyDown,
       0,
       1,
       0,
       0,
       0},
      {"with ctrl and win",
       {.vk = kVkSpace, .message = kWmKeyDown, .ctrl = true, .win = true},
       SpaceLog::kAloneKeyDown,
       1,
       0,
       1,
       0,
       0},
      {"up while listening",
       {.vk = kVkSpace,
        .flags = kLlkhfAltDown,
        .message = kWmKeyUp,
        .focused = true,
        .voice_listening = true},
       SpaceLog::kKeyUp,
       0,
       1,
       1,
       1,
       0},
      {"up completing",
       {.vk = kVkSpace, .message = kWmKeyUp, .ctrl = true},
       SpaceLog::kKeyUp,
       1,
       0,
       1,
       0,
       1},
      {"up after completion",
       {.vk = kVkSpace, .message = kWmKeyUp},
       SpaceLog::kKeyUp,
       0,
       0,
       0,
       0,
       0},
  };
  KeyboardHookState state;
  for (const SpaceLogRow& row : rows) {
    SCOPED_TRACE(row.what);
    const KeyDecision decision = DecideKeyEvent(row.facts, &state);
    EXPECT_TRUE(decision.log_key);
    EXPECT_EQ(decision.space_log, row.line);
    EXPECT_EQ(static_cast<int>(decision.log_ctrl), row.ctrl);
    EXPECT_EQ(static_cast<int>(decision.log_alt), row.alt);
    EXPECT_EQ(static_cast<int>(decision.log_active), row.active);
    EXPECT_EQ(static_cast<int>(decision.log_voice), row.voice);
    EXPECT_EQ(static_cast<int>(decision.log_activate), row.activate);
  }
}

TEST(KeyLogTest, OnlyKeysTheHookActsOnAreLogged) {
  for (uint32_t vk = 0; vk < 0x200; ++vk) {
    const bool acted_on =
        vk == 0x11 || vk == 0x12 || vk == 0x1B || vk == 0x20 || vk == 0x2E || vk == 0x58;
    SCOPED_TRACE(vk);
    EXPECT_EQ(IsLoggedKey(vk), acted_on);
    KeyboardHookState state;
    EXPECT_EQ(DecideKeyEvent({.vk = vk, .message = kWmKeyUp}, &state).log_key, acted_on);
  }
}

TEST(KeyLogTest, SwallowedEventsAreLoggedToo) {
  KeyboardHookState state;
  EXPECT_TRUE(
      DecideKeyEvent({.vk = kVkX, .message = kWmKeyDown, .ctrl = true, .space = true}, &state)
          .log_key);
  EXPECT_TRUE(
      DecideKeyEvent({.vk = kVkSpace, .message = kWmKeyDown, .voice_listening = true}, &state)
          .log_key);
}

}  // namespace
