// Logical pixels of "kestrune/window" at a DPI above 96, in a session whose
// prefix sets LogPixels to KR_EXPECT_DPI (144 or 120) on a 1920 x 1080 desktop.
// The cases sit where rounding half away from zero and truncation part.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/main_host_test.h"

namespace kr_test {
namespace {

// Physical pixels the host must reach at one DPI.
struct Expected {
  UINT dpi;
  RECT bounds;          // setWindowBounds (100, 80, ...), then setWindowSize (400, 300)
  RECT region;          // setWindowRegion (10.2, 2, 3, 10.2)
  RECT idle;            // showFromIdle: the 720 x 530 card rounded, centred
  RECT bar;             // showCapsuleBar: 380 x 64 rounded, 2 px down truncated
  RECT top_center;      // positionTopCenter 27.9 / 383.6 of a 400 x 200 window
  int corner_diameter;  // setWindowRoundedCorners 15 of that window, truncated
};

// 120: 662.5 -> 663, -2.5 -> -2, 27 x 1.25 = 33.75 -> 33, 383 x 1.25 = 478.75 -> 478,
// 15 x 1.25 = 18.75 -> 18; 144: 27 x 1.5 = 40.5 -> 40, 383 x 1.5 = 574.5 -> 574, 22.5 -> 22.
constexpr Expected kExpected[] = {
    {120,
     {125, 100, 625, 475},
     {13, 3, 17, 15},
     {510, 208, 1410, 871},
     {722, 2, 1197, 82},
     {721, 33, 1221, 283},
     36},
    {144,
     {150, 120, 750, 570},
     {15, 3, 20, 18},
     {420, 142, 1500, 937},
     {675, 3, 1245, 99},
     {673, 40, 1273, 340},
     44},
};

class WindowDpiTest : public MainHostTest {
 protected:
  void SetUp() override {
    const char* dpi = std::getenv("KR_EXPECT_DPI");
    for (const Expected& row : kExpected) {
      if (dpi != nullptr && row.dpi == static_cast<UINT>(std::atoi(dpi))) {
        expected_ = &row;
      }
    }
    ASSERT_NE(expected_, nullptr) << "KR_EXPECT_DPI names the session's DPI, 144 or 120";
    ASSERT_TRUE(SameRect(WorkArea(), RECT{0, 0, 1920, 1080})) << Describe(WorkArea());
    StartMainHost();
    if (HasFatalFailure()) {
      return;
    }
    ASSERT_TRUE(log_->WaitForMessage("[KR] OnCreate done, main window ready"));
    ASSERT_EQ(::GetDpiForWindow(window_), expected_->dpi);
  }

  const Expected* expected_ = nullptr;
};

TEST_F(WindowDpiTest, EveryMethodRoundsAsItsOwn) {
  // First, while the card has no size of its own.
  ASSERT_TRUE(CallWindow("showFromIdle"));
  EXPECT_TRUE(WaitForRect(window_, expected_->idle)) << Describe(WindowRect(window_));
  ASSERT_TRUE(CallWindow("showCapsuleBar"));
  EXPECT_TRUE(WaitForRect(window_, expected_->bar)) << Describe(WindowRect(window_));

  // The position scales and stays as the size scales; the bounds' size is seen below.
  ASSERT_TRUE(CallWindow("setWindowBounds", Box(100, 80, 200, 100)));
  ASSERT_TRUE(CallWindow("setWindowSize", Args({{"w", 400.0}, {"h", 300.0}})));
  EXPECT_TRUE(WaitForRect(window_, expected_->bounds)) << Describe(WindowRect(window_));

  ASSERT_TRUE(CallWindow("setWindowRegion", Box(10.2, 2, 3, 10.2)));
  EXPECT_TRUE(HasRegion(window_, expected_->region));

  ASSERT_TRUE(CallWindow("setWindowBounds", Box(0, 0, 400, 200)));
  ASSERT_TRUE(CallWindow("positionTopCenter", Args({{"topOffset", 27.9}, {"width", 383.6}})));
  EXPECT_TRUE(WaitForRect(window_, expected_->top_center)) << Describe(WindowRect(window_));
  ASSERT_TRUE(CallWindow("setWindowRoundedCorners", Args({{"radius", int32_t{15}}})));
  RECT window = WindowRect(window_);
  EXPECT_TRUE(HasRegion(window_, RECT{0, 0, window.right - window.left, window.bottom - window.top},
                        expected_->corner_diameter));

  CallResult result = ui_->Call("kestrune/window", "setDesktopBounds");
  ASSERT_EQ(result.kind, CallResult::Kind::kSuccess);
  // 1920 x 1080 over 1.25 and over 1.5.
  EXPECT_EQ(result.value,
            expected_->dpi == 120
                ? Args({{"x", 0.0}, {"y", 0.0}, {"width", 1536.0}, {"height", 864.0}})
                : Args({{"x", 0.0}, {"y", 0.0}, {"width", 1280.0}, {"height", 720.0}}));
}

}  // namespace
}  // namespace kr_test

int main(int argc, char** argv) {
  // Physical pixels, as the host sees them.
  ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
