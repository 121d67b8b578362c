// The backends the main role starts, with a fake interpreter that records how
// it was started, against listeners on the backends' loopback ports.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "runner/debug_log.h"
#include "runner/unique_resource.h"
#include "tests/support/host_process.h"
#include "tests/support/log_reader.h"
#include "tests/support/wait.h"

namespace kr_test {
namespace {

const char kBridge[] = "kestrune_bridge_server.py";
const char kRunner[] = "-m sense.runner --run";

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

// |folder| (ending in "\") made below the program folder, without old records.
std::wstring Folder(const std::wstring& folder) {
  for (size_t at = folder.find(L'\\', ProgramFolder().size()); at != std::wstring::npos;
       at = folder.find(L'\\', at + 1)) {
    ::CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
  }
  WIN32_FIND_DATAW found;
  HANDLE find = ::FindFirstFileW((folder + L"record_*").c_str(), &found);
  for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(find, &found)) {
    ::DeleteFileW((folder + found.cFileName).c_str());
  }
  ::FindClose(find);
  return folder;
}

std::wstring InstallFakePython(const std::wstring& folder) {
  ::CopyFileW((ProgramFolder() + L"kr_fake_python.exe").c_str(),
              (Folder(folder) + L"python.exe").c_str(), FALSE);
  return folder + L"python.exe";
}

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // the test's paths are ASCII
}

class Listener {
 public:
  explicit Listener(int port) : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = ::htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    listening_ = ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                 ::listen(socket_, 4) == 0;
  }
  ~Listener() { ::closesocket(socket_); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  bool listening() const { return listening_; }

 private:
  SOCKET socket_;
  bool listening_ = false;
};

struct Started {
  DWORD pid = 0;
  std::string command_line;          // as the host logged it
  std::vector<std::wstring> record;  // command line, folder, bridge dir, creation time
};

enum class Interpreter { kVenv, kRuntime, kPath };

struct Story {
  const wchar_t* name;
  const wchar_t* exe_below_root;  // "core" lies in the root
  Interpreter interpreter;
  const char* port_file;  // null: none
  std::vector<int> answering;
  std::vector<const char*> started;
};

class BackendLauncher : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA wsa;
    ::WSAStartup(MAKEWORD(2, 2), &wsa);
  }

  // Lays out |story| and starts the host in it; true when its window came,
  // which is after the launcher ran.
  bool Start(const Story& story, const EnvironmentChanges& environment = {}) {
    root_ = ProgramFolder() + L"backends_" + story.name + L"\\";
    core_ = Folder(root_ + L"core\\");
    WriteFileBytes(core_ + L"kestrune_bridge_server.py", "");
    ::DeleteFileW((Folder(core_ + L"bridge\\") + L"tcp_port.txt").c_str());
    if (story.port_file != nullptr) {
      WriteFileBytes(core_ + L"bridge\\tcp_port.txt", story.port_file);
    }
    // Only the chosen interpreter exists.
    for (const wchar_t* other : {L".venv\\Scripts\\python.exe", L"runtime\\python.exe"}) {
      ::DeleteFileW((core_ + other).c_str());
    }
    if (story.interpreter == Interpreter::kVenv) {
      python_ = InstallFakePython(core_ + L".venv\\Scripts\\");
    } else if (story.interpreter == Interpreter::kRuntime) {
      python_ = InstallFakePython(core_ + L"runtime\\");
    }
    std::wstring exe_folder = Folder(root_ + story.exe_below_root);
    ::CopyFileW(HostExecutable().c_str(), (exe_folder + L"kestrune_flutter.exe").c_str(), FALSE);
    EnvironmentChanges changes = environment;
    changes.try_emplace(L"KESTRUNE_CAPSULE", std::nullopt);
    changes.try_emplace(L"KR_UI_BRIDGE", std::nullopt);
    changes.try_emplace(L"KESTRUNE_BRIDGE_DIR", std::nullopt);
    host_ = ChildProcess::Start(exe_folder + L"kestrune_flutter.exe", {}, changes);
    return host_ && WaitForHostWindow(host_->pid(), 20000) != nullptr;
  }

  // The backends the host logged as started, once each has written its record.
  std::vector<Started> StartedBackends() {
    std::vector<Started> started;
    const std::string marker = "[KR] Backend started (pid ";
    for (const std::string& message : log_.NewMessages()) {
      size_t at = message.find(marker);
      if (at == std::string::npos) {
        continue;
      }
      Started backend;
      backend.pid = std::strtoul(message.c_str() + at + marker.size(), nullptr, 10);
      backend.command_line = message.substr(message.find("): ", at) + 3);
      std::wstring path = python_.substr(0, python_.find_last_of(L'\\') + 1) + L"record_" +
                          std::to_wstring(backend.pid) + L".txt";
      std::string bytes;
      WaitUntil([&] { return !(bytes = ReadWholeFile(path)).empty(); }, 10000);
      std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
      for (size_t begin = 0, end; begin <= text.size(); begin = end + 1) {
        end = std::min(text.find(L'\n', begin), text.size());
        backend.record.push_back(text.substr(begin, end - begin));
      }
      started.push_back(backend);
    }
    return started;
  }

  void ExpectStarted(const std::vector<Started>& started, const std::vector<const char*>& args) {
    ASSERT_EQ(started.size(), args.size());
    for (size_t i = 0; i < started.size(); ++i) {
      std::string expected = "\"" + Narrow(python_) + "\" " + args[i];
      EXPECT_EQ(started[i].command_line, expected);
      ASSERT_EQ(started[i].record.size(), 4u);
      EXPECT_EQ(Narrow(started[i].record[0]), expected);
      EXPECT_EQ(started[i].record[1], core_.substr(0, core_.size() - 1));
      EXPECT_EQ(started[i].record[2], core_ + L"bridge");
    }
    if (started.size() == 2) {  // the bridge was created first
      EXPECT_LE(std::stoull(started[0].record[3]), std::stoull(started[1].record[3]));
    }
  }

  LogReader log_{DebugLogPath()};
  std::wstring root_;
  std::wstring core_;
  std::wstring python_;
  std::unique_ptr<ChildProcess> host_;
};

