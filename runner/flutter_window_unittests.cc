// The main window's lifecycle and the hotkey dispatcher, in this process.
#include "runner/flutter_window.h"

#include <gtest/gtest.h>

#include "tests/support/scoped_environment.h"

#include <atomic>
#include <thread>

#include "capsule/capsule_pipe.h"
#include "input/hotkey_dispatch.h"
#include "input/keyboard_hook.h"
#include "input/selection_hook.h"
#include "runner/focus/interaction_state.h"
#include "tests/support/ui_bridge_server.h"

namespace {

using kr_test::BridgeConnection;
using kr_test::UiBridgeServer;

using kr_test::ScopedEnvironment;

// Runs this thread's messages until |condition| holds or |timeout_ms| passed.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeout_ms = 5000) {
  ULONGLONG deadline = ::GetTickCount64() + timeout_ms;
  while (!condition()) {
    if (::GetTickCount64() > deadline) {
      return false;
    }
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(5);
  }
  return true;
}

bool ComboIsFree(UINT modifiers, UINT vk) {
  if (!::RegisterHotKey(nullptr, 0x7200, modifiers | MOD_NOREPEAT, vk)) {
    return false;
  }
  ::UnregisterHotKey(nullptr, 0x7200);
  return true;
}

// A visible window of this process that can take the foreground.
struct ForegroundWindow {
  explicit ForegroundWindow(const wchar_t* title) {
    window = ::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200,
                               100, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(window);
    PumpUntil([&] { return ::GetForegroundWindow() == window; }, 2000);
  }
  ~ForegroundWindow() { ::DestroyWindow(window); }
  HWND window;
};

class FlutterWindowTest : public ::testing::Test {
 protected:
  void CreateMain() {
    // Never this test program: started as the capsule it would run the suite again.
    SetCapsuleExecutable(L"C:\\kr_tests_start_no_capsule.exe");
    window_ = std::make_unique<FlutterWindow>(flutter::DartProject(L"data"));
    ASSERT_TRUE(window_->Create(L"kr_lifecycle_test", Win32Window::Point(10, 10),
                                Win32Window::Size(400, 300)));
  }
  void TearDown() override {
    window_.reset();
    SetCapsuleExecutable(L"");
  }

  std::unique_ptr<FlutterWindow> window_;
};

TEST_F(FlutterWindowTest, TeardownLeavesNoHookHotkeyOrThread) {
  ScopedEnvironment select(L"KR_SELECT_ON", L"1");
  CreateMain();
  EXPECT_TRUE(keyboard_hook.is_valid());
  EXPECT_TRUE(mouse_hook.is_valid());
  EXPECT_TRUE(select_on);
  EXPECT_EQ(flutter_window_instance.load(), window_.get());
  EXPECT_FALSE(ComboIsFree(MOD_CONTROL, VK_SPACE));
  EXPECT_TRUE(window_->channels_ready);

  window_->Destroy();
  EXPECT_FALSE(keyboard_hook.is_valid());
  EXPECT_FALSE(mouse_hook.is_valid());
  EXPECT_EQ(flutter_window_instance.load(), nullptr);
  EXPECT_TRUE(ComboIsFree(MOD_CONTROL, VK_SPACE));
  EXPECT_TRUE(ComboIsFree(MOD_CONTROL | MOD_SHIFT, 'A'));
  EXPECT_FALSE(window_->channels_ready);
  EXPECT_FALSE(window_->hotkey_channel);
  EXPECT_FALSE(window_->controller);
  EXPECT_FALSE(window_->pipe_thread.joinable());
  EXPECT_FALSE(card_expanded);
  EXPECT_FALSE(KeyboardHookFlags().esc_down);

  // A second teardown finds nothing to do.
  window_->Destroy();
  EXPECT_FALSE(keyboard_hook.is_valid());
  EXPECT_EQ(window_->GetHandle(), nullptr);
}

TEST_F(FlutterWindowTest, SelectionHookOnlyForLowerCaseSwitch) {
  for (const wchar_t* value : {L"T", L"yes", L"0", L"t", L"1"}) {
    SCOPED_TRACE(value);
    ScopedEnvironment select(L"KR_SELECT_ON", value);
    CreateMain();
    bool expected = value[0] == L't' || value[0] == L'1';
    EXPECT_EQ(mouse_hook.is_valid(), expected);
    EXPECT_EQ(select_on, expected);
    window_.reset();
    EXPECT_FALSE(mouse_hook.is_valid());
  }
}

TEST_F(FlutterWindowTest, DispatchFailsBeforeChannelsAreReady) {
  FlutterWindow not_created(flutter::DartProject(L"data"));
  for (int32_t event = 1; event <= 11; ++event) {
    EXPECT_FALSE(DispatchHotkeyEvent(&not_created, event));
  }
  EXPECT_FALSE(DispatchHotkeyEvent(nullptr, 1));
}

