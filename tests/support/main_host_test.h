#ifndef KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_
#define KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "runner/debug_log.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/ui_bridge_server.h"

namespace kr_test {

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
    flutter::EncodableMap map;
    map[flutter::EncodableValue("expanded")] = flutter::EncodableValue(expanded);
    return ui_->Call("kestrune/hotkey", "set_card_expanded", flutter::EncodableValue(map)).kind ==
           CallResult::Kind::kSuccess;
  }

  UiBridgeServer bridge_;
  std::unique_ptr<LogReader> log_;
  std::unique_ptr<ChildProcess> host_;
  BridgeConnection* ui_ = nullptr;
  HWND window_ = nullptr;
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_MAIN_HOST_TEST_H_
