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
}

bool MainThreadTasks::Post(std::function<void()> task) {
  return Queue(Task{false, std::move(task)});
}

bool MainThreadTasks::PostDeferred(std::function<void()> task) {
  return Queue(Task{true, std::move(task)});
}

bool MainThreadTasks::Queue(Task task) {
  std::lock_guard<std::mutex> guard(lock_);
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
  if (include_deferred) {
    // From here on a new task needs a new message; an extra one finds the queue empty.
    std::lock_guard<std::mutex> guard(lock_);
    drain_posted_ = false;
  }
  // One task at a time: a task that sends to the interface drains again, and
  // taking from the front keeps the queue's order through that nesting.
  while (true) {
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
