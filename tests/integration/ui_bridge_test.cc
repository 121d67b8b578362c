// The host's refusal of a UI bridge that does not know its token, and of
// malformed frames; it runs on without.
#include <gtest/gtest.h>

#include "runner/debug_log.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/ui_bridge_server.h"

namespace kr_test {
namespace {

class UiBridgeTest : public ::testing::Test {
 protected:
  // Starts a main-role host pointed at |setting|, the server's own by default.
  BridgeConnection* Connect(std::wstring setting = {}) {
    host_.reset();  // one instance at a time
    host_ = StartHost({{L"KR_UI_BRIDGE", setting.empty() ? server_.Setting() : setting}});
    window_ = host_ ? WaitForHostWindow(host_->pid()) : nullptr;
    return window_ && setting.empty() ? server_.WaitForConnection("main") : nullptr;
  }

  LogReader log_{DebugLogPath()};
  UiBridgeServer server_;
  std::unique_ptr<ChildProcess> host_;
  HWND window_ = nullptr;
};

TEST_F(UiBridgeTest, WrongTokensAreRefusedAndTheHostRunsOn) {
  std::wstring setting = server_.Setting();
  setting.back() = setting.back() == L'0' ? L'1' : L'0';
  Connect(setting);
  EXPECT_TRUE(log_.WaitForMessage("[Bridge] no welcome from the interface"));
  EXPECT_TRUE(MessageLoopAnswers(window_));

  server_.SetWelcomeToken("not-the-right-token");
  BridgeConnection* ui = Connect();
  ASSERT_NE(ui, nullptr);
  EXPECT_TRUE(ui->WaitClosed());
  EXPECT_TRUE(log_.WaitForMessage("[Bridge] wrong token in welcome; connection refused"));
  EXPECT_TRUE(MessageLoopAnswers(window_));
}

// A frame cut short by the peer's end, and a header announcing more than the limit.
TEST_F(UiBridgeTest, MalformedFramesEndTheConnectionWithALogLine) {
  for (bool truncated : {true, false}) {
    LogReader log(DebugLogPath());
    BridgeConnection* ui = Connect();
    ASSERT_NE(ui, nullptr);
    truncated ? ui->SendRawAndFinish({100, 0, 0, 0, 3, 0, 0})
              : ui->SendRaw({0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_TRUE(ui->WaitClosed());
    EXPECT_TRUE(log.WaitForMessage(truncated ? "truncated frame" : "exceeds the limit"));
    EXPECT_TRUE(MessageLoopAnswers(window_));
    EXPECT_TRUE(host_->running());
  }
}

}  // namespace
}  // namespace kr_test
