#include <flutter_windows.h>

#include <shellscalingapi.h>

#include <cstdio>
#include <iostream>

#include "embedder/flutter_view_window.h"

UINT FlutterDesktopGetDpiForMonitor(HMONITOR monitor) {
  UINT dpi_x = 96;
  UINT dpi_y = 96;
  if (monitor == nullptr ||
      FAILED(::GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpi_x, &dpi_y))) {
    return 96;
  }
  return dpi_x;
}

HWND FlutterDesktopViewGetHWND(FlutterDesktopViewRef view) {
  return view == nullptr ? nullptr : view->window;
}

void FlutterDesktopViewControllerForceRedraw(FlutterDesktopViewControllerRef controller) {
  if (controller != nullptr && controller->view != nullptr && controller->view->window != nullptr) {
    ::RedrawWindow(controller->view->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
}

void FlutterDesktopResyncOutputStreams() {
  std::ios::sync_with_stdio();
  std::fflush(stdout);
  std::fflush(stderr);
}
