#ifndef KESTRUNE_RUNNER_MAIN_THREAD_TASKS_H_
#define KESTRUNE_RUNNER_MAIN_THREAD_TASKS_H_

#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

// The one way work started on another thread reaches the main thread, which
// owns the windows and the messenger: an ordered queue that the main window
// drains on kMainThreadTasksMsg. Producers never wait for the main thread.
class MainThreadTasks {
 public:
  // The window whose thread runs the tasks; null stops accepting them.
  void Attach(HWND window);
  void Detach();

  // Queues |task|; false when no window is attached (the task is dropped).
  bool Post(std::function<void()> task);

  // Runs the queued tasks in order; main thread only.
  void Drain();

  // True on the thread that runs the tasks.
  bool OnMainThread() const;

 private:
  mutable std::mutex lock_;
  HWND window_ = nullptr;
  DWORD thread_id_ = 0;
  std::deque<std::function<void()>> tasks_;
  bool drain_posted_ = false;
};

MainThreadTasks& GetMainThreadTasks();

#endif  // KESTRUNE_RUNNER_MAIN_THREAD_TASKS_H_
