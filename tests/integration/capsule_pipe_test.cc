// The capsule pipe with this test as the capsule's interface, and the window
// methods that drive the capsule.
#include <gtest/gtest.h>

#include <algorithm>

#include "capsule/capsule_commands.h"
#include "tests/support/main_host_test.h"
#include "tests/support/pipe_client.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr char kIdle[] = R"({"cmd":"render","type":"idle"})";
constexpr char kSentinel[] = R"({"cmd":"sentinel"})";

EncodableValue Map(std::initializer_list<std::pair<const char*, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) {
    map[EncodableValue(key)] = value;
  }
  return EncodableValue(map);
}

class CapsulePipeTest : public MainHostTest {
 protected:
  void SetUp() override {
    StartMainHost();
    if (HasFatalFailure()) {
      return;
    }
    ASSERT_TRUE(log_->WaitForMessage("[KR] Waiting for capsule pipe connection..."));
  }

  void ConnectClient() {
    ASSERT_TRUE(client_.Connect());
    ASSERT_TRUE(log_->WaitForMessage("[KR] Capsule pipe listen thread started"));
  }

  CallResult CallWindow(const char* method, const EncodableValue& arguments = EncodableValue()) {
    return ui_->Call("kestrune/window", method, arguments);
  }

  // The next frame the capsule receives, after asserting the call succeeded.
  std::optional<std::string> FrameAfter(const char* method,
                                        const EncodableValue& arguments = EncodableValue()) {
    EXPECT_EQ(CallWindow(method, arguments).kind, CallResult::Kind::kSuccess);
    return client_.ReadFrame();
  }

  // Proves nothing was sent before: the next frame is the sentinel.
  void ExpectNothingBeforeSentinel() {
    EXPECT_EQ(FrameAfter("sendCapsuleCommand", Map({{"json", EncodableValue(kSentinel)}})),
              std::optional<std::string>(kSentinel));
  }

  PipeClient client_;
};

TEST_F(CapsulePipeTest, ReadyIsAnsweredWithTheIdleRender) {
  ConnectClient();
  ASSERT_TRUE(client_.Send(R"({"cmd":"ready"})"));
  std::optional<std::string> frame = client_.ReadFrame();
  ASSERT_TRUE(frame);
  EXPECT_EQ(*frame, kIdle);
  EXPECT_EQ(frame->size(), 30u);
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule process ready, sending initial render idle"));
  // Again on every "ready".
  ASSERT_TRUE(client_.Send(R"({"cmd":"ready"})"));
  EXPECT_EQ(client_.ReadFrame(), std::optional<std::string>(kIdle));
}

TEST_F(CapsulePipeTest, MessagesReachTheInterfaceInArrivalOrder) {
  ConnectClient();
  const char* messages[] = {
      R"({"cmd":"button_click","id":"play"})",
      R"({"cmd":"expand"})",
      R"({"cmd":"voice_off"})",
      R"({"cmd":"voice_tts","on":"1"})",
      R"({"cmd":"voice_tts","on":"true"})",
      R"({"cmd":"voice_tts","on":true})",
      R"({"cmd":"todo_add","text":"milk","n":2})",
      R"({"cmd":"todo_toggle","id":"t1"})",
      R"({"cmd":"button_click"})",
      R"({"cmd":"unknown"})",
      R"({"cmd":"voice_off"})",
  };
  for (const char* message : messages) {
    ASSERT_TRUE(client_.Send(message));
  }
  // The "expand" also makes the card's own expand send "toggle_capsule", on the
  // main window's message queue rather than in the pipe's order: set it apart.
  ASSERT_TRUE(WaitUntil([&] { return ui_->Calls().size() >= 11; }));
  ::Sleep(200);
  std::vector<InterfaceCall> calls = ui_->Calls();
  ASSERT_EQ(calls.size(), 11u);
  auto second_toggle = std::find_if(calls.begin() + 2, calls.end(), [](const InterfaceCall& c) {
    return c.method == "toggle_capsule";
  });
  ASSERT_NE(second_toggle, calls.end());
  calls.erase(second_toggle);
  auto expect_call = [&](size_t i, const char* method, const EncodableValue& arguments) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i].channel, "kestrune/hotkey");
    EXPECT_EQ(calls[i].method, method);
    EXPECT_EQ(calls[i].arguments, arguments);
  };
  expect_call(0, "capsule.button_click", Map({{"id", EncodableValue("play")}}));
  expect_call(1, "toggle_capsule", EncodableValue());
  expect_call(2, "capsule.voice_off", EncodableValue());
  expect_call(3, "capsule.voice_tts", Map({{"on", EncodableValue(true)}}));
  expect_call(4, "capsule.voice_tts", Map({{"on", EncodableValue(true)}}));
  expect_call(5, "capsule.voice_tts", Map({{"on", EncodableValue(false)}}));
  expect_call(6, "capsule.todo",
              Map({{"cmd", EncodableValue("todo_add")},
                   {"json", EncodableValue(R"({"cmd":"todo_add","text":"milk","n":2})")}}));
  expect_call(7, "capsule.todo",
              Map({{"cmd", EncodableValue("todo_toggle")},
                   {"json", EncodableValue(R"({"cmd":"todo_toggle","id":"t1"})")}}));
  expect_call(8, "capsule.button_click", Map({{"id", EncodableValue("")}}));
  expect_call(9, "capsule.voice_off", EncodableValue());
}

