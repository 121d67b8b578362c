#include "input/selection_decision.h"

#include <algorithm>
#include <climits>

namespace {

constexpr uint32_t kDefaultLongPressMs = 500;
constexpr uint32_t kLongPressFloorMs = 100;

bool IsCSpace(wchar_t c) {
  return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// atoi's reading: white space, a sign, the longest run of digits; 0 when there
// are none. Saturates where the C library's behaviour is undefined.
int64_t AsciiToInt(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    magnitude = std::min<int64_t>(magnitude * 10 + (text[i] - L'0'), int64_t{INT_MAX} + 1);
  }
  return negative ? -magnitude : std::min<int64_t>(magnitude, INT_MAX);
}

}  // namespace

SelectTrigger ParseSelectTrigger(std::wstring_view value) {
  if (value == L"hotkey") {
    return SelectTrigger::kHotkey;
  }
  if (value == L"double_click") {
    return SelectTrigger::kDoubleClick;
  }
  if (value == L"long_press") {
    return SelectTrigger::kLongPress;
  }
  if (value == L"image") {
    return SelectTrigger::kImage;
  }
  return SelectTrigger::kText;
}

SelectButton ParseSelectButton(std::wstring_view value) {
  if (value == L"left") {
    return SelectButton::kLeft;
  }
  if (value == L"middle") {
    return SelectButton::kMiddle;
  }
  return SelectButton::kRight;
}

uint32_t ParseLongPressMs(std::optional<std::wstring_view> value) {
  if (!value) {
    return kDefaultLongPressMs;
  }
  return static_cast<uint32_t>(std::max<int64_t>(AsciiToInt(*value), kLongPressFloorMs));
}

bool IsMouseButtonMessage(uintptr_t message) {
  switch (message) {
    case kWmLButtonDown:
    case kWmLButtonUp:
    case kWmRButtonDown:
    case kWmRButtonUp:
    case kWmMButtonDown:
    case kWmMButtonUp:
      return true;
    default:
      return false;
  }
}

bool IsSelectButtonRelease(uintptr_t message, SelectButton button) {
  switch (button) {
    case SelectButton::kLeft:
      return message == kWmLButtonUp;
    case SelectButton::kMiddle:
      return message == kWmMButtonUp;
    case SelectButton::kRight:
      return message == kWmRButtonUp;
  }
  return false;
}

SelectionEvent ClassifySelectionEvent(uintptr_t message,
                                      SelectTrigger trigger,
                                      SelectButton button) {
  if (trigger == SelectTrigger::kHotkey) {
    return SelectionEvent::kIgnored;
  }
  if (IsSelectButtonRelease(message, button)) {
    return SelectionEvent::kCountedRelease;
  }
  const bool press =
      message == kWmLButtonDown || message == kWmRButtonDown || message == kWmMButtonDown;
  return press && trigger == SelectTrigger::kLongPress ? SelectionEvent::kPress
                                                       : SelectionEvent::kIgnored;
}

bool DecideSelection(SelectionEvent event, const SelectionFacts& facts, SelectionState* state) {
  if (event == SelectionEvent::kPress) {
    if (facts.trigger == SelectTrigger::kLongPress) {
      state->press_at = facts.time;
    }
    return false;
  }
  if (event != SelectionEvent::kCountedRelease) {
    return false;
  }
  switch (facts.trigger) {
    case SelectTrigger::kHotkey:
      return false;
    case SelectTrigger::kDoubleClick:
      // Unsigned differences stay right across the tick count's wrap.
      if (state->last_click_at != 0 && facts.time - state->last_click_at < facts.double_click_ms) {
        state->last_click_at = 0;
        return true;
      }
      state->last_click_at = facts.time;
      return false;
    case SelectTrigger::kLongPress: {
      // With no press recorded the time counts from tick 0.
      const bool held_long = facts.time - state->press_at >= facts.long_press_ms;
      state->press_at = 0;
      return held_long;
    }
    case SelectTrigger::kImage:
      return true;
    case SelectTrigger::kText:
      return facts.ctrl;
  }
  return false;
}
