// The geometry and appearance methods of "kestrune/window" and the hit-region
// channel against the host's real window at 96 DPI on a 1920 x 1080 desktop,
// with this test as the interface.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/helper_window.h"
#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using Kind = CallResult::Kind;

EncodableValue Rect(double x, double y, double w, double h) {
  return Args({{"x", x}, {"y", y}, {"w", w}, {"h", h}});
}

LONG ExStyle(HWND window) {
  return ::GetWindowLongW(window, GWL_EXSTYLE);
}

// True when |window| is clipped to |box| (rounded with |corners| when above 0),
// or is not clipped and |box| is nothing.
bool HasRegion(HWND window, const std::optional<RECT>& box, int corners = 0) {
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  bool clipped = ::GetWindowRgn(window, region) != ERROR;
  bool same = clipped == box.has_value();
  if (same && box) {
    HRGN expected = corners > 0 ? ::CreateRoundRectRgn(box->left, box->top, box->right, box->bottom,
                                                       corners, corners)
                                : ::CreateRectRgnIndirect(&*box);
    // The same pixels: the window system may store the rows merged.
    same = ::CombineRgn(expected, expected, region, RGN_XOR) == NULLREGION;
    ::DeleteObject(expected);
  }
  ::DeleteObject(region);
  return same;
}

std::optional<BYTE> LayeredAlpha(HWND window) {
  BYTE alpha = 0;
  DWORD flags = 0;
  if (!::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) {
    return std::nullopt;
  }
  return alpha;
}

// The hit-test answer of |window| for a point in its client coordinates.
LRESULT HitTestAt(HWND window, LONG x, LONG y) {
  POINT point{x, y};
  ::ClientToScreen(window, &point);
  return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
}

// A rectangle no window has: the step does not check where the window is.
constexpr RECT kAnywhere{1, 1, 0, 0};

// One call and the window it must leave behind: its rectangle, the extended
// style bits in |style_mask| equal to |style|, its region and its alpha.
struct Step {
  Step(const char* method, EncodableValue arguments, RECT rect, LONG style_mask = 0, LONG style = 0)
      : method(method),
        arguments(std::move(arguments)),
        rect(rect),
        style_mask(style_mask),
        style(style) {}
  Step Region(RECT box, int rounded = 0) const {
    Step step = *this;
    step.region = box;
    step.corners = rounded;
    return step;
  }
  Step Alpha(BYTE value) const {
    Step step = *this;
    step.alpha = value;
    return step;
  }
  Step Answer(EncodableValue result) const {
    Step step = *this;
    step.value = std::move(result);
    return step;
  }
  Step On(const char* other_channel) const {
    Step step = *this;
    step.channel = other_channel;
    return step;
  }

  const char* method;
  EncodableValue arguments;
  RECT rect;
  LONG style_mask;
  LONG style;
  std::optional<RECT> region;
  int corners = 0;
  std::optional<BYTE> alpha;
  std::optional<EncodableValue> value;
  const char* channel = "kestrune/window";
};

class WindowMethodsTest : public MainHostTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SameRect(WorkArea(), RECT{0, 0, 1920, 1080})) << Describe(WorkArea());
    StartMainHost();
    if (HasFatalFailure()) {
      return;
    }
    ASSERT_TRUE(log_->WaitForMessage("[KR] OnCreate done, main window ready"));
  }

  void Run(const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      std::string name = std::string(step.method) + " after " + Describe(WindowRect(window_));
      CallResult result = ui_->Call(step.channel, step.method, step.arguments);
      EXPECT_EQ(result.kind, Kind::kSuccess) << name << " " << result.code;
      if (step.value) {
        EXPECT_EQ(result.value, *step.value) << name;
      }
      if (!SameRect(step.rect, kAnywhere)) {
        EXPECT_TRUE(WaitForRect(window_, step.rect))
            << name << ": " << Describe(WindowRect(window_));
      }
      EXPECT_EQ(ExStyle(window_) & step.style_mask, step.style) << name;
      EXPECT_TRUE(HasRegion(window_, step.region, step.corners)) << name;
      if (step.alpha) {
        EXPECT_EQ(LayeredAlpha(window_), step.alpha) << name;
      }
    }
  }
};

