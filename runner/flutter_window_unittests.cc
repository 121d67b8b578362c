// The main window's lifecycle and the hotkey dispatcher, in this process.
#include "runner/flutter_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "capsule/capsule_pipe.h"
#include "input/hook_watchdog.h"
#include "input/hotkey_dispatch.h"
#include "input/keyboard_hook.h"
#include "input/selection_hook.h"
#include "runner/debug_log.h"
#include "runner/focus/interaction_state.h"
#include "runner/main_thread_tasks.h"
#include "runner/win32_procs.h"
#include "tray/tray_icon.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/log_reader.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace {

using kr_test::ScopedEnvironment;

// Runs this thread's messages until |condition| holds or 5 s passed.
bool PumpUntil(const std::function<bool()>& condition) {
  return kr_test::WaitUntil([&] {
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      ::DispatchMessageW(&msg);
    }
    return condition();
  });
}

bool ComboIsFree(UINT modifiers, UINT vk) {
  bool free = ::RegisterHotKey(nullptr, 0x7200, modifiers | MOD_NOREPEAT, vk) != FALSE;
  ::UnregisterHotKey(nullptr, 0x7200);
  return free;
}

// A visible window of this process in the foreground.
struct ForegroundWindow {
  explicit ForegroundWindow(const wchar_t* title) {
    window = ::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200,
                               100, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(window);
    PumpUntil([&] { return ::GetForegroundWindow() == window; });
  }
  ~ForegroundWindow() { ::DestroyWindow(window); }
  HWND window = nullptr;
};

// Dispatches from another thread while this one does not pump, as when it joins the
// polling thread: asking this thread's window for its title would wait for ever.
bool DispatchFromThePoll(FlutterWindow* window, int32_t event) {
  std::atomic<bool> done{false};
  bool sent = true;
  std::thread poller([&] {
    sent = DispatchHotkeyEvent(window, event);
    done = true;
  });
  EXPECT_TRUE(kr_test::WaitUntil([&] { return done.load(); }, 3000))
      << "the title read waited for the main thread";
  PumpUntil([&] { return done.load(); });
  poller.join();
  return sent;
}

class FlutterWindowTest : public ::testing::Test {
 protected:
  void CreateMain() {
    // Never this test program: started as the capsule it would run the suite again.
    SetCapsuleExecutable(L"C:\\kr_tests_start_no_capsule.exe");
    window_ = std::make_unique<FlutterWindow>(flutter::DartProject(L"data"));
    ASSERT_TRUE(window_->Create(L"kr_lifecycle_test", {10, 10}, {400, 300}));
  }
  // The main window connected to a bridge that records what it tells the interface.
  kr_test::BridgeConnection* CreateMainWithInterface() {
    ScopedEnvironment setting(L"KR_UI_BRIDGE", bridge_.Setting().c_str());
    CreateMain();
    return bridge_.WaitForConnection("main");
  }
  void TearDown() override {
    window_.reset();
    SetCapsuleExecutable(L"");
  }

  kr_test::UiBridgeServer bridge_;
  std::unique_ptr<FlutterWindow> window_;
};

TEST_F(FlutterWindowTest, TeardownLeavesNoHookHotkeyOrThread) {
  ScopedEnvironment setting(L"KR_SELECT_ON", L"t");  // only lower case, as for the pause
  CreateMain();
  EXPECT_TRUE(keyboard_hook.is_valid() && mouse_hook.is_valid() && select_on);
  EXPECT_EQ(flutter_window_instance.load(), window_.get());
  EXPECT_FALSE(ComboIsFree(MOD_CONTROL, VK_SPACE));
  EXPECT_TRUE(window_->channels_ready);
  // Teardown takes the icon out of the notification area, from the window it was added to.
  static std::vector<std::pair<DWORD, HWND>> shell_calls;
  shell_calls.clear();
  const Win32Procs saved = GetWin32Procs();
  GetWin32Procs().shell_notify_icon = [](DWORD message, PNOTIFYICONDATAW data) {
    shell_calls.emplace_back(message, data->hWnd);
    return TRUE;
  };
  SetTrayIconVisible(window_.get(), true);
  HWND menu_window = window_->tray_menu_window;

  for (int teardown = 0; teardown < 2; ++teardown) {  // the second finds nothing to do
    window_->Destroy();
    EXPECT_EQ(shell_calls, (std::vector<std::pair<DWORD, HWND>>{{NIM_ADD, menu_window},
                                                                {NIM_DELETE, menu_window}}));
    EXPECT_FALSE(keyboard_hook.is_valid() || mouse_hook.is_valid());
    EXPECT_EQ(flutter_window_instance.load(), nullptr);
    EXPECT_TRUE(ComboIsFree(MOD_CONTROL, VK_SPACE));
    EXPECT_FALSE(window_->channels_ready || window_->hotkey_channel || window_->controller);
    EXPECT_FALSE(window_->pipe_thread.joinable());
    EXPECT_FALSE(card_expanded || KeyboardHookFlags().esc_down);
    EXPECT_EQ(window_->GetHandle(), nullptr);
  }
  GetWin32Procs() = saved;
}

