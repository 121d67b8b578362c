#ifndef KESTRUNE_RUNNER_WIN32_WINDOW_H_
#define KESTRUNE_RUNNER_WIN32_WINDOW_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

// While one is alive, the window frame keeps a rectangle the host set itself
// when the move makes the window change monitors: the card is sized for its
// target monitor beforehand, and the suggested rectangle of WM_DPICHANGED
// would scale it a second time and move it off centre. Main thread only.
class ScopedOwnPlacement {
 public:
  ScopedOwnPlacement();
  ~ScopedOwnPlacement();
  ScopedOwnPlacement(const ScopedOwnPlacement&) = delete;
  ScopedOwnPlacement& operator=(const ScopedOwnPlacement&) = delete;

  static bool active();
};

// A borderless, topmost, DPI-aware top-level window that starts hidden, keeps
// one child window sized to its client area and follows the app theme.
// Subclasses add behaviour through the virtual operations.
class Win32Window {
 public:
  struct Point {
    Point(int32_t x, int32_t y) : x(x), y(y) {}
    int32_t x;
    int32_t y;
  };
  struct Size {
    Size(int32_t width, int32_t height) : width(width), height(height) {}
    int32_t width;
    int32_t height;
  };

  Win32Window();
  virtual ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  // Creates the window at |origin| with |size| (logical pixels, scaled by the
  // DPI of the monitor at |origin|). Tears down an earlier window first. In the
  // main role it refuses to run beside another main instance.
  bool Create(const std::wstring& title, const Point& origin, const Size& size);

  // Runs OnDestroy, destroys the window and, when no window object is left,
  // unregisters the window class.
  void Destroy();

  HWND GetHandle() const { return window_handle; }
  void SetQuitOnClose(bool quit_on_close);

  // Hosts |content| as the child filling the client area and focuses it.
  void SetChildContent(HWND content);

  // Switches the dark-mode attribute after the user's app theme.
  static void UpdateTheme(HWND window);

  // Number of live window objects in the process.
  static int ActiveWindowCount();

 protected:
  virtual LRESULT MessageHandler(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  virtual bool OnCreate();
  virtual void OnDestroy();

  bool quit_on_close = false;
  // Atomic: the focus-polling thread reads it while WM_DESTROY clears it.
  std::atomic<HWND> window_handle{nullptr};
  HWND child_content = nullptr;

 private:
  friend class WindowClassRegistrar;

  static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
  static Win32Window* GetThisFromHandle(HWND window) noexcept;
};

// Clears the caption, system menu, frame and box styles and the edge extended
// styles; the caller applies the change with SetWindowPos.
void ClearFrameStyles(HWND window);

#endif  // KESTRUNE_RUNNER_WIN32_WINDOW_H_
