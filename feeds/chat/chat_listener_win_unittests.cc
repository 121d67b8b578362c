// The polling thread against the real main window and a fake notification
// centre, with the polls paced by the test instead of the clock.
#include "feeds/chat/chat_listener.h"

#include <gtest/gtest.h>

#include <future>
#include <optional>
#include <tuple>

#include "capsule/capsule_pipe.h"
#include "runner/flutter_window.h"
#include "tests/support/chat_fakes.h"
#include "tests/support/main_host_test.h"
#include "tests/support/scoped_environment.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using kr_test::CallResult;
using winrt::NotificationAccess;

class ChatListenerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Never this test program: started as the capsule it would run the suite again.
    SetCapsuleExecutable(L"C:\\kr_tests_start_no_capsule.exe");
    kr_test::ScopedEnvironment setting(L"KR_UI_BRIDGE", bridge_.Setting().c_str());
    centre_ = kr_test::FakeNotificationCentre::Create(&log_);
    activation_.emplace(static_cast<winrt::IUserNotificationListenerStatics*>(centre_.get()), S_OK);
    window_ = std::make_unique<FlutterWindow>(flutter::DartProject(L"data"));
    ASSERT_TRUE(window_->Create(L"kr_chat_test", {10, 10}, {400, 300}));
    ASSERT_NE(ui_ = bridge_.WaitForConnection("main"), nullptr);
    window_->wechat_pacer.SetPeriod(INFINITE);
  }
  void TearDown() override {
    window_.reset();
    activation_.reset();
    centre_.reset();
    SetCapsuleExecutable(L"");
    EXPECT_EQ(log_.live_objects, 0);
  }

  void Add(UINT32 id, const wchar_t* app, std::vector<std::wstring> texts) {
    auto toast = kr_test::FakeToast::Create(&log_);
    std::tie(toast->id, toast->app, toast->texts) = std::tuple(id, app, std::move(texts));
    centre_->toasts.push_back(toast);
  }
  bool PumpUntil(const std::function<bool()>& condition) {
    return kr_test::WaitUntil([&] {
      for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
        ::DispatchMessageW(&msg);
      }
      return condition();
    });
  }
  // From the interface, while this thread runs the window's messages.
  CallResult::Kind Call(const char* method) {
    auto call =
        std::async(std::launch::async, [&] { return ui_->Call("kestrune/wechat", method); });
    PumpUntil([&] { return call.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    return call.get().kind;
  }
  // Waits for the end of poll |count|, letting a period pass after the one before.
  bool Poll(int count) {
    auto ended = [&](int polls) {
      return [&, polls] { return centre_->polls == polls && Waiting(); };
    };
    if (count > 1 && PumpUntil(ended(count - 1))) {
      window_->wechat_pacer.Advance();
    }
    return PumpUntil(ended(count));
  }
  bool Waiting() { return window_->wechat_pacer.Waiting() > 0; }
  // The notifications the interface got. The answer to a call of an unknown
  // method comes after every event the main thread had to send.
  std::vector<EncodableValue> Received() {
    EXPECT_EQ(Call("listen"), CallResult::Kind::kNotImplemented);
    std::vector<EncodableValue> events;
    for (const kr_test::InterfaceCall& call : ui_->Calls()) {
      if (call.method == "wechat.notification") {
        events.push_back(call.arguments);
      }
    }
    return events;
  }

  kr_test::FakeRuntimeLog log_;
  winrt::ComPtr<kr_test::FakeNotificationCentre> centre_;
  std::optional<kr_test::ScopedFakeActivation> activation_;
  kr_test::UiBridgeServer bridge_;
  std::unique_ptr<FlutterWindow> window_;
  kr_test::BridgeConnection* ui_ = nullptr;
};

EncodableValue Payload(const char* sender, const char* title, const char* content) {
  return kr_test::Args({{"sender", EncodableValue(sender)},
                        {"title", EncodableValue(title)},
                        {"content", EncodableValue(content)},
                        {"timestamp", EncodableValue(int64_t{13348540800000})}});
}

TEST_F(ChatListenerTest, ReportsEachWechatToastOnceWhileItStaysInTheCentre) {
  Add(7, L"WeChat", {L"Alice", L"first line", L"second line"});
  Add(8, L"Mail", {L"Inbox"});
  Add(9, L"\u5FAE\u4FE1", {L"Bob"});
  EXPECT_EQ(Call("startWechatListener"), CallResult::Kind::kSuccess);
  ASSERT_TRUE(Poll(1));
  Add(10, L"wechat", {});
  ASSERT_TRUE(Poll(2));
  EXPECT_EQ(Received(), (std::vector{Payload("WeChat", "Alice", "first line second line"),
                                     Payload("\xE5\xBE\xAE\xE4\xBF\xA1", "Bob", ""),
                                     Payload("wechat", "", "")}));
  EXPECT_EQ(centre_->toasts[1]->app_reads, 1);  // another application's toast is remembered too
  // The period is endless: a stop that waited it out would never return.
  EXPECT_EQ(Call("stopWechatListener"), CallResult::Kind::kSuccess);
  EXPECT_FALSE(window_->wechat_running || window_->wechat_thread.joinable());
}

TEST_F(ChatListenerTest, AThousandToastsArriveInOrderTwoHundredAPollAndOnlyOnce) {
  for (UINT32 id = 1; id <= 1000; ++id) {
    Add(id, L"WeChat", {std::to_wstring(id)});
  }
  StartWechatListener(window_.get());
  ASSERT_TRUE(Poll(1));
  EXPECT_EQ(Received().size(), 200u);
  for (int poll = 2; poll <= 6; ++poll) {
    ASSERT_TRUE(Poll(poll));
  }
  std::vector<EncodableValue> events = Received();
  ASSERT_EQ(events.size(), 1000u);
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(std::get<EncodableMap>(events[i]).at(EncodableValue("title")),
              EncodableValue(std::to_string(i + 1)));
  }
}

// The main thread starts the request and goes on while it runs; the answer
// decides. A later start asks again.
TEST_F(ChatListenerTest, AccessIsAskedForOnTheMainThread) {
  centre_->access = NotificationAccess::kDenied;
  Add(1, L"WeChat", {L"Alice"});
  for (NotificationAccess answer : {NotificationAccess::kDenied, NotificationAccess::kAllowed}) {
    centre_->request_thread = 0;
    EXPECT_EQ(Call("startWechatListener"), CallResult::Kind::kSuccess);
    ASSERT_TRUE(PumpUntil([&] { return centre_->request_thread != 0; }));
    EXPECT_EQ(centre_->request_thread, ::GetCurrentThreadId());
    centre_->request->Finish(winrt::AsyncStatus::kCompleted, answer);
    if (answer == NotificationAccess::kDenied) {
      EXPECT_TRUE(kr_test::WaitUntil([&] { return !window_->wechat_running; }));
      EXPECT_EQ(Received().size(), 0u);
      EXPECT_EQ(centre_->polls, 0);
    }
  }
  ASSERT_TRUE(Poll(1));
  EXPECT_EQ(Received(), std::vector{Payload("WeChat", "Alice", "")});
}

// Wine has no notification listener: the real activation fails, and the
// thread ends by itself.
TEST_F(ChatListenerTest, WithoutTheRuntimeClassTheListenerEnds) {
  activation_.reset();
  StartWechatListener(window_.get());
  EXPECT_TRUE(kr_test::WaitUntil([&] { return !window_->wechat_running; }));
}

}  // namespace
