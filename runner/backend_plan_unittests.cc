#include "runner/backend_plan.h"

#include <gtest/gtest.h>

namespace {

TEST(BackendPlan, PortFileTextReadsAsStrtolWithinInt32) {
  const std::pair<const char*, int> cases[] = {
      {"18123\r\n", 18123},
      {" \t18123 \n", 18123},
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
      {"-", 0},
  };
  for (const auto& [text, port] : cases) {
    EXPECT_EQ(ParseBridgePort(text), port) << '"' << text << '"';
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
}

}  // namespace
