// The hand-off of work from other threads to the main thread.
#include "runner/main_thread_tasks.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runner/focus/interaction_state.h"

namespace {

// A message-only window of this thread that drains on the tasks message, as
// the main window does.
class TasksWindow {
 public:
  TasksWindow() {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = Proc;
    window_class.hInstance = ::GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"KR_TASKS_TEST";
    ::RegisterClassW(&window_class);
    window_ = ::CreateWindowExW(0, L"KR_TASKS_TEST", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
    tasks_.Attach(window_);
    current_ = &tasks_;
  }
  ~TasksWindow() {
    tasks_.Detach();
    current_ = nullptr;
    if (window_ != nullptr) {
      ::DestroyWindow(window_);
    }
  }

  MainThreadTasks& tasks() { return tasks_; }
  HWND window() const { return window_; }
  void DestroyNow() {
    ::DestroyWindow(window_);
    window_ = nullptr;
  }

  // Dispatches what has been posted to this thread.
  static void Pump() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::DispatchMessageW(&msg);
    }
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (message == kMainThreadTasksMsg && current_ != nullptr) {
      current_->Drain();
      return 0;
    }
    return ::DefWindowProcW(window, message, wparam, lparam);
  }

  static inline MainThreadTasks* current_ = nullptr;
  MainThreadTasks tasks_;
  HWND window_ = nullptr;
};

TEST(MainThreadTasks, TasksFromAnotherThreadRunHereInOrder) {
  TasksWindow host;
  std::vector<int> ran;
  DWORD main_thread = ::GetCurrentThreadId();
  std::vector<bool> on_main;
  std::thread producer([&] {
    EXPECT_FALSE(host.tasks().OnMainThread());
    for (int i = 0; i < 50; ++i) {
      EXPECT_TRUE(host.tasks().Post([&, i] {
        ran.push_back(i);
        on_main.push_back(::GetCurrentThreadId() == main_thread);
      }));
    }
  });
  producer.join();
  EXPECT_TRUE(ran.empty());
  TasksWindow::Pump();
  ASSERT_EQ(ran.size(), 50u);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(ran[i], i);
  }
  EXPECT_EQ(on_main, std::vector<bool>(50, true));
  EXPECT_TRUE(host.tasks().OnMainThread());
}

TEST(MainThreadTasks, DrainInsideATaskKeepsTheQueueOrder) {
  TasksWindow host;
  std::vector<std::string> ran;
  // The first task sends, which drains first; meanwhile "late" was queued
  // behind "second". Nested draining must not run "late" before "second".
  host.tasks().Post([&] {
    ran.push_back("first");
    host.tasks().Post([&] { ran.push_back("late"); });
    host.tasks().DrainOrdered();
    ran.push_back("first sent");
  });
  host.tasks().Post([&] { ran.push_back("second"); });
  TasksWindow::Pump();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "late", "first sent"}));
}

TEST(MainThreadTasks, DeferredWorkWaitsForTheDrainMessage) {
  TasksWindow host;
  std::vector<std::string> ran;
  host.tasks().PostDeferred([&] { ran.push_back("grab back"); });
  host.tasks().Post([&] { ran.push_back("event"); });
  // A send on the main thread runs only the ordered tasks before it.
  host.tasks().DrainOrdered();
  EXPECT_EQ(ran, std::vector<std::string>{"event"});
  TasksWindow::Pump();
  EXPECT_EQ(ran, (std::vector<std::string>{"event", "grab back"}));
}

TEST(MainThreadTasks, ThrowingTaskDoesNotStopTheOthers) {
  TasksWindow host;
  bool after = false;
  host.tasks().Post([] { throw std::runtime_error("task failed"); });
  host.tasks().Post([&] { after = true; });
  TasksWindow::Pump();
  EXPECT_TRUE(after);
}

TEST(MainThreadTasks, PostFailsWhenNothingWouldRunIt) {
  TasksWindow host;
  bool ran = false;
  host.tasks().Detach();
  EXPECT_FALSE(host.tasks().Post([&] { ran = true; }));

  // Attached to a window that is gone: the drain message cannot be posted.
  host.tasks().Attach(host.window());
  host.DestroyNow();
  EXPECT_FALSE(host.tasks().Post([&] { ran = true; }));
  EXPECT_FALSE(host.tasks().PostDeferred([&] { ran = true; }));
  host.tasks().Drain();
  EXPECT_FALSE(ran);
}

}  // namespace
