#ifndef KESTRUNE_RUNNER_FOCUS_INTERACTION_STATE_H_
#define KESTRUNE_RUNNER_FOCUS_INTERACTION_STATE_H_

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "runner/focus/focus_verdicts.h"

class FlutterWindow;

// The process-wide interaction state shared by the main window's handlers,
// hooks, channels and the focus-polling thread. Each variable is atomic on its
// own; no ordering between them is relied on.
extern std::atomic<bool> card_expanded;
extern std::atomic<bool> voice_listening;
extern std::atomic<bool> blur_hide;
extern std::atomic<uint64_t> blur_guard;
extern std::atomic<bool> ever_activated;
extern std::atomic<bool> collapse_sent;
extern std::atomic<uint64_t> last_collapse_at;
extern std::atomic<uint32_t> focus_retry_count;
extern std::atomic<bool> keep_window_size;
extern std::atomic<bool> click_through;
extern std::atomic<bool> space_combo_active;
extern std::atomic<FlutterWindow*> flutter_window_instance;

// Private messages, posted (never sent) to the main window. The keyboard hook
// sends its events itself, in key order, but the push-to-talk and close-tag
// messages still work for whoever posts them.
inline constexpr UINT kSpaceVoiceMsg = WM_USER + 100;      // 1124
inline constexpr UINT kSystemSnapshotMsg = WM_USER + 101;  // 1125
inline constexpr UINT kSmtcEventMsg = WM_USER + 102;       // 1126
inline constexpr UINT kActivateMsg = WM_USER + 200;        // 1224
inline constexpr UINT kCloseTagMsg = WM_USER + 202;        // 1226
inline constexpr UINT kSelectOnMsg = WM_USER + 203;        // 1227
inline constexpr UINT kCapsuleExpandMsg = WM_USER + 400;   // 1424
// Drains the queue of work handed to the main thread by other threads.
inline constexpr UINT kMainThreadTasksMsg = WM_USER + 500;  // 1524
// Destroys the main window, so that the tray's quit tears down once, from
// WM_DESTROY, after whatever was posted before it.
inline constexpr UINT kQuitMsg = WM_USER + 501;  // 1525

// Timers of the main window.
inline constexpr UINT_PTR kExpandSettleTimer = 1225;
inline constexpr UINT_PTR kHotkeyCheckTimer = 1226;
inline constexpr UINT_PTR kFocusRetryTimer = 1227;
inline constexpr UINT kExpandSettleDelayMs = 600;
inline constexpr UINT kHotkeyCheckDelayMs = 500;
inline constexpr UINT kFocusRetryFirstDelayMs = 500;
inline constexpr UINT kFocusRetryDelayMs = 200;

// Grace periods given to blur_guard, in milliseconds from now.
inline constexpr uint64_t kGuardAfterCreateMs = 3000;
inline constexpr uint64_t kGuardAfterCapsuleStartMs = 15000;
inline constexpr uint64_t kGuardAfterExpandMs = 1500;
inline constexpr uint64_t kGuardCapsuleForegroundMs = 3000;
inline constexpr uint64_t kGuardShowFromIdleMs = 10000;

// The main window's handle, or null when there is none.
HWND MainWindowHandle();

#endif  // KESTRUNE_RUNNER_FOCUS_INTERACTION_STATE_H_
