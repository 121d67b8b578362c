#include "channels/window/window_geometry.h"

#include <windows.h>
#include <dwmapi.h>

#include <optional>
#include <string>
#include <string_view>

#include "channels/window/number_args.h"
#include "channels/window/window_placement.h"
#include "runner/debug_log.h"
#include <flutter_windows.h>
#include "runner/win32_procs.h"
#include "runner/flutter_window.h"
#include "runner/focus/card_placement.h"
#include "runner/focus/foreground.h"
#include "runner/focus/interaction_state.h"
#include "runner/unique_resource.h"
#include "tray/tray_icon.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using Result = flutter::MethodResult<EncodableValue>;

constexpr UINT kKeepSizeFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;  // 0x15
constexpr UINT kResizeFlags =
    SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED;       // 0x36
constexpr UINT kZOrderFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;  // 0x13
constexpr UINT kOffScreenFlags = SWP_NOACTIVATE | SWP_FRAMECHANGED;      // 0x30
constexpr UINT kShowFlags = SWP_FRAMECHANGED | SWP_SHOWWINDOW;           // 0x60
constexpr int kOffScreenPosition = -32000;
constexpr DWORD kBorderColorAttribute = 35;
constexpr DWORD kSystemBackdropAttribute = 38;
constexpr COLORREF kWhite = 0xFFFFFF;

// Reads a method's arguments and remembers the first key of a wrong type, so
// the method can refuse the call before it changes anything.
class Arguments {
 public:
  explicit Arguments(const EncodableValue* arguments) : arguments_(arguments) {}

  const EncodableValue* raw() const { return arguments_; }
  bool is_map() const {
    return arguments_ != nullptr && std::holds_alternative<EncodableMap>(*arguments_);
  }

  double Double(const char* key, double fallback) {
    return Note(ReadDoubleArgument(arguments_, key), key).value_or(fallback);
  }
  int32_t Int(const char* key, int32_t fallback) { return OptionalInt(key).value_or(fallback); }
  std::optional<int32_t> OptionalInt(const char* key) {
    return Note(ReadIntArgument(arguments_, key), key);
  }
  bool Bool(const char* key, bool fallback) {
    return Note(ReadBoolArgument(arguments_, key), key).value_or(fallback);
  }

  // Answers "BAD_ARGS" and returns true when a key had a wrong type.
  bool Refused(Result& result) const {
    if (bad_key_ == nullptr) {
      return false;
    }
    result.Error("BAD_ARGS", std::string("argument \"") + bad_key_ + "\" has the wrong type");
    return true;
  }

 private:
  template <typename T>
  std::optional<T> Note(const ArgRead<T>& read, const char* key) {
    if (read.wrong_type && bad_key_ == nullptr) {
      bad_key_ = key;
    }
    return read.value;
  }

  const EncodableValue* arguments_;
  const char* bad_key_ = nullptr;
};

std::optional<Placement> WorkAreaOfMonitor(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor == nullptr || !::GetMonitorInfoW(monitor, &info)) {
    return std::nullopt;
  }
  const RECT& work = info.rcWork;
  return Placement{work.left, work.top, work.right - work.left, work.bottom - work.top};
}

std::optional<Placement> WorkAreaOf(HWND hwnd) {
  return WorkAreaOfMonitor(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST));
}

double ScaleOf(HWND hwnd) {
  return DpiScale(::GetDpiForWindow(hwnd));
}

RECT WindowRect(HWND hwnd) {
  RECT rect{};
  ::GetWindowRect(hwnd, &rect);
  return rect;
}

void SetExStyleBit(HWND hwnd, LONG bit, bool on) {
  LONG style = ::GetWindowLongW(hwnd, GWL_EXSTYLE);
  LONG wanted = on ? (style | bit) : (style & ~bit);
  if (wanted != style) {
    ::SetWindowLongW(hwnd, GWL_EXSTYLE, wanted);
  }
}

