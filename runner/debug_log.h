#ifndef KESTRUNE_RUNNER_DEBUG_LOG_H_
#define KESTRUNE_RUNNER_DEBUG_LOG_H_

#include <windows.h>

#include <stdio.h>

#include <cstdint>

// The debug log: one append-only file shared by both processes, one
// "tick | message" line per event. Any thread may call these.

// Writes |text| verbatim as one line.
void DebugLog(const char* text) noexcept;

// Writes one line formatted printf-style; long messages are written whole.
void DebugLogF(const char* format, ...) noexcept
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));

// Appends the window-size trace line for |window_rect| to "kr_wm.log".
void TraceWindowSize(const RECT& window_rect) noexcept;

// The log is copied to "kr_debug.1.log" and emptied once it grows past
// |past_bytes| (32 MiB unless changed); after a failed copy it is tried again
// |retry_bytes| later (4 MiB). Tests change the sizes.
void SetDebugLogRotation(uint64_t past_bytes, uint64_t retry_bytes) noexcept;
const wchar_t* RotatedDebugLogPath() noexcept;

// How long the next line would wait for the other process's line lock, in ms:
// 20, or 0 after a wait timed out until the lock is seen free again.
unsigned DebugLogLineLockWaitMs() noexcept;

// Full paths of the two files (for tests and tools).
const wchar_t* DebugLogPath() noexcept;
const wchar_t* WindowSizeTracePath() noexcept;

#endif  // KESTRUNE_RUNNER_DEBUG_LOG_H_