TEST_F(CapsulePipeTest, ExpandWhileExpandedStillTogglesTheCapsule) {
  ConnectClient();
  ASSERT_EQ(ui_->Call("kestrune/hotkey", "set_card_expanded", Map({{"expanded", true}})).kind,
            CallResult::Kind::kSuccess);
  ASSERT_TRUE(client_.Send(R"({"cmd":"expand"})"));
  EXPECT_TRUE(ui_->WaitForCall("kestrune/hotkey", "toggle_capsule").has_value());
}

TEST_F(CapsulePipeTest, IncomingFramingLimits) {
  ConnectClient();
  // Exactly 65536 bytes is accepted.
  std::string big = R"({"cmd":"button_click","id":"big","pad":")";
  big += std::string(65536 - big.size() - 2, 'x') + "\"}";
  ASSERT_EQ(big.size(), 65536u);
  ASSERT_TRUE(client_.Send(big));
  std::optional<InterfaceCall> call = ui_->WaitForCall("kestrune/hotkey", "capsule.button_click");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->arguments, Map({{"id", EncodableValue("big")}}));

  // A header announcing 65537 bytes costs only its four bytes; so does a zero.
  ASSERT_TRUE(client_.SendRaw(PipeClient::Header(65537) + PipeClient::Header(0)));
  ASSERT_TRUE(client_.Send(R"({"cmd":"button_click","id":"after"})"));
  call = ui_->WaitForCall("kestrune/hotkey", "capsule.button_click");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->arguments, Map({{"id", EncodableValue("after")}}));
}