const char* TrueFalse(bool value) {
  return value ? "true" : "false";
}

EncodableValue DoubleMap(std::initializer_list<std::pair<const char*, double>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) {
    map[EncodableValue(key)] = EncodableValue(value);
  }
  return EncodableValue(std::move(map));
}

void SetTopCenter(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  if (hwnd != nullptr) {
    if (std::optional<Placement> work = WorkAreaOf(hwnd)) {
      RECT rect = WindowRect(hwnd);
      PixelPoint at = TopCentre(*work, rect.right - rect.left);
      ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, kKeepSizeFlags);
    }
  }
  result.Success();
}

void PositionTopCenter(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  double top_offset = args.Double("topOffset", 28);
  double width = args.Double("width", 0);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr) {
    if (std::optional<Placement> work = WorkAreaOf(hwnd)) {
      RECT rect = WindowRect(hwnd);
      PixelPoint at =
          PositionTopCentre(*work, rect.right - rect.left, top_offset, width, ScaleOf(hwnd));
      ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, kKeepSizeFlags);
    }
  }
  result.Success();
}

void SetCenterScreen(FlutterWindow* window, HWND hwnd, Arguments&, Result& result) {
  if (window->is_main && hwnd != nullptr) {
    if (std::optional<Placement> work = WorkAreaOf(hwnd)) {
      RECT rect = WindowRect(hwnd);
      PixelPoint at = CentreInWorkArea(*work, rect.right - rect.left, rect.bottom - rect.top);
      ::SetWindowPos(hwnd, nullptr, at.x, at.y, 0, 0, kKeepSizeFlags);
    }
  }
  result.Success();
}

void SetDesktopBounds(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  std::optional<Placement> work;
  if (hwnd != nullptr) {
    work = WorkAreaOf(hwnd);
  }
  if (!work) {
    result.Error("NO_MONITOR", "Cannot get monitor info");
    return;
  }
  LogicalBounds bounds = LogicalWorkArea(*work, ScaleOf(hwnd));
  result.Success(DoubleMap(
      {{"width", bounds.width}, {"height", bounds.height}, {"x", bounds.x}, {"y", bounds.y}}));
}

void SetLayered(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  if (hwnd != nullptr) {
    SetExStyleBit(hwnd, WS_EX_LAYERED, false);
    EnablePerPixelAlpha(hwnd);
  }
  result.Success();
}

void SetClickThrough(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  bool enabled = args.Bool("enabled", false);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr) {
    click_through = enabled;
    SetExStyleBit(hwnd, WS_EX_TRANSPARENT, enabled);
    if (HWND child = ::FindWindowExW(hwnd, nullptr, nullptr, nullptr)) {
      SetExStyleBit(child, WS_EX_TRANSPARENT, enabled);
    }
  }
  result.Success();
}

void GetCursorPosition(FlutterWindow*, HWND, Arguments&, Result& result) {
  POINT cursor{0, 0};
  ::GetCursorPos(&cursor);
  result.Success(DoubleMap({{"x", cursor.x}, {"y", cursor.y}}));
}

void GetWindowPosition(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  RECT rect{};
  if (hwnd != nullptr) {
    rect = WindowRect(hwnd);
  }
  result.Success(DoubleMap({{"x", rect.left},
                            {"y", rect.top},
                            {"w", rect.right - rect.left},
                            {"h", rect.bottom - rect.top}}));
}

void BringToForeground(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  if (hwnd != nullptr) {
    ForceForeground(hwnd);
  }
  result.Success();
}

