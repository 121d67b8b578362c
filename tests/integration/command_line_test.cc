// Command-line arguments reach the interface's entry point as UTF-8.
#include <gtest/gtest.h>

#include "tests/support/host_process.h"
#include "tests/support/ui_bridge_server.h"

namespace kr_test {
namespace {

using flutter::EncodableList;
using flutter::EncodableValue;

TEST(CommandLine, ArgumentsArriveAsUtf8WithoutTheProgramName) {
  UiBridgeServer bridge;
  auto host = StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}},
                        {L"--plain", L"na\u00efve", L"\u65e5\u672c\u8a9e with space",
                         L"emoji \U0001F600", L"quote\"inside", L""});
  ASSERT_TRUE(host);
  BridgeConnection* ui = bridge.WaitForConnection("main");
  ASSERT_NE(ui, nullptr);
  EncodableValue expected(
      EncodableList{EncodableValue("--plain"), EncodableValue("na\xc3\xafve"),
                    EncodableValue("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e with space"),
                    EncodableValue("emoji \xf0\x9f\x98\x80"), EncodableValue("quote\"inside"),
                    EncodableValue("")});
  EXPECT_EQ(ui->hello().at(EncodableValue("args")), expected);
  CallResult arguments = ui->Call("kr_embedder/introspect", "entrypointArguments");
  ASSERT_EQ(arguments.kind, CallResult::Kind::kSuccess);
  EXPECT_EQ(arguments.value, expected);
}

TEST(CommandLine, NoArgumentsGiveAnEmptyList) {
  UiBridgeServer bridge;
  auto host = StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}});
  ASSERT_TRUE(host);
  BridgeConnection* ui = bridge.WaitForConnection("main");
  ASSERT_NE(ui, nullptr);
  EXPECT_EQ(ui->hello().at(EncodableValue("args")), EncodableValue(EncodableList{}));
}

}  // namespace
}  // namespace kr_test
