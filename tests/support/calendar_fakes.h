#ifndef KESTRUNE_TESTS_SUPPORT_CALENDAR_FAKES_H_
#define KESTRUNE_TESTS_SUPPORT_CALENDAR_FAKES_H_

#include <string>
#include <utility>
#include <vector>

#include "tests/support/winrt_fakes.h"

namespace kr_test {

// What the fake appointment store answers, and what it was asked.
struct CalendarScript {
  FakeRuntimeLog log;
  HRESULT request_error = S_OK;                         // answer of RequestStoreAsync
  bool search_pending = false;                          // the search ends only when canceled
  std::vector<std::pair<std::wstring, int64_t>> found;  // subject (empty: null), start
  std::atomic<int> requests{0};
  std::atomic<int64_t> range_start{0}, range_length{0};
  std::atomic<bool> search_waited{false};  // a handler waits on the pending search
};

// The AppointmentManager statics over |script|, for ScopedFakeActivation.
winrt::ComPtr<IInspectable> MakeFakeAppointmentManager(CalendarScript* script);

}  // namespace kr_test

#endif  // KESTRUNE_TESTS_SUPPORT_CALENDAR_FAKES_H_