void SetWindowSize(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  double w = args.Double("w", 0);
  double h = args.Double("h", 0);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr) {
    DebugLogF("[KR] setWindowSize: w=%.1f h=%.1f", w, h);
    if (w > 0 && h > 0) {
      keep_window_size = true;
      double scale = ScaleOf(hwnd);
      int pw = RoundToInt(w * scale);
      int ph = RoundToInt(h * scale);
      ::SetLastError(0);
      BOOL r = ::SetWindowPos(hwnd, nullptr, 0, 0, pw, ph, kResizeFlags);
      DWORD error = ::GetLastError();
      RECT after = WindowRect(hwnd);
      DebugLogF("[KR] setWindowSize: -> %dx%d r=%d err=%lu after=(%d,%d,%d,%d)", pw, ph, r, error,
                static_cast<int>(after.left), static_cast<int>(after.top),
                static_cast<int>(after.right), static_cast<int>(after.bottom));
    }
  }
  result.Success();
}

void SetWindowBounds(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  double x = args.Double("x", 0);
  double y = args.Double("y", 0);
  double w = args.Double("w", 0);
  double h = args.Double("h", 0);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr && args.is_map() && w > 0 && h > 0) {
    keep_window_size = true;
    double scale = ScaleOf(hwnd);
    int px = RoundToInt(x * scale);
    int py = RoundToInt(y * scale);
    int pw = RoundToInt(w * scale);
    int ph = RoundToInt(h * scale);
    ::SetLastError(0);
    BOOL r = ::MoveWindow(hwnd, px, py, pw, ph, TRUE);
    DWORD error = ::GetLastError();
    RECT after = WindowRect(hwnd);
    DebugLogF("[KR] setWindowBounds: move=%d pos=(%d,%d) size=%dx%d err=%lu after=(%d,%d,%d,%d)", r,
              px, py, pw, ph, error, static_cast<int>(after.left), static_cast<int>(after.top),
              static_cast<int>(after.right), static_cast<int>(after.bottom));
  }
  result.Success();
}

void SetWindowRegion(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  const EncodableValue* raw = args.raw();
  if (raw == nullptr || std::holds_alternative<std::monostate>(*raw)) {
    if (hwnd != nullptr) {
      ::SetWindowRgn(hwnd, nullptr, TRUE);
      DebugLog("[KR] setWindowRegion: null -> full window");
    }
    result.Success();
    return;
  }
  if (!args.is_map()) {
    result.Success();
    return;
  }
  double x = args.Double("x", 0);
  double y = args.Double("y", 0);
  double w = args.Double("w", 0);
  double h = args.Double("h", 0);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr) {
    double scale = ScaleOf(hwnd);
    Bounds edges = ScaledEdges(x, y, w, h, scale);
    UniqueRegion region(::CreateRectRgn(edges.left, edges.top, edges.right, edges.bottom));
    // The system owns a region it accepted.
    if (region && ::SetWindowRgn(hwnd, region.get(), TRUE)) {
      region.release();
    }
    DebugLogF("[KR] setWindowRegion: (%.0f,%.0f,%.0fx%.0f) scale=%.2f", x, y, w, h, scale);
  }
  result.Success();
}

void SetWindowRoundedCorners(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  int32_t radius = args.Int("radius", 14);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr) {
    if (radius > 0) {
      RECT rect = WindowRect(hwnd);
      int w = rect.right - rect.left;
      int h = rect.bottom - rect.top;
      double scale = ScaleOf(hwnd);
      int r = TruncateToInt(radius * scale);
      int ellipse = CornerEllipse(radius, scale);
      UniqueRegion region(::CreateRoundRectRgn(0, 0, w, h, ellipse, ellipse));
      if (region && ::SetWindowRgn(hwnd, region.get(), TRUE)) {
        region.release();
      }
      DebugLogF("[KR] setWindowRoundedCorners: radius=%d r=%d size=%dx%d", radius, r, w, h);
    } else {
      ::SetWindowRgn(hwnd, nullptr, TRUE);
      DebugLog("[KR] setWindowRoundedCorners: radius=0 -> full window");
    }
  }
  result.Success();
}

