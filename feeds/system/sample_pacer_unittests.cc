#include "feeds/system/sample_pacer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

using namespace std::chrono_literals;

// A wait that the test ends; a pacer that missed it would hang the test.
std::future<bool> WaitInBackground(SamplePacer& pacer) {
  auto waited = std::async(std::launch::async, [&] { return pacer.WaitForNextSample(); });
  while (pacer.Waiting() == 0) {
    std::this_thread::yield();
  }
  return waited;
}

TEST(SamplePacerTest, StopEndsAWaitAndLaterOnesUntilRearmed) {
  SamplePacer pacer;
  pacer.SetPeriod(24h);
  std::future<bool> waited = WaitInBackground(pacer);
  pacer.Stop();
  EXPECT_FALSE(waited.get());
  EXPECT_FALSE(pacer.WaitForNextSample());
  pacer.Rearm();
  waited = WaitInBackground(pacer);
  pacer.Advance();
  EXPECT_TRUE(waited.get());
}

TEST(SamplePacerTest, AdvanceEndsOnlyWaitsInProgress) {
  SamplePacer pacer;
  pacer.SetPeriod(24h);
  pacer.Advance();  // nobody waits: no sample is owed
  std::future<bool> first = WaitInBackground(pacer);
  EXPECT_EQ(first.wait_for(0s), std::future_status::timeout);
  pacer.Advance();
  EXPECT_TRUE(first.get());
  EXPECT_EQ(pacer.Waiting(), 0);
}

TEST(SamplePacerTest, APeriodEndsTheWait) {
  SamplePacer pacer;
  pacer.SetPeriod(1ms);
  EXPECT_TRUE(pacer.WaitForNextSample());
}

}  // namespace
