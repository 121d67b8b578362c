#ifndef KESTRUNE_RUNNER_FOCUS_BLUR_POLL_H_
#define KESTRUNE_RUNNER_FOCUS_BLUR_POLL_H_

#include <atomic>
#include <thread>

// The focus-polling thread's run flag and thread object; the main window's
// lifecycle starts it (once per process) and stops it.
extern std::atomic<bool> poll_running;
extern std::thread poll_thread;

void StartBlurPollThread();
void StopBlurPollThread();

#endif  // KESTRUNE_RUNNER_FOCUS_BLUR_POLL_H_