TEST_F(CapsulePipeTest, PartialFrameThenClientExitEndsThePipeNotTheHost) {
  ConnectClient();
  ASSERT_TRUE(client_.SendRaw(PipeClient::Header(100) + "0123456789"));
  ::Sleep(100);
  client_.Close();
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule pipe peek failed, disconnected"));
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule pipe listen thread exiting"));
  EXPECT_EQ(ui_->Calls().size(), 0u);
  EXPECT_TRUE(MessageLoopAnswers(window_));
  // Later sends are dropped with one line, and still answered.
  EXPECT_EQ(CallWindow("showLineWindow").kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(CallWindow("showLineWindow").kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(log_->CountMessages("capsule pipe has ended, dropping messages from now on"), 1u);
}

TEST_F(CapsulePipeTest, QueuedBeforeConnectIsDeliveredAfterInOrder) {
  ASSERT_EQ(CallWindow("sendCapsuleCommand", Map({{"json", EncodableValue("first")}})).kind,
            CallResult::Kind::kSuccess);
  ASSERT_EQ(CallWindow("sendCapsuleCommand", Map({{"json", EncodableValue("second")}})).kind,
            CallResult::Kind::kSuccess);
  ConnectClient();
  EXPECT_EQ(client_.ReadFrame(), std::optional<std::string>("first"));
  EXPECT_EQ(client_.ReadFrame(), std::optional<std::string>("second"));
  EXPECT_TRUE(log_->WaitForMessage("[KR] PipeWrite: w1=1 w2=1 len=6"));
}

TEST_F(CapsulePipeTest, WindowMethodsSendTheirCommands) {
  ConnectClient();
  EXPECT_EQ(FrameAfter("showLineWindow"), std::optional<std::string>(kIdle));
  EXPECT_EQ(FrameAfter("hideLineWindow"), std::optional<std::string>(R"({"cmd":"hide"})"));
  EXPECT_EQ(FrameAfter("hideCapsuleWindow"), std::optional<std::string>(kIdle));
  // "json" wins over the type, which is only logged.
  EXPECT_EQ(FrameAfter("showCapsuleWindow", Map({{"type", EncodableValue("music")},
                                                 {"json", EncodableValue("{\"raw\": 1}")}})),
            std::optional<std::string>("{\"raw\": 1}"));
  EXPECT_TRUE(log_->WaitForMessage("[KR] showCapsuleWindow called, type=music"));
  EncodableMap status{{EncodableValue("type"), EncodableValue("status")}};
  EXPECT_EQ(FrameAfter("showCapsuleWindow", EncodableValue(status)),
            std::optional<std::string>(BuildCapsuleRenderCommand(status)));
  EXPECT_EQ(FrameAfter("sendCapsuleCommand", Map({{"json", EncodableValue("as is")}})),
            std::optional<std::string>("as is"));

  // Nothing sent, still ok: a non-map to showCapsuleWindow, a non-string json.
  EXPECT_EQ(CallWindow("showCapsuleWindow", EncodableValue("status")).kind,
            CallResult::Kind::kSuccess);
  EXPECT_EQ(CallWindow("sendCapsuleCommand", Map({{"json", EncodableValue(42)}})).kind,
            CallResult::Kind::kSuccess);
  EXPECT_EQ(CallWindow("sendCapsuleCommand", EncodableValue()).kind, CallResult::Kind::kSuccess);
  ExpectNothingBeforeSentinel();
  // The calendar methods wait for the calendar feed.
  EXPECT_EQ(CallWindow("startCalendarSync").kind, CallResult::Kind::kNotImplemented);
}

TEST_F(CapsulePipeTest, ClosingTheMainWindowEndsTheCapsuleProcess) {
  ConnectClient();
  std::string started;
  for (const std::string& message : log_->NewMessages()) {
    if (message.rfind("[KR] Capsule process started, pid=", 0) == 0) {
      started = message;
    }
  }
  ASSERT_FALSE(started.empty());
  DWORD capsule_pid = std::stoul(started.substr(started.find('=') + 1));
  UniqueHandle capsule(::OpenProcess(SYNCHRONIZE, FALSE, capsule_pid));
  ASSERT_TRUE(capsule.is_valid());
  EXPECT_TRUE(WaitUntil([&] { return !HostWindows(capsule_pid).empty(); }));
  ::PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(::WaitForSingleObject(capsule.get(), 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(host_->WaitForExit(10000).has_value());
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule process terminated"));
}

TEST(CapsulePipeOwnership, APipeAlreadyTakenStartsNoCapsule) {
  UniqueFileHandle squatter(::CreateNamedPipeW(L"\\\\.\\pipe\\Kestrune_Capsule", PIPE_ACCESS_DUPLEX,
                                               PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
  ASSERT_TRUE(squatter.is_valid());
  LogReader log(DebugLogPath());
  auto host = StartHost({});
  ASSERT_TRUE(host);
  ASSERT_TRUE(log.WaitForMessage("[KR] CreateNamedPipe failed: "));
  ASSERT_TRUE(log.WaitForMessage("[KR] OnCreate done, main window ready"));
  EXPECT_EQ(log.CountMessages("[KR] Capsule process started"), 0u);
  EXPECT_EQ(log.CountMessages("[KR] Named pipe created"), 0u);
}

}  // namespace
}  // namespace kr_test
