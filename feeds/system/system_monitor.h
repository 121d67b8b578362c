#ifndef KESTRUNE_FEEDS_SYSTEM_SYSTEM_MONITOR_H_
#define KESTRUNE_FEEDS_SYSTEM_SYSTEM_MONITOR_H_

#include <cstdint>
#include <memory>

#include <flutter/encodable_value.h>
#include <flutter/method_call.h>
#include <flutter/method_result.h>
#include "feeds/system/system_history.h"

class FlutterWindow;

// The kestrune/system_monitor channel of the main window.
void SystemMonitorChannelHandler(
    FlutterWindow* window,
    const flutter::MethodCall<flutter::EncodableValue>& call,
    std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

// One snapshot of the system per Sample(); rates are differences from the
// previous sample (the first from construction), so calls are one period apart.
class SystemSampler {
 public:
  SystemSampler();
  flutter::EncodableMap Sample();

 private:
  CpuTimes previous_cpu_;
  uint64_t previous_sent_ = 0;
  uint64_t previous_received_ = 0;
};

// Starts the sampling thread unless it runs.
void StartSystemMonitor(FlutterWindow* window);
// Stops the sampling thread and joins it; returns at once when none runs.
void StopSystemMonitor(FlutterWindow* window);

#endif  // KESTRUNE_FEEDS_SYSTEM_SYSTEM_MONITOR_H_
