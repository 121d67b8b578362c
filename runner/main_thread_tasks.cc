#include "runner/main_thread_tasks.h"

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
  std::deque<std::function<void()>> dropped;
  std::lock_guard<std::mutex> guard(lock_);
  window_ = nullptr;
  thread_id_ = 0;
  dropped.swap(tasks_);
  drain_posted_ = false;
}

bool MainThreadTasks::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> guard(lock_);
  if (window_ == nullptr) {
    return false;
  }
  tasks_.push_back(std::move(task));
  // One message drains everything queued before it runs.
  if (!drain_posted_) {
    drain_posted_ = ::PostMessageW(window_, kMainThreadTasksMsg, 0, 0) != FALSE;
  }
  return true;
}

void MainThreadTasks::Drain() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> guard(lock_);
    batch.swap(tasks_);
    drain_posted_ = false;
  }
  for (auto& task : batch) {
    task();
  }
}

bool MainThreadTasks::OnMainThread() const {
  std::lock_guard<std::mutex> guard(lock_);
  return thread_id_ != 0 && ::GetCurrentThreadId() == thread_id_;
}
