// Both roles as started, the single main instance, and the installed search tool.
#include <gtest/gtest.h>

#include <tuple>

#include "runner/debug_log.h"
#include "runner/unique_resource.h"
#include "tests/support/host_process.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/log_reader.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableValue;

EncodableValue List(std::initializer_list<const char*> items) {
  EncodableList list(items.begin(), items.end());
  return EncodableValue(list);
}

std::tuple<LONG, LONG, LONG, LONG> Rect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

TEST(MainRole, StartsHiddenWithItsViewPluginsChannelsAndArguments) {
  UiBridgeServer bridge;
  auto host = StartHost(
      {{L"KR_UI_BRIDGE", bridge.Setting()}},
      {L"na\u00efve", L"\u65e5\u672c with space", L"emoji \U0001F600", L"quote\"inside", L""});
  ASSERT_TRUE(host);
  BridgeConnection* ui = bridge.WaitForConnection("main");
  ASSERT_NE(ui, nullptr);
  HWND window = WaitForHostWindow(host->pid());
  std::vector<HWND> views;  // the view is hosted last
  ASSERT_TRUE(
      WaitUntil([&] { return (views = ChildWindowsOfClass(window, L"FLUTTERVIEW")).size() == 1; }));
  HWND view = views.front();

  // Arguments arrive as UTF-8, without the program name.
  EncodableValue arguments = List({"na\xc3\xafve", "\xe6\x97\xa5\xe6\x9c\xac with space",
                                   "emoji \xf0\x9f\x98\x80", "quote\"inside", ""});
  EXPECT_EQ(ui->hello().at(EncodableValue("args")), arguments);
  EXPECT_EQ(ui->Call("kr_embedder/introspect", "entrypointArguments").value, arguments);

  // Hidden, topmost, frameless, inactive, 1280 x 720 at 10,10, all of it the view.
  EXPECT_EQ(WindowTitle(window), L"kestrune_flutter");
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & 0xCF0000, 0);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_EXSTYLE) & (0x300 | WS_EX_TOPMOST), WS_EX_TOPMOST);
  EXPECT_NE(::GetForegroundWindow(), window);
  EXPECT_EQ(HostWindows(host->pid()).size(), 1u);
  EXPECT_EQ(Rect(window), std::make_tuple(10, 10, 1290, 730));
  EXPECT_EQ(Rect(view), Rect(window));
  EXPECT_EQ(::GetParent(view), window);

  EXPECT_EQ(ui->Call("kr_embedder/introspect", "registeredPlugins").value,
            List({"DesktopDropPlugin", "ScreenRetrieverPlugin", "SystemTrayPlugin",
                  "UrlLauncherWindows", "WebviewWindowsPlugin", "WindowManagerPlugin"}));
  // The last channels are made after the bridge connected.
  EXPECT_TRUE(WaitUntil([&] {
    return ui->Call("kr_embedder/introspect", "handledChannels").value ==
           List({"kestrune/hitregion", "kestrune/hotkey", "kestrune/icon", "kestrune/smtc",
                 "kestrune/system_monitor", "kestrune/wechat", "kestrune/window"});
  }));
  // Methods of later subsystems answer not-implemented rather than pretending.
  for (const char* channel : {"kestrune/icon", "kestrune/smtc", "kestrune/system_monitor",
                              "kestrune/wechat", "kestrune/hotkey"}) {
    EXPECT_EQ(ui->Call(channel, "no_such_method").kind, CallResult::Kind::kNotImplemented)
        << channel;
  }
}