void SetBlurGuard(FlutterWindow*, HWND, Arguments& args, Result& result) {
  std::optional<int32_t> ms = args.OptionalInt("ms");
  if (args.Refused(result)) {
    return;
  }
  if (ms && *ms > 0) {
    blur_guard = ::GetTickCount64() + static_cast<uint64_t>(*ms);
    DebugLogF("[KR] setBlurGuard: %d ms", *ms);
  } else {
    blur_guard = 0;
  }
  result.Success();
}

void SetBlurHide(FlutterWindow*, HWND, Arguments& args, Result& result) {
  bool enabled = args.Bool("enabled", true);
  if (args.Refused(result)) {
    return;
  }
  blur_hide = enabled;
  DebugLogF("[KR] setBlurHide: %s", TrueFalse(enabled));
  result.Success();
}

void SetAlwaysOnTop(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  bool on_top = args.Bool("onTop", true);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr) {
    ::SetWindowPos(hwnd, on_top ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, kZOrderFlags);
  }
  DebugLogF("[KR] setAlwaysOnTop: %s", TrueFalse(on_top));
  result.Success();
}

void SetWindowOpacity(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  int32_t opacity = args.Int("opacity", 100);
  if (args.Refused(result)) {
    return;
  }
  LayeredAlpha alpha = OpacityToAlpha(opacity);
  if (hwnd != nullptr) {
    SetExStyleBit(hwnd, WS_EX_LAYERED, true);
    ::SetLayeredWindowAttributes(hwnd, 0, alpha.byte, LWA_ALPHA);
  }
  DebugLogF("[KR] setWindowOpacity: %d%% alpha=%d", opacity, alpha.logged);
  result.Success();
}

void SetTrayVisible(FlutterWindow* window, HWND, Arguments& args, Result& result) {
  bool visible = args.Bool("visible", true);
  if (args.Refused(result)) {
    return;
  }
  SetTrayIconVisible(window, visible);
  DebugLogF("[KR] setTrayVisible: %s", TrueFalse(visible));
  result.Success();
}

void SetMaterial(FlutterWindow*, HWND hwnd, Arguments& args, Result& result) {
  int32_t material = args.Int("material", 0);
  if (args.Refused(result)) {
    return;
  }
  if (hwnd != nullptr) {
    Backdrop backdrop = MaterialBackdrop(material);
    DWORD type = static_cast<DWORD>(backdrop.type);
    GetWin32Procs().dwm_set_window_attribute(hwnd, kSystemBackdropAttribute, &type, sizeof(type));
    if (backdrop.white_border) {
      COLORREF border = kWhite;
      GetWin32Procs().dwm_set_window_attribute(hwnd, kBorderColorAttribute, &border,
                                               sizeof(border));
    }
    ::InvalidateRect(hwnd, nullptr, TRUE);
    DebugLogF("[KR] setMaterial: %d (backdrop=%d)", material, backdrop.type);
  }
  result.Success();
}

void HideOffScreen(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  if (hwnd != nullptr) {
    RECT rect = WindowRect(hwnd);
    PixelPoint size = OffScreenSize(rect.right - rect.left, rect.bottom - rect.top);
    ::SetLastError(0);
    BOOL r = ::SetWindowPos(hwnd, HWND_TOPMOST, kOffScreenPosition, kOffScreenPosition, size.x,
                            size.y, kOffScreenFlags);
    DebugLogF("[KR] hideOffScreen: keep size %dx%d r=%d err=%lu", size.x, size.y, r,
              ::GetLastError());
  }
  result.Success();
}

