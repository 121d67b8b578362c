#ifndef KESTRUNE_RUNNER_WINDOW_NAMES_H_
#define KESTRUNE_RUNNER_WINDOW_NAMES_H_

// Names other processes find us by: a second instance looks for the main
// window by class and title, and the mutex guards the same.
inline constexpr wchar_t kWindowClassName[] = L"FLUTTER_RUNNER_WIN32_WINDOW";
inline constexpr wchar_t kMainWindowTitle[] = L"kestrune_flutter";
inline constexpr wchar_t kCapsuleWindowTitle[] = L"Kestrune_Capsule";
inline constexpr wchar_t kSingleInstanceMutexName[] = L"Global\\KestruneSingleInstanceMutex";

#endif  // KESTRUNE_RUNNER_WINDOW_NAMES_H_
