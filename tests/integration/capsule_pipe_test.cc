// The capsule pipe, with this test as the capsule's interface, and the capsule
// process's life bound to the host's.
#include <gtest/gtest.h>

#include "tests/support/main_host_test.h"
#include "tests/support/pipe_client.h"

namespace kr_test {
namespace {

using flutter::EncodableValue;
using Frame = std::optional<std::string>;

constexpr char kIdle[] = R"({"cmd":"render","type":"idle"})";

class CapsulePipeTest : public MainHostTest {
 protected:
  void SetUp() override {
    StartMainHost();
    if (!HasFatalFailure()) {
      ASSERT_TRUE(log_->WaitForMessage("[KR] Waiting for capsule pipe connection..."));
    }
  }

  Frame FrameAfter(const char* method, const EncodableValue& arguments = {}) {
    EXPECT_TRUE(CallWindow(method, arguments)) << method;
    return client_.ReadFrame();
  }

  PipeClient client_;
};

// A command of |size| bytes of valid JSON.
std::string CommandOfSize(size_t size) {
  std::string command = R"({"cmd":"pad","x":")";
  command.append(size - command.size() - 2, 'a');
  return command + "\"}";
}

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
      {"capsule.button_click", Args({{"id", "play"}})},
      {"capsule.voice_off", {}},
      {"capsule.voice_tts", Args({{"on", true}})},
      {"capsule.voice_tts", Args({{"on", false}})},
      {"capsule.todo", Args({{"cmd", "todo_add"}, {"json", kTodo}})},
      {"capsule.button_click", Args({{"id", ""}})}};
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
  EXPECT_FALSE(::IsWindowVisible(window_));

  // Collapsed: the card expands and toggles, and the message toggles as well.
  ASSERT_TRUE(SetCardExpanded(false));
  ASSERT_TRUE(client_.Send(R"({"cmd":"expand"})"));
  EXPECT_TRUE(WaitUntil([&] { return Count("toggle_capsule") == 3; }));
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window_) != FALSE; }));

  // Killed from outside, the host runs no teardown of its own: the capsule ends all the same.
  BridgeConnection* capsule_ui = bridge_.WaitForConnection("capsule");
  ASSERT_NE(capsule_ui, nullptr);
  UniqueHandle capsule(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(capsule_ui->pid())));
  ASSERT_TRUE(capsule);
  ASSERT_TRUE(::TerminateProcess(host_->handle(), 9));
  EXPECT_EQ(::WaitForSingleObject(capsule.get(), 10000), WAIT_OBJECT_0);
}

TEST_F(CapsulePipeTest, CommandsReachTheCapsuleUntilItLeaves) {
  for (const char* json : {"first", "second"}) {
    ASSERT_TRUE(CallWindow("sendCapsuleCommand", Args({{"json", json}})));
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
  // "json" wins over the type; the rest is the render command of its type.
  EXPECT_EQ(FrameAfter("showCapsuleWindow", Args({{"type", "music"}, {"json", "{\"raw\": 1}"}})),
            Frame("{\"raw\": 1}"));
  EXPECT_EQ(FrameAfter("showCapsuleWindow",
                       Args({{"type", "status"}, {"text", "Saved \"a\""}, {"success", true}})),
            Frame(R"({"cmd":"render","type":"status","text":"Saved \"a\"","success":true,)"
                  R"("duration":5})"));

  // A client leaving mid-frame ends the pipe, not the host; later sends are dropped.
  ASSERT_TRUE(client_.SendRaw(EncodePipeFrame(std::string(100, 'x')).substr(0, 14)));
  client_.Close();
  EXPECT_TRUE(log_->WaitForMessage("[KR] Capsule pipe listen thread exiting"));
  EXPECT_TRUE(ui_->Calls().empty());
  EXPECT_TRUE(CallWindow("showLineWindow"));
  EXPECT_TRUE(log_->WaitForMessage("capsule pipe has ended, dropping messages from now on"));
}

TEST_F(CapsulePipeTest, CloseEndsTheHostWhileAClientNeverReads) {
  ASSERT_TRUE(client_.Connect());
  // Longer than a frame may be: refused, so the next command is the first to arrive.
  EXPECT_TRUE(CallWindow("sendCapsuleCommand", Args({{"json", CommandOfSize(65537)}})));
  EXPECT_EQ(FrameAfter("sendCapsuleCommand", Args({{"json", "sentinel"}})), Frame("sentinel"));
  // 200 KiB against 64 KiB of pipe buffer: the pipe thread ends up in a write
  // that only a reader could finish.
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(CallWindow("sendCapsuleCommand", Args({{"json", CommandOfSize(51200)}})));
  }
  ASSERT_TRUE(log_->WaitForMessage("[KR] PipeWrite: w1=1 w2=1 len=51200"));
  ::PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(host_->WaitForExit(10000), std::optional<DWORD>(0));
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
