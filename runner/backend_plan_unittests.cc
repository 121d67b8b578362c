#include "runner/backend_plan.h"

#include <gtest/gtest.h>

namespace {

TEST(BackendPlan, PortFileTextReadsAsStrtolWithinInt32) {
  const struct {
    const char* text;
    int port;
  } cases[] = {
      {"18123\r\n", 18123},
      {"18123 \n\r", 18123},
      {" \t18123", 18123},
      {"18123abc", 18123},
      {"+42", 42},
      {"abc", 0},
      {"0", 0},
      {"-5", -5},
      {"99999999999", 0},
      {"2147483647", 2147483647},
      {"2147483648", 0},
      {"-2147483648", -2147483647 - 1},
      {"", 0},
      {"\r\n", 0},
      {"-", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseBridgePort(c.text), c.port) << '"' << c.text << '"';
  }
}

TEST(BackendPlan, SearchesOnlyAbsoluteFoldersAndNotTheStoreAliases) {
  const std::wstring path =
      L".;bin;..\\tools;C:\\Users\\me\\AppData\\Local\\Microsoft\\WindowsApps;"
      L"c:/users/me/appdata/local/microsoft/windowsapps/;;\"C:\\Program Files\\Py\\\";"
      L"D:\\py\\\\;\\\\server\\share\\py;C:\\;C:relative;\\rooted";
  EXPECT_EQ(InterpreterSearchFolders(path),
            (std::vector<std::wstring>{L"C:\\Program Files\\Py", L"D:\\py",
                                       L"\\\\server\\share\\py", L"C:\\"}));
  EXPECT_TRUE(InterpreterSearchFolders(L"").empty());
}

TEST(BackendPlan, CommandLineQuotesOnlyTheInterpreter) {
  EXPECT_EQ(BackendCommandLine(L"C:\\a b\\python.exe", L"-m sense.runner --run"),
            L"\"C:\\a b\\python.exe\" -m sense.runner --run");
}

TEST(BackendPlan, StartsTheMissingBackendsBridgeFirst) {
  using List = std::vector<std::wstring_view>;
  EXPECT_EQ(BackendsToStart(false, false),
            (List{L"kestrune_bridge_server.py", L"-m sense.runner --run"}));
  EXPECT_EQ(BackendsToStart(true, false), (List{L"-m sense.runner --run"}));
  EXPECT_EQ(BackendsToStart(false, true), (List{L"kestrune_bridge_server.py"}));
  EXPECT_EQ(BackendsToStart(true, true), List{});
}

TEST(BackendPlan, ParentFolderCutsAtEitherSeparator) {
  EXPECT_EQ(ParentFolder(L"C:\\a/b\\c.exe"), L"C:\\a/b");
  EXPECT_EQ(ParentFolder(L"C:\\a/b"), L"C:\\a");
  EXPECT_EQ(ParentFolder(L"C:"), L"C:");
}

}  // namespace
