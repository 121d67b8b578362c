// The UI bridge as the scripted interface sees it, and the host's refusal of
// anything malformed.
#include <gtest/gtest.h>

#include <cmath>

#include "embedder/bridge_protocol.h"
#include "embedder/standard_codec.h"
#include "runner/debug_log.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr char kIntrospect[] = "kr_embedder/introspect";

class UiBridgeTest : public ::testing::Test {
 protected:
  void SetUp() override { log_ = std::make_unique<LogReader>(DebugLogPath()); }

  // Starts a main-role host pointed at |setting| (the server's own by default).
  void StartHostWith(const std::wstring& setting) {
    host_ = StartHost({{L"KR_UI_BRIDGE", setting}});
    ASSERT_TRUE(host_);
    window_ = WaitForHostWindow(host_->pid());
    ASSERT_NE(window_, nullptr);
  }

  BridgeConnection* Connect() {
    StartHostWith(server_.Setting());
    return server_.WaitForConnection("main");
  }

  // A method-call frame whose arguments are |argument_bytes| as written.
  static std::vector<uint8_t> CallFrameWithRawArguments(
      const std::vector<uint8_t>& argument_bytes) {
    std::vector<uint8_t> call = {7, 4, 'e', 'c', 'h', 'o'};
    call.insert(call.end(), argument_bytes.begin(), argument_bytes.end());
    bridge::Frame frame;
    frame.kind = bridge::FrameKind::kMessage;
    frame.reply_id = 1;
    frame.channel = kIntrospect;
    frame.data = call;
    return bridge::EncodeFrame(frame);
  }

  // The host refused the input: logged it, dropped the connection, and lives on.
  void ExpectRefusedAndAlive(BridgeConnection* ui) {
    EXPECT_TRUE(ui->WaitClosed());
    EXPECT_TRUE(log_->WaitForMessage("[Bridge] refused frame from the interface"));
    EXPECT_TRUE(MessageLoopAnswers(window_));
    EXPECT_TRUE(host_->running());
  }

  UiBridgeServer server_;
  std::unique_ptr<LogReader> log_;
  std::unique_ptr<ChildProcess> host_;
  HWND window_ = nullptr;
};

TEST_F(UiBridgeTest, HelloNamesRoleAndProcess) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->role(), "main");
  EXPECT_EQ(ui->pid(), static_cast<int64_t>(host_->pid()));
  EXPECT_EQ(ui->hello().at(EncodableValue("token")), EncodableValue(server_.token()));
  EXPECT_TRUE(log_->WaitForMessage("[Bridge] connected to the interface"));
}

TEST_F(UiBridgeTest, CapsuleHelloNamesItsRole) {
  host_ = StartHost({{L"KR_UI_BRIDGE", server_.Setting()}, {L"KESTRUNE_CAPSULE", L""}});
  ASSERT_TRUE(host_);
  BridgeConnection* ui = server_.WaitForConnection("capsule");
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->pid(), static_cast<int64_t>(host_->pid()));
}

TEST_F(UiBridgeTest, MethodCallRoundTripsEveryCodecType) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  EncodableValue every_type(EncodableList{
      EncodableValue(),
      EncodableValue(true),
      EncodableValue(false),
      EncodableValue(int32_t{-7}),
      EncodableValue(int64_t{1} << 40),
      EncodableValue(3.25),
      EncodableValue("naïve ☃"),
      EncodableValue(std::vector<uint8_t>{0, 1, 255}),
      EncodableValue(std::vector<int32_t>{-1, 2}),
      EncodableValue(std::vector<int64_t>{int64_t{1} << 50}),
      EncodableValue(std::vector<double>{0.5, -2.0}),
      EncodableValue(std::vector<float>{1.5f}),
      EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(EncodableList{})},
                                  {EncodableValue(int32_t{3}), EncodableValue()}}),
  });
  CallResult echoed = ui->Call(kIntrospect, "echo", every_type);
  ASSERT_EQ(echoed.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(echoed.value, every_type);
}