TEST_F(FlutterWindowTest, DispatchFromAnotherThreadArrivesInOrder) {
  UiBridgeServer bridge;
  ScopedEnvironment setting(L"KR_UI_BRIDGE", bridge.Setting().c_str());
  CreateMain();
  BridgeConnection* ui = bridge.WaitForConnection("main");
  ASSERT_NE(ui, nullptr);

  const std::vector<int32_t> events = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 7, 1};
  std::vector<bool> results;
  std::thread producer([&] {
    for (int32_t event : events) {
      results.push_back(DispatchHotkeyEvent(window_.get(), event));
    }
  });
  // The main thread stays busy elsewhere while the producer queues.
  producer.join();
  EXPECT_EQ(results, std::vector<bool>(events.size(), true));
  EXPECT_TRUE(DispatchHotkeyEvent(window_.get(), 8));  // from the main thread, after them

  ASSERT_TRUE(PumpUntil([&] { return ui->Calls().size() >= events.size() + 1; }));
  std::vector<std::string> methods;
  for (const auto& call : ui->Calls()) {
    EXPECT_EQ(call.channel, "kestrune/hotkey");
    EXPECT_TRUE(call.arguments.IsNull());
    methods.push_back(call.method);
  }
  EXPECT_EQ(methods, (std::vector<std::string>{"toggle_capsule", "show_main", "quit", "space_down",
                                               "space_up", "voice_mode", "esc_collapse",
                                               "close_tag", "screenshot", "clipboard", "ai",
                                               "esc_collapse", "toggle_capsule", "close_tag"}));
  EXPECT_FALSE(DispatchHotkeyEvent(window_.get(), 0));
  EXPECT_FALSE(DispatchHotkeyEvent(window_.get(), 12));
}

TEST_F(FlutterWindowTest, BlacklistDropsEventsWhileATitleFragmentIsInFront) {
  CreateMain();
  ScopedEnvironment blacklist(L"KR_HOTKEY_BLACKLIST", L" Editor ,  Game ,");
  {
    ForegroundWindow editor(L"My Editor - notes");
    EXPECT_FALSE(DispatchHotkeyEvent(window_.get(), 1));
    EXPECT_FALSE(DispatchHotkeyEvent(window_.get(), 7));
  }
  {
    ForegroundWindow game(L"Game");
    EXPECT_FALSE(DispatchHotkeyEvent(window_.get(), 3));
  }
  {
    ForegroundWindow lower(L"my editor");  // case-sensitive
    EXPECT_TRUE(DispatchHotkeyEvent(window_.get(), 1));
  }
  ScopedEnvironment empty(L"KR_HOTKEY_BLACKLIST", L"");
  ForegroundWindow editor(L"My Editor");
  EXPECT_TRUE(DispatchHotkeyEvent(window_.get(), 1));
}

TEST_F(FlutterWindowTest, PauseInBackgroundDropsAllButQuitAndCollapse) {
  CreateMain();
  ScopedEnvironment pause(L"KR_HOTKEY_PAUSE_BLUR", L"true");
  ForegroundWindow other(L"someone else");
  for (int32_t event = 1; event <= 11; ++event) {
    SCOPED_TRACE(event);
    EXPECT_EQ(DispatchHotkeyEvent(window_.get(), event), event == 3 || event == 7);
  }
  ScopedEnvironment upper(L"KR_HOTKEY_PAUSE_BLUR", L"True");  // only '1' or 't' turn it on
  EXPECT_TRUE(DispatchHotkeyEvent(window_.get(), 1));
}

TEST_F(FlutterWindowTest, BlacklistOnAnotherThreadNeverWaitsForTheMainThread) {
  CreateMain();
  ScopedEnvironment blacklist(L"KR_HOTKEY_BLACKLIST", L"Editor");
  ForegroundWindow editor(L"My Editor");
  ASSERT_EQ(::GetForegroundWindow(), editor.window);
  // The main thread does not pump here, as when it is joining the polling
  // thread: asking its window for the title would wait for ever.
  std::atomic<bool> done{false};
  bool sent = true;
  std::thread poller([&] {
    sent = DispatchHotkeyEvent(window_.get(), 7);
    done = true;
  });
  for (int i = 0; i < 300 && !done; ++i) {
    ::Sleep(10);
  }
  EXPECT_TRUE(done) << "the title read waited for the main thread";
  PumpUntil([&] { return done.load(); });
  poller.join();
  EXPECT_FALSE(sent);
}

TEST_F(FlutterWindowTest, QueuedCollapseThatCannotBeSentIsGivenBackToThePoll) {
  CreateMain();
  collapse_sent = true;  // claimed, as the polling thread does before it sends
  bool queued = false;
  std::thread poller([&] { queued = DispatchHotkeyEvent(window_.get(), 7); });
  poller.join();
  ASSERT_TRUE(queued);
  // The channel goes away before the main thread gets to the send.
  window_->channels_ready = false;
  EXPECT_TRUE(PumpUntil([] { return !collapse_sent.load(); }));
  window_->channels_ready = true;
}

}  // namespace
