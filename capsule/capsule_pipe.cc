#include "capsule/capsule_pipe.h"

#include <windows.h>
#include <sddl.h>

#include <chrono>
#include <string>
#include <vector>

#include "capsule/capsule_environment.h"
#include "capsule/capsule_messages.h"
#include "capsule/pipe_frames.h"
#include "runner/child_job.h"
#include "runner/debug_log.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "runner/unique_resource.h"
#include "runner/win32_procs.h"

namespace {

constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\Kestrune_Capsule";
constexpr DWORD kPipeBufferSize = 65536;
constexpr auto kIdleWait = std::chrono::milliseconds(20);
// The capsule's reader skips longer frames, so they are refused at the source.
constexpr size_t kMaxMessageBytes = 65536;
// What the log keeps of one outgoing message.
constexpr size_t kLoggedMessageBytes = 1024;

// Access for the current user and the system only, instead of the default
// descriptor that lets every user read the pipe.
UniqueLocalMemory OwnerOnlySecurityDescriptor() {
  HANDLE token_handle = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token_handle)) {
    return UniqueLocalMemory();
  }
  UniqueHandle token(token_handle);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
    return UniqueLocalMemory();
  }
  wchar_t* sid_text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                                &sid_text)) {
    return UniqueLocalMemory();
  }
  UniqueLocalMemory sid_memory(sid_text);
  std::wstring sddl = L"D:P(A;;GA;;;SY)(A;;GA;;;" + std::wstring(sid_text) + L")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!GetWin32Procs().convert_security_descriptor(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                   nullptr)) {
    return UniqueLocalMemory();
  }
  return UniqueLocalMemory(descriptor);
}

std::wstring capsule_executable;

std::wstring ExecutablePath() {
  if (!capsule_executable.empty()) {
    return capsule_executable;
  }
  wchar_t path[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, length < MAX_PATH ? length : 0);
}

std::vector<wchar_t> CapsuleEnvironment() {
  std::u16string parent;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    wchar_t* end = block;
    while (*end != L'\0') {
      end += wcslen(end) + 1;
    }
    // wchar_t is 16-bit here: a copy per unit.
    for (const wchar_t* unit = block; unit != end; ++unit) {
      parent.push_back(static_cast<char16_t>(*unit));
    }
    ::FreeEnvironmentStringsW(block);
  }
  std::vector<char16_t> built = BuildCapsuleEnvironment(parent);
  return std::vector<wchar_t>(built.begin(), built.end());
}

bool WriteAll(HANDLE pipe, const void* data, DWORD size) {
  DWORD written = 0;
  return ::WriteFile(pipe, data, size, &written, nullptr) && written == size;
}

}  // namespace

void SetCapsuleExecutable(const std::wstring& path) {
  capsule_executable = path;
}

void StartCapsule(FlutterWindow* window) {
  UniqueLocalMemory descriptor = OwnerOnlySecurityDescriptor();
  if (!descriptor) {
    // The default descriptor would let other users read the pipe: no pipe and
    // no capsule rather than an unprotected one.
    DebugLogF("[KR] Capsule pipe security descriptor failed: %lu", ::GetLastError());
    window->pipe_outbox.Close();
    return;
  }
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = descriptor.get();
  // Only the first instance, only local clients: nobody else may own or
  // listen on the capsule's pipe.
  window->capsule_pipe = ::CreateNamedPipeW(
      kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kPipeBufferSize, kPipeBufferSize, 0, &attributes);
  if (window->capsule_pipe == INVALID_HANDLE_VALUE) {
    DebugLogF("[KR] CreateNamedPipe failed: %lu", ::GetLastError());
    return;
  }
  DebugLog("[KR] Named pipe created");

  std::wstring path = ExecutablePath();
  std::vector<wchar_t> environment = CapsuleEnvironment();
  std::wstring folder = path.substr(
      0, path.find_last_of(L"\\/") == std::wstring::npos ? 0 : path.find_last_of(L"\\/"));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  // In the child job: a host that crashes or is killed takes the island with it.
  if (!CreateProcessInChildJob(path.c_str(), nullptr, CREATE_UNICODE_ENVIRONMENT,
                               environment.data(), folder.empty() ? nullptr : folder.c_str(),
                               &startup, &window->capsule_process)) {
    DebugLogF("[KR] CreateProcess capsule failed: %lu", ::GetLastError());
    ::CloseHandle(window->capsule_pipe);
    window->capsule_pipe = INVALID_HANDLE_VALUE;
    window->pipe_outbox.Close();
    return;
  }
  DebugLogF("[KR] Capsule process started, pid=%lu", window->capsule_process.dwProcessId);
  window->capsule_pid = window->capsule_process.dwProcessId;
  blur_guard = ::GetTickCount64() + kGuardAfterCapsuleStartMs;
  collapse_sent = false;
  window->pipe_running = true;
  window->pipe_waiting_for_client = true;
  try {
    window->pipe_thread = std::thread(CapsulePipeThread, window);
  } catch (const std::exception& error) {
    // Without its thread nobody would ever talk to the capsule: end it.
    DebugLogF("[KR] Capsule pipe thread could not start: %s", error.what());
    window->pipe_running = false;
    window->pipe_waiting_for_client = false;
    StopCapsule(window);
    window->pipe_outbox.Close();
  }
}

