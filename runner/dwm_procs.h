#ifndef KESTRUNE_RUNNER_DWM_PROCS_H_
#define KESTRUNE_RUNNER_DWM_PROCS_H_

#include <windows.h>
#include <dwmapi.h>

// The desktop-composition calls of the window code go through this table, so
// tests can see what was asked of the compositor (Wine accepts these calls but
// shows no effect and reports little back).
struct DwmProcs {
  HRESULT(WINAPI* set_window_attribute)(HWND, DWORD, LPCVOID, DWORD) = ::DwmSetWindowAttribute;
  HRESULT(WINAPI* enable_blur_behind_window)
  (HWND, const DWM_BLURBEHIND*) = ::DwmEnableBlurBehindWindow;
};

// The table in use; tests may swap entries and must restore them.
DwmProcs& GetDwmProcs();

// Blur-behind with an empty region: the compositor then honours the window's
// per-pixel alpha without blurring anything.
void EnablePerPixelAlpha(HWND window);

#endif  // KESTRUNE_RUNNER_DWM_PROCS_H_
