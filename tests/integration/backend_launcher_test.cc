// The backends the main role starts, with a fake interpreter that records how
// it was started, against listeners on the backends' loopback ports.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "runner/debug_log.h"
#include "runner/unique_resource.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

const char kBridge[] = "kestrune_bridge_server.py";
const char kRunner[] = "-m sense.runner --run";
const wchar_t kVenv[] = L"core\\.venv\\Scripts\\";
const wchar_t kRuntime[] = L"core\\runtime\\";

// Writes |path| (below the program folder), making its folders; null removes it.
void Put(const std::wstring& path, const char* bytes) {
  for (size_t at = path.find(L'\\', ProgramFolder().size()); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    ::CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  ::DeleteFileW(path.c_str());
  UniqueHandle file(
      bytes ? ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)
            : INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file.get(), bytes, bytes ? strlen(bytes) : 0, &written, nullptr);
}

std::wstring InstallFake(const std::wstring& folder) {
  Put(folder + L"python.exe", nullptr);
  ::CopyFileW((ProgramFolder() + L"kr_fake_python.exe").c_str(), (folder + L"python.exe").c_str(),
              FALSE);
  return folder + L"python.exe";
}

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // the test's paths are ASCII
}

struct Listener {
  explicit Listener(int port) {
    sockaddr_in address{AF_INET, ::htons(static_cast<u_short>(port)), {}, {}};
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ok = ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
         ::listen(s, 4) == 0;
  }
  ~Listener() { ::closesocket(s); }
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  bool ok = false;
};

struct Story {
  const wchar_t* name;
  const wchar_t* exe_folder;   // below the story's root, where "core" lies
  const wchar_t* interpreter;  // below the root; null: none in "core"
  const char* port_file;       // null: none
  std::vector<int> answering;
  std::vector<const char*> started;
};

class BackendLauncher : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA wsa;
    ::WSAStartup(MAKEWORD(2, 2), &wsa);
  }

  // Lays out |story|, starts the host and waits for its window, which comes
  // after the launcher ran.
  bool Start(const Story& story, const EnvironmentChanges& environment = {}) {
    host_.reset();  // one main instance at a time
    log_ = LogReader(DebugLogPath());
    root_ = ProgramFolder() + L"backends_" + story.name + L"\\";
    Put(root_ + L"core\\kestrune_bridge_server.py", "");
    Put(root_ + L"core\\bridge\\tcp_port.txt", story.port_file);
    if (story.interpreter) {
      python_ = InstallFake(root_ + story.interpreter);
    }
    std::wstring host = root_ + story.exe_folder + L"kestrune_flutter.exe";
    Put(host, nullptr);
    ::CopyFileW(HostExecutable().c_str(), host.c_str(), FALSE);
    EnvironmentChanges changes = environment;
    for (const wchar_t* name : {L"KESTRUNE_CAPSULE", L"KR_UI_BRIDGE", L"KESTRUNE_BRIDGE_DIR"}) {
      changes.try_emplace(name, std::nullopt);
    }
    host_ = ChildProcess::Start(host, {}, changes);
    return host_ && WaitForHostWindow(host_->pid(), 20000) != nullptr;
  }

  // The pids of the backends the host logged as started, in start order, each
  // checked against what it recorded: its command line with |arguments|, its folder.
  std::vector<DWORD> ExpectStarted(const std::vector<const char*>& arguments) {
    std::vector<DWORD> pids;
    const std::string marker = "[KR] Backend started (pid ";
    for (const std::string& message : log_.NewMessages()) {
      if (size_t at = message.find(marker); at != std::string::npos) {
        std::string expected = "\"" + Narrow(python_) + "\" " +
                               (pids.size() < arguments.size() ? arguments[pids.size()] : "");
        pids.push_back(std::strtoul(message.c_str() + at + marker.size(), nullptr, 10));
        std::wstring path =
            root_ + L"core\\bridge\\record_" + std::to_wstring(pids.back()) + L".txt";
        std::string bytes;
        EXPECT_TRUE(WaitUntil([&] { return !(bytes = ReadWholeFile(path)).empty(); }, 10000));
        std::wstring record(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        EXPECT_EQ(record, std::wstring(expected.begin(), expected.end()) + L"\n" + root_ + L"core");
        ::DeleteFileW(path.c_str());
      }
    }
    EXPECT_EQ(pids.size(), arguments.size());
    return pids;
  }

  LogReader log_{DebugLogPath()};
  std::wstring root_;
  std::wstring python_;
  std::unique_ptr<ChildProcess> host_;
};

