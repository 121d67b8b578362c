// Every key of the system passes through the keyboard hook, and Windows drops a
// low-level hook that answers too slowly, so the decision must stay far below a
// microsecond. Events are replayed one per iteration from a recorded-like script.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "input/keyboard_decision.h"

namespace {

constexpr uint32_t kVkLShift = 0xA0;
constexpr uint32_t kVkLControl = 0xA2;
constexpr uint32_t kVkReturn = 0x0D;

struct Context {
  bool ctrl = false;
  bool space = false;
  bool focused = false;
  bool voice_listening = false;
  bool card_expanded = false;
};

class Script {
 public:
  void Key(uint32_t vk, bool down, const Context& context) {
    KeyEventFacts facts{};
    facts.vk = vk;
    facts.scan = vk;
    facts.message = down ? kWmKeyDown : kWmKeyUp;
    facts.ctrl = context.ctrl;
    facts.space = context.space;
    facts.focused = context.focused;
    facts.voice_listening = context.voice_listening;
    facts.card_expanded = context.card_expanded;
    events_.push_back(facts);
  }

  // A press with its auto-repeated key-downs.
  void Press(uint32_t vk, const Context& context, int repeats = 0) {
    for (int i = 0; i <= repeats; ++i) {
      Key(vk, true, context);
    }
    Key(vk, false, context);
  }

  void Type(const char* text, const Context& context) {
    for (const char* c = text; *c != '\0'; ++c) {
      if (*c >= 'a' && *c <= 'z') {
        Press(static_cast<uint32_t>(*c - 'a' + 'A'), context);
      } else if (*c >= 'A' && *c <= 'Z') {
        Key(kVkLShift, true, context);
        Press(static_cast<uint32_t>(*c), context);
        Key(kVkLShift, false, context);
      } else if (*c == ' ') {
        Press(kVkSpace, context);
      } else {
        Press(kVkReturn, context);
      }
    }
  }

  std::vector<KeyEventFacts> Take() { return std::move(events_); }

 private:
  std::vector<KeyEventFacts> events_;
};

// Mostly typing in another application, with the assistant summoned, a voice-mode
// request, push-to-talk with a held Space, Esc to collapse and a Delete.
std::vector<KeyEventFacts> MixedEvents() {
  Script script;
  const Context typing;
  script.Type("The quick brown fox jumps over the lazy dog. Next line\n", typing);

  Context ctrl{.ctrl = true};
  script.Key(kVkLControl, true, ctrl);
  script.Key(kVkSpace, true, Context{.ctrl = true, .space = true});
  script.Key(kVkSpace, false, ctrl);
  script.Key(kVkLControl, false, typing);

  const Context expanded{.focused = true, .card_expanded = true};
  script.Type("weather tomorrow", expanded);
  script.Press(kVkDelete, expanded);
  script.Press(kVkEscape, expanded, 3);

  script.Key(kVkLControl, true, ctrl);
  const Context chord{.ctrl = true, .space = true};
  script.Key(kVkSpace, true, chord);
  script.Press(kVkX, chord);
  script.Key(kVkSpace, false, ctrl);
  script.Key(kVkLControl, false, typing);

  const Context listening{.voice_listening = true, .card_expanded = true};
  script.Press(kVkSpace, Context{.space = true, .voice_listening = true, .card_expanded = true},
               20);
  script.Type("ok thanks", listening);
  script.Type("Back to work in the editor and more text\n", typing);
  return script.Take();
}

std::vector<KeyEventFacts> TypingEvents() {
  Script script;
  script.Type("The quick brown fox jumps over the lazy dog. Next line\n", Context{});
  return script.Take();
}

void ReplayDecisions(benchmark::State& state, const std::vector<KeyEventFacts>& events) {
  KeyboardHookState hook;
  size_t next = 0;
  for (auto _ : state) {
    KeyDecision decision = DecideKeyEvent(events[next], &hook);
    benchmark::DoNotOptimize(decision);
    if (++next == events.size()) {
      next = 0;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// One iteration is one key event, so the reported time is the time per event.
void BM_DecideKeyEventMixed(benchmark::State& state) {
  static const std::vector<KeyEventFacts> events = MixedEvents();
  ReplayDecisions(state, events);
}

void BM_DecideKeyEventTypingOnly(benchmark::State& state) {
  static const std::vector<KeyEventFacts> events = TypingEvents();
  ReplayDecisions(state, events);
}

// The replay loop alone, side by side, to show how much of the time is the decision.
void BM_ReplayLoopOnly(benchmark::State& state) {
  static const std::vector<KeyEventFacts> events = MixedEvents();
  size_t next = 0;
  for (auto _ : state) {
    KeyEventFacts facts = events[next];
    benchmark::DoNotOptimize(facts);
    if (++next == events.size()) {
      next = 0;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

constexpr int kRepetitions = 15;

BENCHMARK(BM_DecideKeyEventMixed)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_DecideKeyEventTypingOnly)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReplayLoopOnly)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

}  // namespace
