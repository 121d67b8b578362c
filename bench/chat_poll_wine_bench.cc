// Cost of one poll of the chat-notification listener under Wine, over a fake
// notification centre holding 1,000 toasts, half of them WeChat's: the first
// poll, which reads toasts until it has handed over 200; a poll where 990 are
// already seen and 10 came new (5 of them WeChat's); a poll where all are seen.
// Beside them two floors: a poll of an empty centre (the runtime wait alone)
// and a bare walk over the list reading each id. Median and p99 of 200 polls
// each, in microseconds, all in this one run.
//   tools/wine-run build/win64/wine build/win64/bin/chat_poll_wine_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "feeds/chat/chat_listener.h"
#include "tests/support/chat_fakes.h"

namespace {

constexpr int kHeld = 1000;
constexpr int kNewPerPoll = 10;
constexpr int kRounds = 200;

struct Figures {
  double median = 0;
  double p99 = 0;
};

Figures Summary(std::vector<double> costs) {
  std::sort(costs.begin(), costs.end());
  return {costs[costs.size() / 2], costs[costs.size() * 99 / 100]};
}

}  // namespace

int main() {
  kr_test::FakeRuntimeLog log;
  auto centre = kr_test::FakeNotificationCentre::Create(&log);
  UINT32 next_id = 1;
  auto toast = [&] {
    auto made = kr_test::FakeToast::Create(&log);
    made->id = next_id++;
    made->app = made->id % 2 ? L"WeChat" : L"Mail";
    made->texts = {L"Alice", L"see you at noon"};
    return made;
  };
  for (int i = 0; i < kHeld; ++i) {
    centre->toasts.push_back(toast());
  }
  winrt::IUserNotificationListener* listener = centre.get();
  HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  long delivered = 0;
  NotificationSink deliver = [&](flutter::EncodableMap) { return ++delivered, true; };

  // The runtime wait alone: a poll of an empty centre.
  auto empty = kr_test::FakeNotificationCentre::Create(&log);
  std::vector<double> first, mixed, seen_all, wait_only, floor;
  for (int round = 0; round < kRounds; ++round) {
    SeenNotifications seen;
    double start = NowMicroseconds();
    PollNotifications(listener, stop, &seen, deliver);
    first.push_back(NowMicroseconds() - start);
    // The oldest toasts leave, new ones come; 200 a poll are handed over, so
    // the first pass left WeChat toasts unseen: one more pass takes them.
    PollNotifications(listener, stop, &seen, deliver);
    PollNotifications(listener, stop, &seen, deliver);
    centre->toasts.erase(centre->toasts.begin(), centre->toasts.begin() + kNewPerPoll);
    for (int i = 0; i < kNewPerPoll; ++i) {
      centre->toasts.push_back(toast());
    }
    start = NowMicroseconds();
    PollNotifications(listener, stop, &seen, deliver);
    mixed.push_back(NowMicroseconds() - start);
    start = NowMicroseconds();
    PollNotifications(listener, stop, &seen, deliver);
    seen_all.push_back(NowMicroseconds() - start);

    SeenNotifications none;
    start = NowMicroseconds();
    PollNotifications(empty.get(), stop, &none, deliver);
    wait_only.push_back(NowMicroseconds() - start);

    start = NowMicroseconds();
    UINT32 size = 0;
    UINT32 ids = 0;
    for (UINT32 i = 0; SUCCEEDED(centre->get_Size(&size)) && i < size; ++i) {
      winrt::ComPtr<winrt::IUserNotification> notification;
      UINT32 id = 0;
      centre->GetAt(i, notification.put());
      notification->get_Id(&id);
      ids += id != 0;
    }
    floor.push_back(NowMicroseconds() - start);
    if (ids != static_cast<UINT32>(kHeld)) {
      std::printf("the floor walk read %u ids\n", ids);
    }
  }
  for (auto [name, costs] : {std::pair{"first poll (all new)       ", &first},
                             std::pair{"990 seen, 10 new          ", &mixed},
                             std::pair{"all 1000 seen             ", &seen_all},
                             std::pair{"empty centre (wait only)  ", &wait_only},
                             std::pair{"floor: walk reading ids   ", &floor}}) {
    Figures f = Summary(*costs);
    std::printf("%s median %8.1f us  p99 %8.1f us  (%.2f x floor)\n", name, f.median, f.p99,
                f.median / Summary(floor).median);
  }
  std::printf("payloads handed over: %ld\n", delivered);
  ::CloseHandle(stop);
  return 0;
}