// Any value of KESTRUNE_CAPSULE, the empty one too, selects the capsule role: a
// shown, non-activating bar with four channels, no hotkeys, hook or mutex.
TEST(CapsuleRole, AnyValueSelectsItAndSeveralRunSideBySide) {
  UiBridgeServer bridge;
  LogReader log(DebugLogPath());
  std::unique_ptr<ChildProcess> capsules[] = {
      StartHost({{L"KESTRUNE_CAPSULE", L""}}), StartHost({{L"KESTRUNE_CAPSULE", L"0"}}),
      StartHost({{L"KESTRUNE_CAPSULE", L"1"}, {L"KR_UI_BRIDGE", bridge.Setting()}})};
  for (const auto& capsule : capsules) {
    HWND window = capsule ? WaitForHostWindow(capsule->pid()) : nullptr;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }));
    EXPECT_EQ(WindowTitle(window), L"Kestrune_Capsule");
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & (WS_POPUP | 0xCF0000), WS_POPUP);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWL_EXSTYLE) & (WS_EX_NOACTIVATE | WS_EX_TOPMOST),
              WS_EX_NOACTIVATE | WS_EX_TOPMOST);
    EXPECT_NE(::GetForegroundWindow(), window);
    EXPECT_EQ(Rect(window), std::make_tuple(0, 0, 400, 64));
  }
  UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\KestruneSingleInstanceMutex"));
  EXPECT_FALSE(mutex.is_valid());

  BridgeConnection* ui = bridge.WaitForConnection("capsule");
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->hello().at(EncodableValue("args")), List({}));
  ASSERT_TRUE(log.WaitForMessage("[KR] Capsule process OnCreate done (channels ready)"));
  EXPECT_EQ(ui->Call("kr_embedder/introspect", "handledChannels").value,
            List({"kestrune/hitregion", "kestrune/hotkey", "kestrune/icon", "kestrune/window"}));
  // No main runs: no default hotkey is held, and no hook sees keys.
  ASSERT_TRUE(::RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_NOREPEAT, VK_SPACE));
  ::UnregisterHotKey(nullptr, 1);
  Type({Down(VK_DELETE), Up(VK_DELETE)});
  ::Sleep(300);
  EXPECT_EQ(log.CountMessages("RegisterHotKey"), 0u);
  EXPECT_EQ(log.CountMessages("[KR] KB:"), 0u);
  EXPECT_EQ(log.CountMessages("[KR] Capsule process started"), 0u);
}

// The exit code of a main start, or nothing if it showed a window or never ended.
std::optional<DWORD> SecondInstanceExitCode() {
  auto second = StartHost({});
  bool had_window = false;
  std::optional<DWORD> code;
  WaitUntil(
      [&] {
        had_window = had_window || !HostWindows(second->pid()).empty();
        code = second->WaitForExit(0);
        return code.has_value();
      },
      15000);
  return had_window ? std::nullopt : code;
}

TEST(SingleInstance, SecondStartsBringTheFirstToFrontAndExitWithOne) {
  {
    // A main instance that has no window (yet) holds the mutex alone.
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, L"Global\\KestruneSingleInstanceMutex"));
    EXPECT_EQ(SecondInstanceExitCode(), std::optional<DWORD>(1));
  }
  auto first = StartHost({});
  HWND window = first ? WaitForHostWindow(first->pid()) : nullptr;
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(SecondInstanceExitCode(), std::optional<DWORD>(1));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }));

  ::ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(window) != FALSE; }));
  EXPECT_EQ(SecondInstanceExitCode(), std::optional<DWORD>(1));
  EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(window) && ::IsWindowVisible(window); }));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window; }));
  EXPECT_EQ(HostWindows(first->pid()).size(), 1u);
}

// A copy of |program| at |folder|\|name|, folders made as needed.
std::wstring CopyTo(const std::wstring& program, const std::wstring& folder, const wchar_t* name) {
  for (size_t at = folder.find(L'\\', ProgramFolder().size()); at != std::wstring::npos;
       at = folder.find(L'\\', at + 1)) {
    ::CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  }
  ::CopyFileW(program.c_str(), (folder + name).c_str(), FALSE);
  return folder + name;
}

TEST(SearchTool, StartAndExitEndOnlyTheCopyBundledBesideTheHost) {
  std::wstring helper = ProgramFolder() + L"kr_helper_window.exe";
  auto users_own = ChildProcess::Start(
      CopyTo(helper, ProgramFolder() + L"fake_everything\\", L"Everything.exe"), {L"tool"}, {});
  std::wstring folder = ProgramFolder() + L"host_with_tool\\";
  auto bundled = ChildProcess::Start(
      CopyTo(helper, folder + L"data\\everything\\", L"Everything.exe"), {L"bundled"}, {});
  ASSERT_TRUE(users_own && bundled);
  ASSERT_TRUE(WaitUntil([&] { return users_own->running() && bundled->running(); }));
  auto host = ChildProcess::Start(CopyTo(HostExecutable(), folder, L"kestrune_flutter.exe"), {},
                                  {{L"KESTRUNE_CAPSULE", std::nullopt}});
  ASSERT_TRUE(host);
  EXPECT_TRUE(bundled->WaitForExit(10000).has_value());
  HWND window = WaitForHostWindow(host->pid());
  ASSERT_NE(window, nullptr);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(host->WaitForExit(10000).has_value());
  EXPECT_TRUE(users_own->running());
}

}  // namespace
}  // namespace kr_test
