#include "input/selection_decision.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

TEST(SelectionSettingsTest, ValuesReadAsTheSwitchesDocumentThem) {
  EXPECT_EQ(ParseSelectTrigger(L"double_click"), SelectTrigger::kDoubleClick);
  EXPECT_EQ(ParseSelectTrigger(L"Hotkey"), SelectTrigger::kText);
  EXPECT_EQ(ParseSelectButton(L"middle"), SelectButton::kMiddle);
  EXPECT_EQ(ParseSelectButton(L"Left"), SelectButton::kRight);
  const std::pair<std::optional<std::wstring_view>, uint32_t> thresholds[] = {
      {std::nullopt, 500}, {L"50", 100},   {L"soon", 100},
      {L"", 100},          {L"-900", 100}, {L" \t+250ms", 250},
      {L"1e3", 100},       {L"101", 101},  {L"99999999999", 2147483647u}};
  for (const auto& [text, ms] : thresholds) {
    EXPECT_EQ(ParseLongPressMs(text), ms) << std::wstring(text.value_or(L"(unset)"));
  }
}

// Button messages: L, R, M for left, right, middle; down, up.
constexpr uintptr_t Ld = kWmLButtonDown, Lu = kWmLButtonUp, Rd = kWmRButtonDown, Ru = kWmRButtonUp,
                    Md = kWmMButtonDown, Mu = kWmMButtonUp;

struct Step {
  uintptr_t message;
  uint32_t time;
  bool ctrl = false;
};

// Feeds |steps| to a fresh state; one character per step, 'x' where it posted.
std::string Posts(SelectTrigger trigger, SelectButton button, const std::vector<Step>& steps) {
  SelectionState state;
  std::string posts;
  for (const Step& step : steps) {
    const SelectionFacts facts{.trigger = trigger,
                               .time = step.time,
                               .double_click_ms = 500,
                               .long_press_ms = 100,
                               .ctrl = step.ctrl};
    const SelectionEvent event = ClassifySelectionEvent(step.message, trigger, button);
    posts += DecideSelection(event, facts, &state) ? 'x' : '.';
  }
  return posts;
}

TEST(SelectionDecisionTest, GesturesPostOnTheirCountedReleases) {
  const std::vector<Step> mix = {{Rd, 10, true}, {Ru, 20},       {Ru, 30, true},
                                 {Lu, 40, true}, {Mu, 50, true}, {Ld, 60, true}};
  EXPECT_EQ(Posts(SelectTrigger::kText, SelectButton::kRight, mix), "..x...");
  EXPECT_EQ(Posts(SelectTrigger::kText, SelectButton::kMiddle, mix), "....x.");
  EXPECT_EQ(Posts(SelectTrigger::kImage, SelectButton::kRight, mix), ".xx...");
  EXPECT_EQ(Posts(SelectTrigger::kHotkey, SelectButton::kRight, mix), "......");
  // Pairs closer than the double-click time; a third quick release starts a new
  // pair, other buttons do not count, and the tick count may wrap in between.
  const std::vector<Step> clicks = {{Lu, 1000}, {Ru, 1100}, {Lu, 1499},        {Lu, 1600},
                                    {Lu, 2100}, {Lu, 2200}, {Lu, 0xFFFFFF00u}, {Lu, 0x50}};
  EXPECT_EQ(Posts(SelectTrigger::kDoubleClick, SelectButton::kLeft, clicks), "..x..x.x");
  // Held from the latest press of any button; a release without a press since the
  // last one counts from tick 0.
  const std::vector<Step> holds = {{Ru, 99},   {Rd, 1000}, {Ru, 1099}, {Rd, 2000},
                                   {Lu, 2050}, {Ru, 2100}, {Ld, 3000}, {Ru, 3050},
                                   {Rd, 4000}, {Md, 4080}, {Ru, 4100}, {Ru, 5000}};
  EXPECT_EQ(Posts(SelectTrigger::kLongPress, SelectButton::kRight, holds), ".....x.....x");
}

}  // namespace
