// Idle cost under Wine: CPU time and wake-ups a second of the host's two
// processes (card hidden, the interface connected through the UI bridge, the
// capsule's interface connected through the pipe, no input), beside a minimal
// program that shows one window, and the Wine server's work meanwhile.
//   tools/wine-run build/win64/wine build/win64/bin/idle_cost_wine_bench.exe [SECONDS]
// SECONDS (default 60) is the length of each measurement, after a warm-up.
// Wine's own accounting says little, so the figures come from Linux, read
// through Wine's Z: drive: per thread, CPU nanoseconds (schedstat) and
// voluntary context switches (status), each of which is one sleep ended, that
// is one wake-up. The processes measured are those of the program that
// appeared once the bench started it.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/host_process.h"
#include "tests/support/pipe_client.h"
#include "tests/support/ui_bridge_server.h"

namespace {

struct ThreadCounters {
  uint64_t cpu_ns = 0;
  uint64_t wakeups = 0;
};

// (pid, tid) of every thread of the measured processes.
using Sample = std::map<std::pair<int, int>, ThreadCounters>;

struct Cost {
  double cpu_percent = 0;  // of one core
  double wakeups_per_second = 0;
  int processes = 0;
  int threads = 0;
  // The busiest threads by wake-ups: (pid, tid) and wake-ups a second.
  std::vector<std::pair<std::pair<int, int>, double>> busiest;
};

std::string ReadProcFile(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {};
  }
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    text.append(buffer, read);
  }
  ::CloseHandle(file);
  return text;
}

std::vector<int> NumericEntries(const std::wstring& folder) {
  std::vector<int> numbers;
  WIN32_FIND_DATAW entry;
  HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    return numbers;
  }
  do {
    if (entry.cFileName[0] >= L'0' && entry.cFileName[0] <= L'9') {
      numbers.push_back(_wtoi(entry.cFileName));
    }
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  return numbers;
}

std::wstring ProcFolder(int pid) {
  return L"Z:\\proc\\" + std::to_wstring(pid);
}

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         _stricmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

// Linux processes whose program (first word of the command line, the Windows
// path under Wine) ends with |tail|.
std::set<int> ProcessesRunning(const std::string& tail) {
  std::set<int> found;
  for (int pid : NumericEntries(L"Z:\\proc")) {
    if (EndsWithNoCase(ReadProcFile(ProcFolder(pid) + L"\\cmdline").c_str(), tail)) {
      found.insert(pid);
    }
  }
  return found;
}

// The Wine server of this prefix: it does the waiting and the timers of every
// process of the prefix, so its work belongs to what is measured.
std::vector<int> WineServer() {
  char prefix[MAX_PATH] = {};
  ::GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
  const std::string entry = std::string("WINEPREFIX=") + prefix + '\0';
  for (int pid : NumericEntries(L"Z:\\proc")) {
    if (ReadProcFile(ProcFolder(pid) + L"\\comm").rfind("wineserver", 0) == 0 &&
        ReadProcFile(ProcFolder(pid) + L"\\environ").find(entry) != std::string::npos) {
      return {pid};
    }
  }
  return {};
}

// The program's path as Wine shows it in a Linux command line; other hosts,
// from other build trees, run on this machine too.
std::string Narrow(const std::wstring& path) {
  return std::string(path.begin(), path.end());
}

// Processes of |program| started since |before| was taken.
std::vector<int> Started(const std::string& program, const std::set<int>& before) {
  std::vector<int> started;
  for (int pid : ProcessesRunning(program)) {
    if (before.count(pid) == 0) {
      started.push_back(pid);
    }
  }
  return started;
}

uint64_t StatusField(const std::string& status, const char* name) {
  size_t at = status.find(name);
  return at == std::string::npos ? 0
                                 : std::strtoull(status.c_str() + at + strlen(name), nullptr, 10);
}

Sample Read(const std::vector<int>& pids) {
  Sample sample;
  for (int pid : pids) {
    std::wstring tasks = ProcFolder(pid) + L"\\task";
    for (int tid : NumericEntries(tasks)) {
      std::wstring thread = tasks + L"\\" + std::to_wstring(tid);
      ThreadCounters counters;
      counters.cpu_ns = std::strtoull(ReadProcFile(thread + L"\\schedstat").c_str(), nullptr, 10);
      counters.wakeups =
          StatusField(ReadProcFile(thread + L"\\status"), "voluntary_ctxt_switches:");
      sample[{pid, tid}] = counters;
    }
  }
  return sample;
}

