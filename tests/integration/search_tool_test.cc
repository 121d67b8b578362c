// The "Everything" search tool is ended at start (and exit) only when it is
// installed beside the executable.
#include <gtest/gtest.h>

#include "tests/support/host_process.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

// A folder of this test's own, with the host copied into it.
std::wstring MakeHostFolder(const wchar_t* name, bool with_search_tool) {
  std::wstring folder = ProgramFolder() + name + L"\\";
  ::CreateDirectoryW(folder.c_str(), nullptr);
  ::CopyFileW(HostExecutable().c_str(), (folder + L"kestrune_flutter.exe").c_str(), FALSE);
  std::wstring tool_folder = folder + L"data\\everything\\";
  if (with_search_tool) {
    ::CreateDirectoryW((folder + L"data").c_str(), nullptr);
    ::CreateDirectoryW(tool_folder.c_str(), nullptr);
    ::CopyFileW((ProgramFolder() + L"kr_helper_window.exe").c_str(),
                (tool_folder + L"Everything.exe").c_str(), FALSE);
  } else {
    ::DeleteFileW((tool_folder + L"Everything.exe").c_str());
  }
  return folder;
}

// A running process whose image is named "Everything.exe", in |folder|.
std::unique_ptr<ChildProcess> StartFakeSearchTool(const std::wstring& folder) {
  ::CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring program = folder + L"Everything.exe";
  ::CopyFileW((ProgramFolder() + L"kr_helper_window.exe").c_str(), program.c_str(), FALSE);
  return ChildProcess::Start(program, {L"fake search tool"}, {});
}

std::unique_ptr<ChildProcess> StartFakeSearchTool() {
  return StartFakeSearchTool(ProgramFolder() + L"fake_everything\\");
}

TEST(SearchTool, OnlyTheBundledCopyIsEndedAtStart) {
  std::wstring folder = MakeHostFolder(L"host_with_tool", true);
  auto bundled = ChildProcess::Start(folder + L"data\\everything\\Everything.exe",
                                     {L"bundled search tool"}, {});
  auto users_own = StartFakeSearchTool();
  ASSERT_TRUE(bundled && users_own);
  ASSERT_TRUE(WaitUntil([&] { return bundled->running() && users_own->running(); }));
  auto host = ChildProcess::Start(folder + L"kestrune_flutter.exe", {},
                                  {{L"KESTRUNE_CAPSULE", std::nullopt}});
  ASSERT_TRUE(host);
  EXPECT_TRUE(bundled->WaitForExit(10000).has_value());
  ASSERT_NE(WaitForHostWindow(host->pid()), nullptr);
  EXPECT_TRUE(users_own->running());
}

TEST(SearchTool, LeftAloneWhenNotInstalled) {
  auto tool = StartFakeSearchTool();
  ASSERT_TRUE(tool);
  std::wstring folder = MakeHostFolder(L"host_without_tool", false);
  auto host = ChildProcess::Start(folder + L"kestrune_flutter.exe", {},
                                  {{L"KESTRUNE_CAPSULE", std::nullopt}});
  ASSERT_TRUE(host);
  HWND window = WaitForHostWindow(host->pid());
  ASSERT_NE(window, nullptr);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(host->WaitForExit(10000).has_value());
  ::Sleep(500);  // a taskkill would have been started by now
  EXPECT_TRUE(tool->running());
}

}  // namespace
}  // namespace kr_test
