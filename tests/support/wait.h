#ifndef KESTRUNE_TESTS_SUPPORT_WAIT_H_
#define KESTRUNE_TESTS_SUPPORT_WAIT_H_

#include <windows.h>

#include <functional>

namespace kr_test {

// Polls |condition| until it holds or |timeout_ms| passed; window state under
// Wine settles quickly but not at once, so tests wait with a deadline.
inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms = 5000) {
  for (ULONGLONG deadline = ::GetTickCount64() + timeout_ms; !condition(); ::Sleep(10)) {
    if (::GetTickCount64() >= deadline) {
      return false;
    }
  }
  return true;
}

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_WAIT_H_