TEST_F(WindowMethodsTest, EachMethodLeavesItsWindow) {
  constexpr LONG kLayered = WS_EX_LAYERED, kTop = WS_EX_TOPMOST, kThrough = WS_EX_TRANSPARENT;
  RECT at{709, 340, 1210, 740};
  Run({
      Step("setWindowBounds", Rect(150, 60, 500, 400), {150, 60, 650, 460}),
      Step("setWindowBounds", Rect(10, 10, 0, 400), {150, 60, 650, 460}),
      Step("setWindowSize", Args({{"w", 400.0}, {"h", 300.0}}), {150, 60, 550, 360}),
      // Whole numbers, as the interface sends them, are numbers too.
      Step("setWindowSize", Args({{"w", int32_t{420}}, {"h", int64_t{310}}}), {150, 60, 570, 370}),
      Step("setWindowSize", Args({{"w", 0.0}, {"h", 300.0}}), {150, 60, 570, 370}),
      Step("getWindowPos", {}, {150, 60, 570, 370}).Answer(Rect(150, 60, 420, 310)),
      Step("setWindowBounds", Rect(100, 300, 501, 400), {100, 300, 601, 700}),
      Step("setTopCenter", {}, {709, 0, 1210, 400}),
      Step("positionTopCenter", Args({{"topOffset", 40.9}, {"width", int32_t{300}}}),
           {810, 40, 1311, 440}),
      Step("positionTopCenter", {}, {709, 28, 1210, 428}),
      Step("setCenterScreen", {}, at),
      Step("setDesktopBounds", {}, at)
          .Answer(Args({{"x", 0.0}, {"y", 0.0}, {"width", 1920.0}, {"height", 1080.0}})),
      Step("setWindowRegion", Rect(10.4, 20, 100.2, 50), at).Region({10, 20, 111, 70}),
      Step("setWindowRegion", {}, at),
      Step("setWindowRoundedCorners", {}, at).Region({0, 0, 501, 400}, 28),
      Step("setWindowRoundedCorners", Args({{"radius", int32_t{0}}}), at),
      Step("setWindowOpacity", Args({{"opacity", int32_t{50}}}), at, kLayered, kLayered).Alpha(127),
      Step("setWindowOpacity", {}, at, kLayered, kLayered).Alpha(255),
      Step("setLayered", {}, at, kLayered, 0),
      Step("setAlwaysOnTop", Args({{"onTop", false}}), at, kTop, 0),
      Step("setAlwaysOnTop", {}, at, kTop, kTop),
      Step("setClickThrough", Args({{"enabled", true}}), at, kThrough, kThrough),
      Step("setClickThrough", {}, at, kThrough, 0),
      Step("setAlwaysOnTop", Args({{"onTop", false}}), at, kTop, 0),
      Step("hideOffScreen", {}, {-32000, -32000, -31499, -31600}, kTop, kTop),
      Step("showCapsuleBar", {}, {770, 2, 1150, 66}, kTop, kTop),
  });
}

// Click-through marks the view as well, and makes it transparent to every hit
// test; a hit region plays no part in the main role.
TEST_F(WindowMethodsTest, ClickThroughMakesTheViewTransparent) {
  std::vector<HWND> views = ChildWindowsOfClass(window_, L"FLUTTERVIEW");
  ASSERT_EQ(views.size(), 1u);
  HWND view = views[0];
  Run({Step("setWindowBounds", Rect(100, 100, 600, 400), {100, 100, 700, 500}),
       Step("set", Rect(10, 10, 50, 50), {100, 100, 700, 500}).On("kestrune/hitregion")});
  EXPECT_EQ(HitTestAt(view, 20, 20), HTCLIENT);
  Run({Step("setClickThrough", Args({{"enabled", true}}), {100, 100, 700, 500})});
  EXPECT_NE(ExStyle(view) & WS_EX_TRANSPARENT, 0);
  for (POINT point : {POINT{0, 0}, POINT{20, 20}, POINT{300, 200}, POINT{599, 399}}) {
    EXPECT_EQ(HitTestAt(view, point.x, point.y), HTTRANSPARENT) << point.x << "," << point.y;
  }
  Run({Step("setClickThrough", {}, {100, 100, 700, 500})});
  EXPECT_EQ(ExStyle(view) & WS_EX_TRANSPARENT, 0);
  EXPECT_EQ(HitTestAt(view, 300, 200), HTCLIENT);
}

