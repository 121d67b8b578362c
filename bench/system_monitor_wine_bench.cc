// Cost of one system-monitor sample under Wine: 200 samples back to back
// (median and p99 of each, in ms), then ten seconds of sampling at 1 Hz beside
// a floor loop that only waits the same period, each on its own thread; their
// CPU shares come from GetThreadTimes.
//   tools/wine-run build/win64/wine build/win64/bin/system_monitor_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/bench_clock.h"
#include "feeds/system/system_monitor.h"

namespace {

constexpr int kSamples = 200;
constexpr int kPeriodMs = 1000;
constexpr int kPeriods = 10;

double Now() {
  return NowMicroseconds() / 1e3;
}

// Kernel plus user time of the calling thread, in ms.
double ThreadCpuMs() {
  FILETIME created{}, exited{}, kernel{}, user{};
  ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
  auto value = [](const FILETIME& time) {
    return static_cast<double>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                               time.dwLowDateTime);
  };
  return (value(kernel) + value(user)) / 1e4;
}

struct Share {
  double cpu_ms = 0;
  double wall_ms = 0;
  double Percent() const { return wall_ms > 0 ? 100.0 * cpu_ms / wall_ms : 0; }
};

// Runs |work| once per period for kPeriods periods on fixed deadlines, waiting
// on an event nobody sets, as the sampling thread waits on its pacer.
template <typename Work>
Share Paced(Work work) {
  HANDLE never = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  double cpu_start = ThreadCpuMs();
  double start = Now();
  for (int i = 1; i <= kPeriods; ++i) {
    double wait = start + i * kPeriodMs - Now();
    if (wait > 0) {
      ::WaitForSingleObject(never, static_cast<DWORD>(wait));
    }
    work();
  }
  Share share{ThreadCpuMs() - cpu_start, Now() - start};
  ::CloseHandle(never);
  return share;
}

}  // namespace

int main() {
  std::vector<double> costs;
  double burst_cpu_ms = 0;
  {
    SystemSampler sampler;
    double cpu_start = ThreadCpuMs();
    for (int i = 0; i < kSamples; ++i) {
      double start = Now();
      flutter::EncodableMap snapshot = sampler.Sample();
      costs.push_back(Now() - start);
    }
    burst_cpu_ms = ThreadCpuMs() - cpu_start;
  }
  std::sort(costs.begin(), costs.end());
  std::printf("one sample (%d back to back): median %.3f ms, p99 %.3f ms, CPU %.3f ms each\n",
              kSamples, costs[costs.size() / 2], costs[costs.size() * 99 / 100],
              burst_cpu_ms / kSamples);
  std::printf("  CPU share at 1 Hz from that: %.4f %%\n",
              100.0 * burst_cpu_ms / kSamples / kPeriodMs);

  // Both loops run at once, so they see the same machine load.
  Share floor;
  Share monitor;
  std::thread floor_thread([&] { floor = Paced([] {}); });
  std::thread monitor_thread([&] {
    SystemSampler sampler;
    monitor = Paced([&] { flutter::EncodableMap snapshot = sampler.Sample(); });
  });
  floor_thread.join();
  monitor_thread.join();
  std::printf("floor (wait only), %d s at 1 Hz: CPU %.2f ms, share %.4f %%\n", kPeriods,
              floor.cpu_ms, floor.Percent());
  std::printf("system monitor,    %d s at 1 Hz: CPU %.2f ms, share %.4f %%\n", kPeriods,
              monitor.cpu_ms, monitor.Percent());
  if (floor.cpu_ms > 0) {
    std::printf("monitor CPU / floor CPU: %.2f\n", monitor.cpu_ms / floor.cpu_ms);
  } else {
    std::printf("monitor CPU / floor CPU: floor read 0 ms (below the thread-time resolution)\n");
  }
  return 0;
}
