#ifndef KESTRUNE_FEEDS_CALENDAR_CALENDAR_PACER_H_
#define KESTRUNE_FEEDS_CALENDAR_CALENDAR_PACER_H_

#include <windows.h>

#include <atomic>

#include "runner/unique_resource.h"

// Paces the calendar sync thread. Its stop event ends the wait between passes
// and, handed to the runtime waits, the pass in progress, so a stop never
// waits out a period or an operation.
class CalendarPacer {
 public:
  static constexpr DWORD kDefaultPeriodMs = 300000;

  CalendarPacer();

  // Set while the thread should stop; manual reset.
  HANDLE stop_event() const { return stop_.get(); }
  // Waits one period; false once stopped.
  bool WaitForNextSync();
  void Stop();
  void Rearm();

  // Tests choose the period, and wait for the thread to sit between passes.
  void SetPeriod(DWORD period_ms) { period_ms_ = period_ms; }
  int Waiting() const { return waiting_; }

 private:
  UniqueHandle stop_;
  std::atomic<DWORD> period_ms_{kDefaultPeriodMs};
  std::atomic<int> waiting_{0};
};

#endif  // KESTRUNE_FEEDS_CALENDAR_CALENDAR_PACER_H_
