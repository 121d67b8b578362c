#include "capsule/capsule_pipe.h"

#include <windows.h>
#include <sddl.h>

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

// One overlapped operation on the pipe with its own event; the pipe thread
// never has more than one read and one write in flight. Whatever ends the
// thread, an operation still running is cancelled before its buffer goes.
class PipeIo {
 public:
  explicit PipeIo(HANDLE pipe) : pipe_(pipe) {}
  ~PipeIo() { Cancel(); }
  PipeIo(const PipeIo&) = delete;
  PipeIo& operator=(const PipeIo&) = delete;

  OVERLAPPED* Start() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = done_.get();
    pending_ = true;
    return &overlapped_;
  }

  // The operation finished at once, or failed to start.
  void Settled() { pending_ = false; }

  // Result of a finished operation: false with the error in GetLastError.
  bool Result(DWORD* bytes) {
    pending_ = false;
    return ::GetOverlappedResult(pipe_, &overlapped_, bytes, FALSE);
  }

  void Cancel() {
    if (pending_) {
      ::CancelIoEx(pipe_, &overlapped_);
      DWORD ignored = 0;
      ::GetOverlappedResult(pipe_, &overlapped_, &ignored, TRUE);
      pending_ = false;
    }
  }

  bool pending() const { return pending_; }
  HANDLE done() const { return done_.get(); }

 private:
  HANDLE pipe_;
  UniqueHandle done_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  OVERLAPPED overlapped_{};
  bool pending_ = false;
};

// Waits for |io| or for the stop event; true once |io| has finished, false
// (with |io| cancelled) when teardown came first.
bool WaitForIo(FlutterWindow* window, PipeIo& io) {
  HANDLE handles[] = {window->pipe_stop_event.get(), io.done()};
  if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    return true;
  }
  io.Cancel();
  return false;
}

enum class WriteResult { kWritten, kFailed, kStopped };

// Writes all of |data|; a capsule that stops reading holds up only this
// thread, and teardown still ends the wait.
WriteResult WriteAll(FlutterWindow* window, PipeIo& io, const void* data, DWORD size) {
  if (!::WriteFile(window->capsule_pipe, data, size, nullptr, io.Start()) &&
      ::GetLastError() != ERROR_IO_PENDING) {
    io.Settled();
    return WriteResult::kFailed;
  }
  if (!WaitForIo(window, io)) {
    return WriteResult::kStopped;
  }
  DWORD written = 0;
  return io.Result(&written) && written == size ? WriteResult::kWritten : WriteResult::kFailed;
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
      kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE | FILE_FLAG_OVERLAPPED,
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
  ::ResetEvent(window->pipe_stop_event.get());
  try {
    window->pipe_thread = std::thread(CapsulePipeThread, window);
  } catch (const std::exception& error) {
    // Without its thread nobody would ever talk to the capsule: end it.
    DebugLogF("[KR] Capsule pipe thread could not start: %s", error.what());
    window->pipe_running = false;
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
    // Every wait of the pipe thread includes this event: it cancels its own
    // I/O and ends, whether it waits for a client, for input or on a capsule
    // that never reads.
    ::SetEvent(window->pipe_stop_event.get());
    window->pipe_thread.join();
  }
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
  if (result.outcome == PipeOutbox::PushOutcome::kQueued) {
    ::SetEvent(window->pipe_wake_event.get());
  }
  if (result.outcome == PipeOutbox::PushOutcome::kClosed && result.first_refusal) {
    DebugLog("[KR] PipeSend: capsule pipe has ended, dropping messages from now on");
  } else if (result.outcome == PipeOutbox::PushOutcome::kTooLarge) {
    DebugLogF("[KR] PipeSend: message of %zu bytes exceeds the queue, dropped", message.size());
  } else if (result.dropped_oldest > 0) {
    DebugLogF("[KR] PipeSend: queue full, dropped %zu oldest messages", result.dropped_oldest);
  }
}