// Events becoming calls, in order across threads, are seen with the real executable.
TEST_F(FlutterWindowTest, HookQueuesBehindQueuedWorkAndListeningAgainKeepsThePress) {
  FlutterWindow not_created(flutter::DartProject(L"data"));
  EXPECT_FALSE(DispatchHotkeyEvent(&not_created, 1) || DispatchHotkeyEvent(nullptr, 1));
  kr_test::BridgeConnection* ui = CreateMainWithInterface();
  ASSERT_NE(ui, nullptr);
  EXPECT_FALSE(DispatchHotkeyEvent(window_.get(), 0) || DispatchHotkeyEvent(window_.get(), 12));
  std::thread([&] { DispatchHotkeyEvent(window_.get(), 1); }).join();
  // Esc on the card: the hook must return without running the queued toggle.
  card_expanded = true;
  KBDLLHOOKSTRUCT esc{VK_ESCAPE, 1, 0, 0, 0};
  KeyboardHookProc(HC_ACTION, WM_KEYDOWN, reinterpret_cast<LPARAM>(&esc));
  EXPECT_TRUE(GetMainThreadTasks().HasOrdered());
  KeyboardHookProc(HC_ACTION, WM_KEYUP, reinterpret_cast<LPARAM>(&esc));
  card_expanded = false;
  ASSERT_TRUE(PumpUntil([&] { return ui->Calls().size() >= 2; }));
  EXPECT_EQ(ui->Calls()[0].method, "toggle_capsule");
  EXPECT_EQ(ui->Calls()[1].method, "esc_collapse");

  // The same listening value again leaves a held push-to-talk press alone.
  auto listen = [&](bool on) {
    auto call = std::async(std::launch::async, [&] {
      return ui->Call("kestrune/hotkey", "set_voice_listening",
                      flutter::EncodableValue(flutter::EncodableMap{
                          {flutter::EncodableValue("enabled"), flutter::EncodableValue(on)}}));
    });
    PumpUntil([&] { return call.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  };
  listen(true);
  KeyboardHookFlags().voice_space_down = true;
  listen(true);
  EXPECT_TRUE(KeyboardHookFlags().voice_space_down);
  listen(false);
  EXPECT_FALSE(KeyboardHookFlags().voice_space_down);
}

TEST_F(FlutterWindowTest, BlacklistAndPauseDropEventsByTheForegroundWindow) {
  CreateMain();
  {
    ScopedEnvironment blacklist(L"KR_HOTKEY_BLACKLIST", L" Editor ,  Game ,");
    // A title read at 255 units may end inside a surrogate pair; it still matches.
    std::wstring cut = L"Editor" + std::wstring(248, L'x') + L"\U0001F600";
    for (auto [title, sent] : {std::pair{L"My Editor - notes", false}, std::pair{L"Game", false},
                               std::pair{L"my editor", true},  // case-sensitive
                               std::pair{cut.c_str(), false}}) {
      ForegroundWindow front(title);
      EXPECT_EQ(DispatchFromThePoll(window_.get(), 1), sent);
    }
  }
  ScopedEnvironment pause(L"KR_HOTKEY_PAUSE_BLUR", L"true");
  ForegroundWindow other(L"someone else");
  for (int32_t event : {1, 3, 7, 8}) {  // quit and collapse always pass
    EXPECT_EQ(DispatchHotkeyEvent(window_.get(), event), event == 3 || event == 7) << event;
  }
  ScopedEnvironment upper(L"KR_HOTKEY_PAUSE_BLUR", L"True");  // only '1' or 't' turn it on
  EXPECT_TRUE(DispatchHotkeyEvent(window_.get(), 1));
}

std::atomic<uint64_t> watchdog_ticks{1000};

TEST_F(FlutterWindowTest, ASilentlyRemovedKeyboardHookIsPutBackAndActsAgain) {
  kr_test::LogReader log(DebugLogPath());
  SetHookWatchdogClock([]() noexcept -> uint64_t { return watchdog_ticks; });
  kr_test::BridgeConnection* ui = CreateMainWithInterface();
  ASSERT_NE(ui, nullptr);
  auto type_until = [](WORD vk, const std::function<bool()>& done) {
    return PumpUntil([&] {
      watchdog_ticks += 700;
      kr_test::Type({kr_test::Down(vk), kr_test::Up(vk)});
      return done();
    });
  };
  ForegroundWindow front(L"where the user types");  // Wine drops raw input with none
  const HHOOK removed = keyboard_hook.get();
  ::UnhookWindowsHookEx(removed);  // as the system does: the host is not told
  EXPECT_TRUE(type_until(VK_F24, [&] { return keyboard_hook.get() != removed; }));
  EXPECT_TRUE(log.WaitForMessage("[KR] keyboard hook re-installed (silently removed)"));
  card_expanded = true;  // the hook's KB line tells its Esc from a focus-poll collapse
  EXPECT_TRUE(type_until(VK_ESCAPE, [&] { return log.CountMessages("[KR] KB: vk=0x1B") > 0; }));
  EXPECT_TRUE(
      PumpUntil([&] { return ui->WaitForCall("kestrune/hotkey", "esc_collapse", 0).has_value(); }));
  card_expanded = false;
  SetHookWatchdogClock(nullptr);
}

}  // namespace
