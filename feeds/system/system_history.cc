#include "feeds/system/system_history.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <variant>

namespace {

constexpr std::size_t kDefaultMinutes = 5;
constexpr int64_t kSecondsPerMinute = 60;

// Snapshot count for a whole number of minutes; saturates, a negative number
// takes everything.
std::size_t CountForMinutes(int64_t minutes, std::size_t history_size) {
  if (minutes < 0 || minutes > std::numeric_limits<int64_t>::max() / kSecondsPerMinute) {
    return history_size;
  }
  return static_cast<std::size_t>(
      std::min<uint64_t>(static_cast<uint64_t>(minutes * kSecondsPerMinute), history_size));
}

}  // namespace

void AppendSnapshot(std::deque<flutter::EncodableMap>& history, flutter::EncodableMap snapshot) {
  history.push_back(std::move(snapshot));
  while (history.size() > kSnapshotHistoryCap) {
    history.pop_front();
  }
}

std::optional<std::size_t> RequestedSnapshotCount(const flutter::EncodableValue* arguments,
                                                  std::size_t history_size) {
  const auto* map = arguments ? std::get_if<flutter::EncodableMap>(arguments) : nullptr;
  if (map == nullptr) {
    return CountForMinutes(kDefaultMinutes, history_size);
  }
  auto entry = map->find(flutter::EncodableValue("minutes"));
  if (entry == map->end()) {
    return CountForMinutes(kDefaultMinutes, history_size);
  }
  const flutter::EncodableValue& minutes = entry->second;
  if (const auto* whole = std::get_if<int32_t>(&minutes)) {
    return CountForMinutes(*whole, history_size);
  }
  if (const auto* whole = std::get_if<int64_t>(&minutes)) {
    return CountForMinutes(*whole, history_size);
  }
  const auto* real = std::get_if<double>(&minutes);
  if (real == nullptr || std::isnan(*real)) {
    return std::nullopt;
  }
  double truncated = std::trunc(*real);
  // Beyond the int64 range (infinities included) only the sign matters.
  if (truncated >= 9.0e18) {
    return history_size;
  }
  if (truncated <= -9.0e18) {
    return CountForMinutes(-1, history_size);
  }
  return CountForMinutes(static_cast<int64_t>(truncated), history_size);
}

flutter::EncodableList NewestSnapshots(const std::deque<flutter::EncodableMap>& history,
                                       std::size_t count) {
  count = std::min(count, history.size());
  flutter::EncodableList list;
  list.reserve(count);
  for (auto it = history.end() - static_cast<std::ptrdiff_t>(count); it != history.end(); ++it) {
    list.emplace_back(*it);
  }
  return list;
}

double CpuPercent(const CpuTimes& previous, const CpuTimes& current) {
  // Unsigned differences: a counter that went back reads as a huge delta, which
  // the clamp below bounds.
  uint64_t idle = current.idle - previous.idle;
  uint64_t total = (current.kernel - previous.kernel) + (current.user - previous.user);
  if (total == 0) {
    return 0.0;
  }
  double percent = (1.0 - static_cast<double>(idle) / static_cast<double>(total)) * 100.0;
  return std::clamp(percent, 0.0, 100.0);
}

uint64_t CounterGrowth(uint64_t previous, uint64_t current) {
  return current > previous ? current - previous : 0;
}
