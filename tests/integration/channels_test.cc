// Which channels each role serves, and what the host registers in each role.
#include <gtest/gtest.h>

#include "tests/support/host_process.h"
#include "tests/support/keyboard_input.h"
#include "tests/support/log_reader.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"
#include "runner/debug_log.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableValue;

EncodableValue Names(std::initializer_list<const char*> names) {
  EncodableList list;
  for (const char* name : names) {
    list.emplace_back(name);
  }
  return EncodableValue(list);
}

TEST(Channels, MainRoleServesAllSevenChannels) {
  UiBridgeServer bridge;
  auto host = StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}});
  ASSERT_TRUE(host);
  BridgeConnection* ui = bridge.WaitForConnection("main");
  ASSERT_NE(ui, nullptr);
  ASSERT_TRUE(WaitUntil([&] {
    CallResult channels = ui->Call("kr_embedder/introspect", "handledChannels");
    return channels.value ==
           Names({"kestrune/hitregion", "kestrune/hotkey", "kestrune/icon", "kestrune/smtc",
                  "kestrune/system_monitor", "kestrune/wechat", "kestrune/window"});
  }));
  // Methods of later subsystems answer not-implemented rather than pretending.
  for (const char* channel : {"kestrune/window", "kestrune/icon", "kestrune/hitregion",
                              "kestrune/smtc", "kestrune/system_monitor", "kestrune/wechat"}) {
    SCOPED_TRACE(channel);
    EXPECT_EQ(ui->Call(channel, "anything").kind, CallResult::Kind::kNotImplemented);
  }
  EXPECT_EQ(ui->Call("kestrune/hotkey", "no_such_method").kind, CallResult::Kind::kNotImplemented);
}

TEST(Channels, CapsuleRoleServesFourChannelsNoHotkeysNoHook) {
  UiBridgeServer bridge;
  LogReader log(DebugLogPath());
  auto capsule = StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}, {L"KESTRUNE_CAPSULE", L"1"}});
  ASSERT_TRUE(capsule);
  BridgeConnection* ui = bridge.WaitForConnection("capsule");
  ASSERT_NE(ui, nullptr);
  ASSERT_TRUE(log.WaitForMessage("[KR] Capsule process OnCreate done (channels ready)"));
  EXPECT_EQ(log.CountMessages("[KR] Capsule process style applied, continuing to channel setup"),
            1u);
  CallResult channels = ui->Call("kr_embedder/introspect", "handledChannels");
  EXPECT_EQ(channels.value,
            Names({"kestrune/hitregion", "kestrune/hotkey", "kestrune/icon", "kestrune/window"}));
  EXPECT_EQ(ui->Call("kestrune/smtc", "startSmtcListener").kind, CallResult::Kind::kNotImplemented);

  // No default hotkey is held...
  ASSERT_TRUE(::RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_NOREPEAT, VK_SPACE));
  ::UnregisterHotKey(nullptr, 1);
  EXPECT_EQ(log.CountMessages("RegisterHotKey"), 0u);
  // ...and no keyboard hook sees keys.
  Type({Down(VK_DELETE), Up(VK_DELETE)});
  ::Sleep(300);
  EXPECT_EQ(log.CountMessages("[KR] KB:"), 0u);
  EXPECT_TRUE(capsule->running());
}

}  // namespace
}  // namespace kr_test
