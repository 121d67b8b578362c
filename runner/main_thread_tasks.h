#ifndef KESTRUNE_RUNNER_MAIN_THREAD_TASKS_H_
#define KESTRUNE_RUNNER_MAIN_THREAD_TASKS_H_

#include <windows.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

// The one way work started on another thread reaches the main thread, which
// owns the windows and the messenger: a queue that the main window drains on
// kMainThreadTasksMsg. Producers never wait for the main thread.
//
// Ordered tasks (messages to the interface) run strictly in the order they
// were queued, also against sends made on the main thread itself, which first
// run the ordered tasks queued before them. Window work that is not a message
// (a foreground grab-back) is queued as deferred: it runs only from the drain
// message, never inside a send made from a hook or a window procedure.
class MainThreadTasks {
 public:
  // Capsule messages may hold at most this many bytes of payload in the queue
  // at once, so a flooding capsule cannot grow the host without bound.
  static constexpr size_t kCapsuleByteCap = 4 * 1024 * 1024;

  // The window whose thread runs the tasks; null stops accepting them.
  void Attach(HWND window);
  void Detach();

  // Queues |task| in order; false (and the task dropped) when no window is
  // attached or the drain message cannot be posted.
  bool Post(std::function<void()> task);
  bool PostDeferred(std::function<void()> task);

  // Queues an ordered task carrying a capsule message of |bytes|. Past the
  // capsule's cap the newest messages are dropped (false), with one log line
  // per burst; other producers' tasks are never dropped for it.
  bool PostCapsuleMessage(size_t bytes, std::function<void()> task);

  // Whether ordered tasks are waiting; for callers that must not run them
  // (the keyboard hook) and queue behind them instead.
  bool HasOrdered() const;

  // Runs the tasks queued before it started, one at a time in queue order;
  // main thread only. A task queued meanwhile gets a drain message of its own,
  // so a producer that keeps queueing cannot keep the main thread here.
  void Drain();

  // Runs the ordered tasks queued before it started, leaving deferred ones for
  // the drain message.
  void DrainOrdered();

  // True on the thread that runs the tasks.
  bool OnMainThread() const;

 private:
  struct Task {
    bool deferred = false;
    std::function<void()> run;
    size_t capsule_bytes = 0;
  };

  bool QueueLocked(Task task);
  void RunWhile(bool include_deferred);

  mutable std::mutex lock_;
  HWND window_ = nullptr;
  DWORD thread_id_ = 0;
  std::deque<Task> tasks_;
  bool drain_posted_ = false;
  size_t capsule_bytes_ = 0;
  bool capsule_dropping_ = false;
};

MainThreadTasks& GetMainThreadTasks();

#endif  // KESTRUNE_RUNNER_MAIN_THREAD_TASKS_H_
