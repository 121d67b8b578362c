#ifndef KESTRUNE_TESTS_SUPPORT_WINDOW_RECTS_H_
#define KESTRUNE_TESTS_SUPPORT_WINDOW_RECTS_H_

#include <windows.h>

#include <string>

#include "tests/support/wait.h"

namespace kr_test {

inline RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

inline bool SameRect(const RECT& a, const RECT& b) {
  return ::EqualRect(&a, &b) != FALSE;
}

// Waits until |window| has exactly |expected| as its rectangle.
inline bool WaitForRect(HWND window, const RECT& expected) {
  return WaitUntil([&] { return SameRect(WindowRect(window), expected); });
}

// The primary monitor's work area.
inline RECT WorkArea() {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

// "(left,top,right,bottom)", for failure messages.
inline std::string Describe(const RECT& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_WINDOW_RECTS_H_
