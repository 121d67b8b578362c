#include "input/selection_hook.h"

#include "runner/env_switch.h"
#include "runner/utils.h"

UniqueHook mouse_hook;
bool select_on = false;

namespace {

// The gesture recognition (trigger, button, long press, block list) is not
// built yet: the hook passes every event on unchanged.
LRESULT CALLBACK MouseHookProc(int code, WPARAM wparam, LPARAM lparam) noexcept {
  return ::CallNextHookEx(mouse_hook.get(), code, wparam, lparam);
}

}  // namespace

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
