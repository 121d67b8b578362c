// kr_log_writer MARKER COUNT [f]: writes COUNT debug-log lines "MARKER i <padding>"
// with DebugLog (or DebugLogF with "f"), from four threads at once.
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "runner/debug_log.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    return 2;
  }
  std::string marker = argv[1];
  int count = std::atoi(argv[2]);
  bool formatted = argc > 3 && std::string(argv[3]) == "f";
  const int kThreads = 4;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      // Long enough that a torn line would show.
      std::string padding(200 + t * 50, static_cast<char>('a' + t));
      for (int i = t; i < count; i += kThreads) {
        std::string line = marker + " " + std::to_string(i) + " " + padding;
        if (formatted) {
          DebugLogF("%s %d %s", marker.c_str(), i, padding.c_str());
        } else {
          DebugLog(line.c_str());
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  return 0;
}