// "core" two levels up or beside the host; the port file's port probed first,
// then 18100 and 18785 for the bridge, 18786 for the sense runner.
TEST_F(BackendLauncher, StartsWhatDoesNotAnswerWithExactCommandLines) {
  const Story stories[] = {
      {L"nothing_answers", L"a\\b\\", Interpreter::kVenv, nullptr, {}, {kBridge, kRunner}},
      {L"file_port_answers", L"", Interpreter::kVenv, "18123\r\n", {18123}, {kRunner}},
      {L"both_answer", L"", Interpreter::kRuntime, "0", {18785, 18786}, {}},
      {L"runner_answers", L"a\\", Interpreter::kRuntime, "abc", {18786}, {kBridge}},
      {L"other_file_port", L"", Interpreter::kVenv, "18123", {18124}, {kBridge, kRunner}},
  };
  for (const Story& story : stories) {
    SCOPED_TRACE(Narrow(story.name));
    log_ = LogReader(DebugLogPath());
    std::vector<std::unique_ptr<Listener>> listeners;
    for (int port : story.answering) {
      listeners.push_back(std::make_unique<Listener>(port));
      ASSERT_TRUE(listeners.back()->listening()) << port;
    }
    ASSERT_TRUE(Start(story));
    ExpectStarted(StartedBackends(), story.started);
    host_.reset();
  }
}

// The backends live in the host's job: a second start adds none, and killing
// the host ends them.
TEST_F(BackendLauncher, SecondInstanceStartsNoneAndKillingTheHostEndsThem) {
  ASSERT_TRUE(Start({L"lifetime", L"a\\b\\", Interpreter::kVenv, nullptr, {}, {}}));
  std::vector<Started> started = StartedBackends();
  ExpectStarted(started, {kBridge, kRunner});
  std::vector<UniqueHandle> backends;
  for (const Started& backend : started) {
    backends.emplace_back(::OpenProcess(SYNCHRONIZE, FALSE, backend.pid));
    ASSERT_TRUE(backends.back().is_valid());
  }

  auto second = ChildProcess::Start(root_ + L"a\\b\\kestrune_flutter.exe", {},
                                    {{L"KESTRUNE_CAPSULE", std::nullopt}});
  ASSERT_TRUE(second);
  EXPECT_EQ(second->WaitForExit(20000), std::optional<DWORD>(1));
  EXPECT_EQ(log_.CountMessages("[KR] Backends: a main instance already runs; none started"), 1u);
  EXPECT_EQ(StartedBackends().size(), 2u);

  ::TerminateProcess(host_->handle(), 9);
  for (const UniqueHandle& backend : backends) {
    EXPECT_EQ(::WaitForSingleObject(backend.get(), 10000), WAIT_OBJECT_0);
  }
}

// Without an interpreter in "core", the first python.exe in an absolute PATH
// folder runs: not the store alias, nor one in the current or a relative folder.
TEST_F(BackendLauncher, SearchesPathSkippingRelativeFoldersAndTheStoreAlias) {
  wchar_t current[MAX_PATH];
  std::wstring planted(current, ::GetCurrentDirectoryW(MAX_PATH, current));
  planted += L"\\python.exe";
  ::CopyFileW((ProgramFolder() + L"kr_fake_python.exe").c_str(), planted.c_str(), FALSE);
  std::wstring root = ProgramFolder() + L"backends_path\\";
  std::wstring alias = InstallFakePython(root + L"Local\\Microsoft\\WindowsApps\\");
  std::wstring chosen = InstallFakePython(root + L"python\\");
  wchar_t path[8192];
  std::wstring old_path(path, ::GetEnvironmentVariableW(L"PATH", path, 8192));
  Listener bridge(18100);
  ASSERT_TRUE(bridge.listening());

  python_ = chosen;
  bool started = Start({L"path", L"", Interpreter::kPath, nullptr, {}, {}},
                       {{L"PATH", L".;python;" + alias.substr(0, alias.size() - 11) + L";" +
                                      chosen.substr(0, chosen.size() - 11) + L";" + old_path}});
  ::DeleteFileW(planted.c_str());
  ASSERT_TRUE(started);
  EXPECT_EQ(log_.CountMessages("[KR] Backends: interpreter " + Narrow(chosen)), 1u);
  ExpectStarted(StartedBackends(), {kRunner});
}

}  // namespace
}  // namespace kr_test
