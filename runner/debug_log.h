#ifndef KESTRUNE_RUNNER_DEBUG_LOG_H_
#define KESTRUNE_RUNNER_DEBUG_LOG_H_

#include <windows.h>

#include <stdio.h>

// The debug log: one append-only file shared by both processes, one
// "tick | message" line per event. Any thread may call these.

// Writes |text| verbatim as one line.
void DebugLog(const char* text) noexcept;

// Writes one line formatted printf-style; long messages are written whole.
void DebugLogF(const char* format, ...) noexcept
    __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));

// Appends the window-size trace line for |window_rect| to "kr_wm.log".
void TraceWindowSize(const RECT& window_rect) noexcept;

// Full paths of the two files (for tests and tools).
const wchar_t* DebugLogPath() noexcept;
const wchar_t* WindowSizeTracePath() noexcept;

#endif  // KESTRUNE_RUNNER_DEBUG_LOG_H_
