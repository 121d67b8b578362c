#ifndef KESTRUNE_FEEDS_MEDIA_MEDIA_FEED_H_
#define KESTRUNE_FEEDS_MEDIA_MEDIA_FEED_H_

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "feeds/media/media_rules.h"
#include "feeds/system/sample_pacer.h"
#include "runner/unique_resource.h"

// Playback command threads. Owned, so none is left inside COM or the log while
// the process ends, and at most kMaxRunning at once.
class MediaCommands {
 public:
  static constexpr int kMaxRunning = 4;
  static constexpr DWORD kShutdownWaitMs = 2000;

  MediaCommands();
  ~MediaCommands();

  // Starts a thread for |command|; false, and nothing started, when kMaxRunning
  // run already. Throws when no thread can be created.
  bool Launch(MediaCommand command);
  // Ends the threads' waits, waits at most |wait_ms| for them to end and leaves
  // those still inside a call to the media application.
  void Shutdown(DWORD wait_ms = kShutdownWaitMs);
  int Running() const;

  // What the threads share; they hold it, so it outlives threads left behind.
  struct Shared;

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void JoinFinished();

  std::shared_ptr<Shared> shared_;
  std::vector<Worker> workers_;
};

// The media feed's state in the main window beside the fields of its record
// (smtc_thread, smtc_running, the pending slots).
struct MediaFeed {
  MediaFeed();

  // Set by stop: ends the watcher's waits and those of its callbacks at once.
  UniqueHandle stop_event;
  // The watcher's sleep between poll passes, 2000 ms; tests pace it instead.
  SamplePacer poll;
  // Poll passes done, for tests that wait for one.
  std::atomic<int> poll_passes{0};
  // The progress throttle's clock (ms) and interval; read when a watcher starts.
  std::function<uint64_t()> now_ms;
  uint64_t progress_interval_ms = 200;

  MediaCommands commands;
};

#endif  // KESTRUNE_FEEDS_MEDIA_MEDIA_FEED_H_
