#ifndef KESTRUNE_TESTS_SUPPORT_HELPER_WINDOW_H_
#define KESTRUNE_TESTS_SUPPORT_HELPER_WINDOW_H_

#include <windows.h>

#include <memory>
#include <string>

namespace kr_test {

// Messages the helper answers with the key-down or key-up messages it received
// for the virtual key in wParam (right-button releases as VK_RBUTTON key-ups),
// and that clears its counts.
inline constexpr wchar_t kHelperWindowClass[] = L"KR_TEST_HELPER_WINDOW";
inline constexpr UINT kCountKeyDownsMsg = WM_APP + 1;
inline constexpr UINT kCountKeyUpsMsg = WM_APP + 2;
inline constexpr UINT kResetKeysMsg = WM_APP + 3;

class ChildProcess;

// Another application's window, shown in front, in its own process.
struct HelperWindow {
  std::unique_ptr<ChildProcess> process;
  HWND window = nullptr;

  int KeyDowns(UINT vk) const {
    return static_cast<int>(::SendMessageW(window, kCountKeyDownsMsg, vk, 0));
  }
  int KeyUps(UINT vk) const {
    return static_cast<int>(::SendMessageW(window, kCountKeyUpsMsg, vk, 0));
  }
  // Brings it to the front again; true once it is the foreground window.
  bool BringToFront() const;
};

// True once |window| has held the foreground for |hold_ms| on end, as late
// focus events of the window system have then arrived.
bool StaysInFront(HWND window, ULONGLONG hold_ms = 500);

// Starts the helper and waits until it is the foreground window.
std::unique_ptr<HelperWindow> StartHelperWindow(const std::wstring& title, bool fullscreen = false);

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_HELPER_WINDOW_H_
