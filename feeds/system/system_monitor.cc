#include "feeds/system/system_monitor.h"

// The interface table is declared only after these, in this order.
#include <winsock2.h>
#include <ws2ipdef.h>
#include <windows.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include <string>

#include "feeds/system/system_history.h"
#include "runner/flutter_window.h"
#include "runner/focus/interaction_state.h"
#include "runner/utils.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr IFTYPE kSoftwareLoopback = 24;
constexpr UINT kDriveRemovable = 2;
constexpr UINT kDriveFixed = 3;

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

double Bytes(uint64_t value) {
  return static_cast<double>(value);
}

// Three zeros when the system cannot tell.
CpuTimes ReadCpuTimes() {
  FILETIME idle{}, kernel{}, user{};
  if (!::GetSystemTimes(&idle, &kernel, &user)) {
    return {};
  }
  return {FileTimeValue(idle), FileTimeValue(kernel), FileTimeValue(user)};
}

struct NetworkCounters {
  uint64_t sent = 0;
  uint64_t received = 0;
};

// Octet sums over the interfaces that carry traffic of their own: loopback,
// interfaces that are not up and filter drivers' views of an adapter (which
// repeat its counters) are left out. Zeros when the table cannot be read.
NetworkCounters ReadNetworkCounters() {
  NetworkCounters sums;
  MIB_IF_TABLE2* table = nullptr;
  if (::GetIfTable2(&table) != NO_ERROR || table == nullptr) {
    return sums;
  }
  for (ULONG i = 0; i < table->NumEntries; ++i) {
    const MIB_IF_ROW2& row = table->Table[i];
    if (row.Type == kSoftwareLoopback || row.OperStatus != IfOperStatusUp ||
        row.InterfaceAndOperStatusFlags.FilterInterface) {
      continue;
    }
    sums.sent += row.OutOctets;
    sums.received += row.InOctets;
  }
  ::FreeMibTable(table);
  return sums;
}

EncodableMap CpuEntry(double percent) {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return {
      {EncodableValue("percent"), EncodableValue(percent)},
      {EncodableValue("cores"), EncodableValue(static_cast<int32_t>(info.dwNumberOfProcessors))}};
}

EncodableMap MemoryEntry() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof(status);
  ::GlobalMemoryStatusEx(&status);
  return {
      {EncodableValue("total_bytes"), EncodableValue(Bytes(status.ullTotalPhys))},
      {EncodableValue("available_bytes"), EncodableValue(Bytes(status.ullAvailPhys))},
      {EncodableValue("used_bytes"),
       EncodableValue(Bytes(status.ullTotalPhys - status.ullAvailPhys))},
      {EncodableValue("percent"), EncodableValue(static_cast<double>(status.dwMemoryLoad))},
      {EncodableValue("total_virtual_bytes"), EncodableValue(Bytes(status.ullTotalVirtual))},
      {EncodableValue("available_virtual_bytes"), EncodableValue(Bytes(status.ullAvailVirtual))},
  };
}

// Removable and fixed drives whose size can be read, in drive-letter order.
EncodableList DiskEntries() {
  EncodableList disks;
  DWORD drives = ::GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if ((drives & (1u << letter)) == 0) {
      continue;
    }
    wchar_t root[] = {static_cast<wchar_t>(L'A' + letter), L':', L'\\', 0};
    UINT type = ::GetDriveTypeW(root);
    ULARGE_INTEGER total{}, free{};
    if ((type != kDriveRemovable && type != kDriveFixed) ||
        !::GetDiskFreeSpaceExW(root, nullptr, &total, &free)) {
      continue;
    }
    disks.emplace_back(EncodableMap{
        {EncodableValue("mount"), EncodableValue(Utf16ToUtf8(root))},
        {EncodableValue("total_bytes"), EncodableValue(Bytes(total.QuadPart))},
        {EncodableValue("free_bytes"), EncodableValue(Bytes(free.QuadPart))},
        {EncodableValue("used_bytes"), EncodableValue(Bytes(total.QuadPart - free.QuadPart))},
    });
  }
  return disks;
}