TEST_F(WindowMethodsTest, ShowFromIdleBringsAParkedCardBackInGrace) {
  ::ShowWindow(window_, SW_SHOWNOACTIVATE);
  ASSERT_TRUE(
      ::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
  ASSERT_TRUE(WaitUntil([&] {
    RECT rect = WindowRect(window_);
    return rect.right == rect.left && rect.bottom == rect.top;
  }));
  // A window without size is parked with the card's, topmost and still shown.
  Run({Step("hideOffScreen", {}, {-32000, -32000, -31280, -31470}, WS_EX_TOPMOST, WS_EX_TOPMOST),
       Step("setBlurHide", {}, {-32000, -32000, -31280, -31470}),
       Step("showFromIdle", {}, {600, 275, 1320, 805})});
  EXPECT_TRUE(::IsWindowVisible(window_));
  EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == window_; }));
  // In its ten-second grace, losing the focus does not collapse the card.
  auto helper = StartHelperWindow(L"kr show from idle helper");
  ASSERT_TRUE(helper);
  EXPECT_FALSE(ui_->WaitForCall("kestrune/hotkey", "esc_collapse", 1000));
}

TEST_F(WindowMethodsTest, ShowFromIdleKeepsASetSizeAndClampsItToTheWorkArea) {
  // Lower than 200 px: a quarter of the free height down.
  Run({Step("setWindowSize", Args({{"w", 400.0}, {"h", 150.0}}), kAnywhere),
       Step("showFromIdle", {}, {760, 232, 1160, 382})});
  // Taller than the work area (Wine caps a window at 12 px beyond the screen):
  // 1601 x 1090 shrinks by 1080 / 1090 to 1586 x 1080, centred.
  Run({Step("setWindowSize", Args({{"w", 1601.0}, {"h", 1090.0}}), kAnywhere),
       Step("showFromIdle", {}, {167, 0, 1753, 1080}, WS_EX_TOPMOST, WS_EX_TOPMOST)});
}

// The capsule role: its own host, connected to the bridge as "capsule"; no
// main process writes to the log meanwhile.
TEST(CapsuleWindowMethodsTest, IslandBarAndHitRegion) {
  UiBridgeServer bridge;
  auto host = StartHost({{L"KR_UI_BRIDGE", bridge.Setting()}, {L"KESTRUNE_CAPSULE", L"1"}});
  ASSERT_TRUE(host);
  BridgeConnection* ui = bridge.WaitForConnection("capsule");
  ASSERT_NE(ui, nullptr);
  HWND window = WaitForHostWindow(host->pid());
  ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }));
  HWND view = ChildWindowsOfClass(window, L"FLUTTERVIEW").at(0);
  // Without a region the whole capsule is the island.
  EXPECT_EQ(HitTestAt(window, 300, 30), HTCLIENT);
  EXPECT_EQ(HitTestAt(view, 300, 30), HTCLIENT);

  EXPECT_EQ(ui->Call("kestrune/window", "showCapsuleBar").kind, Kind::kSuccess);
  EXPECT_TRUE(WaitForRect(window, RECT{770, 2, 1150, 66})) << Describe(WindowRect(window));
  EXPECT_NE(ExStyle(window) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(ui->Call("kestrune/window", "setCenterScreen").kind, Kind::kSuccess);
  EXPECT_EQ(ui->Call("kestrune/window", "getWindowPos").value, Rect(770, 2, 380, 64));

  // Stored as (10, 0, 111, 40): both right and bottom edges are inside.
  EXPECT_EQ(ui->Call("kestrune/hitregion", "set", Rect(10.4, 0, 100.5, 40)).kind, Kind::kSuccess);
  for (HWND target : {window, view}) {
    EXPECT_EQ(HitTestAt(target, 10, 0), HTCLIENT);
    EXPECT_EQ(HitTestAt(target, 111, 40), HTCLIENT);
    EXPECT_EQ(HitTestAt(target, 112, 20), HTTRANSPARENT);
    EXPECT_EQ(HitTestAt(target, 50, 41), HTTRANSPARENT);
    EXPECT_EQ(HitTestAt(target, 9, 20), HTTRANSPARENT);
  }
}

}  // namespace
}  // namespace kr_test
