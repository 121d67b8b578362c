#include "runner/main_thread_tasks.h"

#include <algorithm>

#include "runner/debug_log.h"
#include "runner/focus/interaction_state.h"

MainThreadTasks& GetMainThreadTasks() {
  static MainThreadTasks tasks;
  return tasks;
}

void MainThreadTasks::Attach(HWND window) {
  std::lock_guard<std::mutex> guard(lock_);
  window_ = window;
  thread_id_ = window != nullptr ? ::GetWindowThreadProcessId(window, nullptr) : 0;
  drain_posted_ = false;
}

void MainThreadTasks::Detach() {
  std::deque<Task> dropped;
  std::lock_guard<std::mutex> guard(lock_);
  window_ = nullptr;
  thread_id_ = 0;
  dropped.swap(tasks_);
  drain_posted_ = false;
  capsule_bytes_ = 0;
  capsule_dropping_ = false;
}

bool MainThreadTasks::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(lock_);
  return QueueLocked(Task{false, std::move(task)});
}

bool MainThreadTasks::PostDeferred(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(lock_);
  return QueueLocked(Task{true, std::move(task)});
}

bool MainThreadTasks::PostCapsuleMessage(size_t bytes, std::function<void()> task) {
  bool first_drop = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (capsule_bytes_ + bytes <= kCapsuleByteCap) {
      if (!QueueLocked(Task{false, std::move(task), bytes})) {
        return false;
      }
      capsule_bytes_ += bytes;
      capsule_dropping_ = false;
      return true;
    }
    first_drop = !capsule_dropping_;
    capsule_dropping_ = true;
  }
  if (first_drop) {
    DebugLogF("[KR] capsule messages dropped: %zu bytes of them already wait for the main thread",
              static_cast<size_t>(kCapsuleByteCap));
  }
  return false;
}

bool MainThreadTasks::HasOrdered() const {
  std::lock_guard<std::mutex> guard(lock_);
  return std::any_of(tasks_.begin(), tasks_.end(), [](const Task& task) { return !task.deferred; });
}

bool MainThreadTasks::QueueLocked(Task task) {
  if (window_ == nullptr) {
    return false;
  }
  // One message drains everything queued before it runs.
  if (!drain_posted_) {
    if (!::PostMessageW(window_, kMainThreadTasksMsg, 0, 0)) {
      // Nothing would ever run it: the caller learns it was not sent.
      return false;
    }
    drain_posted_ = true;
  }
  tasks_.push_back(std::move(task));
  return true;
}

void MainThreadTasks::Drain() {
  RunWhile(true);
}

void MainThreadTasks::DrainOrdered() {
  RunWhile(false);
}

void MainThreadTasks::RunWhile(bool include_deferred) {
  size_t budget = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (include_deferred) {
      // From here on a new task needs a new message; an extra one finds the
      // queue empty.
      drain_posted_ = false;
    }
    budget = include_deferred ? tasks_.size()
                              : static_cast<size_t>(std::count_if(
                                    tasks_.begin(), tasks_.end(),
                                    [](const Task& queued) { return !queued.deferred; }));
  }
  // One task at a time: a task that sends to the interface drains again, and
  // taking from the front keeps the queue's order through that nesting.
  for (; budget > 0; --budget) {
    Task task;
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto next = include_deferred
                      ? tasks_.begin()
                      : std::find_if(tasks_.begin(), tasks_.end(),
                                     [](const Task& queued) { return !queued.deferred; });
      if (next == tasks_.end()) {
        return;
      }
      task = std::move(*next);
      tasks_.erase(next);
      capsule_bytes_ -= std::min(capsule_bytes_, task.capsule_bytes);
    }
    try {
      task.run();
    } catch (...) {
      DebugLog("[KR] main-thread task dropped an exception");
    }
  }
}

bool MainThreadTasks::OnMainThread() const {
  std::lock_guard<std::mutex> guard(lock_);
  return thread_id_ != 0 && ::GetCurrentThreadId() == thread_id_;
}
