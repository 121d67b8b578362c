// The text-selection trigger under injected mouse events, timed by their event times.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

constexpr DWORD kRd = MOUSEEVENTF_RIGHTDOWN, kRu = MOUSEEVENTF_RIGHTUP, kLd = MOUSEEVENTF_LEFTDOWN,
                kLu = MOUSEEVENTF_LEFTUP, kRc = kRd | kRu, kLc = kLd | kLu;  // c: click
constexpr DWORD kCtrlDown = 0x10000, kCtrlUp = 0x20000;  // keyboard events in the stream

// Settings besides KR_SELECT_ON=1, events 60 ms of event time apart, "select_on" calls.
using Row = std::tuple<EnvironmentChanges, std::vector<DWORD>, int>;

class SelectionTriggerTest : public MainHostTest, public ::testing::WithParamInterface<Row> {};

TEST_P(SelectionTriggerTest, GestureSendsSelectOnAndEveryReleasePassesOn) {
  auto [environment, events, selects] = GetParam();
  environment.emplace(L"KR_SELECT_ON", L"1");
  // Over the helper's middle before it starts: a pointer entering Wine's desktop
  // resets the injected key state, a while later.
  ASSERT_TRUE(::SetCursorPos(400, 350));
  StartBehindHelper(environment);
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(::WindowFromPoint({400, 350}), helper_->window);
  DWORD time = 0xFFFFFF00;  // the tick count wraps within the longer streams
  for (DWORD event : events) {
    INPUT input{.type = INPUT_MOUSE, .mi = {0, 0, 0, event, time += 60, 0}};
    if (event >= kCtrlDown) {
      input = {.type = INPUT_KEYBOARD,
               .ki = {VK_CONTROL, 0, event == kCtrlUp ? DWORD{KEYEVENTF_KEYUP} : 0u, 0, 0}};
    }
    ::SendInput(1, &input, sizeof(input));
    ::Sleep(event == kCtrlDown ? 100 : 0);  // Wine caches "up" key states for 50 ms
  }
  EXPECT_TRUE(WaitUntil([&] { return Count("select_on") >= selects; }));  // slow hooks run late
  Drain();
  EXPECT_EQ(Count("select_on"), selects);
  const int right_ups = std::ranges::count_if(events, [](DWORD e) { return e & kRu; });
  EXPECT_TRUE(WaitUntil([&] { return helper_->KeyUps(VK_RBUTTON) == right_ups; }));
}

const std::wstring kTrigger = L"KR_SELECT_TRIGGER", kButton = L"KR_SELECT_MOUSE_BUTTON";
const std::vector<DWORD> kCtrlClicks = {kRc, kCtrlDown, kRc, kLc, kCtrlUp};

INSTANTIATE_TEST_SUITE_P(
    Gestures,
    SelectionTriggerTest,
    ::testing::Values(
        Row{{{kButton, L"thumb"}}, kCtrlClicks, 1},
        Row{{{kTrigger, L"hotkey"}}, kCtrlClicks, 0},
        Row{{{kTrigger, L"image"}}, {kRc, kLc, kRc}, 2},
        Row{{{kTrigger, L"image"}, {L"KR_SELECT_ON", L"yes"}}, {kRc}, 0},
        Row{{{kTrigger, L"image"}, {L"KR_SELECT_BLOCKLIST", L"Other , helper"}}, {kRc}, 0},
        Row{{{kTrigger, L"double_click"}, {kButton, L"left"}}, {kLc, kRc, kLc, kLc, kLc}, 2},
        // 50 is floored to 100; no press: held since tick 0; any press starts the hold.
        Row{{{kTrigger, L"long_press"}, {L"KR_SELECT_LONGPRESS_MS", L"50"}},
            {kRu, kRd, kRu, kLd, kRu, kLu, kRd, kLu, kRu},
            2}));

}  // namespace
}  // namespace kr_test
