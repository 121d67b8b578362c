#include "runner/focus/interaction_state.h"

#include "runner/flutter_window.h"

std::atomic<bool> card_expanded{false};
std::atomic<bool> voice_listening{false};
std::atomic<bool> blur_hide{false};
std::atomic<uint64_t> blur_guard{0};
std::atomic<bool> ever_activated{false};
std::atomic<bool> collapse_sent{false};
std::atomic<uint64_t> last_collapse_at{0};
std::atomic<uint32_t> focus_retry_count{0};
std::atomic<bool> keep_window_size{false};
std::atomic<bool> click_through{false};
std::atomic<bool> space_combo_active{false};
std::atomic<FlutterWindow*> flutter_window_instance{nullptr};

HWND MainWindowHandle() {
  FlutterWindow* window = flutter_window_instance.load();
  return window != nullptr ? window->GetHandle() : nullptr;
}
