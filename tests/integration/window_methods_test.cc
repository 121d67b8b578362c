// The geometry and appearance methods of "kestrune/window" against the main
// host's real window at 96 DPI on a 1920 x 1080 desktop,
// with this test as the interface.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

using flutter::EncodableValue;
using Kind = CallResult::Kind;

std::optional<BYTE> LayeredAlpha(HWND window) {
  BYTE alpha = 0;
  DWORD flags = 0;
  if (!::GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA)) {
    return std::nullopt;
  }
  return alpha;
}

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

  // Calls |method| and waits until the window is at |rect|.
  void Move(const char* method, const EncodableValue& arguments, const RECT& rect) {
    ASSERT_TRUE(CallWindow(method, arguments)) << method;
    EXPECT_TRUE(WaitForRect(window_, rect)) << method << ": " << Describe(WindowRect(window_));
  }
};

TEST_F(WindowMethodsTest, EachMethodLeavesItsWindowAndClickThroughItsView) {
  Move("setWindowBounds", Box(150, 60, 500, 400), {150, 60, 650, 460});
  Move("setWindowSize", Args({{"w", 400.0}, {"h", 300.0}}), {150, 60, 550, 360});
  EXPECT_EQ(ui_->Call("kestrune/window", "getWindowPos").value, Box(150, 60, 400, 300));
  Move("setWindowBounds", Box(100, 300, 501, 400), {100, 300, 601, 700});
  Move("setTopCenter", {}, {709, 0, 1210, 400});
  Move("positionTopCenter", Args({{"topOffset", 40.9}, {"width", int32_t{300}}}),
       {810, 40, 1311, 440});
  Move("setCenterScreen", {}, {709, 340, 1210, 740});
  EXPECT_EQ(ui_->Call("kestrune/window", "setDesktopBounds").value,
            Args({{"x", 0.0}, {"y", 0.0}, {"width", 1920.0}, {"height", 1080.0}}));

  // Regions are in window coordinates, each edge rounded on its own.
  ASSERT_TRUE(CallWindow("setWindowRegion", Box(10.4, 20, 100.2, 50)));
  EXPECT_TRUE(HasRegion(window_, RECT{10, 20, 111, 70}));
  ASSERT_TRUE(CallWindow("setWindowRoundedCorners"));
  EXPECT_TRUE(HasRegion(window_, RECT{0, 0, 501, 400}, 28));
  ASSERT_TRUE(CallWindow("setWindowRoundedCorners", Args({{"radius", int32_t{0}}})));
  EXPECT_TRUE(HasRegion(window_, std::nullopt));

  ASSERT_TRUE(CallWindow("setWindowOpacity", Args({{"opacity", int32_t{50}}})));
  EXPECT_EQ(LayeredAlpha(window_), std::optional<BYTE>(127));
  ASSERT_TRUE(CallWindow("setWindowOpacity"));
  EXPECT_EQ(LayeredAlpha(window_), std::optional<BYTE>(255));
  const struct {
    const char* method;
    EncodableValue arguments;
    LONG bit;
    bool set;
  } kStyles[] = {
      {"setLayered", {}, WS_EX_LAYERED, false},
      {"setAlwaysOnTop", Args({{"onTop", false}}), WS_EX_TOPMOST, false},
      {"setAlwaysOnTop", {}, WS_EX_TOPMOST, true},
      {"setClickThrough", Args({{"enabled", true}}), WS_EX_TRANSPARENT, true},
      {"setClickThrough", {}, WS_EX_TRANSPARENT, false},
      {"setAlwaysOnTop", Args({{"onTop", false}}), WS_EX_TOPMOST, false},
  };
  for (const auto& step : kStyles) {
    ASSERT_TRUE(CallWindow(step.method, step.arguments)) << step.method;
    EXPECT_EQ((ExStyle(window_) & step.bit) != 0, step.set) << step.method;
  }
  // Parked off screen and the island bar are topmost again.
  Move("hideOffScreen", {}, {-32000, -32000, -31499, -31600});
  EXPECT_NE(ExStyle(window_) & WS_EX_TOPMOST, 0);
  Move("showCapsuleBar", {}, {770, 2, 1150, 66});
  EXPECT_NE(ExStyle(window_) & WS_EX_TOPMOST, 0);

  // Click-through marks the view as well, and makes it transparent to every hit
  // test; a hit region plays no part in the main role.
  HWND view = ChildWindowsOfClass(window_, L"FLUTTERVIEW").at(0);
  Move("setWindowBounds", Box(100, 100, 600, 400), {100, 100, 700, 500});
  ASSERT_EQ(ui_->Call("kestrune/hitregion", "set", Box(10, 10, 50, 50)).kind, Kind::kSuccess);
  EXPECT_EQ(HitTestAt(view, 20, 20), HTCLIENT);
  ASSERT_TRUE(CallWindow("setClickThrough", Args({{"enabled", true}})));
  EXPECT_NE(ExStyle(view) & WS_EX_TRANSPARENT, 0);
  for (POINT point : {POINT{0, 0}, POINT{20, 20}, POINT{300, 200}, POINT{599, 399}}) {
    EXPECT_EQ(HitTestAt(view, point.x, point.y), HTTRANSPARENT) << point.x << "," << point.y;
  }
  ASSERT_TRUE(CallWindow("setClickThrough"));
  EXPECT_EQ(ExStyle(view) & WS_EX_TRANSPARENT, 0);
  EXPECT_EQ(HitTestAt(view, 300, 200), HTCLIENT);
}

}  // namespace
}  // namespace kr_test
