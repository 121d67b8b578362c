// The media watcher and the kestrune/smtc channel of a real main window in this
// process, against fake media sessions, played through the UI bridge. The
// tests pace the poll passes and the throttle's clock.
#include "feeds/media/media_watcher.h"

#include <future>
#include <thread>

#include "capsule/capsule_pipe.h"
#include "runner/flutter_window.h"
#include "tests/support/main_host_test.h"
#include "tests/support/media_fakes.h"
#include "tests/support/scoped_environment.h"

namespace {

using namespace kr_test;
using namespace std::chrono_literals;
using flutter::EncodableValue;
using Kind = CallResult::Kind;

FakeManager* g_manager = nullptr;
HRESULT WINAPI FakeFactory(HSTRING, REFIID iid, void** factory) {
  return g_manager->QueryInterface(iid, factory);
}

EncodableValue Playback(const char* artist, const char* status, double progress) {
  return Args({{"title", EncodableValue("")},
               {"artist", EncodableValue(artist)},
               {"status", EncodableValue(status)},
               {"progress", EncodableValue(progress)}});
}

class MediaWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_manager = manager_.get();
    winrt::GetRuntimeProcs().ro_get_activation_factory = &FakeFactory;
    SetCapsuleExecutable(L"C:\\kr_tests_start_no_capsule.exe");
    ScopedEnvironment setting(L"KR_UI_BRIDGE", bridge_.Setting().c_str());
    ASSERT_TRUE(window_->Create(L"kr_media_test", {10, 10}, {400, 300}));
    ASSERT_NE(ui_ = bridge_.WaitForConnection("main"), nullptr);
    window_->media_feed.poll.SetPeriod(24h);
    window_->media_feed.now_ms = [this] { return now_.load(); };
  }
  void TearDown() override {
    window_.reset();
    winrt::GetRuntimeProcs() = {};
    SetCapsuleExecutable(L"");
    one_.reset();
    two_.reset();
    manager_.reset();
    EXPECT_EQ(log_.live_objects, 0);
  }

  void Pump() {
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      ::DispatchMessageW(&msg);
    }
  }
  // A call from the interface, answered on this thread.
  Kind Call(const std::string& method) {
    auto call = std::async(std::launch::async, [&] { return ui_->Call("kestrune/smtc", method); });
    WaitUntil([&] { return Pump(), call.wait_for(0s) == std::future_status::ready; });
    return call.get().kind;
  }
  bool Sleeping() {
    return WaitUntil([&] { return window_->media_feed.poll.Waiting() > 0; });
  }
  // One poll pass; what it published is sent before the next.
  bool Pass() {
    int before = window_->media_feed.poll_passes;
    return Sleeping() && (window_->media_feed.poll.Advance(), true) &&
           WaitUntil([&] { return window_->media_feed.poll_passes > before; }) && (Pump(), true);
  }
  bool Idle() {
    return WaitUntil([&] { return window_->media_feed.commands.Running() == 0; });
  }
  // What the interface received of |name|, all of it: a call's answer comes after.
  std::vector<EncodableValue> Sent(const std::string& name) {
    EXPECT_EQ(Call("flush"), Kind::kNotImplemented);
    std::vector<EncodableValue> sent;
    for (const InterfaceCall& call : ui_->Calls()) {
      if (call.method == name) {
        sent.push_back(call.arguments);
      }
    }
    return sent;
  }
  // On another thread, as the runtime raises them; then sent before the next.
  void Raise(FakeSession* session, auto FakeSession::*event) {
    std::thread([&] { (session->*event).Raise(session); }).join();
    Pump();
  }

  FakeRuntimeLog log_;
  ComPtr<FakeManager> manager_ = FakeManager::Create(&log_);
  ComPtr<FakeSession> one_ = FakeSession::Create(&log_, L"app.one");
  ComPtr<FakeSession> two_ = FakeSession::Create(&log_, L"app.two");
  std::atomic<uint64_t> now_{1000};
  UiBridgeServer bridge_;
  std::unique_ptr<FlutterWindow> window_ =
      std::make_unique<FlutterWindow>(flutter::DartProject(L"data"));
  BridgeConnection* ui_ = nullptr;
};