void ShowFromIdle(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  DebugLog("[KR] showFromIdle called");
  if (hwnd != nullptr) {
    // Sized for the monitor it is brought back on, which may differ in dpi.
    HMONITOR target = MonitorFromCursor();
    UINT window_dpi = ::GetDpiForWindow(hwnd);
    UINT dpi = target != nullptr ? FlutterDesktopGetDpiForMonitor(target) : 0;
    dpi = dpi != 0 ? dpi : window_dpi;
    RECT rect = WindowRect(hwnd);
    CardSize card = CardSizeOnMonitor(dpi, window_dpi, keep_window_size, rect.right - rect.left,
                                      rect.bottom - rect.top);
    PixelPoint at{};
    if (std::optional<Placement> work = WorkAreaOfMonitor(target)) {
      at = PlaceCard(card, Bounds{work->x, work->y, work->x + work->width, work->y + work->height});
    }
    {
      ScopedOwnPlacement placing;
      ::SetWindowPos(hwnd, HWND_TOP, at.x, at.y, card.width, card.height, kShowFlags);
    }
    ClampToWorkArea(hwnd);
    DebugLogF("[KR] showFromIdle: pos=(%d,%d) size=%dx%d dpi=%.1f", at.x, at.y, card.width,
              card.height, DpiScale(dpi));
    RECT client{};
    ::GetClientRect(hwnd, &client);
    DebugLogF("[KR] showFromIdle: client=%dx%d", static_cast<int>(client.right - client.left),
              static_cast<int>(client.bottom - client.top));

    blur_guard = ::GetTickCount64() + kGuardShowFromIdleMs;
    collapse_sent = false;
    space_combo_active = false;
    card_expanded = true;
    DebugLog("[KR] showFromIdle: card_expanded=1 (ever_activated left for WM_ACTIVATE)");

    ForceForeground(hwnd);
    ::SetFocus(hwnd);
    focus_retry_count = 0;
    ::SetTimer(hwnd, kExpandSettleTimer, kExpandSettleDelayMs, nullptr);
    // Armed twice, as every expand does: the second delay replaces the first.
    ::SetTimer(hwnd, kFocusRetryTimer, kFocusRetryDelayMs, nullptr);
    ::SetTimer(hwnd, kFocusRetryTimer, kFocusRetryFirstDelayMs, nullptr);
  }
  result.Success();
}

void ShowCapsuleBar(FlutterWindow*, HWND hwnd, Arguments&, Result& result) {
  if (hwnd != nullptr) {
    Placement bar = CapsuleBarPlacement(WorkAreaOf(hwnd), ScaleOf(hwnd));
    ::SetWindowPos(hwnd, HWND_TOPMOST, bar.x, bar.y, bar.width, bar.height, kShowFlags);
  }
  result.Success();
}

using Method = void (*)(FlutterWindow*, HWND, Arguments&, Result&);

struct NamedMethod {
  std::string_view name;
  Method run;
};

// In dispatch order.
constexpr NamedMethod kMethods[] = {
    {"setTopCenter", SetTopCenter},
    {"positionTopCenter", PositionTopCenter},
    {"setCenterScreen", SetCenterScreen},
    {"setDesktopBounds", SetDesktopBounds},
    {"setLayered", SetLayered},
    {"setClickThrough", SetClickThrough},
    {"getCursorPos", GetCursorPosition},
    {"getWindowPos", GetWindowPosition},
    {"bringToForeground", BringToForeground},
    {"setWindowSize", SetWindowSize},
    {"setWindowBounds", SetWindowBounds},
    {"setWindowRegion", SetWindowRegion},
    {"setWindowRoundedCorners", SetWindowRoundedCorners},
    {"setBlurGuard", SetBlurGuard},
    {"setBlurHide", SetBlurHide},
    {"setAlwaysOnTop", SetAlwaysOnTop},
    {"setWindowOpacity", SetWindowOpacity},
    {"setTrayVisible", SetTrayVisible},
    {"setMaterial", SetMaterial},
    {"hideOffScreen", HideOffScreen},
    {"showFromIdle", ShowFromIdle},
    {"showCapsuleBar", ShowCapsuleBar},
};

}  // namespace

bool HandleGeometryMethod(FlutterWindow* window,
                          const flutter::MethodCall<EncodableValue>& call,
                          Result& result) {
  for (const NamedMethod& method : kMethods) {
    if (method.name == call.method_name()) {
      Arguments args(call.arguments());
      method.run(window, window->GetHandle(), args, result);
      return true;
    }
  }
  return false;
}
