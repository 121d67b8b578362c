#include "channels/window/window_placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

const Placement kWork{0, 0, 1920, 1040};

TEST(Conversions, RoundHalfAwayTruncateTowardZeroSaturateNanToZero) {
  const struct {
    double value;
    int rounded, truncated;
  } rows[] = {
      {-0.5, -1, 0},
      {2.5, 3, 2},
      {-2.9, -3, -2},
      {1e12, INT_MAX, INT_MAX},
      {-1e300, INT_MIN, INT_MIN},
      {NAN, 0, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(RoundToInt(row.value), row.rounded) << row.value;
    EXPECT_EQ(TruncateToInt(row.value), row.truncated) << row.value;
  }
}

TEST(Placement, CentredHalvingTowardZeroNeverAboveTheTop) {
  EXPECT_EQ(TopCentre({100, 40, 1920, 1040}, 721), (PixelPoint{699, 40}));
  EXPECT_EQ(TopCentre({0, 0, 100, 100}, 201), (PixelPoint{-50, 0}));  // -101 / 2
  EXPECT_EQ(CentreInWorkArea({10, 20, 1000, 800}, 400, 1200), (PixelPoint{310, 20}));
  EXPECT_EQ(CapsuleBarPlacement(std::nullopt, 1.5), (Placement{0, 0, 570, 96}));
  const struct {
    double offset, width, scale;
    PixelPoint at;
  } rows[] = {
      {0, -5, 1.0, {560, 0}},  // no width: the current 800
      {1e300, 1e300, 1.5, {static_cast<int>((1920LL - INT_MAX) / 2), INT_MAX}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PositionTopCentre(kWork, 800, row.offset, row.width, row.scale), row.at)
        << row.offset << " " << row.width;
  }
}

// Rounding at 1.25 and 1.5 is seen with the real executable at those scales.
TEST(Scaling, EdgesRoundOnTheirOwnCornersAndAlphaTruncateTinyHitRegionsAreNone) {
  EXPECT_TRUE(HitRectangle(0, 0, 1.01, 1.01));
  EXPECT_FALSE(HitRectangle(0, 0, 1.0, 40) || HitRectangle(0, 0, 40, 1.0) ||
               HitRectangle(0, 0, NAN, 40));
  EXPECT_EQ(ScaledEdges(-0.2, -0.4, 1, 1, 1.25), (Bounds{0, -1, 1, 1}));
  EXPECT_EQ(CornerEllipse(INT_MAX, 1.5), INT_MAX);
  EXPECT_EQ(OpacityToAlpha(101).logged, 257);
  EXPECT_EQ(OpacityToAlpha(101).byte, 1);                   // only the low byte reaches the window
  EXPECT_EQ(OpacityToAlpha(INT32_MAX).logged, 1181116003);  // 5476083299 in 64 bits
}

}  // namespace
