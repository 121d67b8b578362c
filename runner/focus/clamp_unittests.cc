#include "runner/focus/clamp.h"

#include <gtest/gtest.h>

namespace {

TEST(ClampIntoWorkArea, ShrinksProportionallyAndCentres) {
  // 1000 x 900 into 800 x 600: the height decides, 2/3.
  EXPECT_EQ(ClampIntoWorkArea(1000, 900, {0, 0, 800, 600}), (Placement{67, 0, 666, 600}));
  // The width decides.
  EXPECT_EQ(ClampIntoWorkArea(1600, 300, {0, 0, 800, 600}), (Placement{0, 225, 800, 150}));
  // Work areas that do not start at the origin.
  EXPECT_EQ(ClampIntoWorkArea(1000, 900, {100, 40, 800, 600}), (Placement{167, 40, 666, 600}));
}

TEST(ClampIntoWorkArea, LeavesWindowsThatFitAlone) {
  // Partly off-screen but small enough: position is not corrected.
  EXPECT_EQ(ClampIntoWorkArea(300, 200, {0, 0, 800, 600}), std::nullopt);
  EXPECT_EQ(ClampIntoWorkArea(800, 600, {0, 0, 800, 600}), std::nullopt);
  EXPECT_EQ(ClampIntoWorkArea(0, 200, {0, 0, 800, 600}), std::nullopt);
  EXPECT_EQ(ClampIntoWorkArea(200, -5, {0, 0, 800, 600}), std::nullopt);
}

TEST(ClampIntoWorkArea, OnlyOneSideTooLarge) {
  EXPECT_EQ(ClampIntoWorkArea(801, 10, {0, 0, 800, 600}), (Placement{0, 295, 800, 9}));
}

}  // namespace
