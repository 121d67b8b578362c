#include "input/keyboard_decision.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// Low-level hooks report modifier keys with their side-specific codes.
constexpr uint32_t kVkLControl = 0xA2;
constexpr uint32_t kVkRMenu = 0xA5;
constexpr uint32_t kVkA = 0x41;
constexpr uintptr_t kWmChar = 0x0102;

// |held| names the facts that are true: c ctrl, s space, a Alt held (without the
// event's flag), A the event's Alt flag (which also makes Alt held), w win,
// f our window focused, l voice listening, e card expanded.
KeyEventFacts Key(uintptr_t message, uint32_t vk, std::string_view held = "") {
  auto has = [held](char c) { return held.find(c) != std::string_view::npos; };
  return {.vk = vk,
          .flags = has('A') ? kLlkhfAltDown : 0,
          .message = message,
          .ctrl = has('c'),
          .space = has('s'),
          .alt = has('a') || has('A'),
          .win = has('w'),
          .focused = has('f'),
          .voice_listening = has('l'),
          .card_expanded = has('e')};
}

std::string Words(std::initializer_list<std::pair<bool, std::string>> words) {
  std::string text;
  for (const auto& [present, word] : words) {
    if (present) {
      text += (text.empty() ? "" : " ") + word;
    }
  }
  return text;
}

std::string Effects(const KeyDecision& d) {
  return Words({{d.dispatch_event != 0, "dispatch=" + std::to_string(d.dispatch_event)},
                {d.post_activate, "activate"},
                {d.space_voice >= 0, "talk=" + std::to_string(d.space_voice)},
                {d.post_close_tag, "close_tag"},
                {d.swallow, "swallow"}});
}

std::string Flags(const KeyboardHookState& s) {
  return Words(
      {{s.space_combo_active, "combo"}, {s.voice_space_down, "talk"}, {s.esc_down, "esc"}});
}

struct Step {
  uintptr_t message;
  uint32_t vk;
  const char* held;
  const char* effects;
  const char* after;  // the hook state once the event is decided
};

