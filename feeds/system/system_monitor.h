#ifndef KESTRUNE_FEEDS_SYSTEM_SYSTEM_MONITOR_H_
#define KESTRUNE_FEEDS_SYSTEM_SYSTEM_MONITOR_H_

#include <memory>

#include "embedder/encodable_value.h"
#include "embedder/method_call.h"
#include "embedder/method_result.h"

class FlutterWindow;

// The kestrune/system_monitor channel of the main window.
void SystemMonitorChannelHandler(
    FlutterWindow* window,
    const flutter::MethodCall<flutter::EncodableValue>& call,
    std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

// Starts the sampling thread unless it runs.
void StartSystemMonitor(FlutterWindow* window);
// Stops the sampling thread and joins it; returns at once when none runs.
void StopSystemMonitor(FlutterWindow* window);

#endif  // KESTRUNE_FEEDS_SYSTEM_SYSTEM_MONITOR_H_