// |target| is the window's handle when the thread started: the main thread
// clears the window's own field during teardown while this thread may still run.
void SystemMonitorLoop(FlutterWindow* window, HWND target) {
  SystemSampler sampler;
  while (window->monitor_running && window->monitor_pacer.WaitForNextSample()) {
    EncodableMap snapshot = sampler.Sample();
    {
      std::lock_guard<std::mutex> guard(window->snapshot_lock);
      AppendSnapshot(window->snapshot_history, snapshot);
      window->pending_snapshot = std::move(snapshot);
    }
    if (target != nullptr) {
      ::PostMessageW(target, kSystemSnapshotMsg, 0, 0);
    }
  }
}

}  // namespace

SystemSampler::SystemSampler() : previous_cpu_(ReadCpuTimes()) {
  NetworkCounters net = ReadNetworkCounters();
  previous_sent_ = net.sent;
  previous_received_ = net.received;
}

EncodableMap SystemSampler::Sample() {
  CpuTimes cpu = ReadCpuTimes();
  double percent = CpuPercent(previous_cpu_, cpu);
  previous_cpu_ = cpu;

  // Plain differences over the period: the rate is per sample, as the period
  // is one second.
  NetworkCounters net = ReadNetworkCounters();
  EncodableMap network{
      {EncodableValue("upload_bytes_per_sec"),
       EncodableValue(Bytes(CounterGrowth(previous_sent_, net.sent)))},
      {EncodableValue("download_bytes_per_sec"),
       EncodableValue(Bytes(CounterGrowth(previous_received_, net.received)))},
      {EncodableValue("total_sent_bytes"), EncodableValue(Bytes(net.sent))},
      {EncodableValue("total_recv_bytes"), EncodableValue(Bytes(net.received))},
  };
  previous_sent_ = net.sent;
  previous_received_ = net.received;

  return {
      {EncodableValue("cpu"), EncodableValue(CpuEntry(percent))},
      {EncodableValue("memory"), EncodableValue(MemoryEntry())},
      {EncodableValue("network"), EncodableValue(std::move(network))},
      {EncodableValue("disks"), EncodableValue(DiskEntries())},
  };
}

void StartSystemMonitor(FlutterWindow* window) {
  if (window->monitor_running.exchange(true)) {
    return;
  }
  if (window->monitor_thread.joinable()) {
    window->monitor_thread.join();
  }
  window->monitor_pacer.Rearm();
  window->monitor_thread = std::thread(SystemMonitorLoop, window, window->GetHandle());
}

void StopSystemMonitor(FlutterWindow* window) {
  window->monitor_running = false;
  window->monitor_pacer.Stop();
  if (window->monitor_thread.joinable()) {
    window->monitor_thread.join();
  }
}

void SystemMonitorChannelHandler(FlutterWindow* window,
                                 const flutter::MethodCall<EncodableValue>& call,
                                 std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
  const std::string& method = call.method_name();
  if (method == "startSystemMonitor") {
    StartSystemMonitor(window);
    result->Success();
  } else if (method == "stopSystemMonitor") {
    StopSystemMonitor(window);
    result->Success();
  } else if (method == "getSystemSnapshot") {
    EncodableMap newest;
    {
      std::lock_guard<std::mutex> guard(window->snapshot_lock);
      if (!window->snapshot_history.empty()) {
        newest = window->snapshot_history.back();
      }
    }
    result->Success(EncodableValue(std::move(newest)));
  } else if (method == "getSystemHistory") {
    EncodableList snapshots;
    bool refused = false;
    {
      std::lock_guard<std::mutex> guard(window->snapshot_lock);
      std::optional<std::size_t> count =
          RequestedSnapshotCount(call.arguments(), window->snapshot_history.size());
      refused = !count;
      if (count) {
        snapshots = NewestSnapshots(window->snapshot_history, *count);
      }
    }
    if (refused) {
      result->Error("BAD_ARGS", "argument \"minutes\" has the wrong type");
      return;
    }
    result->Success(EncodableValue(std::move(snapshots)));
  } else {
    result->NotImplemented();
  }
}
