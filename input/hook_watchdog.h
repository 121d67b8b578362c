#ifndef KESTRUNE_INPUT_HOOK_WATCHDOG_H_
#define KESTRUNE_INPUT_HOOK_WATCHDOG_H_

#include <cstdint>

// Puts the keyboard hook back when the system has silently removed it. Watches
// raw keyboard input on a hidden window of the main thread, which owns the hook:
// no polling, only keys wake it. Mouse input is never registered.
void StartKeyboardHookWatchdog();
void StopKeyboardHookWatchdog();

// Called by the hook procedure for every call: the hook is alive.
void NoteKeyboardHookCall() noexcept;

// The tick source of the hook and of raw-key arrival; nullptr restores
// GetTickCount64. Tests drive the watchdog with their own clock.
using HookWatchdogClock = uint64_t (*)() noexcept;
void SetHookWatchdogClock(HookWatchdogClock clock);

#endif  // KESTRUNE_INPUT_HOOK_WATCHDOG_H_
