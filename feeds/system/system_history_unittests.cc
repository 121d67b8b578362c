#include "feeds/system/system_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

EncodableMap Sample(int32_t n) {
  return {{EncodableValue("n"), EncodableValue(n)}};
}

// Samples 1..count appended one by one.
std::deque<EncodableMap> HistoryOf(int32_t count) {
  std::deque<EncodableMap> history;
  for (int32_t n = 1; n <= count; ++n) {
    AppendSnapshot(history, Sample(n));
  }
  return history;
}

int32_t NumberOf(const EncodableValue& snapshot) {
  return std::get<int32_t>(std::get<EncodableMap>(snapshot).at(EncodableValue("n")));
}

EncodableValue Minutes(EncodableValue value) {
  return EncodableValue(EncodableMap{{EncodableValue("minutes"), std::move(value)}});
}

TEST(SystemHistoryTest, KeepsTheNewest300) {
  std::deque<EncodableMap> history = HistoryOf(301);
  ASSERT_EQ(history.size(), 300u);
  EXPECT_EQ(NumberOf(EncodableValue(history.front())), 2);
  EXPECT_EQ(NumberOf(EncodableValue(history.back())), 301);
}

TEST(SystemHistoryTest, NewestSnapshotsAreOldestFirst) {
  flutter::EncodableList newest = NewestSnapshots(HistoryOf(300), 60);
  ASSERT_EQ(newest.size(), 60u);
  EXPECT_EQ(NumberOf(newest.front()), 241);
  EXPECT_EQ(NumberOf(newest.back()), 300);
  EXPECT_EQ(NewestSnapshots(HistoryOf(3), 10).size(), 3u);
}

TEST(SystemHistoryTest, MinutesBecomeACount) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    EncodableValue arguments;
    std::size_t history;
    std::size_t count;
  };
  const Case cases[] = {
      {"no arguments", EncodableValue(), 300, 300},
      {"not a map", EncodableValue(2.0), 300, 300},
      {"no minutes", EncodableValue(EncodableMap{}), 299, 299},
      {"default on a short history", EncodableValue(), 7, 7},
      {"one minute", Minutes(EncodableValue(1.0)), 300, 60},
      {"zero", Minutes(EncodableValue(0.0)), 300, 0},
      {"fraction truncated", Minutes(EncodableValue(1.9)), 300, 60},
      {"negative fraction truncated to zero", Minutes(EncodableValue(-0.5)), 300, 0},
      {"negative takes all", Minutes(EncodableValue(-1.0)), 300, 300},
      {"-inf takes all", Minutes(EncodableValue(-inf)), 250, 250},
      {"+inf takes all", Minutes(EncodableValue(inf)), 250, 250},
      {"huge double", Minutes(EncodableValue(1e300)), 250, 250},
      {"int32", Minutes(EncodableValue(int32_t{2})), 300, 120},
      {"int32 negative", Minutes(EncodableValue(int32_t{-3})), 42, 42},
      {"int32 max", Minutes(EncodableValue(std::numeric_limits<int32_t>::max())), 300, 300},
      {"int64", Minutes(EncodableValue(int64_t{3})), 300, 180},
      {"int64 max saturates", Minutes(EncodableValue(std::numeric_limits<int64_t>::max())), 300,
       300},
      {"int64 min", Minutes(EncodableValue(std::numeric_limits<int64_t>::min())), 10, 10},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RequestedSnapshotCount(&c.arguments, c.history), c.count) << c.name;
  }
  EXPECT_EQ(RequestedSnapshotCount(nullptr, 300), 300u);
}

TEST(SystemHistoryTest, RefusesMinutesThatAreNoNumber) {
  const EncodableValue refused[] = {
      Minutes(EncodableValue(std::nan(""))),
      Minutes(EncodableValue("1")),
      Minutes(EncodableValue(true)),
      Minutes(EncodableValue()),
      Minutes(EncodableValue(flutter::EncodableList{EncodableValue(1.0)})),
  };
  for (const EncodableValue& arguments : refused) {
    EXPECT_EQ(RequestedSnapshotCount(&arguments, 300), std::nullopt);
  }
}

TEST(SystemHistoryTest, CpuPercent) {
  struct Case {
    CpuTimes previous, current;
    double percent;
  };
  const Case cases[] = {
      {{100, 200, 50}, {100, 200, 50}, 0.0},      // no time passed
      {{0, 0, 0}, {750, 1000, 0}, 25.0},          // kernel includes idle
      {{0, 0, 0}, {250, 500, 500}, 75.0},         // user time is busy
      {{0, 0, 0}, {0, 0, 400}, 100.0},            // no idle at all
      {{0, 0, 0}, {900, 500, 0}, 0.0},            // idle above total clamps to 0
      {{500, 0, 0}, {100, 1000, 0}, 0.0},         // idle went back: wraps, clamped
      {{0, 0, 0}, {1, 3, 0}, 100.0 * 2.0 / 3.0},  // plain arithmetic
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(CpuPercent(c.previous, c.current), c.percent)
        << c.current.idle << "/" << c.current.kernel << "/" << c.current.user;
  }
}

TEST(SystemHistoryTest, CounterGrowth) {
  EXPECT_EQ(CounterGrowth(1000, 1500), 500u);
  EXPECT_EQ(CounterGrowth(1500, 1500), 0u);
  EXPECT_EQ(CounterGrowth(1500, 1000), 0u);                         // went back
  EXPECT_EQ(CounterGrowth(0, 0x1'0000'0005ull), 0x1'0000'0005ull);  // beyond 32 bits
}

}  // namespace
