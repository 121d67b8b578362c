// Both roles as started, the single main instance, and the installed search tool.
#include <gtest/gtest.h>

#include "runner/unique_resource.h"
#include "tests/support/channel_samples.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableValue;

EncodableValue List(std::initializer_list<const char*> items) {
  EncodableList list(items.begin(), items.end());
  return EncodableValue(list);
}

TEST(MainRole, StartsHiddenWithItsViewChannelsAndArguments) {
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
  EXPECT_EQ(ui->hello().at(EncodableValue("args")),
            List({"na\xc3\xafve", "\xe6\x97\xa5\xe6\x9c\xac with space", "emoji \xf0\x9f\x98\x80",
                  "quote\"inside", ""}));

  // Hidden, topmost, frameless, inactive, 1280 x 720 at 10,10, all of it the view.
  EXPECT_EQ(WindowTitle(window), L"kestrune_flutter");
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_STYLE) & 0xCF0000, 0);
  EXPECT_EQ(::GetWindowLongPtrW(window, GWL_EXSTYLE) & (0x300 | WS_EX_TOPMOST), WS_EX_TOPMOST);
  EXPECT_NE(::GetForegroundWindow(), window);
  EXPECT_TRUE(SameRect(WindowRect(window), {10, 10, 1290, 730})) << Describe(WindowRect(window));
  EXPECT_TRUE(SameRect(WindowRect(view), WindowRect(window)));

  EncodableValue every_type{EncodableList(EveryCodecType())};
  EXPECT_EQ(ui->Call("kr_embedder/introspect", "echo", every_type).value, every_type);
  EXPECT_EQ(ui->Call("kestrune/nothing_here", "anything").kind, CallResult::Kind::kNotImplemented);
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
// shown, non-activating bar with four channels, no hotkeys, hook or mutex; the
// whole bar is its island until a hit region is set.
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
    EXPECT_TRUE(SameRect(WindowRect(window), {0, 0, 400, 64})) << Describe(WindowRect(window));
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

  HWND window = WaitForHostWindow(capsules[2]->pid());
  HWND view = ChildWindowsOfClass(window, L"FLUTTERVIEW").at(0);
  EXPECT_EQ(HitTestAt(window, 300, 30), HTCLIENT);
  EXPECT_EQ(HitTestAt(view, 300, 30), HTCLIENT);
  EXPECT_EQ(ui->Call("kestrune/window", "showCapsuleBar").kind, CallResult::Kind::kSuccess);
  EXPECT_TRUE(WaitForRect(window, RECT{770, 2, 1150, 66})) << Describe(WindowRect(window));
  EXPECT_NE(ExStyle(window) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(ui->Call("kestrune/window", "setCenterScreen").kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(ui->Call("kestrune/window", "getWindowPos").value, Box(770, 2, 380, 64));
  // Stored as (10, 0, 111, 40), edges inside; the window and its view both answer.
  ASSERT_EQ(ui->Call("kestrune/hitregion", "set", Box(10.4, 0, 100.5, 40)).kind,
            CallResult::Kind::kSuccess);
  for (HWND target : {window, view}) {
    EXPECT_EQ(HitTestAt(target, 111, 40), HTCLIENT);
    EXPECT_EQ(HitTestAt(target, 112, 20), HTTRANSPARENT);
  }
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

// A second start summons the first instance's hidden card, as its hotkey
// would, instead of focusing an invisible window; a minimised one is restored.
class SingleInstance : public MainHostTest {};

TEST_F(SingleInstance, SecondStartsBringTheFirstToFrontAndExitWithOne) {
  {
    // A main instance that has no window (yet) holds the mutex alone.
    UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, L"Global\\KestruneSingleInstanceMutex"));
    EXPECT_EQ(SecondInstanceExitCode(), std::optional<DWORD>(1));
  }
  StartMainHost();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_FALSE(::IsWindowVisible(window_));
  EXPECT_EQ(SecondInstanceExitCode(), std::optional<DWORD>(1));
  EXPECT_TRUE(ui_->WaitForCall("kestrune/hotkey", "toggle_capsule").has_value());
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window_) != FALSE; }));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }));

  ::ShowWindow(window_, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return ::IsIconic(window_) != FALSE; }));
  EXPECT_EQ(SecondInstanceExitCode(), std::optional<DWORD>(1));
  EXPECT_TRUE(WaitUntil([&] { return !::IsIconic(window_) && ::IsWindowVisible(window_); }));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }));
  EXPECT_EQ(HostWindows(host_->pid()).size(), 1u);
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
