#include "input/hotkey_dispatch.h"

#include <windows.h>

#include <string>

#include "input/hotkey_event.h"
#include "input/keyboard_hook.h"
#include "input/title_match.h"
#include "runner/debug_log.h"
#include "runner/env_switch.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "runner/main_thread_tasks.h"
#include "runner/utils.h"

namespace {

// Runs on the main thread: the channel and the timer belong to it.
bool SendHotkeyEvent(FlutterWindow* window, int32_t number, const char* method) {
  if (!window->channels_ready || !window->hotkey_channel) {
    return false;
  }
  if (number == kEscCollapse && window->GetHandle() != nullptr) {
    ::KillTimer(window->GetHandle(), kExpandSettleTimer);
  }
  window->hotkey_channel->InvokeMethod(method, std::make_unique<flutter::EncodableValue>());
  return true;
}

}  // namespace

// GetWindowTextW asks a window of this process for its text with a message,
// which waits for the window's thread or, on that thread, re-enters its window
// procedure. The polling thread must never wait for the main thread (which may
// be joining it), and the hooks must not call into our windows, so for a window
// of this process the stored title is read instead. Other processes' titles
// come from the window system without a message.
int ReadWindowTitle(HWND window, wchar_t* title, int capacity) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid == ::GetCurrentProcessId()) {
    return ::InternalGetWindowText(window, title, capacity);
  }
  return ::GetWindowTextW(window, title, capacity);
}

bool ForegroundTitleMatches(const wchar_t* variable) {
  std::optional<std::wstring> fragments = ReadEnvironment(variable);
  if (!fragments || fragments->empty()) {
    return false;
  }
  HWND foreground = ::GetForegroundWindow();
  if (foreground == nullptr) {
    return false;
  }
  wchar_t title[256];
  int length = ReadWindowTitle(foreground, title, 256);
  title[length > 0 ? length : 0] = L'\0';
  // A title cut inside a surrogate pair must still match.
  return TitleMatchesFragments(Utf16ToUtf8Lenient(title), Utf16ToUtf8Lenient(fragments->c_str()));
}

bool DispatchHotkeyEvent(FlutterWindow* window, int32_t number) {
  if (window == nullptr) {
    return false;
  }
  if (ForegroundTitleMatches(L"KR_HOTKEY_BLACKLIST")) {
    return false;
  }
  if (number != kQuit && number != kEscCollapse &&
      SwitchOn(ReadEnvironment(L"KR_HOTKEY_PAUSE_BLUR"), SwitchCase::kLowerOnly)) {
    HWND handle = window->GetHandle();
    if (handle != nullptr && ::GetForegroundWindow() != handle) {
      return false;
    }
  }
  const char* method = HotkeyEventMethod(number);
  if (!window->channels_ready || !window->hotkey_channel || method == nullptr) {
    return false;
  }
  MainThreadTasks& tasks = GetMainThreadTasks();
  auto queued_send = [window, number, method] {
    if (flutter_window_instance.load() == window && SendHotkeyEvent(window, number, method)) {
      return;
    }
    if (number == kEscCollapse) {
      // It counted as sent when it was queued; give the polling thread its retry back.
      collapse_sent = false;
      DebugLog("[KR] esc_collapse was queued but could not be sent; the poll retries");
    }
  };
  if (tasks.OnMainThread()) {
    if (InKeyboardHook()) {
      // The hook must return at once: it never runs the queued work of other
      // threads, it takes its place behind it.
      return tasks.HasOrdered() ? tasks.Post(queued_send) : SendHotkeyEvent(window, number, method);
    }
    // Whatever other threads queued earlier goes first.
    tasks.DrainOrdered();
    return SendHotkeyEvent(window, number, method);
  }
  return tasks.Post(queued_send);
}
