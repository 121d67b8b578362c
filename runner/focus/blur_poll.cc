#include "runner/focus/blur_poll.h"

std::atomic<bool> poll_running{false};
std::thread poll_thread;

void StartBlurPollThread() {
  // The polling pass (focus gain, capsule in front, collapse retries) is not
  // built yet, so no thread is started until it is.
}

void StopBlurPollThread() {
  poll_running = false;
  if (poll_thread.joinable()) {
    poll_thread.join();
  }
  poll_thread = std::thread();
}
