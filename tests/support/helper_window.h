#ifndef KESTRUNE_TESTS_SUPPORT_HELPER_WINDOW_H_
#define KESTRUNE_TESTS_SUPPORT_HELPER_WINDOW_H_

#include <windows.h>

#include <memory>
#include <string>

namespace kr_test {

inline constexpr wchar_t kHelperWindowClass[] = L"KR_TEST_HELPER_WINDOW";
inline constexpr UINT kCountKeyDownsMsg = WM_APP + 1;
inline constexpr UINT kCountKeyUpsMsg = WM_APP + 2;
inline constexpr UINT kResetKeysMsg = WM_APP + 3;

class ChildProcess;

// Another application's window, shown in front, in its own process.
struct HelperWindow {
  std::unique_ptr<ChildProcess> process;
  HWND window = nullptr;

  // Key-down and key-up messages it received for |vk|.
  int KeyDowns(UINT vk) const;
  int KeyUps(UINT vk) const;
  // Brings it to the front again; true once it is the foreground window.
  bool BringToFront() const;
};

// Starts the helper and waits until it is the foreground window.
std::unique_ptr<HelperWindow> StartHelperWindow(const std::wstring& title, bool fullscreen = false);

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_HELPER_WINDOW_H_
