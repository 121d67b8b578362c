#include "input/selection_hook.h"

#include <optional>
#include <string_view>

#include "input/hotkey_dispatch.h"
#include "input/selection_decision.h"
#include "input/title_match.h"
#include "runner/env_switch.h"
#include "runner/focus/interaction_state.h"
#include "runner/utils.h"

UniqueHook mouse_hook;
bool select_on = false;

namespace {

// The hook runs on the main thread only, which installed it.
SelectionState selection_state;

// Reads an environment variable into |buffer|: the hook must not allocate.
// Unset gives nothing; a value too long for the buffer reads as empty, which no
// setting of the trigger is, so it takes the setting's default (and the long
// press its floor, as for any text that does not parse).
template <size_t N>
std::optional<std::wstring_view> ReadVariable(const wchar_t* name, wchar_t (&buffer)[N]) {
  ::SetLastError(ERROR_SUCCESS);
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, N);
  if (length >= N) {
    return std::wstring_view();
  }
  if (length == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
    return std::nullopt;
  }
  return std::wstring_view(buffer, length);
}

// Whether the foreground window's title contains a fragment of
// KR_SELECT_BLOCKLIST. Same matching as the hotkey blacklist, without
// allocating: the hook's thread owns these buffers, sized for the largest value
// the environment can hold.
bool ForegroundBlocked() {
  constexpr int kMaxVariable = 32767;
  static wchar_t fragments[kMaxVariable];
  static char fragments_utf8[kMaxVariable * 3];
  const DWORD length = ::GetEnvironmentVariableW(L"KR_SELECT_BLOCKLIST", fragments, kMaxVariable);
  if (length == 0 || length >= kMaxVariable) {
    return false;
  }
  HWND foreground = ::GetForegroundWindow();
  if (foreground == nullptr) {
    return false;
  }
  wchar_t title[256];
  const int title_length = ReadWindowTitle(foreground, title, 256);
  if (title_length <= 0) {
    return false;  // an empty title contains no fragment
  }
  char title_utf8[256 * 3];
  // Unpaired surrogates (a title cut inside a pair) become U+FFFD, as elsewhere.
  const int title_bytes = ::WideCharToMultiByte(CP_UTF8, 0, title, title_length, title_utf8,
                                                sizeof(title_utf8), nullptr, nullptr);
  const int fragment_bytes =
      ::WideCharToMultiByte(CP_UTF8, 0, fragments, static_cast<int>(length), fragments_utf8,
                            sizeof(fragments_utf8), nullptr, nullptr);
  return TitleMatchesFragments(std::string_view(title_utf8, title_bytes),
                               std::string_view(fragments_utf8, fragment_bytes));
}

// A press or release of the left, right or middle button. The settings are read
// at every such event, so a change of the process environment applies at once.
void OnButtonMessage(WPARAM message, DWORD time) {
  wchar_t trigger_text[16];
  const SelectTrigger trigger =
      ParseSelectTrigger(ReadVariable(L"KR_SELECT_TRIGGER", trigger_text).value_or(L""));
  if (trigger == SelectTrigger::kHotkey) {
    return;
  }
  wchar_t button_text[16];
  const SelectButton button =
      ParseSelectButton(ReadVariable(L"KR_SELECT_MOUSE_BUTTON", button_text).value_or(L""));
  const SelectionEvent event = ClassifySelectionEvent(message, trigger, button);
  // The title is read only for an event the gesture would act on.
  if (event == SelectionEvent::kIgnored || ForegroundBlocked()) {
    return;
  }
  SelectionFacts facts{.trigger = trigger, .time = time};
  if (event == SelectionEvent::kCountedRelease) {
    if (trigger == SelectTrigger::kText) {
      facts.ctrl = (::GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    } else if (trigger == SelectTrigger::kDoubleClick) {
      facts.double_click_ms = ::GetDoubleClickTime();
    } else if (trigger == SelectTrigger::kLongPress) {
      wchar_t threshold_text[64];
      facts.long_press_ms =
          ParseLongPressMs(ReadVariable(L"KR_SELECT_LONGPRESS_MS", threshold_text));
    }
  }
  if (DecideSelection(event, facts, &selection_state)) {
    if (HWND main = MainWindowHandle()) {
      ::PostMessageW(main, kSelectOnMsg, 0, 0);
    }
  }
}

}  // namespace

LRESULT CALLBACK MouseHookProc(int code, WPARAM wparam, LPARAM lparam) noexcept {
  // Moves, the bulk of the traffic, leave on the message number alone.
  if (code >= 0 && lparam != 0 && IsMouseButtonMessage(wparam) && select_on &&
      flutter_window_instance.load() != nullptr) {
    OnButtonMessage(wparam, reinterpret_cast<const MSLLHOOKSTRUCT*>(lparam)->time);
  }
  return ::CallNextHookEx(mouse_hook.get(), code, wparam, lparam);
}

void SetUpTextSelection() {
  if (SwitchOn(ReadEnvironment(L"KR_SELECT_ON"), SwitchCase::kLowerOnly)) {
    select_on = true;
    if (!mouse_hook) {
      mouse_hook.reset(
          ::SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, ::GetModuleHandleW(nullptr), 0));
    }
  } else {
    select_on = false;
    RemoveTextSelectionHook();
  }
}

void RemoveTextSelectionHook() {
  mouse_hook.reset();
}
