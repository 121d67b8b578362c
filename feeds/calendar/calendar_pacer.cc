#include "feeds/calendar/calendar_pacer.h"

CalendarPacer::CalendarPacer() : stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

bool CalendarPacer::WaitForNextSync() {
  ++waiting_;
  // Without its event (creation failed) the pacer still keeps the period.
  const DWORD outcome =
      stop_ ? ::WaitForSingleObject(stop_.get(), period_ms_) : (::Sleep(period_ms_), WAIT_TIMEOUT);
  --waiting_;
  return outcome == WAIT_TIMEOUT;
}

void CalendarPacer::Stop() {
  ::SetEvent(stop_.get());
}

void CalendarPacer::Rearm() {
  ::ResetEvent(stop_.get());
}
