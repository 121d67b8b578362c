// The UI bridge as the scripted interface sees it, and the host's refusal of
// anything malformed.
#include <gtest/gtest.h>

#include "embedder/bridge_protocol.h"
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
  // Starts a main-role host pointed at |setting|, the server's own by default.
  BridgeConnection* Connect(std::wstring setting = {}) {
    host_.reset();  // one instance at a time
    host_ = StartHost({{L"KR_UI_BRIDGE", setting.empty() ? server_.Setting() : setting}});
    window_ = host_ ? WaitForHostWindow(host_->pid()) : nullptr;
    return window_ && setting.empty() ? server_.WaitForConnection("main") : nullptr;
  }

  // A frame calling "echo" whose arguments are |arguments| as written.
  static std::vector<uint8_t> EchoWithRawArguments(const std::vector<uint8_t>& arguments) {
    std::vector<uint8_t> call = {7, 4, 'e', 'c', 'h', 'o'};
    for (uint8_t byte : arguments) {
      call.push_back(byte);
    }
    return bridge::EncodeFrame({bridge::FrameKind::kMessage, 1, kIntrospect, call});
  }

  LogReader log_{DebugLogPath()};
  UiBridgeServer server_;
  std::unique_ptr<ChildProcess> host_;
  HWND window_ = nullptr;
};

TEST_F(UiBridgeTest, HelloAndEchoOfEveryCodecType) {
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->pid(), static_cast<int64_t>(host_->pid()));
  EXPECT_EQ(ui->hello().at(EncodableValue("token")), EncodableValue(server_.token()));
  EncodableValue every_type(EncodableList{
      EncodableValue(), EncodableValue(true), EncodableValue(false), EncodableValue(int32_t{-7}),
      EncodableValue(int64_t{1} << 40), EncodableValue(3.25), EncodableValue("naïve ☃"),
      EncodableValue(std::vector<uint8_t>{0, 1, 255}), EncodableValue(std::vector<int32_t>{-1, 2}),
      EncodableValue(std::vector<int64_t>{int64_t{1} << 50}),
      EncodableValue(std::vector<double>{0.5, -2.0}), EncodableValue(std::vector<float>{1.5f}),
      EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(EncodableList{})},
                                  {EncodableValue(int32_t{3}), EncodableValue()}})});
  CallResult echoed = ui->Call(kIntrospect, "echo", every_type);
  ASSERT_EQ(echoed.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(echoed.value, every_type);
  EXPECT_EQ(ui->Call("kestrune/nothing_here", "anything").kind, CallResult::Kind::kNotImplemented);
  EXPECT_EQ(ui->Call(kIntrospect, "noSuchMethod").kind, CallResult::Kind::kNotImplemented);
  // The capsule the host starts connects as well, under its own role.
  BridgeConnection* capsule = server_.WaitForConnection("capsule");
  ASSERT_NE(capsule, nullptr);
  EXPECT_NE(capsule->pid(), ui->pid());
}

TEST_F(UiBridgeTest, WrongTokensAndSettingsAreRefusedAndTheHostRunsOn) {
  std::wstring setting = server_.Setting();
  setting.back() = setting.back() == L'0' ? L'1' : L'0';
  Connect(setting);
  EXPECT_TRUE(WaitUntil([&] { return server_.refused_hellos() >= 1; }));
  EXPECT_TRUE(log_.WaitForMessage("[Bridge] no welcome from the interface"));
  EXPECT_EQ(server_.WaitForConnection("main", 500), nullptr);
  EXPECT_TRUE(MessageLoopAnswers(window_));

  Connect(L"not-a-port:short");
  EXPECT_TRUE(log_.WaitForMessage("[Bridge] KR_UI_BRIDGE refused"));
  EXPECT_TRUE(MessageLoopAnswers(window_));

  server_.SetWelcomeToken("not-the-right-token");
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  EXPECT_TRUE(ui->WaitClosed());
  EXPECT_TRUE(log_.WaitForMessage("[Bridge] wrong token in welcome; connection refused"));
  EXPECT_TRUE(MessageLoopAnswers(window_));
}

TEST_F(UiBridgeTest, MalformedFramesEndTheConnectionWithALogLine) {
  std::vector<uint8_t> nested;
  for (int i = 0; i < 500; ++i) {
    nested.push_back(12);  // a list of one element
    nested.push_back(1);
  }
  nested.push_back(0);
  const struct {
    std::vector<uint8_t> bytes;
    bool finish;  // the peer then ends its sending side
    const char* log;
  } kCases[] = {
      {{100, 0, 0, 0, 3, 0, 0}, true, "truncated frame"},
      {EchoWithRawArguments({0x2A}), false, "unknown type tag"},
      {EchoWithRawArguments({7, 200, 'a', 'b', 'c'}), false, "[Bridge] refused frame"},
      {EchoWithRawArguments(nested), false, "nesting too deep"},
      {{1, 0, 0, 0, 9}, false, "[Bridge] refused frame"},
      {{0xFF, 0xFF, 0xFF, 0xFF}, false, "exceeds the limit"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.log);
    LogReader log(DebugLogPath());
    BridgeConnection* ui = Connect();
    ASSERT_NE(ui, nullptr);
    c.finish ? ui->SendRawAndFinish(c.bytes) : ui->SendRaw(c.bytes);
    EXPECT_TRUE(ui->WaitClosed());
    EXPECT_TRUE(log.WaitForMessage(c.log));
    EXPECT_TRUE(MessageLoopAnswers(window_));
    EXPECT_TRUE(host_->running());
  }
}

}  // namespace
}  // namespace kr_test
