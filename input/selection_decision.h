#ifndef KESTRUNE_INPUT_SELECTION_DECISION_H_
#define KESTRUNE_INPUT_SELECTION_DECISION_H_

#include <cstdint>
#include <optional>
#include <string_view>

// The text-selection trigger's gestures, decided from plain values so they can be
// tested without a desktop. The mouse hook's glue first asks whether a message is
// a button message at all (moves are not, and leave at once), then reads the
// settings, classifies the message for the configured gesture and carries out
// the decision.

// Mouse messages the trigger looks at, spelled out so no Windows header is needed.
inline constexpr uintptr_t kWmLButtonDown = 0x0201;
inline constexpr uintptr_t kWmLButtonUp = 0x0202;
inline constexpr uintptr_t kWmRButtonDown = 0x0204;
inline constexpr uintptr_t kWmRButtonUp = 0x0205;
inline constexpr uintptr_t kWmMButtonDown = 0x0207;
inline constexpr uintptr_t kWmMButtonUp = 0x0208;

enum class SelectTrigger { kText, kHotkey, kDoubleClick, kLongPress, kImage };
enum class SelectButton { kLeft, kRight, kMiddle };

// KR_SELECT_TRIGGER: "hotkey", "double_click", "long_press" or "image"; anything
// else, unset and empty included, is the text gesture.
SelectTrigger ParseSelectTrigger(std::wstring_view value);

// KR_SELECT_MOUSE_BUTTON: "left" or "middle"; anything else is the right button.
SelectButton ParseSelectButton(std::wstring_view value);

// KR_SELECT_LONGPRESS_MS, read as the C library's atoi reads it (leading white
// space, a sign, then digits; out of range saturates): 500 when unset, and never
// below 100, which is also what text that does not parse gives.
uint32_t ParseLongPressMs(std::optional<std::wstring_view> value);

// A press or release of the left, right or middle button: the only messages the
// trigger can use.
bool IsMouseButtonMessage(uintptr_t message);

// True when |message| is the release of |button|.
bool IsSelectButtonRelease(uintptr_t message, SelectButton button);

// What a button message is to the configured gesture. Presses matter to the long
// press alone, and then those of every button.
enum class SelectionEvent { kIgnored, kPress, kCountedRelease };
SelectionEvent ClassifySelectionEvent(uintptr_t message,
                                      SelectTrigger trigger,
                                      SelectButton button);

// Carried from one event to the next, for the life of the process: 32-bit ticks,
// 0 meaning none. A change of gesture does not reset them.
struct SelectionState {
  uint32_t last_click_at = 0;  // the last counted release, for the double click
  uint32_t press_at = 0;       // the latest press of any button, for the long press
};

// One press or counted release. Only what |trigger| uses needs to be sampled.
struct SelectionFacts {
  SelectTrigger trigger = SelectTrigger::kText;
  uint32_t time = 0;             // the event's tick
  uint32_t double_click_ms = 0;  // the system's double-click time, for double_click
  uint32_t long_press_ms = 0;    // ParseLongPressMs, for long_press
  bool ctrl = false;             // Ctrl held at the release, for the text gesture
};

// Updates |state| for the event; true when the gesture is complete and the
// interface is to hear "select_on".
bool DecideSelection(SelectionEvent event, const SelectionFacts& facts, SelectionState* state);

#endif  // KESTRUNE_INPUT_SELECTION_DECISION_H_
