#include "capsule/pipe_outbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::vector<std::string> Take(PipeOutbox& outbox) {
  std::deque<std::string> taken = outbox.TakeAll();
  return std::vector<std::string>(taken.begin(), taken.end());
}

TEST(CapsulePipeOutboxTest, TakesEverythingInPushOrder) {
  PipeOutbox outbox;
  for (const char* message : {"first", "second", "", "third"}) {
    PipeOutbox::PushResult result = outbox.Push(message);
    EXPECT_EQ(result.outcome, PipeOutbox::PushOutcome::kQueued);
    EXPECT_EQ(result.dropped_oldest, 0u);
  }
  EXPECT_EQ(outbox.queued_bytes(), 16u);
  EXPECT_EQ(Take(outbox), (std::vector<std::string>{"first", "second", "", "third"}));
  EXPECT_EQ(outbox.queued_bytes(), 0u);
  EXPECT_TRUE(Take(outbox).empty());
}

TEST(CapsulePipeOutboxTest, DropsTheOldestToStayWithinTheCap) {
  PipeOutbox outbox(10);
  EXPECT_EQ(outbox.Push("aaaa").dropped_oldest, 0u);
  EXPECT_EQ(outbox.Push("bbbb").dropped_oldest, 0u);
  EXPECT_EQ(outbox.Push("cc").dropped_oldest, 0u);  // exactly at the cap
  EXPECT_EQ(outbox.queued_bytes(), 10u);

  PipeOutbox::PushResult result = outbox.Push("ddddd");
  EXPECT_EQ(result.outcome, PipeOutbox::PushOutcome::kQueued);
  EXPECT_EQ(result.dropped_oldest, 2u);
  EXPECT_EQ(Take(outbox), (std::vector<std::string>{"cc", "ddddd"}));

  outbox.Push("ab");
  result = outbox.Push(std::string(10, 'x'));
  EXPECT_EQ(result.dropped_oldest, 1u);
  EXPECT_EQ(Take(outbox), std::vector<std::string>{std::string(10, 'x')});
}

TEST(CapsulePipeOutboxTest, RefusesAMessageLargerThanTheCapAlone) {
  PipeOutbox outbox(10);
  outbox.Push("keep");
  PipeOutbox::PushResult result = outbox.Push(std::string(11, 'x'));
  EXPECT_EQ(result.outcome, PipeOutbox::PushOutcome::kTooLarge);
  EXPECT_EQ(result.dropped_oldest, 0u);
  EXPECT_EQ(Take(outbox), std::vector<std::string>{"keep"});
}

TEST(CapsulePipeOutboxTest, ClosedOutboxRefusesAndReportsTheFirstRefusalOnce) {
  PipeOutbox outbox;
  outbox.Push("queued before the end");
  outbox.Close();
  EXPECT_EQ(outbox.queued_bytes(), 0u);
  EXPECT_TRUE(Take(outbox).empty());

  PipeOutbox::PushResult first = outbox.Push("late");
  EXPECT_EQ(first.outcome, PipeOutbox::PushOutcome::kClosed);
  EXPECT_TRUE(first.first_refusal);
  for (int i = 0; i < 3; ++i) {
    PipeOutbox::PushResult later = outbox.Push("later");
    EXPECT_EQ(later.outcome, PipeOutbox::PushOutcome::kClosed);
    EXPECT_FALSE(later.first_refusal);
  }
  EXPECT_TRUE(Take(outbox).empty());
}

TEST(CapsulePipeOutboxTest, WaitReturnsAtOnceWhenMessagesAreQueued) {
  PipeOutbox outbox;
  outbox.Push("ready");
  const auto start = steady_clock::now();
  EXPECT_TRUE(outbox.WaitForMessages(milliseconds(10000)));
  EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
}

TEST(CapsulePipeOutboxTest, WaitTimesOutWhenNothingIsQueued) {
  PipeOutbox outbox;
  const auto start = steady_clock::now();
  EXPECT_FALSE(outbox.WaitForMessages(milliseconds(30)));
  EXPECT_GE(steady_clock::now() - start, milliseconds(30));
}

TEST(CapsulePipeOutboxTest, PushAndCloseWakeAWaiter) {
  PipeOutbox outbox;
  std::thread pusher([&outbox] {
    std::this_thread::sleep_for(milliseconds(20));
    outbox.Push("wake");
  });
  auto start = steady_clock::now();
  EXPECT_TRUE(outbox.WaitForMessages(milliseconds(10000)));
  EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
  pusher.join();
  Take(outbox);

  std::thread closer([&outbox] {
    std::this_thread::sleep_for(milliseconds(20));
    outbox.Close();
  });
  start = steady_clock::now();
  EXPECT_FALSE(outbox.WaitForMessages(milliseconds(10000)));
  EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
  closer.join();
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
        outbox.Push(std::to_string(p) + ":" + std::to_string(i));
      }
      ++finished;
    });
  }
  std::vector<int> next(kPushers, 0);
  int received = 0;
  auto drain = [&] {
    for (const std::string& message : outbox.TakeAll()) {
      const int pusher = std::stoi(message.substr(0, message.find(':')));
      const int index = std::stoi(message.substr(message.find(':') + 1));
      EXPECT_EQ(index, next[pusher]) << "from pusher " << pusher;
      next[pusher] = index + 1;
      ++received;
    }
  };
  while (finished.load() < kPushers) {
    outbox.WaitForMessages(milliseconds(20));
    drain();
  }
  for (std::thread& pusher : pushers) {
    pusher.join();
  }
  drain();
  EXPECT_EQ(received, kPushers * kEach);
}

}  // namespace
