// The hand-off of work from other threads to the main thread.
#include "runner/main_thread_tasks.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "runner/debug_log.h"
#include "runner/focus/interaction_state.h"
#include "tests/support/log_reader.h"

namespace {

MainThreadTasks* draining = nullptr;

// A message-only window of this thread that drains on the tasks message, as the main window does.
LRESULT CALLBACK DrainProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  if (message == kMainThreadTasksMsg && draining != nullptr) {
    draining->Drain();
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

class MainThreadTasksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DrainProc;
    window_class.lpszClassName = L"KR_TASKS_TEST";
    ::RegisterClassW(&window_class);
    window_ = ::CreateWindowExW(0, L"KR_TASKS_TEST", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr);
    tasks_.Attach(window_);
    draining = &tasks_;
  }
  void TearDown() override {
    tasks_.Detach();
    draining = nullptr;
    ::DestroyWindow(window_);
  }
  static void Pump() {
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      ::DispatchMessageW(&msg);
    }
  }

  MainThreadTasks tasks_;
  HWND window_ = nullptr;
  std::vector<std::string> ran_;
};

TEST_F(MainThreadTasksTest, NestedDrainsKeepOrderDeferredWaitsForTheMessageThrowsAreContained) {
  // The first task sends, which drains first; meanwhile "late" was queued behind
  // "second". The nested drain must not run "late" before "second", nor the deferred work.
  tasks_.PostDeferred([&] { ran_.push_back("grab back"); });
  tasks_.Post([&] {
    ran_.push_back("first");
    tasks_.Post([&] { ran_.push_back("late"); });
    tasks_.DrainOrdered();
    ran_.push_back("first sent");
  });
  tasks_.Post([] { throw std::runtime_error("task failed"); });
  tasks_.Post([&] { ran_.push_back("second"); });
  tasks_.DrainOrdered();
  EXPECT_EQ(ran_, (std::vector<std::string>{"first", "second", "late", "first sent"}));
  Pump();
  EXPECT_EQ(ran_, (std::vector<std::string>{"first", "second", "late", "first sent", "grab back"}));
}

TEST_F(MainThreadTasksTest, DrainRunsWhatCameBeforeCapsuleMessagesAreCappedAndPostsCanFail) {
  // A task that queues another each time would otherwise hold the drain for ever.
  std::function<void()> again = [&] {
    ran_.push_back("again");
    tasks_.Post(again);
  };
  tasks_.Post(again);
  tasks_.Drain();
  EXPECT_EQ(ran_.size(), 1u);
  tasks_.Drain();
  EXPECT_EQ(ran_.size(), 2u);
  tasks_.Detach();
  EXPECT_FALSE(tasks_.Post([&] { ran_.push_back("detached"); }));  // nothing would run it
  tasks_.Attach(window_);
  ran_.clear();

  // 4 MiB of capsule messages at most; the newest are dropped, other work never.
  kr_test::LogReader log(DebugLogPath());
  EXPECT_TRUE(tasks_.PostCapsuleMessage(3 << 20, [&] { ran_.push_back("3 MiB"); }));
  EXPECT_TRUE(tasks_.PostCapsuleMessage(1 << 20, [&] { ran_.push_back("1 MiB"); }));
  EXPECT_FALSE(tasks_.PostCapsuleMessage(1, [&] { ran_.push_back("dropped"); }));
  EXPECT_FALSE(tasks_.PostCapsuleMessage(1, [&] { ran_.push_back("dropped too"); }));
  EXPECT_TRUE(tasks_.Post([&] { ran_.push_back("reply"); }));
  EXPECT_EQ(log.CountMessages("[KR] capsule messages dropped"), 1u);
  Pump();
  EXPECT_TRUE(tasks_.PostCapsuleMessage(4 << 20, [&] { ran_.push_back("4 MiB"); }));
  Pump();
  EXPECT_EQ(ran_, (std::vector<std::string>{"3 MiB", "1 MiB", "reply", "4 MiB"}));

  // Work from another thread reaching this one is seen through the main window's dispatch.
  std::thread([&] { EXPECT_FALSE(tasks_.OnMainThread()); }).join();
  EXPECT_TRUE(tasks_.OnMainThread());
  ::DestroyWindow(window_);  // the drain message cannot be posted
  EXPECT_FALSE(tasks_.Post([&] { ran_.push_back("gone"); }));
  EXPECT_FALSE(tasks_.PostDeferred([&] { ran_.push_back("gone, deferred"); }));
  tasks_.Drain();
  EXPECT_EQ(ran_.size(), 4u);
}

}  // namespace
