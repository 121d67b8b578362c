// The tray menu opened by the interface, chosen with the keyboard.
#include <gtest/gtest.h>

#include <future>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableValue;

// The visible popup menu, once the host has opened one.
HWND WaitForPopupMenu() {
  HWND menu = nullptr;
  WaitUntil([&] {
    menu = ::FindWindowW(L"#32768", nullptr);
    return menu != nullptr && ::IsWindowVisible(menu);
  });
  return menu;
}

class TrayTest : public MainHostTest {
 protected:
  void SetUp() override { StartMainHost(); }

  // Opens the menu through the interface; the call answers once it closed.
  std::future<CallResult> OpenMenu() {
    return std::async(std::launch::async, [this] {
      return ui_->Call("kestrune/window", "showTrayMenu", EncodableValue(), 15000);
    });
  }
};

TEST_F(TrayTest, OpenEntrySendsTrayShowMainWithZero) {
  std::future<CallResult> call = OpenMenu();
  ASSERT_NE(WaitForPopupMenu(), nullptr);
  Type({Down(VK_DOWN), Up(VK_DOWN), Down(VK_RETURN), Up(VK_RETURN)});
  ASSERT_EQ(call.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(call.get().kind, CallResult::Kind::kSuccess);
  std::optional<InterfaceCall> shown = ui_->WaitForCall("kestrune/hotkey", "tray_show_main");
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->arguments, EncodableValue(int32_t{0}));
  EXPECT_TRUE(host_->running());

  // A second menu reuses the same owner window.
  std::future<CallResult> again = OpenMenu();
  ASSERT_NE(WaitForPopupMenu(), nullptr);
  Type({Down(VK_ESCAPE), Up(VK_ESCAPE)});
  ASSERT_EQ(again.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  int owners = 0;
  for (HWND owner = nullptr;
       (owner = ::FindWindowExW(HWND_MESSAGE, owner, L"KestruneTrayMenu", nullptr)) != nullptr;) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(owner, &pid);
    owners += pid == host_->pid() ? 1 : 0;
  }
  EXPECT_EQ(owners, 1);
}

TEST_F(TrayTest, QuitEntryEndsTheHostAndItsCapsule) {
  ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process started, pid="));
  std::future<CallResult> call = OpenMenu();
  ASSERT_NE(WaitForPopupMenu(), nullptr);
  Type({Down(VK_DOWN), Up(VK_DOWN), Down(VK_DOWN), Up(VK_DOWN), Down(VK_RETURN), Up(VK_RETURN)});
  std::optional<DWORD> code = host_->WaitForExit(15000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule process terminated"));
  EXPECT_EQ(ui_->Calls().size(), 0u);  // the quit is never sent to the interface
}

TEST_F(TrayTest, ShellRestartAddsAVisibleIconAgain) {
  UINT taskbar_created = ::RegisterWindowMessageW(L"TaskbarCreated");
  // Hidden icon: nothing to add again.
  ::PostMessageW(window_, taskbar_created, 0, 0);
  ASSERT_TRUE(MessageLoopAnswers(window_));
  EXPECT_EQ(log_->CountMessages("[KR] TaskbarCreated: tray icon added again"), 0u);

  ASSERT_EQ(ui_->Call("kestrune/window", "setTrayVisible",
                      EncodableValue(
                          flutter::EncodableMap{{EncodableValue("visible"), EncodableValue(true)}}))
                .kind,
            CallResult::Kind::kSuccess);
  ::PostMessageW(window_, taskbar_created, 0, 0);
  EXPECT_TRUE(log_->WaitForMessage("[KR] TaskbarCreated: tray icon added again"));
  EXPECT_EQ(log_->CountMessages("[KR] TaskbarCreated: tray icon added again"), 1u);
}

}  // namespace
}  // namespace kr_test
