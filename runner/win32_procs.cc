#include "runner/win32_procs.h"

#include "runner/unique_resource.h"

Win32Procs& GetWin32Procs() {
  static Win32Procs procs;
  return procs;
}

void EnablePerPixelAlpha(HWND window) {
  UniqueRegion region(::CreateRectRgn(0, 0, -1, -1));
  if (!region) {
    return;
  }
  DWM_BLURBEHIND blur{};
  blur.dwFlags = DWM_BB_ENABLE | DWM_BB_BLURREGION;
  blur.fEnable = TRUE;
  blur.hRgnBlur = region.get();
  blur.fTransitionOnMaximized = FALSE;
  GetWin32Procs().dwm_enable_blur_behind_window(window, &blur);
}
