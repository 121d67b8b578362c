#include "feeds/poll_pacer.h"

PollPacer::PollPacer(DWORD period_ms)
    : stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      advance_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      period_ms_(period_ms) {}

bool PollPacer::WaitForNextPoll() {
  const HANDLE handles[] = {stop_.get(), advance_.get()};
  ++waiting_;
  DWORD woken = ::WaitForMultipleObjects(2, handles, FALSE, period_ms_);
  --waiting_;
  // A failed wait would otherwise spin the thread: treat it as a stop.
  return woken == WAIT_TIMEOUT || woken == WAIT_OBJECT_0 + 1;
}

void PollPacer::Stop() {
  ::SetEvent(stop_.get());
}

void PollPacer::Rearm() {
  ::ResetEvent(stop_.get());
}

void PollPacer::Advance() {
  ::SetEvent(advance_.get());
}
