#include "capsule/pipe_outbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

using Outcome = PipeOutbox::PushOutcome;
using Messages = std::deque<std::string>;

TEST(CapsulePipeOutboxTest, KeepsPushOrderWithinTheByteCapUntilClosed) {
  PipeOutbox outbox(10);
  for (const char* message : {"aaaa", "", "bbbb", "cc"}) {  // exactly at the cap
    EXPECT_EQ(outbox.Push(message).dropped_oldest, 0u);
  }
  EXPECT_EQ(outbox.queued_bytes(), 10u);
  PipeOutbox::PushResult result = outbox.Push("ddddd");
  EXPECT_EQ(result.outcome, Outcome::kQueued);
  EXPECT_EQ(result.dropped_oldest, 3u);
  EXPECT_EQ(outbox.TakeAll(), (Messages{"cc", "ddddd"}));
  EXPECT_EQ(outbox.queued_bytes(), 0u);

  // A message the size of the cap displaces everything; a larger one alone is refused.
  outbox.Push("ab");
  EXPECT_EQ(outbox.Push(std::string(10, 'x')).dropped_oldest, 1u);
  result = outbox.Push(std::string(11, 'y'));
  EXPECT_EQ(result.outcome, Outcome::kTooLarge);
  EXPECT_EQ(result.dropped_oldest, 0u);
  EXPECT_EQ(outbox.TakeAll(), Messages{std::string(10, 'x')});

  // Once closed, what is queued goes and every later push is refused.
  outbox.Push("end");
  outbox.Close();
  EXPECT_EQ(outbox.queued_bytes(), 0u);
  for (bool first : {true, false, false}) {
    result = outbox.Push("late");
    EXPECT_EQ(result.outcome, Outcome::kClosed);
    EXPECT_EQ(result.first_refusal, first);
  }
  EXPECT_TRUE(outbox.TakeAll().empty());
}

TEST(CapsulePipeOutboxTest, ConcurrentPushersKeepEachOnesOrderAndLoseNothing) {
  constexpr int kPushers = 4;
  constexpr int kEach = 5000;
  PipeOutbox outbox;
  std::atomic<int> finished{0};
  std::vector<std::thread> pushers;
  for (int p = 0; p < kPushers; ++p) {
    pushers.emplace_back([&outbox, &finished, p] {
      for (int i = 0; i < kEach; ++i) {
        outbox.Push(std::to_string(p * kEach + i));
      }
      ++finished;
    });
  }
  std::vector<int> next(kPushers, 0);
  for (bool last = false; !last;) {
    last = finished.load() == kPushers;  // one more drain after the last push
    std::this_thread::yield();
    for (const std::string& message : outbox.TakeAll()) {
      const int number = std::stoi(message);
      EXPECT_EQ(number % kEach, next[number / kEach]++);
    }
  }
  for (std::thread& pusher : pushers) {
    pusher.join();
  }
  EXPECT_EQ(next, std::vector<int>(kPushers, kEach));
}

}  // namespace
