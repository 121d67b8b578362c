#ifndef KESTRUNE_TESTS_SUPPORT_MAIN_AND_CAPSULE_TEST_H_
#define KESTRUNE_TESTS_SUPPORT_MAIN_AND_CAPSULE_TEST_H_

#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"

namespace kr_test {

// A main host whose capsule process has shown its bar. The capsule's window is
// activated as its view takes the focus, which under Wine resets the injected
// key state and closes an open menu: tests that type or open menus start so.
class MainAndCapsuleTest : public MainHostTest {
 protected:
  void StartHosts(const EnvironmentChanges& extra = {}) {
    StartMainHost(extra);
    if (HasFatalFailure()) {
      return;
    }
    BridgeConnection* capsule = bridge_.WaitForConnection("capsule");
    ASSERT_NE(capsule, nullptr);
    HWND bar = WaitForHostWindow(static_cast<DWORD>(capsule->pid()));
    ASSERT_TRUE(bar != nullptr && WaitUntil([&] { return ::IsWindowVisible(bar) != FALSE; }));
  }
};

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_MAIN_AND_CAPSULE_TEST_H_