TEST_F(MediaWatcherTest, WithoutSessionsTheStoppedStateIsSentOnceUntilOneCameAndWent) {
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(Pass() && Pass());  // the re-sync and a pass, then a pass
  manager_->Set({one_}, one_.get());
  ASSERT_TRUE(Pass());
  manager_->Set({});
  ASSERT_TRUE(Pass() && Pass());
  EXPECT_EQ(Sent("smtc.playback"), std::vector(2, Playback("", "stopped", 0.0)));
}

TEST_F(MediaWatcherTest, EventsCarryWhatTheSessionReads) {
  manager_->Set({one_, two_});
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(Sleeping());
  one_->SetTitle(L"");
  one_->position = 3'000'000;
  for (int32_t status = 0; status <= 5; ++status) {
    one_->status = status;
    one_->end_time = status == 5 ? 2'000'000 : 0;  // none, then a position past the end
    Raise(one_.get(), &FakeSession::playback_changed);
  }
  Raise(one_.get(), &FakeSession::media_changed);
  EXPECT_EQ(Sent("smtc.playback"),
            (std::vector{Playback("Artist", "unknown", 0.0), Playback("Artist", "unknown", 0.0),
                         Playback("Artist", "unknown", 0.0), Playback("Artist", "stopped", 0.0),
                         Playback("Artist", "playing", 0.0), Playback("Artist", "paused", 1.5)}));
  EXPECT_TRUE(Sent("smtc.track_change").empty());

  // Three track changes before this thread runs its messages: the third is sent.
  for (const wchar_t* title : {L"one", L"two", L"three"}) {
    one_->SetTitle(title);
    one_->media_changed.Raise(one_.get());
  }
  EXPECT_EQ(Sent("smtc.track_change"), std::vector{Args({{"title", EncodableValue("three")},
                                                         {"artist", EncodableValue("Artist")}})});

  // One progress event per 200 ms per session, by the feed's clock.
  for (auto [session, now_ms, position] : {std::tuple{one_.get(), 5000, 1'000'000},
                                           {two_.get(), 5010, 3'000'000},
                                           {one_.get(), 5150, 1'200'000},
                                           {one_.get(), 5200, 1'600'000}}) {
    now_ = now_ms;
    session->end_time = 4'000'000;
    session->position = position;
    Raise(session, &FakeSession::timeline_changed);
  }
  auto progress = [](double value) { return Args({{"progress", EncodableValue(value)}}); };
  EXPECT_EQ(Sent("smtc.progress"), (std::vector{progress(0.25), progress(0.75), progress(0.4)}));
}

TEST_F(MediaWatcherTest, EachStartSubscribesEverySessionOnceAndAClosedOneIsDropped) {
  manager_->Set({one_, two_});
  auto handlers = [&] { return one_->HandlerCount() + two_->HandlerCount(); };
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(Sleeping());
  EXPECT_EQ(handlers(), 6);
  EXPECT_EQ(Call("stopSmtcListener"), Kind::kSuccess);  // with a day-long poll period
  EXPECT_FALSE(window_->smtc_thread.joinable());
  EXPECT_EQ(handlers(), 0);
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(Sleeping());
  EXPECT_EQ(handlers(), 6);

  // "two" closes: dropped, its registrations left to it; back, it is new again.
  manager_->Set({one_});
  manager_->RaiseSessionsChanged();
  manager_->Set({one_, two_});
  ASSERT_TRUE(Pass());
  EXPECT_EQ(two_->HandlerCount(), 6);
}

