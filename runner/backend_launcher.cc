#include "runner/backend_launcher.h"

// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <cstdio>
#include <string>

#include "runner/backend_plan.h"
#include "runner/child_job.h"
#include "runner/search_tool.h"
#include "runner/debug_log.h"
#include "runner/unique_resource.h"
#include "runner/utils.h"
#include "runner/window_names.h"

namespace {

// Windows 10 1803 and later: a connect that sends its SYN once. mingw-w64's
// headers lack them; the values are those of mstcpip.h.
#ifndef SIO_TCP_INITIAL_RTO
#define SIO_TCP_INITIAL_RTO _WSAIOW(IOC_VENDOR, 17)
struct TCP_INITIAL_RTO_PARAMETERS {
  USHORT Rtt;
  UCHAR MaxSynRetransmissions;
};
#define TCP_INITIAL_RTO_UNSPECIFIED_RTT ((USHORT)-1)
#define TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS ((UCHAR)-2)
#endif

// A closed loopback port is not refused at once on Windows (the SYN is retried
// for about two seconds), so a probe gives up after this long.
constexpr int kProbeWaitMs = 250;

constexpr int kBridgePorts[] = {18100, 18785};
constexpr int kSenseRunnerPort = 18786;

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FindCoreDir() {
  std::wstring folder = ExecutableFolder();
  if (folder.empty()) {
    return {};
  }
  folder.pop_back();  // the trailing separator
  for (int level = 0; level < 8; ++level) {
    std::wstring candidate = folder + L"\\core";
    if (FileExists(candidate + L"\\kestrune_bridge_server.py")) {
      return candidate;
    }
    std::wstring parent(ParentFolder(folder));
    if (parent == folder) {
      break;
    }
    folder = std::move(parent);
  }
  return {};
}

// The interpreter for |core|: its own virtual environment, its bundled
// runtime, else the first "python.exe" in an absolute folder of PATH. Empty
// when there is none.
std::wstring FindPython(const std::wstring& core) {
  for (const wchar_t* relative : {L"\\.venv\\Scripts\\python.exe", L"\\runtime\\python.exe"}) {
    if (FileExists(core + relative)) {
      return core + relative;
    }
  }
  for (const std::wstring& folder :
       InterpreterSearchFolders(ReadEnvironment(L"PATH").value_or(std::wstring()))) {
    std::wstring candidate = folder + (folder.back() == L'\\' ? L"" : L"\\") + L"python.exe";
    if (FileExists(candidate)) {
      return candidate;
    }
  }
  return {};
}

int ReadBridgePort(const std::wstring& core) {
  FILE* file = _wfopen((core + L"\\bridge\\tcp_port.txt").c_str(), L"rb");
  if (file == nullptr) {
    return 0;
  }
  char text[31];
  size_t read = fread(text, 1, sizeof(text), file);
  fclose(file);
  return ParseBridgePort(std::string_view(text, read));
}

void LaunchBackend(const std::wstring& interpreter,
                   const std::wstring& folder,
                   std::wstring_view arguments) {
  std::wstring command_line = BackendCommandLine(interpreter, arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessInChildJob(interpreter.c_str(), command_line.data(), CREATE_NO_WINDOW, nullptr,
                               folder.c_str(), &startup, &process)) {
    DebugLogF("[KR] Backend start failed (%lu): %ls", ::GetLastError(), command_line.c_str());
    return;
  }
  DebugLogF("[KR] Backend started (pid %lu): %ls", process.dwProcessId, command_line.c_str());
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

}  // namespace

bool ProbeLocalPort(int port) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    return false;
  }
  // Where offered, the SYN is not retried: a closed port then fails at once.
  TCP_INITIAL_RTO_PARAMETERS rto{TCP_INITIAL_RTO_UNSPECIFIED_RTT,
                                 TCP_INITIAL_RTO_NO_SYN_RETRANSMISSIONS};
  DWORD returned = 0;
  ::WSAIoctl(s, SIO_TCP_INITIAL_RTO, &rto, sizeof(rto), nullptr, 0, &returned, nullptr, nullptr);
  u_long non_blocking = 1;
  ::ioctlsocket(s, FIONBIO, &non_blocking);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  bool connected = ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  if (!connected && ::WSAGetLastError() == WSAEWOULDBLOCK) {
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval wait{0, kProbeWaitMs * 1000};
    if (::select(0, nullptr, &writable, &failed, &wait) > 0 && FD_ISSET(s, &writable)) {
      int error = 0;
      int error_size = sizeof(error);
      connected = ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                               &error_size) == 0 &&
                  error == 0;
    }
  }
  ::closesocket(s);
  return connected;
}

void LaunchBackends() {
  std::wstring core = FindCoreDir();
  if (core.empty()) {
    ::OutputDebugStringW(L"[Kestrune] core/ not found next to exe - backends skipped");
    return;
  }
  ::SetEnvironmentVariableW(L"KESTRUNE_BRIDGE_DIR", (core + L"\\bridge").c_str());
  // The launcher runs before the single-instance test: backends of a second
  // instance would be killed with it a moment later, half started.
  UniqueHandle main_instance(::OpenMutexW(SYNCHRONIZE, FALSE, kSingleInstanceMutexName));
  if (main_instance) {
    DebugLog("[KR] Backends: a main instance already runs; none started");
    return;
  }
  WSADATA wsa{};
  bool sockets = ::WSAStartup(MAKEWORD(2, 2), &wsa) == 0;
  int file_port = ReadBridgePort(core);
  bool bridge_running = false;
  bool runner_running = false;
  if (sockets) {
    bridge_running = file_port > 0 && ProbeLocalPort(file_port);
    for (int port : kBridgePorts) {
      bridge_running = bridge_running || ProbeLocalPort(port);
    }
    runner_running = ProbeLocalPort(kSenseRunnerPort);
    ::WSACleanup();
  }
  std::vector<std::wstring_view> start = BackendsToStart(bridge_running, runner_running);
  if (start.empty()) {
    return;
  }
  std::wstring python = FindPython(core);
  if (python.empty()) {
    DebugLog("[KR] Backends: no python.exe found; none started");
    return;
  }
  DebugLogF("[KR] Backends: interpreter %ls", python.c_str());
  for (std::wstring_view arguments : start) {
    LaunchBackend(python, core, arguments);
  }
}
