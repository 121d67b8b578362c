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
constexpr wchar_t kRotatedLogPath[] = KR_DEBUG_LOG_DIR L"\\kr_debug.1.log";

// The log is rotated past this size; after a copy that failed, again only
// this much later. Both processes and viewers keep the file open, so it is
// copied and then truncated rather than renamed.
uint64_t rotate_past_bytes = 32ull << 20;
uint64_t rotate_retry_bytes = 4ull << 20;
// The size is looked at every so many lines, not on each one.
constexpr unsigned kLinesPerSizeCheck = 64;

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

// Guarded by the log lock.
uint64_t next_rotation_at = 0;
unsigned lines_since_size_check = 0;

// Only a writer that holds the cross-process mutex rotates: no other line can
// be half written then.
void RotateIfDueLocked(FILE* file, const CrossProcessLineLock& line_lock) {
  if (!line_lock.held() || ++lines_since_size_check < kLinesPerSizeCheck) {
    return;
  }
  lines_since_size_check = 0;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  LARGE_INTEGER size{};
  if (handle == INVALID_HANDLE_VALUE || !::GetFileSizeEx(handle, &size)) {
    return;
  }
  uint64_t bytes = static_cast<uint64_t>(size.QuadPart);
  if (next_rotation_at == 0) {
    next_rotation_at = rotate_past_bytes;
  }
  if (bytes <= next_rotation_at) {
    return;
  }
  if (!::CopyFileW(kDebugLogPath, kRotatedLogPath, FALSE)) {
    next_rotation_at = bytes + rotate_retry_bytes;  // nothing truncated: no line is lost
    return;
  }
  // Our stream's handle may only append; the truncation takes one of its own.
  // The other process's append-only handle goes on at the new end.
  HANDLE writer = ::CreateFileW(kDebugLogPath, GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (writer != INVALID_HANDLE_VALUE) {
    ::SetFilePointer(writer, 0, nullptr, FILE_BEGIN);
    ::SetEndOfFile(writer);
    ::CloseHandle(writer);
  }
  next_rotation_at = rotate_past_bytes;
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
  RotateIfDueLocked(file, line_lock);
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
  RotateIfDueLocked(file, line_lock);
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

unsigned DebugLogLineLockWaitMs() noexcept {
  return cross_process_stalled ? 0 : kCrossProcessWaitMs;
}

void SetDebugLogRotation(uint64_t past_bytes, uint64_t retry_bytes) noexcept {
  std::lock_guard<std::mutex> guard(LogLock());
  rotate_past_bytes = past_bytes;
  rotate_retry_bytes = retry_bytes;
  next_rotation_at = 0;
  lines_since_size_check = 0;
}

const wchar_t* RotatedDebugLogPath() noexcept {
  return kRotatedLogPath;
}

const wchar_t* DebugLogPath() noexcept {
  return kDebugLogPath;
}

const wchar_t* WindowSizeTracePath() noexcept {
  return kWindowSizeTracePath;
}