TEST(KeyboardDecisionTest, StepSequences) {
  const std::pair<const char*, std::vector<Step>> sequences[] = {
      {"repeats, side-specific modifier releases and modifier key-downs leave the chord",
       {{kWmKeyDown, kVkSpace, "cs", "", "combo"},
        {kWmKeyDown, kVkSpace, "cs", "", "combo"},
        {kWmKeyDown, kVkControl, "c", "", "combo"},
        {kWmKeyUp, kVkLControl, "s", "", "combo"},
        {kWmSysKeyUp, kVkRMenu, "s", "", "combo"},
        {kWmKeyUp, kVkSpace, "", "dispatch=1 activate", ""}}},
      {"generic ctrl or alt released first cancels the chord",
       {{kWmKeyDown, kVkSpace, "cs", "", "combo"},
        {kWmKeyUp, kVkControl, "s", "", ""},
        {kWmKeyUp, kVkSpace, "", "", ""},
        {kWmKeyDown, kVkSpace, "cs", "", "combo"},
        {kWmSysKeyUp, kVkMenu, "s", "", ""}}},
      {"alt+space comes from the event's flag, not alt held; win held blocks either chord",
       {{kWmKeyDown, kVkSpace, "sa", "", ""},
        {kWmKeyDown, kVkSpace, "csw", "", ""},
        {kWmSysKeyDown, kVkSpace, "sAw", "", ""},
        {kWmSysKeyDown, kVkSpace, "sA", "", "combo"},
        {kWmSysKeyUp, kVkSpace, "A", "dispatch=1 activate", ""}}},
      {"while listening the chord waits for a later release, or ends as a talk release",
       {{kWmKeyDown, kVkSpace, "csl", "", "combo"},
        {kWmKeyUp, kVkSpace, "cl", "", "combo"},
        {kWmKeyUp, kVkLControl, "l", "", "combo"},
        {kWmKeyUp, kVkSpace, "l", "talk=0 swallow", "combo"},
        {kWmKeyDown, kVkSpace, "s", "", "combo"},
        {kWmKeyUp, kVkSpace, "", "dispatch=1 activate", ""}}},
      {"a release follows its press when the focus moved meanwhile",
       {{kWmKeyDown, kVkSpace, "sl", "talk=1 swallow", "talk"},
        {kWmKeyDown, kVkSpace, "slf", "swallow", "talk"},
        {kWmKeyUp, kVkSpace, "lf", "talk=0 swallow", ""},
        {kWmKeyDown, kVkSpace, "slf", "", "talk"},
        {kWmKeyDown, kVkSpace, "sl", "", "talk"},
        {kWmKeyUp, kVkSpace, "l", "", ""}}},
      {"push-to-talk only while listening and without ctrl, alt or win",
       {{kWmKeyDown, kVkSpace, "s", "", ""},
        {kWmKeyDown, kVkSpace, "sal", "", ""},
        {kWmKeyDown, kVkSpace, "swl", "", ""},
        {kWmKeyDown, kVkSpace, "scl", "", "combo"}}},
      {"ctrl+space+x: voice mode on every x key-down, only without alt or win",
       {{kWmKeyDown, kVkX, "cs", "dispatch=6 swallow", ""},
        {kWmKeyUp, kVkX, "cs", "", ""},
        {kWmKeyDown, kVkX, "c", "", ""},
        {kWmKeyDown, kVkX, "csa", "", ""},
        {kWmKeyDown, kVkX, "csw", "", ""}}},
      {"esc collapses once per press, only while expanded",
       {{kWmKeyDown, kVkEscape, "", "", ""},
        {kWmKeyDown, kVkEscape, "e", "dispatch=7", "esc"},
        {kWmKeyDown, kVkEscape, "e", "", "esc"},
        {kWmKeyUp, kVkEscape, "e", "", ""},
        {kWmKeyDown, kVkEscape, "e", "dispatch=7", "esc"}}},
      {"every delete key-down closes the tag and passes on",
       {{kWmKeyDown, kVkDelete, "", "close_tag", ""},
        {kWmKeyDown, kVkDelete, "csAwle", "close_tag", ""},
        {kWmKeyUp, kVkDelete, "", "", ""}}},
      {"other keys and messages change nothing",
       {{kWmKeyDown, kVkSpace, "cs", "", "combo"},
        {kWmKeyDown, kVkSpace, "sl", "talk=1 swallow", "combo talk"},
        {kWmKeyDown, kVkA, "csle", "", "combo talk"},
        {kWmChar, kVkSpace, "cl", "", "combo talk"}}},
  };
  for (const auto& [what, steps] : sequences) {
    KeyboardHookState state;
    for (const Step& step : steps) {
      SCOPED_TRACE(testing::Message() << what << ", vk " << step.vk << " " << step.held);
      const KeyDecision decision = DecideKeyEvent(Key(step.message, step.vk, step.held), &state);
      EXPECT_EQ(Effects(decision), step.effects);
      EXPECT_EQ(Flags(state), step.after);
    }
  }
}

TEST(KeyboardDecisionTest, SpaceLinesCarryTheValuesBeforeTheEventActs) {
  const struct {
    uintptr_t message;
    const char* held;
    SpaceLog line;
    const char* values;
  } rows[] = {
      {kWmKeyDown, "c", SpaceLog::kComboKeyDown, "ctrl"},
      // The printed alt is the event's flag, not Alt held.
      {kWmKeyDown, "a", SpaceLog::kAloneKeyDown, "active"},
      {kWmKeyUp, "Afl", SpaceLog::kKeyUp, "alt active voice"},
      {kWmKeyUp, "c", SpaceLog::kKeyUp, "ctrl active activate"},
  };
  KeyboardHookState state;
  for (const auto& row : rows) {
    const KeyDecision d = DecideKeyEvent(Key(row.message, kVkSpace, row.held), &state);
    EXPECT_EQ(d.space_log, row.line);
    EXPECT_EQ(Words({{d.log_ctrl, "ctrl"},
                     {d.log_alt, "alt"},
                     {d.log_active, "active"},
                     {d.log_voice, "voice"},
                     {d.log_activate, "activate"}}),
              row.values);
  }
}

}  // namespace
