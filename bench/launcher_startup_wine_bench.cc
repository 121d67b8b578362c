// Start-up cost of the backend probes when a core folder is found and no
// backend answers: the host's bounded probe beside a plain blocking connect
// (the earlier behaviour), 50 times each against the same closed loopback port.
//   tools/wine-run build/win64/wine build/win64/bin/launcher_startup_wine_bench.exe
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/bench_clock.h"
#include "runner/backend_launcher.h"

namespace {

constexpr int kRuns = 50;

double Now() {
  return NowMicroseconds() / 1e3;
}

// A loopback port nothing listens on: one the system just handed out and took back.
int ClosedLoopbackPort() {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  int size = sizeof(address);
  int port = 0;
  if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ::ntohs(address.sin_port);
  }
  ::closesocket(s);
  return port;
}

bool BlockingConnect(int port) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    return false;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  bool connected = ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::closesocket(s);
  return connected;
}

struct Result {
  std::vector<double> times;
  int answered = 0;
};

Result Measure(const std::function<bool()>& probe) {
  Result result;
  for (int i = 0; i < kRuns; ++i) {
    double start = Now();
    result.answered += probe() ? 1 : 0;
    result.times.push_back(Now() - start);
  }
  std::sort(result.times.begin(), result.times.end());
  return result;
}

void Report(const char* name, const Result& result) {
  std::printf("%s: %d probes, median %.3f ms, worst %.3f ms, %d answered\n", name, kRuns,
              result.times[result.times.size() / 2], result.times.back(), result.answered);
}

}  // namespace

int main() {
  WSADATA wsa{};
  if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
    std::printf("Winsock did not start\n");
    return 1;
  }
  int port = ClosedLoopbackPort();
  if (port == 0) {
    std::printf("no loopback port to probe\n");
    ::WSACleanup();
    return 1;
  }
  std::printf("closed port 127.0.0.1:%d\n", port);
  Result blocking = Measure([&] { return BlockingConnect(port); });
  Result bounded = Measure([&] { return ProbeLocalPort(port); });
  ::WSACleanup();

  Report("floor (blocking connect)", blocking);
  Report("host (bounded probe)", bounded);
  double floor_median = blocking.times[blocking.times.size() / 2];
  double host_median = bounded.times[bounded.times.size() / 2];
  if (floor_median > 0) {
    std::printf("host median / floor median: %.2f\n", host_median / floor_median);
  }
  std::printf("start-up with a core folder makes up to 4 such probes: %.3f ms (host) vs %.3f ms\n",
              4 * host_median, 4 * floor_median);
  std::printf(
      "Under Wine a closed loopback port is refused at once, so both are fast here; on Windows "
      "the blocking connect's worst case is about 2 s per probe (SYN retries), while the bounded "
      "probe is capped at 250 ms.\n");
  return 0;
}
