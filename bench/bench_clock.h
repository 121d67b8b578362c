#ifndef KESTRUNE_BENCH_BENCH_CLOCK_H_
#define KESTRUNE_BENCH_BENCH_CLOCK_H_

#include <windows.h>

// Microseconds of the performance counter, for the benchmarks run under Wine.
inline double NowMicroseconds() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  return counter.QuadPart * 1e6 / frequency.QuadPart;
}

#endif  // KESTRUNE_BENCH_BENCH_CLOCK_H_
