#include "input/hook_watchdog.h"

#include <windows.h>

#include <atomic>

#include "input/hook_watchdog_decision.h"
#include "input/keyboard_hook.h"
#include "runner/debug_log.h"
#include "runner/unique_resource.h"

namespace {

constexpr wchar_t kWatchdogClass[] = L"KestruneHookWatchdog";

struct WindowTraits {
  using Type = HWND;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::DestroyWindow(h); }
};

uint64_t SystemTicks() noexcept {
  return ::GetTickCount64();
}

std::atomic<HookWatchdogClock> clock_source{&SystemTicks};
// Written by the hook for every key; read when raw input arrives.
std::atomic<uint64_t> hook_seen{0};
HookWatchdog watchdog;
UniqueResource<WindowTraits> watchdog_window;

void OnRawKey() {
  if (!keyboard_hook ||
      !watchdog.OnRawKey(clock_source.load()(), hook_seen.load(std::memory_order_relaxed))) {
    return;
  }
  // Unhook first: a hook that is in fact still there must never run twice per key.
  keyboard_hook.reset();
  InstallKeyboardHook();
  if (keyboard_hook) {
    DebugLogF("[KR] keyboard hook re-installed (silently removed), hook=%p",
              static_cast<void*>(keyboard_hook.get()));
  } else {
    DebugLogF("[KR] keyboard hook silently removed; re-install failed: err=%lu", ::GetLastError());
  }
}

LRESULT CALLBACK WatchdogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  if (message == WM_INPUT) {
    RAWINPUTHEADER header{};
    UINT size = sizeof(header);
    if (::GetRawInputData(reinterpret_cast<HRAWINPUT>(lparam), RID_HEADER, &header, &size,
                          sizeof(header)) == sizeof(header) &&
        header.dwType == RIM_TYPEKEYBOARD) {
      OnRawKey();
    }
  }
  // Also releases the raw input.
  return ::DefWindowProcW(window, message, wparam, lparam);
}

bool RegisterKeyboardSink(HWND target, DWORD flags) {
  // Generic desktop page, keyboard usage.
  RAWINPUTDEVICE device{0x01, 0x06, flags, target};
  return ::RegisterRawInputDevices(&device, 1, sizeof(device)) != FALSE;
}

}  // namespace

void StartKeyboardHookWatchdog() {
  if (watchdog_window) {
    return;
  }
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WatchdogProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = kWatchdogClass;
  ::RegisterClassW(&window_class);  // fails harmlessly when already registered
  // A real, never shown window: raw input is not delivered to message-only ones.
  watchdog_window.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, kWatchdogClass, L"", WS_POPUP, 0, 0, 0,
                                          0, nullptr, nullptr, instance, nullptr));
  watchdog = HookWatchdog{};
  if (!watchdog_window || !RegisterKeyboardSink(watchdog_window.get(), RIDEV_INPUTSINK)) {
    DebugLogF("[KR] keyboard hook watchdog not started: err=%lu", ::GetLastError());
    StopKeyboardHookWatchdog();
  }
}

void StopKeyboardHookWatchdog() {
  if (watchdog_window) {
    RegisterKeyboardSink(nullptr, RIDEV_REMOVE);
    watchdog_window.reset();
  }
}

void NoteKeyboardHookCall() noexcept {
  hook_seen.store(clock_source.load()(), std::memory_order_relaxed);
}

void SetHookWatchdogClock(HookWatchdogClock clock) {
  clock_source = clock != nullptr ? clock : &SystemTicks;
}
