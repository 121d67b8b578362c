// The capsule process's life bound to the host's, and a teardown that a
// capsule pipe client which never reads cannot hold up.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/main_host_test.h"
#include "tests/support/pipe_client.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

class CapsuleProcessTest : public MainHostTest {
 protected:
  CallResult SendCommand(const std::string& json) {
    EncodableMap arguments{{EncodableValue("json"), EncodableValue(json)}};
    return ui_->Call("kestrune/window", "sendCapsuleCommand", EncodableValue(arguments));
  }
};

// A command of |size| bytes of valid JSON.
std::string CommandOfSize(size_t size) {
  std::string command = R"({"cmd":"pad","x":")";
  command.append(size - command.size() - 2, 'a');
  return command + "\"}";
}

TEST_F(CapsuleProcessTest, KillingTheHostEndsTheCapsule) {
  StartMainHost();
  ASSERT_FALSE(HasFatalFailure());
  BridgeConnection* capsule_ui = bridge_.WaitForConnection("capsule");
  ASSERT_NE(capsule_ui, nullptr);
  UniqueHandle capsule(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(capsule_ui->pid())));
  ASSERT_TRUE(capsule);

  // Killed from outside: no teardown of its own runs.
  ASSERT_TRUE(::TerminateProcess(host_->handle(), 9));
  EXPECT_EQ(::WaitForSingleObject(capsule.get(), 10000), WAIT_OBJECT_0);
}

TEST_F(CapsuleProcessTest, CloseEndsTheHostWhileAClientNeverReads) {
  StartMainHost();
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_TRUE(log_->WaitForMessage("[KR] Waiting for capsule pipe connection..."));
  PipeClient client;
  ASSERT_TRUE(client.Connect());

  // Longer than a frame may be: refused, so the next command is the first to arrive.
  EXPECT_EQ(SendCommand(CommandOfSize(65537)).kind, CallResult::Kind::kSuccess);
  const std::string sentinel = R"({"cmd":"sentinel"})";
  EXPECT_EQ(SendCommand(sentinel).kind, CallResult::Kind::kSuccess);
  std::optional<std::string> frame = client.ReadFrame();
  EXPECT_TRUE(frame && *frame == sentinel) << (frame ? frame->substr(0, 40) : "no frame");

  // 200 KiB against 64 KiB of pipe buffer: the pipe thread ends up in a write
  // that only a reader could finish.
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(SendCommand(CommandOfSize(51200)).kind, CallResult::Kind::kSuccess);
  }
  ASSERT_TRUE(log_->WaitForMessage("[KR] PipeWrite: w1=1 w2=1 len=51200"));
  ::PostMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_EQ(host_->WaitForExit(10000), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace kr_test
