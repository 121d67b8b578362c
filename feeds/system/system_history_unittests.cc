#include "feeds/system/system_history.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

int32_t NumberOf(const EncodableValue& snapshot) {
  return std::get<int32_t>(std::get<EncodableMap>(snapshot).at(EncodableValue("n")));
}

EncodableValue Minutes(EncodableValue value) {
  return EncodableValue(EncodableMap{{EncodableValue("minutes"), std::move(value)}});
}

TEST(SystemHistoryTest, KeepsTheNewest300AndHandsOutTheNewestOldestFirst) {
  std::deque<EncodableMap> history;
  for (int32_t n = 1; n <= 301; ++n) {
    AppendSnapshot(history, {{EncodableValue("n"), EncodableValue(n)}});
  }
  ASSERT_EQ(history.size(), 300u);
  EXPECT_EQ(NumberOf(EncodableValue(history.front())), 2);
  flutter::EncodableList newest = NewestSnapshots(history, 60);
  ASSERT_EQ(newest.size(), 60u);
  EXPECT_EQ(NumberOf(newest.front()), 242);
  EXPECT_EQ(NumberOf(newest.back()), 301);
  EXPECT_EQ(NewestSnapshots(history, 0).size(), 0u);
}

TEST(SystemHistoryTest, MinutesBecomeACountOrAreRefused) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::optional<std::size_t> refused;
  struct Case {
    EncodableValue arguments;
    std::optional<std::size_t> count;  // of a history of 300
  };
  const Case cases[] = {
      {EncodableValue(), 300},  // default 5 minutes
      {EncodableValue(2.0), 300},
      {EncodableValue(EncodableMap{}), 300},
      {Minutes(EncodableValue(1.0)), 60},
      {Minutes(EncodableValue(1.9)), 60},
      {Minutes(EncodableValue(0.0)), 0},
      {Minutes(EncodableValue(-0.5)), 0},
      {Minutes(EncodableValue(-1.0)), 300},
      {Minutes(EncodableValue(-inf)), 300},
      {Minutes(EncodableValue(inf)), 300},
      {Minutes(EncodableValue(1e300)), 300},
      {Minutes(EncodableValue(int32_t{2})), 120},
      {Minutes(EncodableValue(int32_t{-3})), 300},
      {Minutes(EncodableValue(int64_t{3})), 180},
      {Minutes(EncodableValue(std::numeric_limits<int64_t>::max())), 300},
      {Minutes(EncodableValue(std::nan(""))), refused},
      {Minutes(EncodableValue("1")), refused},
      {Minutes(EncodableValue(true)), refused},
      {Minutes(EncodableValue()), refused},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(RequestedSnapshotCount(&cases[i].arguments, 300), cases[i].count) << "case " << i;
  }
  EXPECT_EQ(RequestedSnapshotCount(nullptr, 7), 7u);
}

TEST(SystemHistoryTest, CpuPercentAndCounterGrowth) {
  struct Case {
    CpuTimes previous, current;
    double percent;
  };
  const Case cases[] = {
      {{100, 200, 50}, {100, 200, 50}, 0.0},      // no time passed
      {{0, 0, 0}, {750, 1000, 0}, 25.0},          // kernel includes idle
      {{0, 0, 0}, {250, 500, 500}, 75.0},         // user time is busy
      {{0, 0, 0}, {900, 500, 0}, 0.0},            // idle above total clamps to 0
      {{500, 0, 0}, {100, 1000, 0}, 0.0},         // idle went back: wraps, clamped
      {{0, 0, 0}, {1, 3, 0}, 100.0 * 2.0 / 3.0},  // plain arithmetic
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(CpuPercent(c.previous, c.current), c.percent) << c.current.idle;
  }
  EXPECT_EQ(CounterGrowth(1000, 1500), 500u);
  EXPECT_EQ(CounterGrowth(1500, 1000), 0u);  // went back
  EXPECT_EQ(CounterGrowth(0, 0x1'0000'0005ull), 0x1'0000'0005ull);
}

}  // namespace
