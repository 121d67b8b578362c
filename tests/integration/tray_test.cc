// The notification area's messages to the main window, and the tray menu.
#include <gtest/gtest.h>

#include <future>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_and_capsule_test.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableValue;

HWND VisibleMenu() {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu != nullptr && ::IsWindowVisible(menu) ? menu : nullptr;
}

class TrayTest : public MainAndCapsuleTest {
 protected:
  void SetUp() override { StartHosts(); }

  // True when the icon's notification |code| was answered with 0 in time.
  bool Notify(UINT code) {
    DWORD_PTR result = 1;
    return ::SendMessageTimeoutW(window_, notify_, 0, code, SMTO_NORMAL, 2000, &result) != 0 &&
           result == 0;
  }

  void Choose(std::initializer_list<Key> keys) {
    ASSERT_TRUE(WaitUntil([] { return VisibleMenu() != nullptr; }));
    Type(keys);
  }

  const UINT notify_ = ::RegisterWindowMessageW(L"SystemTrayNotify");
};

TEST_F(TrayTest, IconAndMenuShowTheMainCardOrQuit) {
  // Codes other than the four clicks are passed on, without a menu or an event.
  for (UINT code : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_RBUTTONDBLCLK, WM_CONTEXTMENU, WM_USER}) {
    EXPECT_TRUE(Notify(code)) << code;
  }
  EXPECT_TRUE(Notify(WM_LBUTTONUP) && Notify(WM_LBUTTONDBLCLK));
  // The menu's first entry, with the menu opened by the interface.
  std::future<CallResult> call = std::async(std::launch::async, [this] {
    return ui_->Call("kestrune/window", "showTrayMenu", EncodableValue(), 15000);
  });
  Choose({Down(VK_DOWN), Up(VK_DOWN), Down(VK_RETURN), Up(VK_RETURN)});
  ASSERT_EQ(call.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(call.get().kind, CallResult::Kind::kSuccess);
  ::PostMessageW(window_, 1227, 0, 0);  // "select_on", after all of the above
  ASSERT_TRUE(ui_->WaitForCall("kestrune/hotkey", "select_on"));
  std::vector<InterfaceCall> calls = ui_->Calls();
  ASSERT_EQ(calls.size(), 4u);
  for (int i : {0, 1, 2}) {
    EXPECT_EQ(calls[i].method, "tray_show_main");
    EXPECT_EQ(calls[i].arguments, EncodableValue(int32_t{0}));
  }

  // A shell restart adds the icon again only when it is shown.
  const UINT taskbar_created = ::RegisterWindowMessageW(L"TaskbarCreated");
  ::SendMessageW(window_, taskbar_created, 0, 0);
  EXPECT_EQ(log_->CountMessages("[KR] TaskbarCreated: tray icon added again"), 0u);
  EncodableValue visible(flutter::EncodableMap{{EncodableValue("visible"), EncodableValue(true)}});
  ASSERT_EQ(ui_->Call("kestrune/window", "setTrayVisible", visible).kind,
            CallResult::Kind::kSuccess);
  ::SendMessageW(window_, taskbar_created, 0, 0);
  EXPECT_EQ(log_->CountMessages("[KR] TaskbarCreated: tray icon added again"), 1u);

  // Right button down and up open the menu (one owner window); "quit" is never sent.
  ::PostMessageW(window_, notify_, 0, WM_RBUTTONDOWN);
  Choose({Down(VK_ESCAPE), Up(VK_ESCAPE)});
  ASSERT_TRUE(WaitUntil([] { return VisibleMenu() == nullptr; }));
  ::PostMessageW(window_, notify_, 0, WM_RBUTTONUP);
  Choose({Down(VK_DOWN), Up(VK_DOWN), Down(VK_DOWN), Up(VK_DOWN)});
  int owners = 0;
  for (HWND owner = nullptr;
       (owner = ::FindWindowExW(nullptr, owner, L"KestruneTrayMenu", nullptr)) != nullptr;) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(owner, &pid);
    owners += pid == host_->pid() ? 1 : 0;
  }
  EXPECT_EQ(owners, 1);
  Type({Down(VK_RETURN), Up(VK_RETURN)});
  EXPECT_EQ(host_->WaitForExit(15000), std::optional<DWORD>(0));
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule process terminated"));
  EXPECT_EQ(ui_->Calls().size(), 4u);
}

}  // namespace
}  // namespace kr_test
