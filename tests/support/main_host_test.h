#ifndef KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_
#define KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "runner/debug_log.h"
#include "tests/support/helper_window.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace kr_test {

inline RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

inline bool SameRect(const RECT& a, const RECT& b) {
  return ::EqualRect(&a, &b) != FALSE;
}

// Waits until |window| has exactly |expected| as its rectangle.
inline bool WaitForRect(HWND window, const RECT& expected) {
  return WaitUntil([&] { return SameRect(WindowRect(window), expected); });
}

// The primary monitor's work area.
inline RECT WorkArea() {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

// "(left,top,right,bottom)", for failure messages.
inline std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// Channel arguments: a map with string keys.
inline flutter::EncodableValue Args(
    std::initializer_list<std::pair<const char*, flutter::EncodableValue>> entries) {
  flutter::EncodableMap map;
  for (const auto& [key, value] : entries) {
    map[flutter::EncodableValue(key)] = value;
  }
  return flutter::EncodableValue(map);
}

inline LONG ExStyle(HWND window) {
  return ::GetWindowLongW(window, GWL_EXSTYLE);
}

// The hit-test answer of |window| for a point in its client coordinates.
inline LRESULT HitTestAt(HWND window, LONG x, LONG y) {
  POINT point{x, y};
  ::ClientToScreen(window, &point);
  return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
}

// Window channel bounds in logical pixels.
inline flutter::EncodableValue Box(double x, double y, double w, double h) {
  return Args({{"x", x}, {"y", y}, {"w", w}, {"h", h}});
}

// True when |window| is clipped to |box| (rounded with |corners| when above 0),
// or is not clipped and |box| is nothing.
inline bool HasRegion(HWND window, const std::optional<RECT>& box, int corners = 0) {
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  bool clipped = ::GetWindowRgn(window, region) != ERROR;
  bool same = clipped == box.has_value();
  if (same && box) {
    HRGN expected = corners > 0 ? ::CreateRoundRectRgn(box->left, box->top, box->right, box->bottom,
                                                       corners, corners)
                                : ::CreateRectRgnIndirect(&*box);
    // The same pixels: the window system may store the rows merged.
    same = ::CombineRgn(expected, expected, region, RGN_XOR) == NULLREGION;
    ::DeleteObject(expected);
  }
  ::DeleteObject(region);
  return same;
}

// A fixture with a main-role host connected to the test's UI bridge, started
// by StartMainHost and ready once its default hotkeys are registered.
class MainHostTest : public ::testing::Test {
 protected:
  // |extra| adds to or removes from the host's environment.
  void StartMainHost(const EnvironmentChanges& extra = {}) {
    log_ = std::make_unique<LogReader>(DebugLogPath());
    EnvironmentChanges environment = extra;
    environment[L"KR_UI_BRIDGE"] = bridge_.Setting();
    host_ = StartHost(environment);
    ASSERT_TRUE(host_);
    ui_ = bridge_.WaitForConnection("main");
    ASSERT_NE(ui_, nullptr);
    window_ = WaitForHostWindow(host_->pid());
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(log_->WaitForMessage("[KR] RegisterHotKey Alt+Space"));
  }

  // A main host whose capsule process has shown its bar. The capsule's window is
  // activated as its view takes the focus, which under Wine resets the injected
  // key state and closes an open menu: tests that type or open menus start so.
  void StartHosts(const EnvironmentChanges& extra = {}) {
    StartMainHost(extra);
    if (HasFatalFailure()) {
      return;
    }
    capsule_ui_ = bridge_.WaitForConnection("capsule");
    ASSERT_NE(capsule_ui_, nullptr);
    HWND bar = WaitForHostWindow(static_cast<DWORD>(capsule_ui_->pid()));
    ASSERT_TRUE(bar != nullptr && WaitUntil([&] { return ::IsWindowVisible(bar) != FALSE; }));
  }

  // Starts the host and, once the capsule has come up (it activates its window
  // once as it starts), another application that keeps the foreground.
  void StartBehindHelper(const EnvironmentChanges& extra = {}, bool fullscreen = false) {
    StartHosts(extra);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process OnCreate done"));
    helper_ = StartHelperWindow(L"kr helper", fullscreen);
    ASSERT_TRUE(helper_);
    ASSERT_TRUE(StaysInFront(helper_->window));
  }

  // Calls the host made on the hotkey channel with |method|.
  int Count(const std::string& method) const {
    int count = 0;
    for (const InterfaceCall& call : ui_->Calls()) {
      if (call.channel == "kestrune/hotkey" && call.method == method) {
        ++count;
      }
    }
    return count;
  }

  // Reports the card's state as the interface does.
  bool SetCardExpanded(bool expanded) {
    return ui_->Call("kestrune/hotkey", "set_card_expanded", Args({{"expanded", expanded}})).kind ==
           CallResult::Kind::kSuccess;
  }

  // Waits until every message posted to the card before it has been handled.
  void Drain() {
    int quits = Count("quit");
    ::PostMessageW(window_, WM_HOTKEY, 3, 0);
    ASSERT_TRUE(WaitUntil([&] { return Count("quit") > quits; }));
  }

  // Calls |method| on the window channel; true when it answers success.
  bool CallWindow(const char* method, const flutter::EncodableValue& arguments = {}) {
    return ui_->Call("kestrune/window", method, arguments).kind == CallResult::Kind::kSuccess;
  }

  UiBridgeServer bridge_;
  std::unique_ptr<LogReader> log_;
  std::unique_ptr<ChildProcess> host_;
  BridgeConnection* ui_ = nullptr;
  BridgeConnection* capsule_ui_ = nullptr;  // set by StartHosts
  HWND window_ = nullptr;
  std::unique_ptr<HelperWindow> helper_;
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_
