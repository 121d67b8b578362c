#ifndef KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_
#define KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runner/debug_log.h"
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
  HWND window_ = nullptr;
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_