namespace {

// Waits for the capsule to connect; false when the connection failed or
// teardown came first.
bool ConnectCapsule(FlutterWindow* window) {
  PipeIo io(window->capsule_pipe);
  DWORD error = ERROR_SUCCESS;
  if (!::ConnectNamedPipe(window->capsule_pipe, io.Start())) {
    error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      io.Settled();
    } else if (!WaitForIo(window, io)) {
      return false;
    } else {
      DWORD ignored = 0;
      error = io.Result(&ignored) ? ERROR_SUCCESS : ::GetLastError();
    }
  } else {
    io.Settled();
  }
  if (error != ERROR_SUCCESS && error != ERROR_PIPE_CONNECTED) {
    DebugLogF("[KR] Capsule pipe connect failed: %lu", error);
    return false;
  }
  return true;
}

// Writes every queued message, oldest first; false when teardown came first.
bool WriteQueued(FlutterWindow* window, PipeIo& io) {
  for (const std::string& message : window->pipe_outbox.TakeAll()) {
    PipeFrameHeader header = EncodePipeFrameHeader(static_cast<uint32_t>(message.size()));
    WriteResult w1 = WriteAll(window, io, header.data(), static_cast<DWORD>(header.size()));
    WriteResult w2 = w1 == WriteResult::kStopped
                         ? WriteResult::kStopped
                         : WriteAll(window, io, message.data(), static_cast<DWORD>(message.size()));
    if (w2 == WriteResult::kStopped) {
      return false;
    }
    DebugLogF("[KR] PipeWrite: w1=%d w2=%d len=%u", w1 == WriteResult::kWritten ? 1 : 0,
              w2 == WriteResult::kWritten ? 1 : 0, static_cast<unsigned>(message.size()));
  }
  return true;
}

void LogDisconnected(FlutterWindow* window) {
  // The line keeps the name it has always had, which readers of the log
  // search for, though nothing peeks any more.
  if (window->pipe_running) {
    DebugLog("[KR] Capsule pipe peek failed, disconnected");
  }
}

// The thread sleeps until input arrives, a message is queued or teardown
// stops it: one read is always in flight, so nothing is polled.
void RunCapsulePipe(FlutterWindow* window) {
  HANDLE pipe = window->capsule_pipe;
  DebugLog("[KR] Waiting for capsule pipe connection...");
  if (!ConnectCapsule(window)) {
    window->pipe_outbox.Close();
    return;
  }
  DebugLog("[KR] Capsule pipe connected");
  DebugLog("[KR] Capsule pipe listen thread started");

  PipeFrameReader reader;
  auto deliver = [window](std::string_view message) { HandleCapsuleMessage(window, message); };
  // Declared before the operations, which must end before it goes.
  std::vector<char> buffer(kPipeBufferSize);
  PipeIo read_io(pipe);
  PipeIo write_io(pipe);
  // Messages queued before the connection go first.
  bool running = WriteQueued(window, write_io);
  while (running && window->pipe_running) {
    if (!read_io.pending() &&
        !GetWin32Procs().read_file(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                                   read_io.Start()) &&
        ::GetLastError() != ERROR_IO_PENDING) {
      read_io.Settled();
      LogDisconnected(window);
      break;
    }
    // Pending, or done at once: either way its event is set when it is done.
    HANDLE handles[] = {window->pipe_stop_event.get(), read_io.done(),
                        window->pipe_wake_event.get()};
    DWORD woken = ::WaitForMultipleObjects(3, handles, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0 + 1) {
      DWORD read = 0;
      if (!read_io.Result(&read)) {
        reader.DropPartialFrame();
        LogDisconnected(window);
        break;
      }
      reader.Feed(std::string_view(buffer.data(), read), deliver);
    } else if (woken == WAIT_OBJECT_0 + 2) {
      running = WriteQueued(window, write_io);
    } else {
      if (woken != WAIT_OBJECT_0) {
        DebugLogF("[KR] Capsule pipe wait failed: %lu", ::GetLastError());
      }
      break;
    }
  }
  read_io.Cancel();
  window->pipe_outbox.Close();
  DebugLog("[KR] Capsule pipe listen thread exiting");
}

}  // namespace

void CapsulePipeThread(FlutterWindow* window) {
  try {
    RunCapsulePipe(window);
  } catch (const std::exception& error) {
    // Copying or queueing a message can run out of memory; that ends the
    // pipe, not the process.
    DebugLogF("[KR] Capsule pipe thread ended by an exception: %s", error.what());
    window->pipe_outbox.Close();
  }
}