TEST_F(MediaWatcherTest, StopEndsCallbacksInFlightAndNothingIsSentAfterIt) {
  manager_->Set({one_, two_});
  one_->hold = true;  // its track reads wait until canceled
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(Sleeping());
  std::thread in_flight([&] { one_->playback_changed.Raise(one_.get()); });
  ASSERT_TRUE(WaitUntil([&] { return one_->Held() == 1; }));
  // Unlisted, "two" keeps its handlers through the teardown; it fires throughout.
  manager_->Set({});
  std::atomic<bool> raising{true};
  std::thread busy([&] {
    while (raising) {
      two_->playback_changed.Raise(two_.get());
    }
  });
  EXPECT_EQ(Call("stopSmtcListener"), Kind::kSuccess);
  in_flight.join();
  size_t sent = Sent("smtc.playback").size();
  raising = false;
  busy.join();
  Raise(two_.get(), &FakeSession::playback_changed);
  EXPECT_EQ(Sent("smtc.playback").size(), sent);
  EXPECT_EQ(one_->Held(), 0);
}

TEST_F(MediaWatcherTest, CommandsGoToTheCurrentSessionAndAreAnsweredAtOnce) {
  for (const char* method : {"Next", "PLAY", "startsmtclistener", "play-pause"}) {
    EXPECT_EQ(Call(method), Kind::kNotImplemented) << method;
  }
  EXPECT_EQ(Call("next"), Kind::kSuccess);  // no session
  ASSERT_TRUE(Idle());
  manager_->Set({one_}, one_.get());
  for (auto [status, method, request] : {std::tuple{5, "play_pause", "play"},
                                         {3, "play_pause", "play"},
                                         {4, "play_pause", "pause"},
                                         {4, "next", "next"},
                                         {4, "prev", "prev"},
                                         {4, "play", "play"},
                                         {4, "pause", "pause"}}) {
    one_->status = status;
    EXPECT_EQ(Call(method), Kind::kSuccess);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(one_->commands.back(), request) << method << " " << status;
  }

  // Four wait for the application at once, a fifth is dropped; the teardown
  // ends their waits.
  one_->hold = true;
  LogReader log(DebugLogPath());
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(Call("next"), Kind::kSuccess);
  }
  ASSERT_TRUE(WaitUntil([&] { return one_->Held() == 4; }));
  EXPECT_EQ(log.CountMessages("[SMTC] Command dropped, 4 running: next"), 1u);
  window_->Destroy();
  EXPECT_EQ(one_->Held(), 0);
}

TEST_F(MediaWatcherTest, FailuresAreLoggedWithTheirCodes) {
  LogReader log(DebugLogPath());
  manager_->Set({one_});
  one_->id_error = E_ACCESSDENIED;
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(Sleeping());
  manager_->RaiseSessionsChanged();
  EXPECT_EQ(Call("stopSmtcListener"), Kind::kSuccess);
  manager_->request_null = true;
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(WaitUntil([&] { return !window_->smtc_running; }));

  // Without the fakes: Wine has no media sessions at all.
  winrt::GetRuntimeProcs() = {};
  EXPECT_EQ(Call("startSmtcListener"), Kind::kSuccess);
  ASSERT_TRUE(WaitUntil([&] { return !window_->smtc_running; }));
  EXPECT_EQ(Call("play_pause"), Kind::kSuccess);
  ASSERT_TRUE(Idle());
  std::vector<std::string> lines = log.NewMessages();
  std::erase_if(lines, [](const std::string& line) { return !line.starts_with("[SMTC]"); });
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "[SMTC] Manager OK", "[SMTC] Initial sync: 1 sessions",
                       "[SMTC] Initial sync hresult_error: 0x80070005",
                       "[SMTC] Event subscription started, entering poll loop",
                       "[SMTC] SessionsChanged event", "[SMTC] SessionsChanged: 1 sessions",
                       "[SMTC] SessionsChanged hresult_error: 0x80070005",
                       "[SMTC] RequestAsync returned null", "[SMTC] hresult_error: 0x80040154"}));
}

}  // namespace
