#ifndef KESTRUNE_FEEDS_SYSTEM_SYSTEM_HISTORY_H_
#define KESTRUNE_FEEDS_SYSTEM_SYSTEM_HISTORY_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include <flutter/encodable_value.h>

// Five minutes of samples at one a second.
inline constexpr std::size_t kSnapshotHistoryCap = 300;

// Appends |snapshot| and drops the oldest entries beyond the cap.
void AppendSnapshot(std::deque<flutter::EncodableMap>& history, flutter::EncodableMap snapshot);

// How many of the newest snapshots a history request asks for, from the
// request's arguments; nullopt when "minutes" has a type or value that cannot
// be a count (the caller refuses the request).
std::optional<std::size_t> RequestedSnapshotCount(const flutter::EncodableValue* arguments,
                                                  std::size_t history_size);

// The newest |count| snapshots, oldest first.
flutter::EncodableList NewestSnapshots(const std::deque<flutter::EncodableMap>& history,
                                       std::size_t count);

// Processor times as counted by the system, in 100 ns units.
struct CpuTimes {
  uint64_t idle = 0;
  uint64_t kernel = 0;  // includes the idle time
  uint64_t user = 0;
};

// The busy share between two readings, 0 to 100; 0 when no time passed.
double CpuPercent(const CpuTimes& previous, const CpuTimes& current);

// Growth of an octet counter since the previous reading; 0 when it went back
// (a reset adapter or a failed read).
uint64_t CounterGrowth(uint64_t previous, uint64_t current);

#endif  // KESTRUNE_FEEDS_SYSTEM_SYSTEM_HISTORY_H_
