// The main window's hit test as the window manager calls it, log line
// included, in-process under Wine: median and 99th percentile per hit test,
// beside the cost of a bare DefWindowProc hit test on a plain window.
//   tools/wine-run build/win64/wine build/win64/bin/hit_test_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/bench_clock.h"
#include "runner/flutter_window.h"

namespace {

double Now() {
  return NowMicroseconds();
}

void Measure(const char* name, HWND window) {
  const int kHits = 20000;
  std::vector<double> micros;
  micros.reserve(kHits);
  for (int i = 0; i < kHits; ++i) {
    LPARAM point = MAKELPARAM(20 + i % 300, 20 + i % 200);
    double start = Now();
    ::SendMessageW(window, WM_NCHITTEST, 0, point);
    micros.push_back(Now() - start);
  }
  std::sort(micros.begin(), micros.end());
  std::printf("%s: %d hit tests, median %.2f us, p99 %.2f us\n", name, kHits, micros[kHits / 2],
              micros[kHits * 99 / 100]);
}

}  // namespace

int main() {
  FlutterWindow window(flutter::DartProject(L"data"));
  if (!window.Create(L"kr_hit_bench", Win32Window::Point(0, 0), Win32Window::Size(400, 300))) {
    return 1;
  }
  HWND plain = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
  Measure("main window hit test (with its log line)", window.GetHandle());
  Measure("plain window hit test (DefWindowProc)", plain);
  ::DestroyWindow(plain);
  return 0;
}
