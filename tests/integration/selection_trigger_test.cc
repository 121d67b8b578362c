// The text-selection trigger, with injected mouse events over another application's
// window. The hook times events by their own times, so the gaps are exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

constexpr DWORD kRd = MOUSEEVENTF_RIGHTDOWN, kRu = MOUSEEVENTF_RIGHTUP, kLd = MOUSEEVENTF_LEFTDOWN,
                kLu = MOUSEEVENTF_LEFTUP;
constexpr DWORD kCtrlDown = 0x10000, kCtrlUp = 0x20000;  // keyboard events in the stream

struct Row {
  EnvironmentChanges environment;  // besides KR_SELECT_ON=1
  std::vector<DWORD> events;       // one every 60 ms of event time
  int selects;
};

class SelectionTriggerTest : public MainHostTest, public ::testing::WithParamInterface<Row> {};

TEST_P(SelectionTriggerTest, GestureSendsSelectOnAndEveryReleasePassesOn) {
  EnvironmentChanges environment = GetParam().environment;
  environment.emplace(L"KR_SELECT_ON", L"1");
  StartBehindHelper(environment);
  ASSERT_FALSE(HasFatalFailure());
  const RECT r = WindowRect(helper_->window);
  ASSERT_TRUE(::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  DWORD time = ::GetTickCount();
  for (DWORD event : GetParam().events) {
    time += 60;
    INPUT input{};
    input.type = event >= kCtrlDown ? INPUT_KEYBOARD : INPUT_MOUSE;
    if (event >= kCtrlDown) {
      input.ki.wVk = VK_CONTROL;
      input.ki.dwFlags = event == kCtrlUp ? KEYEVENTF_KEYUP : 0;
    } else {
      input.mi.dwFlags = event;
      input.mi.time = time;
    }
    ::SendInput(1, &input, sizeof(input));
  }
  Drain();  // the hook ran before SendInput returned, so its posts come first
  EXPECT_EQ(Count("select_on"), GetParam().selects);
  EXPECT_EQ(helper_->KeyUps(VK_RBUTTON), std::ranges::count(GetParam().events, kRu));
}

const std::wstring kTrigger = L"KR_SELECT_TRIGGER", kButton = L"KR_SELECT_MOUSE_BUTTON";
const std::vector<DWORD> kCtrlClicks = {kRd, kRu, kCtrlDown, kRd, kRu, kLd, kLu, kCtrlUp};

INSTANTIATE_TEST_SUITE_P(
    Gestures,
    SelectionTriggerTest,
    ::testing::Values(
        Row{{{kButton, L"thumb"}}, kCtrlClicks, 1},
        Row{{{kTrigger, L"hotkey"}}, kCtrlClicks, 0},
        Row{{{kTrigger, L"image"}}, {kRd, kRu, kLd, kLu, kRd, kRu}, 2},
        Row{{{kTrigger, L"image"}, {L"KR_SELECT_ON", L"yes"}}, {kRd, kRu}, 0},
        Row{{{kTrigger, L"image"}, {L"KR_SELECT_BLOCKLIST", L"Other , helper"}}, {kRd, kRu}, 0},
        Row{{{kTrigger, L"double_click"}, {kButton, L"left"}},
            {kLd, kLu, kRd, kRu, kLd, kLu, kLd, kLu, kLd, kLu},
            2},
        // 50 ms is floored to 100; a release without a press is held since tick 0;
        // the latest press of any button starts the hold.
        Row{{{kTrigger, L"long_press"}, {L"KR_SELECT_LONGPRESS_MS", L"50"}},
            {kRu, kRd, kRu, kLd, kRu, kLu, kRd, kCtrlDown, kRu, kCtrlUp},
            2}));

}  // namespace
}  // namespace kr_test
