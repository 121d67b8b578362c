// The capsule pipe, with this test as the capsule's interface.
#include <gtest/gtest.h>

#include "tests/support/main_host_test.h"
#include "tests/support/pipe_client.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using Frame = std::optional<std::string>;

constexpr char kIdle[] = R"({"cmd":"render","type":"idle"})";

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
    if (!HasFatalFailure()) {
      ASSERT_TRUE(log_->WaitForMessage("[KR] Waiting for capsule pipe connection..."));
    }
  }

  CallResult::Kind CallWindow(const char* method, const EncodableValue& arguments = {}) {
    return ui_->Call("kestrune/window", method, arguments).kind;
  }

  Frame FrameAfter(const char* method, const EncodableValue& arguments = {}) {
    EXPECT_EQ(CallWindow(method, arguments), CallResult::Kind::kSuccess);
    return client_.ReadFrame();
  }

  PipeClient client_;
};

TEST_F(CapsulePipeTest, CapsuleMessagesReachTheInterfaceInArrivalOrder) {
  ASSERT_TRUE(client_.Connect());
  constexpr char kTodo[] = R"({"cmd":"todo_add","text":"milk","n":2})";
  for (const char* message :
       {R"({"cmd":"button_click","id":"play"})", R"({"cmd":"voice_off"})", R"({"cmd":"unknown"})",
        R"({"cmd":"voice_tts","on":"1"})", R"({"cmd":"voice_tts","on":true})", kTodo,
        R"({"cmd":"button_click"})"}) {
    ASSERT_TRUE(client_.Send(message));
  }
  const std::vector<std::pair<std::string, EncodableValue>> expected = {
      {"capsule.button_click", Map({{"id", "play"}})},
      {"capsule.voice_off", {}},
      {"capsule.voice_tts", Map({{"on", true}})},
      {"capsule.voice_tts", Map({{"on", false}})},
      {"capsule.todo", Map({{"cmd", "todo_add"}, {"json", kTodo}})},
      {"capsule.button_click", Map({{"id", ""}})}};
  ASSERT_TRUE(WaitUntil([&] { return ui_->Calls().size() >= expected.size(); }));
  std::vector<std::pair<std::string, EncodableValue>> got;
  for (const InterfaceCall& call : ui_->Calls()) {
    got.emplace_back(call.method, call.arguments);
  }
  EXPECT_EQ(got, expected);

  // "expand" runs the card's own expand only while the card is collapsed.
  ASSERT_TRUE(SetCardExpanded(true));
  ASSERT_TRUE(client_.Send(R"({"cmd":"expand"})"));
  ASSERT_TRUE(ui_->WaitForCall("kestrune/hotkey", "toggle_capsule"));
  ::PostMessageW(window_, 1227, 0, 0);  // "select_on", after anything posted before
  ASSERT_TRUE(ui_->WaitForCall("kestrune/hotkey", "select_on"));
  EXPECT_EQ(Count("toggle_capsule"), 1);
  EXPECT_EQ(log_->CountMessages("[KR] kCapsuleExpandMsg received"), 0u);
  EXPECT_FALSE(::IsWindowVisible(window_));

  // Collapsed: the card expands and toggles, and the message toggles as well.
  ASSERT_TRUE(SetCardExpanded(false));
  ASSERT_TRUE(client_.Send(R"({"cmd":"expand"})"));
  EXPECT_TRUE(WaitUntil([&] { return Count("toggle_capsule") == 3; }));
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window_) != FALSE; }));
}

TEST_F(CapsulePipeTest, CommandsReachTheCapsuleUntilItLeaves) {
  for (const char* json : {"first", "second"}) {
    ASSERT_EQ(CallWindow("sendCapsuleCommand", Map({{"json", json}})), CallResult::Kind::kSuccess);
  }
  ASSERT_TRUE(client_.Connect());  // once both were queued
  EXPECT_EQ(client_.ReadFrame(), Frame("first"));
  EXPECT_EQ(client_.ReadFrame(), Frame("second"));
  for (int i = 0; i < 2; ++i) {  // every "ready" is answered
    ASSERT_TRUE(client_.Send(R"({"cmd":"ready"})"));
    EXPECT_EQ(client_.ReadFrame(), Frame(kIdle));
  }
  EXPECT_EQ(FrameAfter("showLineWindow"), Frame(kIdle));
  EXPECT_EQ(FrameAfter("hideLineWindow"), Frame(R"({"cmd":"hide"})"));
  EXPECT_EQ(FrameAfter("hideCapsuleWindow"), Frame(kIdle));
  // "json" wins over the type.
  EXPECT_EQ(FrameAfter("showCapsuleWindow", Map({{"type", "music"}, {"json", "{\"raw\": 1}"}})),
            Frame("{\"raw\": 1}"));
  EXPECT_EQ(FrameAfter("showCapsuleWindow",
                       Map({{"type", "status"}, {"text", "Saved \"a\""}, {"success", true}})),
            Frame(R"({"cmd":"render","type":"status","text":"Saved \"a\"","success":true,)"
                  R"("duration":5})"));
  // Nothing sent, still ok: a non-map to showCapsuleWindow, a json that is no string.
  EXPECT_EQ(CallWindow("showCapsuleWindow", EncodableValue("status")), CallResult::Kind::kSuccess);
  EXPECT_EQ(CallWindow("sendCapsuleCommand", Map({{"json", 42}})), CallResult::Kind::kSuccess);
  EXPECT_EQ(CallWindow("sendCapsuleCommand"), CallResult::Kind::kSuccess);
  EXPECT_EQ(FrameAfter("sendCapsuleCommand", Map({{"json", "as is"}})), Frame("as is"));

  // A client leaving mid-frame ends the pipe, not the host; later sends are dropped.
  ASSERT_TRUE(client_.SendRaw(PipeClient::Header(100) + "0123456789"));
  client_.Close();
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule pipe peek failed, disconnected"));
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule pipe listen thread exiting"));
  EXPECT_TRUE(ui_->Calls().empty());
  EXPECT_EQ(CallWindow("showLineWindow"), CallResult::Kind::kSuccess);
  EXPECT_TRUE(log_->WaitForMessage("capsule pipe has ended, dropping messages from now on"));
}

TEST(CapsulePipeOwnership, APipeAlreadyTakenStartsNoCapsule) {
  UniqueFileHandle squatter(::CreateNamedPipeW(L"\\\\.\\pipe\\Kestrune_Capsule", PIPE_ACCESS_DUPLEX,
                                               PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
  ASSERT_TRUE(squatter.is_valid());
  LogReader log(DebugLogPath());
  auto host = StartHost({});
  ASSERT_TRUE(log.WaitForMessage("[KR] CreateNamedPipe failed: "));
  ASSERT_TRUE(log.WaitForMessage("[KR] OnCreate done, main window ready"));
  EXPECT_EQ(log.CountMessages("[KR] Capsule process started"), 0u);
}

}  // namespace
}  // namespace kr_test