TEST_F(UiBridgeTest, UnknownChannelAndMethodAnswerNotImplemented) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->Call("kestrune/nothing_here", "anything").kind, CallResult::Kind::kNotImplemented);
  EXPECT_EQ(ui->Call(kIntrospect, "noSuchMethod").kind, CallResult::Kind::kNotImplemented);
}

TEST_F(UiBridgeTest, HostWithWrongTokenIsRefusedAndRunsOn) {
  std::wstring setting = server_.Setting();
  setting.back() = setting.back() == L'0' ? L'1' : L'0';
  StartHostWith(setting);
  EXPECT_TRUE(WaitUntil([&] { return server_.refused_hellos() == 1; }));
  EXPECT_TRUE(log_->WaitForMessage("[Bridge] no welcome from the interface"));
  EXPECT_EQ(server_.WaitForConnection("main", 500), nullptr);
  EXPECT_TRUE(MessageLoopAnswers(window_));
}

TEST_F(UiBridgeTest, WelcomeWithWrongTokenIsRefused) {
  server_.SetWelcomeToken("not-the-right-token");
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  EXPECT_TRUE(ui->WaitClosed());
  EXPECT_TRUE(log_->WaitForMessage("[Bridge] wrong token in welcome; connection refused"));
  EXPECT_TRUE(MessageLoopAnswers(window_));
}

TEST_F(UiBridgeTest, TruncatedFrameIsRefused) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  ui->SendRawAndFinish({100, 0, 0, 0, 3, 0, 0});
  ExpectRefusedAndAlive(ui);
  EXPECT_EQ(log_->CountMessages("truncated frame"), 1u);
}

TEST_F(UiBridgeTest, UnknownTypeTagIsRefused) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  ui->SendRaw(CallFrameWithRawArguments({0x2A}));
  ExpectRefusedAndAlive(ui);
  EXPECT_EQ(log_->CountMessages("unknown type tag"), 1u);
}

TEST_F(UiBridgeTest, SizePastTheEndIsRefused) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  ui->SendRaw(CallFrameWithRawArguments({7, 200, 'a', 'b', 'c'}));
  ExpectRefusedAndAlive(ui);
}

TEST_F(UiBridgeTest, NestingBeyondTheBoundIsRefused) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  std::vector<uint8_t> nested;
  for (int i = 0; i < 500; ++i) {
    nested.push_back(12);  // list of one element
    nested.push_back(1);
  }
  nested.push_back(0);
  ui->SendRaw(CallFrameWithRawArguments(nested));
  ExpectRefusedAndAlive(ui);
  EXPECT_EQ(log_->CountMessages("nesting too deep"), 1u);
}

TEST_F(UiBridgeTest, UnknownFrameKindAndHugeLengthAreRefused) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  ui->SendRaw({1, 0, 0, 0, 9});
  ExpectRefusedAndAlive(ui);

  UiBridgeServer second_server;
  auto second_host_log = std::make_unique<LogReader>(DebugLogPath());
  host_.reset();
  host_ = StartHost({{L"KR_UI_BRIDGE", second_server.Setting()}});
  ASSERT_TRUE(host_);
  window_ = WaitForHostWindow(host_->pid());
  BridgeConnection* again = second_server.WaitForConnection("main");
  ASSERT_NE(again, nullptr);
  again->SendRaw({0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_TRUE(again->WaitClosed());
  EXPECT_TRUE(second_host_log->WaitForMessage("exceeds the limit"));
  EXPECT_TRUE(MessageLoopAnswers(window_));
}

TEST_F(UiBridgeTest, MalformedSettingIsRefusedWithALogLine) {
  StartHostWith(L"not-a-port:short");
  EXPECT_TRUE(log_->WaitForMessage("[Bridge] KR_UI_BRIDGE refused"));
  EXPECT_TRUE(MessageLoopAnswers(window_));
}

}  // namespace
}  // namespace kr_test
