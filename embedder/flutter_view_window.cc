#include "embedder/flutter_view_window.h"

#include <string>
#include <vector>

#include <flutter/flutter_engine.h>
#include "runner/debug_log.h"

namespace {

constexpr wchar_t kViewClassName[] = L"FLUTTERVIEW";

std::wstring Widen(const std::string& text) {
  if (text.empty()) {
    return std::wstring();
  }
  int length =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  return wide;
}

void Paint(HWND window, const std::vector<std::string>& lines) {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(window, &paint);
  RECT client;
  ::GetClientRect(window, &client);
  HBRUSH background = ::CreateSolidBrush(RGB(0x12, 0x2B, 0x30));
  ::FillRect(dc, &client, background);
  ::DeleteObject(background);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(0xE8, 0xF1, 0xF2));
  HGDIOBJ old_font = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));

  TEXTMETRICW metrics;
  ::GetTextMetricsW(dc, &metrics);
  int y = 8;
  for (const std::string& line : lines) {
    std::wstring wide = Widen(line);
    ::TextOutW(dc, 10, y, wide.c_str(), static_cast<int>(wide.size()));
    y += metrics.tmHeight + 2;
  }
  ::SelectObject(dc, old_font);
  ::EndPaint(window, &paint);
}

LRESULT CALLBACK ViewProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  try {
    auto* view = reinterpret_cast<FlutterDesktopView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
      case WM_NCCREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
      }
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        Paint(window, view ? view->StatusLines() : std::vector<std::string>());
        return 0;
    }
  } catch (...) {
    DebugLog("[Flutter] view dropped an exception");
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

FlutterDesktopView::FlutterDesktopView(flutter::FlutterEngine* engine, int width, int height)
    : engine(engine) {
  WNDCLASSW view_class{};
  view_class.lpfnWndProc = ViewProc;
  view_class.hInstance = ::GetModuleHandleW(nullptr);
  view_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  view_class.lpszClassName = kViewClassName;
  view_class.style = CS_HREDRAW | CS_VREDRAW;
  ::RegisterClassW(&view_class);  // fails harmlessly when already registered
  window = ::CreateWindowExW(0, kViewClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                             HWND_MESSAGE, nullptr, ::GetModuleHandleW(nullptr), this);
}

FlutterDesktopView::~FlutterDesktopView() {
  if (window != nullptr && ::IsWindow(window)) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ::DestroyWindow(window);
  }
}

std::vector<std::string> FlutterDesktopView::StatusLines() const {
  std::vector<std::string> lines;
  if (engine != nullptr) {
    std::string state = "not connected";
    if (engine->bridge_connected()) {
      const std::string peer = engine->bridge_peer();
      state = (peer.empty() ? "" : "\"" + peer + "\" ") + "connected through the UI bridge";
    }
    lines.push_back("Kestrune " + engine->role() + " (pid " +
                    std::to_string(::GetCurrentProcessId()) + ") - interface " + state);
    lines.push_back("");
    for (const std::string& line : engine->traffic()) {
      lines.push_back(line);
    }
  }
  return lines;
}

void FlutterDesktopView::Invalidate() {
  if (window != nullptr) {
    ::InvalidateRect(window, nullptr, FALSE);
  }
}
