#ifndef KESTRUNE_FEEDS_POLL_PACER_H_
#define KESTRUNE_FEEDS_POLL_PACER_H_

#include <windows.h>

#include <atomic>

#include "runner/unique_resource.h"

// Paces a polling thread on a stop event: a wait lasts one period and ends at
// once on Stop. The same event ends the thread's Windows Runtime waits, so a
// stop never waits out a period or an operation.
class PollPacer {
 public:
  explicit PollPacer(DWORD period_ms);

  HANDLE stop_event() const { return stop_.get(); }

  // Waits for the next poll; false once stopped.
  bool WaitForNextPoll();
  // Ends every wait, now and until Rearm.
  void Stop();
  void Rearm();

  // Tests pace the polls themselves: a long period, and Advance to end the wait
  // in progress (or the next one) as if the period had passed.
  void SetPeriod(DWORD period_ms) { period_ms_ = period_ms; }
  void Advance();
  // Threads inside WaitForNextPoll.
  int Waiting() const { return waiting_; }

 private:
  UniqueHandle stop_;
  UniqueHandle advance_;
  std::atomic<DWORD> period_ms_;
  std::atomic<int> waiting_{0};
};

#endif  // KESTRUNE_FEEDS_POLL_PACER_H_
