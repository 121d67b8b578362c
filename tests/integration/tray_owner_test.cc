// The tray menu's owner window: a hidden top-level window (so it can take the
// foreground and its menu closes on a click elsewhere) that takes the clicks of
// the icon, and a quit that runs after what was queued before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr UINT kTrayIconCallback = 1125;
constexpr UINT kCapsuleExpandMsg = WM_USER + 400;

HWND VisiblePopupMenu() {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu != nullptr && ::IsWindowVisible(menu) ? menu : nullptr;
}

class TrayOwnerTest : public MainHostTest {
 protected:
  void SetUp() override {
    StartMainHost();
    if (HasFatalFailure()) {
      return;
    }
    EncodableMap visible{{EncodableValue("visible"), EncodableValue(true)}};
    ASSERT_EQ(ui_->Call("kestrune/window", "setTrayVisible", EncodableValue(visible)).kind,
              CallResult::Kind::kSuccess);
    WaitUntil([&] { return (owner_ = OwnerOf(host_->pid())) != nullptr; });
    ASSERT_NE(owner_, nullptr);
  }

  // The host's top-level "KestruneTrayMenu" window.
  static HWND OwnerOf(DWORD pid) {
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"KestruneTrayMenu", nullptr));) {
      DWORD owner_pid = 0;
      ::GetWindowThreadProcessId(w, &owner_pid);
      if (owner_pid == pid) {
        return w;
      }
    }
    return nullptr;
  }

  HWND owner_ = nullptr;
};

TEST_F(TrayOwnerTest, IconClicksReachTheHiddenTopLevelOwner) {
  EXPECT_FALSE(::IsWindowVisible(owner_));
  EXPECT_EQ(::GetAncestor(owner_, GA_PARENT), ::GetDesktopWindow());

  ::PostMessageW(owner_, kTrayIconCallback, 1, WM_LBUTTONDBLCLK);
  std::optional<InterfaceCall> shown = ui_->WaitForCall("kestrune/hotkey", "tray_show_main");
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->arguments, EncodableValue(int32_t{0}));

  // Right button: the menu, owned by that window; closed without a command.
  ::PostMessageW(owner_, kTrayIconCallback, 1, WM_RBUTTONUP);
  ASSERT_TRUE(WaitUntil([] { return VisiblePopupMenu() != nullptr; }));
  Type({Down(VK_ESCAPE), Up(VK_ESCAPE)});
  EXPECT_TRUE(WaitUntil([] { return VisiblePopupMenu() == nullptr; }));
  ASSERT_TRUE(MessageLoopAnswers(window_));
  EXPECT_EQ(Count("tray_show_main"), 1);
  EXPECT_TRUE(host_->running());
}

TEST_F(TrayOwnerTest, QuitRunsAfterWhatWasQueuedBeforeIt) {
  ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule process started, pid="));
  // The quit command first, an expand right behind it: the expand must meet a
  // whole window, never one already torn down.
  ::PostMessageW(owner_, WM_COMMAND, 2, 0);
  ::PostMessageW(window_, kCapsuleExpandMsg, 0, 0);
  EXPECT_EQ(host_->WaitForExit(10000), std::optional<DWORD>(0));
  std::vector<std::string> lines = log_->NewMessages();
  auto expand = std::find(lines.begin(), lines.end(), "[KR] kCapsuleExpandMsg received");
  auto teardown = std::find(lines.begin(), lines.end(), "[KR] Capsule process terminated");
  ASSERT_NE(teardown, lines.end());
  EXPECT_LT(expand, teardown);
}

}  // namespace
}  // namespace kr_test
