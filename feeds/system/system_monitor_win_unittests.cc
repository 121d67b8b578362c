// The sampling thread against the real main window, with the samples paced by
// the test instead of the clock.
#include "feeds/system/system_monitor.h"

#include <gtest/gtest.h>

#include <chrono>

#include "capsule/capsule_pipe.h"
#include "runner/flutter_window.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/ui_bridge_server.h"
#include "tests/support/wait.h"

namespace {

using namespace std::chrono_literals;

class SystemMonitorThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Never this test program: started as the capsule it would run the suite again.
    SetCapsuleExecutable(L"C:\\kr_tests_start_no_capsule.exe");
    kr_test::ScopedEnvironment setting(L"KR_UI_BRIDGE", bridge_.Setting().c_str());
    window_ = std::make_unique<FlutterWindow>(flutter::DartProject(L"data"));
    ASSERT_TRUE(window_->Create(L"kr_monitor_test", {10, 10}, {400, 300}));
    ui_ = bridge_.WaitForConnection("main");
    ASSERT_NE(ui_, nullptr);
    window_->monitor_pacer.SetPeriod(24h);
  }
  void TearDown() override {
    window_.reset();
    SetCapsuleExecutable(L"");
  }

  std::size_t HistorySize() {
    std::lock_guard<std::mutex> guard(window_->snapshot_lock);
    return window_->snapshot_history.size();
  }
  flutter::EncodableValue Newest() {
    std::lock_guard<std::mutex> guard(window_->snapshot_lock);
    return flutter::EncodableValue(window_->snapshot_history.back());
  }
  // One period passes once the sampling thread waits; returns when its sample is in.
  bool Sample() {
    std::size_t before = HistorySize();
    if (!kr_test::WaitUntil([&] { return window_->monitor_pacer.Waiting() > 0; })) {
      return false;
    }
    window_->monitor_pacer.Advance();
    return kr_test::WaitUntil([&] { return HistorySize() > before; });
  }
  void Pump() {
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) {
      ::DispatchMessageW(&msg);
    }
  }

  kr_test::UiBridgeServer bridge_;
  std::unique_ptr<FlutterWindow> window_;
  kr_test::BridgeConnection* ui_ = nullptr;
};

TEST_F(SystemMonitorThreadTest, TwoStartsRunOneThreadAndStopEndsTheWaitAtOnce) {
  StartSystemMonitor(window_.get());
  StartSystemMonitor(window_.get());
  for (std::size_t n = 1; n <= 3; ++n) {
    ASSERT_TRUE(Sample());
    // A second thread would have sampled the same period, or be waiting beside it.
    ASSERT_TRUE(kr_test::WaitUntil([&] { return window_->monitor_pacer.Waiting() > 0; }));
    EXPECT_EQ(HistorySize(), n);
    EXPECT_EQ(window_->monitor_pacer.Waiting(), 1);
  }
  // With a day-long period, a stop that waited out the period would never return.
  StopSystemMonitor(window_.get());
  EXPECT_FALSE(window_->monitor_thread.joinable());
  EXPECT_FALSE(window_->monitor_running);
  StartSystemMonitor(window_.get());  // a restart appends
  ASSERT_TRUE(Sample());
  EXPECT_EQ(HistorySize(), 4u);
  // Teardown stops it the same way.
  window_->Destroy();
  EXPECT_FALSE(window_->monitor_thread.joinable());
}

TEST_F(SystemMonitorThreadTest, SamplesPilingUpBecomeOneEventWithTheNewest) {
  StartSystemMonitor(window_.get());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(Sample());  // this thread does not run its messages meanwhile
  }
  // The event after the three carries the next sample, not another of the three.
  for (int round = 0; round < 2; ++round) {
    flutter::EncodableValue newest = Newest();
    Pump();
    auto event = ui_->WaitForCall("kestrune/system_monitor", "system.snapshot");
    ASSERT_TRUE(event);
    EXPECT_EQ(event->arguments, newest);
    ASSERT_TRUE(Sample());
  }
}

}  // namespace
