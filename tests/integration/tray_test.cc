// The notification area's messages to the main window, and the tray menu with
// its owner: a hidden top-level window (so it can take the foreground and its
// menu closes on a click elsewhere) that takes the clicks of the icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

using flutter::EncodableValue;

constexpr UINT kTrayIconCallback = 1125;
constexpr UINT kCapsuleExpandMsg = WM_USER + 400;

HWND VisibleMenu() {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu != nullptr && ::IsWindowVisible(menu) ? menu : nullptr;
}

class TrayTest : public MainHostTest {
 protected:
  void SetUp() override { StartHosts(); }

  // True when the icon's notification |code| was answered with 0 in time.
  bool Notify(UINT code) {
    DWORD_PTR result = 1;
    return ::SendMessageTimeoutW(window_, notify_, 0, code, SMTO_NORMAL, 2000, &result) != 0 &&
           result == 0;
  }

  // Types |keys| into the menu once it is open; they close it.
  void Choose(std::initializer_list<Key> keys) {
    ASSERT_TRUE(WaitUntil([] { return VisibleMenu() != nullptr; }));
    Type(keys);
    ASSERT_TRUE(WaitUntil([] { return VisibleMenu() == nullptr; }));
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
  ASSERT_TRUE(CallWindow("setTrayVisible", Args({{"visible", true}})));
  ::SendMessageW(window_, taskbar_created, 0, 0);
  EXPECT_EQ(log_->CountMessages("[KR] TaskbarCreated: tray icon added again"), 1u);

  // Right button down and up open the menu; "quit" is never sent.
  ::PostMessageW(window_, notify_, 0, WM_RBUTTONDOWN);
  Choose({Down(VK_ESCAPE), Up(VK_ESCAPE)});
  ::PostMessageW(window_, notify_, 0, WM_RBUTTONUP);
  Choose({Down(VK_ESCAPE), Up(VK_ESCAPE)});

  // The menu's one owner, which takes the icon's own clicks.
  HWND owner = ::FindWindowW(L"KestruneTrayMenu", nullptr);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(::FindWindowExW(nullptr, owner, L"KestruneTrayMenu", nullptr), nullptr);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(owner, &pid);
  EXPECT_EQ(pid, host_->pid());
  EXPECT_FALSE(::IsWindowVisible(owner));
  ::PostMessageW(owner, kTrayIconCallback, 1, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitUntil([&] { return Count("tray_show_main") == 4; }));
  EXPECT_EQ(ui_->Calls().back().arguments, EncodableValue(int32_t{0}));
  ::PostMessageW(owner, kTrayIconCallback, 1, WM_RBUTTONUP);
  Choose({Down(VK_ESCAPE), Up(VK_ESCAPE)});

  // Quit first, an expand right behind it: the expand must meet a whole
  // window, never one already torn down. The main thread may take the quit
  // before the expand is posted; the expand then goes with the window.
  ::PostMessageW(owner, WM_COMMAND, 2, 0);
  ::PostMessageW(window_, kCapsuleExpandMsg, 0, 0);
  EXPECT_EQ(host_->WaitForExit(15000), std::optional<DWORD>(0));
  std::vector<std::string> lines = log_->NewMessages();
  auto expand = std::find(lines.begin(), lines.end(), "[KR] kCapsuleExpandMsg received");
  auto teardown = std::find(lines.begin(), lines.end(), "[KR] Capsule process terminated");
  ASSERT_NE(teardown, lines.end());
  EXPECT_TRUE(expand == lines.end() || expand < teardown);
  EXPECT_EQ(Count("quit"), 0);
}

}  // namespace
}  // namespace kr_test
