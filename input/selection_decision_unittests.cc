#include "input/selection_decision.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr uintptr_t Ld = kWmLButtonDown, Lu = kWmLButtonUp, Rd = kWmRButtonDown, Ru = kWmRButtonUp,
                    Md = kWmMButtonDown;

TEST(SelectionDecisionTest, LongPressThresholdAndTiming) {
  const std::pair<std::optional<std::wstring_view>, uint32_t> thresholds[] = {
      {std::nullopt, 500}, {L"soon", 100}, {L"-900", 100},
      {L" \t+250ms", 250}, {L"101", 101},  {L"99999999999", 2147483647u}};
  for (const auto& [text, ms] : thresholds) {
    EXPECT_EQ(ParseLongPressMs(text), ms) << std::wstring(text.value_or(L"(unset)"));
  }
  // Held since the latest press of any button, or tick 0 without one; 'x': posted.
  const std::pair<uintptr_t, uint32_t> events[] = {{Ru, 99},   {Rd, 1000}, {Ru, 1099}, {Rd, 2000},
                                                   {Lu, 2050}, {Ru, 2100}, {Ld, 3000}, {Ru, 3050},
                                                   {Rd, 4000}, {Md, 4080}, {Ru, 4100}, {Ru, 5000}};
  SelectionState state;
  std::string posts;
  for (const auto& [message, time] : events) {
    const SelectionEvent event =
        ClassifySelectionEvent(message, SelectTrigger::kLongPress, SelectButton::kRight);
    const SelectionFacts facts{
        .trigger = SelectTrigger::kLongPress, .time = time, .long_press_ms = 100};
    posts += DecideSelection(event, facts, &state) ? 'x' : '.';
  }
  EXPECT_EQ(posts, ".....x.....x");
}

}  // namespace