// "core" beside the host or up to seven folders above it (not eight); the
// port file's port probed first, then 18100 and 18785 for the bridge, 18786
// for the sense runner. The backends live in the host's job: a second start
// adds none, and killing the host ends them.
TEST_F(BackendLauncher, StartsWhatDoesNotAnswerWithExactCommandLinesForTheHostsLifetime) {
  const Story stories[] = {
      {L"file_port_answers", L"", kVenv, "18123\r\n", {18123}, {kRunner}},
      {L"both_answer", L"", kRuntime, "0", {18785, 18786}, {}},
      {L"runner_answers", L"a\\", kRuntime, "abc", {18786}, {kBridge}},
      {L"core_eight_up", L"1\\2\\3\\4\\5\\6\\7\\8\\", kVenv, nullptr, {}, {}},
      {L"nothing_answers", L"a\\b\\", kVenv, nullptr, {}, {kBridge, kRunner}},
  };
  std::vector<UniqueHandle> backends;
  for (const Story& story : stories) {
    SCOPED_TRACE(Narrow(story.name));
    std::vector<std::unique_ptr<Listener>> listeners;
    for (int port : story.answering) {
      listeners.push_back(std::make_unique<Listener>(port));
      ASSERT_TRUE(listeners.back()->ok) << port;
    }
    ASSERT_TRUE(Start(story));
    for (DWORD pid : ExpectStarted(story.started)) {
      backends.emplace_back(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    }
  }
  auto second = ChildProcess::Start(root_ + L"a\\b\\kestrune_flutter.exe", {},
                                    {{L"KESTRUNE_CAPSULE", std::nullopt}});
  ASSERT_TRUE(second);
  EXPECT_EQ(second->WaitForExit(20000), std::optional<DWORD>(1));
  EXPECT_EQ(log_.CountMessages("[KR] Backend started"), 2u);
  ::TerminateProcess(host_->handle(), 9);
  for (const UniqueHandle& backend : backends) {
    EXPECT_EQ(::WaitForSingleObject(backend.get(), 10000), WAIT_OBJECT_0);
  }
}

// Without an interpreter in "core", the first python.exe in an absolute PATH
// folder runs: not the store alias, nor one in the current or a relative folder.
TEST_F(BackendLauncher, SearchesPathSkippingRelativeFoldersAndTheStoreAlias) {
  wchar_t buffer[8192];
  std::wstring planted(buffer, ::GetCurrentDirectoryW(MAX_PATH, buffer));
  InstallFake(planted + L"\\");
  std::wstring alias = ProgramFolder() + L"backends_path\\Microsoft\\WindowsApps";
  InstallFake(alias + L"\\");
  std::wstring chosen = ProgramFolder() + L"backends_path\\python";
  Listener bridge(18100);
  ASSERT_TRUE(bridge.ok);
  std::wstring path = L".;python;" + alias + L";" + chosen + L";" +
                      std::wstring(buffer, ::GetEnvironmentVariableW(L"PATH", buffer, 8192));
  python_ = InstallFake(chosen + L"\\");
  bool started = Start({L"path", L"", nullptr, nullptr, {}, {}}, {{L"PATH", path}});
  ::DeleteFileW((planted + L"\\python.exe").c_str());
  ASSERT_TRUE(started);
  ExpectStarted({kRunner});
}

}  // namespace
}  // namespace kr_test
