#ifndef KESTRUNE_RUNNER_WIN32_PROCS_H_
#define KESTRUNE_RUNNER_WIN32_PROCS_H_

#include <windows.h>
#include <dwmapi.h>
#include <sddl.h>
#include <shellapi.h>

// The Win32 calls whose effect Wine does not show or whose outcome it does not
// vary go through this table, so tests can see what was asked of the
// compositor, the shell and the foreground machinery, and can make a call fail.
struct Win32Procs {
  // Desktop composition: accepted by Wine, with no visible effect.
  HRESULT(WINAPI* dwm_set_window_attribute)(HWND, DWORD, LPCVOID, DWORD) = ::DwmSetWindowAttribute;
  HRESULT(WINAPI* dwm_enable_blur_behind_window)
  (HWND, const DWM_BLURBEHIND*) = ::DwmEnableBlurBehindWindow;

  // The notification area.
  BOOL(WINAPI* shell_notify_icon)(DWORD, PNOTIFYICONDATAW) = ::Shell_NotifyIconW;

  // The foreground routine: under Wine the first SetForegroundWindow always
  // succeeds, so only the table can reach its later levels.
  BOOL(WINAPI* set_foreground_window)(HWND) = ::SetForegroundWindow;
  HWND(WINAPI* get_foreground_window)() = ::GetForegroundWindow;
  BOOL(WINAPI* attach_thread_input)(DWORD, DWORD, BOOL) = ::AttachThreadInput;
  HWND(WINAPI* set_focus)(HWND) = ::SetFocus;
  void(WINAPI* keybd_event)(BYTE, BYTE, DWORD, ULONG_PTR) = ::keybd_event;

  // The capsule pipe: its protection, and the pipe thread's reads, where a
  // test can make a failure happen that Wine never produces.
  BOOL(WINAPI* convert_security_descriptor)
  (LPCWSTR,
   DWORD,
   PSECURITY_DESCRIPTOR*,
   PULONG) = ::ConvertStringSecurityDescriptorToSecurityDescriptorW;
  BOOL(WINAPI* read_file)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) = ::ReadFile;
};

// The table in use; tests may swap entries and must restore them.
Win32Procs& GetWin32Procs();

// Blur-behind with an empty region: the compositor then honours the window's
// per-pixel alpha without blurring anything.
void EnablePerPixelAlpha(HWND window);

#endif  // KESTRUNE_RUNNER_WIN32_PROCS_H_