void StopCapsule(FlutterWindow* window) {
  window->pipe_running = false;
  if (window->capsule_process.hProcess != nullptr) {
    ::TerminateProcess(window->capsule_process.hProcess, 0);
    ::CloseHandle(window->capsule_process.hProcess);
    if (window->capsule_process.hThread != nullptr) {
      ::CloseHandle(window->capsule_process.hThread);
    }
    window->capsule_process = PROCESS_INFORMATION{};
    DebugLog("[KR] Capsule process terminated");
  }
  if (window->pipe_thread.joinable()) {
    if (window->pipe_waiting_for_client) {
      // A thread still waiting for its client is released by connecting as one.
      UniqueFileHandle wake(::CreateFileW(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    }
    // The client may be another process that never reads, so the thread can
    // sit in a write that ending the capsule does not release. Once the pipe
    // is disconnected every later call fails at once; a call already waiting
    // is cancelled.
    if (window->capsule_pipe != INVALID_HANDLE_VALUE) {
      ::DisconnectNamedPipe(window->capsule_pipe);
    }
    if (HANDLE thread = window->pipe_thread_handle.load()) {
      ::CancelSynchronousIo(thread);
    }
    window->pipe_thread.join();
  }
  UniqueHandle thread_handle(window->pipe_thread_handle.exchange(nullptr));
  if (window->capsule_pipe != INVALID_HANDLE_VALUE) {
    ::CloseHandle(window->capsule_pipe);
    window->capsule_pipe = INVALID_HANDLE_VALUE;
  }
}

void PipeSend(FlutterWindow* window, const std::string& message) {
  if (message.size() <= kLoggedMessageBytes) {
    DebugLogF("[KR] PipeSend: %s", message.c_str());
  } else {
    DebugLogF("[KR] PipeSend: %.*s... (%zu bytes)", static_cast<int>(kLoggedMessageBytes),
              message.data(), message.size());
  }
  if (window->capsule_pipe == INVALID_HANDLE_VALUE) {
    return;
  }
  if (message.size() > kMaxMessageBytes) {
    DebugLogF("[KR] PipeSend: message of %zu bytes exceeds the frame limit of %zu, dropped",
              message.size(), kMaxMessageBytes);
    return;
  }
  PipeOutbox::PushResult result = window->pipe_outbox.Push(message);
  if (result.outcome == PipeOutbox::PushOutcome::kClosed && result.first_refusal) {
    DebugLog("[KR] PipeSend: capsule pipe has ended, dropping messages from now on");
  } else if (result.outcome == PipeOutbox::PushOutcome::kTooLarge) {
    DebugLogF("[KR] PipeSend: message of %zu bytes exceeds the queue, dropped", message.size());
  } else if (result.dropped_oldest > 0) {
    DebugLogF("[KR] PipeSend: queue full, dropped %zu oldest messages", result.dropped_oldest);
  }
}

namespace {

void RunCapsulePipe(FlutterWindow* window) {
  HANDLE pipe = window->capsule_pipe;
  DebugLog("[KR] Waiting for capsule pipe connection...");
  if (!::ConnectNamedPipe(pipe, nullptr)) {
    DWORD error = ::GetLastError();
    if (error != ERROR_PIPE_CONNECTED) {
      window->pipe_waiting_for_client = false;
      DebugLogF("[KR] Capsule pipe connect failed: %lu", error);
      window->pipe_outbox.Close();
      return;
    }
  }
  window->pipe_waiting_for_client = false;
  DebugLog("[KR] Capsule pipe connected");
  DebugLog("[KR] Capsule pipe listen thread started");

  PipeFrameReader reader;
  std::vector<char> buffer(kPipeBufferSize);
  auto deliver = [window](std::string_view message) { HandleCapsuleMessage(window, message); };
  while (window->pipe_running) {
    // Written outside any lock: a capsule that stops reading can hold up
    // only this thread.
    for (const std::string& message : window->pipe_outbox.TakeAll()) {
      PipeFrameHeader header = EncodePipeFrameHeader(static_cast<uint32_t>(message.size()));
      bool w1 = WriteAll(pipe, header.data(), static_cast<DWORD>(header.size()));
      bool w2 = WriteAll(pipe, message.data(), static_cast<DWORD>(message.size()));
      DebugLogF("[KR] PipeWrite: w1=%d w2=%d len=%u", w1 ? 1 : 0, w2 ? 1 : 0,
                static_cast<unsigned>(message.size()));
    }
    DWORD available = 0;
    if (!GetWin32Procs().peek_named_pipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
      if (window->pipe_running) {
        DebugLog("[KR] Capsule pipe peek failed, disconnected");
      }
      break;
    }
    if (available == 0) {
      window->pipe_outbox.WaitForMessages(kIdleWait);
      continue;
    }
    // Only what is already there is read, so this never waits on the capsule.
    DWORD read = 0;
    DWORD wanted = available < buffer.size() ? available : static_cast<DWORD>(buffer.size());
    if (!::ReadFile(pipe, buffer.data(), wanted, &read, nullptr) || read == 0) {
      reader.DropPartialFrame();
      continue;
    }
    reader.Feed(std::string_view(buffer.data(), read), deliver);
  }
  window->pipe_outbox.Close();
  DebugLog("[KR] Capsule pipe listen thread exiting");
}

}  // namespace

void CapsulePipeThread(FlutterWindow* window) {
  // A real handle of this thread, so that teardown can cancel a write that
  // waits on a client which never reads.
  HANDLE self = nullptr;
  if (::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &self,
                        THREAD_TERMINATE, FALSE, 0)) {
    window->pipe_thread_handle = self;
  }
  try {
    RunCapsulePipe(window);
  } catch (const std::exception& error) {
    // Copying or queueing a message can run out of memory; that ends the
    // pipe, not the process.
    DebugLogF("[KR] Capsule pipe thread ended by an exception: %s", error.what());
    window->pipe_outbox.Close();
  }
}
