#include "runner/debug_log.h"

#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>

#include <atomic>
#include <mutex>

#include "runner/build_config.h"

namespace {

constexpr wchar_t kDebugLogPath[] = KR_DEBUG_LOG_DIR L"\\kr_debug.log";
constexpr wchar_t kWindowSizeTracePath[] = KR_DEBUG_LOG_DIR L"\\kr_wm.log";

// Large enough that an ordinary line reaches the file in one write, so the
// other process's lines cannot land inside it.
constexpr size_t kStreamBuffer = 64 * 1024;

// Guards the first open and keeps every line (also a DebugLogF line, which takes
// three writes) whole against the other threads of this process.
std::mutex& LogLock() {
  static std::mutex lock;
  return lock;
}

// Never closed: the process exit releases it.
FILE* debug_log_file = nullptr;

// Orders the lines of the processes that share the file: append mode alone is
// not atomic everywhere (under Wine two processes appending at once lose
// lines). Taken before the in-process lock, so a thread waiting here never
// holds up the others, and only briefly: the keyboard hook logs too, and the
// system removes a hook that is slow to return. After a wait that timed out
// the line is written regardless, and later lines do not wait at all until
// the mutex is seen free again.
constexpr DWORD kCrossProcessWaitMs = 20;
std::atomic<bool> cross_process_stalled{false};

class CrossProcessLineLock {
 public:
  CrossProcessLineLock() {
    static HANDLE mutex = ::CreateMutexW(nullptr, FALSE, L"Local\\KestruneDebugLogLine");
    if (mutex == nullptr) {
      return;
    }
    DWORD wait = ::WaitForSingleObject(mutex, cross_process_stalled ? 0 : kCrossProcessWaitMs);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
      held_ = mutex;
      cross_process_stalled = false;
    } else if (wait == WAIT_TIMEOUT) {
      cross_process_stalled = true;
    }
  }
  ~CrossProcessLineLock() {
    if (held_ != nullptr) {
      ::ReleaseMutex(held_);
    }
  }
  CrossProcessLineLock(const CrossProcessLineLock&) = delete;
  CrossProcessLineLock& operator=(const CrossProcessLineLock&) = delete;

  bool held() const { return held_ != nullptr; }

 private:
  HANDLE held_ = nullptr;
};

// A text stream in append mode that other processes may share. The handle has
// append access only, so every write lands at the end of the file even when
// the other process wrote in between: the run-time library's own append mode
// seeks and then writes, and two processes racing there overwrite each other.
FILE* OpenSharedAppendStream(const wchar_t* path) {
  HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_TEXT);
  if (descriptor == -1) {
    ::CloseHandle(file);
    return nullptr;
  }
  FILE* stream = _fdopen(descriptor, "a");
  if (stream == nullptr) {
    _close(descriptor);
  }
  return stream;
}

// Opens the log on first use; a failed open is retried on the next line.
FILE* OpenLogLocked() {
  if (debug_log_file == nullptr) {
    debug_log_file = OpenSharedAppendStream(kDebugLogPath);
    if (debug_log_file != nullptr) {
      setvbuf(debug_log_file, nullptr, _IOFBF, kStreamBuffer);
    }
  }
  return debug_log_file;
}

}  // namespace

void DebugLog(const char* text) noexcept {
  if (text == nullptr) {
    return;
  }
  CrossProcessLineLock line_lock;
  std::lock_guard<std::mutex> guard(LogLock());
  FILE* file = OpenLogLocked();
  if (file == nullptr) {
    return;
  }
  fprintf(file, "%llu | %s\n", static_cast<unsigned long long>(GetTickCount64()), text);
  fflush(file);
}

void DebugLogF(const char* format, ...) noexcept {
  if (format == nullptr) {
    return;
  }
  CrossProcessLineLock line_lock;
  std::lock_guard<std::mutex> guard(LogLock());
  FILE* file = OpenLogLocked();
  if (file == nullptr) {
    return;
  }
  fprintf(file, "%llu | ", static_cast<unsigned long long>(GetTickCount64()));
  va_list args;
  va_start(args, format);
  vfprintf(file, format, args);
  va_end(args);
  fputs("\n", file);
  fflush(file);
}

void TraceWindowSize(const RECT& r) noexcept {
  // Opened and closed per line so the file can be deleted while we run.
  FILE* file = OpenSharedAppendStream(kWindowSizeTracePath);
  if (file == nullptr) {
    return;
  }
  fprintf(file, "%llu WM_SIZE %dx%d rect=%d,%d,%d,%d\n",
          static_cast<unsigned long long>(GetTickCount64()), static_cast<int>(r.right - r.left),
          static_cast<int>(r.bottom - r.top), static_cast<int>(r.left), static_cast<int>(r.top),
          static_cast<int>(r.right), static_cast<int>(r.bottom));
  fclose(file);
}

const wchar_t* DebugLogPath() noexcept {
  return kDebugLogPath;
}

const wchar_t* WindowSizeTracePath() noexcept {
  return kWindowSizeTracePath;
}
