// The main role's window as the host leaves it after start-up.
#include <gtest/gtest.h>

#include "tests/support/host_process.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableValue;

// The view is hosted last, so once it is there start-up has finished.
HWND WaitForView(HWND window) {
  HWND view = nullptr;
  WaitUntil([&] {
    std::vector<HWND> views = ChildWindowsOfClass(window, L"FLUTTERVIEW");
    view = views.size() == 1 ? views.front() : nullptr;
    return view != nullptr;
  });
  return view;
}

TEST(MainRole, WindowIsHiddenTopmostFramelessAndInactive) {
  auto host = StartHost({});
  ASSERT_TRUE(host);
  HWND window = WaitForHostWindow(host->pid());
  ASSERT_NE(window, nullptr);
  ASSERT_NE(WaitForView(window), nullptr);

  EXPECT_EQ(WindowClass(window), L"FLUTTER_RUNNER_WIN32_WINDOW");
  EXPECT_EQ(WindowTitle(window), L"kestrune_flutter");
  EXPECT_FALSE(::IsWindowVisible(window));
  LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  LONG_PTR ex_style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
  EXPECT_EQ(style & 0xCF0000, 0);
  EXPECT_EQ(ex_style & 0x300, 0);
  EXPECT_NE(ex_style & WS_EX_TOPMOST, 0);
  EXPECT_NE(::GetForegroundWindow(), window);
  EXPECT_EQ(HostWindows(host->pid()).size(), 1u);
}

TEST(MainRole, WindowHasLogicalSizeAtNinetySixDpi) {
  auto host = StartHost({});
  ASSERT_TRUE(host);
  HWND window = WaitForHostWindow(host->pid());
  ASSERT_NE(window, nullptr);
  ASSERT_NE(WaitForView(window), nullptr);

  RECT rect;
  ASSERT_TRUE(::GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 10);
  EXPECT_EQ(rect.right - rect.left, 1280);
  EXPECT_EQ(rect.bottom - rect.top, 720);
}

TEST(MainRole, ViewCoversTheClientAreaAndLoopRuns) {
  auto host = StartHost({});
  ASSERT_TRUE(host);
  HWND window = WaitForHostWindow(host->pid());
  ASSERT_NE(window, nullptr);
  HWND view = WaitForView(window);
  ASSERT_NE(view, nullptr);

  EXPECT_EQ(::GetParent(view), window);
  EXPECT_NE(::GetWindowLongPtrW(view, GWL_STYLE) & WS_CHILD, 0);
  RECT client;
  ::GetClientRect(window, &client);
  RECT view_rect;
  ::GetWindowRect(view, &view_rect);
  ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&view_rect), 2);
  EXPECT_EQ(view_rect.left, client.left);
  EXPECT_EQ(view_rect.top, client.top);
  EXPECT_EQ(view_rect.right, client.right);
  EXPECT_EQ(view_rect.bottom, client.bottom);
  // The frameless client area is the whole window.
  EXPECT_EQ(client.right, 1280);
  EXPECT_EQ(client.bottom, 720);

  EXPECT_TRUE(MessageLoopAnswers(window));
  EXPECT_TRUE(host->running());
}

TEST(MainRole, RegistersTheSixPluginsInOrderOnce) {
  UiBridgeServer bridge;
  auto host = StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}});
  ASSERT_TRUE(host);
  BridgeConnection* ui = bridge.WaitForConnection("main");
  ASSERT_NE(ui, nullptr);
  ASSERT_NE(WaitForView(WaitForHostWindow(host->pid())), nullptr);

  CallResult plugins = ui->Call("kr_embedder/introspect", "registeredPlugins");
  ASSERT_EQ(plugins.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(plugins.value,
            EncodableValue(EncodableList{
                EncodableValue("DesktopDropPlugin"), EncodableValue("ScreenRetrieverPlugin"),
                EncodableValue("SystemTrayPlugin"), EncodableValue("UrlLauncherWindows"),
                EncodableValue("WebviewWindowsPlugin"), EncodableValue("WindowManagerPlugin")}));
}

TEST(MainRole, CloseEndsTheProcessWithExitCodeZero) {
  auto host = StartHost({});
  ASSERT_TRUE(host);
  HWND window = WaitForHostWindow(host->pid());
  ASSERT_NE(WaitForView(window), nullptr);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  std::optional<DWORD> code = host->WaitForExit(10000);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 0u);
}

}  // namespace
}  // namespace kr_test