Cost Difference(const Sample& before, const Sample& after, int processes, double seconds) {
  Cost cost;
  cost.processes = processes;
  cost.threads = static_cast<int>(after.size());
  uint64_t cpu_ns = 0;
  uint64_t wakeups = 0;
  for (const auto& [id, now] : after) {
    auto earlier = before.find(id);
    ThreadCounters start = earlier == before.end() ? ThreadCounters{} : earlier->second;
    cpu_ns += now.cpu_ns - start.cpu_ns;
    wakeups += now.wakeups - start.wakeups;
    cost.busiest.push_back({id, (now.wakeups - start.wakeups) / seconds});
  }
  std::sort(cost.busiest.begin(), cost.busiest.end(),
            [](const auto& a, const auto& b) { return a.second > b.second; });
  cost.busiest.resize(std::min<size_t>(cost.busiest.size(), 4));
  cost.cpu_percent = cpu_ns / 1e9 / seconds * 100;
  cost.wakeups_per_second = wakeups / seconds;
  return cost;
}

struct Measurement {
  Cost subject;
  Cost server;
};

Measurement Measure(const std::vector<int>& pids, int seconds) {
  std::vector<int> server = WineServer();
  Sample subject_before = Read(pids);
  Sample server_before = Read(server);
  ::Sleep(seconds * 1000);
  Sample subject_after = Read(pids);
  Sample server_after = Read(server);
  return {Difference(subject_before, subject_after, static_cast<int>(pids.size()), seconds),
          Difference(server_before, server_after, static_cast<int>(server.size()), seconds)};
}

void Print(const char* name, const Measurement& m) {
  std::printf(
      "%-28s %3d proc %3d thr  cpu %7.3f %%  wake-ups %7.1f /s   wineserver cpu %7.3f %%  wake-ups "
      "%7.1f /s\n",
      name, m.subject.processes, m.subject.threads, m.subject.cpu_percent,
      m.subject.wakeups_per_second, m.server.cpu_percent, m.server.wakeups_per_second);
  for (const auto& [id, rate] : m.subject.busiest) {
    std::printf("    pid %d tid %d: %.1f wake-ups/s\n", id.first, id.second, rate);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  constexpr DWORD kWarmUpMs = 5000;

  Measurement host;
  {
    const std::string program = Narrow(kr_test::HostExecutable());
    const std::set<int> before = ProcessesRunning(program);
    kr_test::UiBridgeServer bridge;
    auto process = kr_test::StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}});
    kr_test::PipeClient capsule;
    if (!process || bridge.WaitForConnection("main") == nullptr ||
        bridge.WaitForConnection("capsule") == nullptr || !capsule.Connect()) {
      std::fprintf(stderr, "host did not start with both interfaces connected\n");
      return 1;
    }
    ::Sleep(kWarmUpMs);
    std::vector<int> pids = Started(program, before);
    if (pids.size() != 2) {
      std::fprintf(stderr, "expected the host and the capsule, found %zu processes\n", pids.size());
      return 1;
    }
    host = Measure(pids, seconds);
  }

  Measurement floor;
  {
    const std::string program = Narrow(kr_test::ProgramFolder() + L"hotkey_floor.exe");
    const std::set<int> before = ProcessesRunning(program);
    auto process = kr_test::ChildProcess::Start(kr_test::ProgramFolder() + L"hotkey_floor.exe",
                                                {L"--show"}, {});
    if (!process ||
        kr_test::WaitForHostWindow(process->pid(), 10000, L"KR_SUMMON_FLOOR") == nullptr) {
      std::fprintf(stderr, "floor did not start\n");
      return 1;
    }
    ::Sleep(kWarmUpMs);
    std::vector<int> pids = Started(program, before);
    if (pids.size() != 1) {
      std::fprintf(stderr, "expected one floor process, found %zu\n", pids.size());
      return 1;
    }
    floor = Measure(pids, seconds);
  }

  std::printf("idle over %d s each:\n", seconds);
  Print("host (main and capsule)", host);
  Print("floor (one window)", floor);
  // The processes alone, and with the Wine server's work, which a waiting
  // thread causes under Wine and which Windows does in its kernel.
  const double host_cpu = host.subject.cpu_percent + host.server.cpu_percent;
  const double floor_cpu = floor.subject.cpu_percent + floor.server.cpu_percent;
  const double host_wakeups = host.subject.wakeups_per_second + host.server.wakeups_per_second;
  const double floor_wakeups = floor.subject.wakeups_per_second + floor.server.wakeups_per_second;
  std::printf("host processes: cpu %.3f %% of a core, %.1f wake-ups/s (target: < 0.1 %%, < 10/s)\n",
              host.subject.cpu_percent, host.subject.wakeups_per_second);
  std::printf(
      "with the Wine server: host %.3f %%, %.1f/s; floor %.3f %%, %.1f/s; ratio cpu %.2f, wake-ups "
      "%.2f\n",
      host_cpu, host_wakeups, floor_cpu, floor_wakeups, floor_cpu > 0 ? host_cpu / floor_cpu : 0,
      floor_wakeups > 0 ? host_wakeups / floor_wakeups : 0);
  return 0;
}
