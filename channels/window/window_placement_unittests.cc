#include "channels/window/window_placement.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

const Placement kWork{0, 0, 1920, 1040};

TEST(RoundToInt, HalvesGoAwayFromZero) {
  EXPECT_EQ(RoundToInt(0.5), 1);
  EXPECT_EQ(RoundToInt(-0.5), -1);
  EXPECT_EQ(RoundToInt(2.5), 3);
  EXPECT_EQ(RoundToInt(-2.5), -3);
  EXPECT_EQ(RoundToInt(2.4999), 2);
  EXPECT_EQ(RoundToInt(110.9), 111);
}

TEST(RoundToInt, SaturatesAndMapsNanToZero) {
  EXPECT_EQ(RoundToInt(1e12), INT_MAX);
  EXPECT_EQ(RoundToInt(-1e12), INT_MIN);
  EXPECT_EQ(RoundToInt(std::numeric_limits<double>::infinity()), INT_MAX);
  EXPECT_EQ(RoundToInt(std::nan("")), 0);
}

TEST(TruncateToInt, GoesTowardZero) {
  EXPECT_EQ(TruncateToInt(2.9), 2);
  EXPECT_EQ(TruncateToInt(-2.9), -2);
  EXPECT_EQ(TruncateToInt(-1e300), INT_MIN);
  EXPECT_EQ(TruncateToInt(std::nan("")), 0);
}

TEST(DpiScale, IsDpiOverNinetySix) {
  EXPECT_DOUBLE_EQ(DpiScale(96), 1.0);
  EXPECT_DOUBLE_EQ(DpiScale(120), 1.25);
  EXPECT_DOUBLE_EQ(DpiScale(144), 1.5);
  EXPECT_DOUBLE_EQ(DpiScale(0), 1.0);
}

TEST(TopCentre, CentresAndTouchesTheTop) {
  EXPECT_EQ(TopCentre({100, 40, 1920, 1040}, 721), (PixelPoint{100 + 599, 40}));
  // The halving truncates toward zero, also for a window wider than the area.
  EXPECT_EQ(TopCentre({0, 0, 100, 100}, 201), (PixelPoint{-50, 0}));
}

TEST(PositionTopCentre, ScalesTruncatedValues) {
  // 300.9 -> 300 logical -> 450 px at 1.5; offset 28.7 -> 28 -> 42.
  EXPECT_EQ(PositionTopCentre(kWork, 800, 28.7, 300.9, 1.5), (PixelPoint{(1920 - 450) / 2, 42}));
  // 28 x 1.25 = 35; 101 x 1.25 = 126.25 -> 126.
  EXPECT_EQ(PositionTopCentre(kWork, 800, 28, 101, 1.25), (PixelPoint{(1920 - 126) / 2, 35}));
}

TEST(PositionTopCentre, NoWidthKeepsTheCurrentOne) {
  EXPECT_EQ(PositionTopCentre(kWork, 800, 28, 0, 1.0), (PixelPoint{560, 28}));
  EXPECT_EQ(PositionTopCentre(kWork, 800, 28, 0.9, 1.0), (PixelPoint{560, 28}));
  EXPECT_EQ(PositionTopCentre(kWork, 800, 0, -5, 1.0), (PixelPoint{560, 0}));
}

TEST(PositionTopCentre, HugeValuesDoNotOverflow) {
  PixelPoint p = PositionTopCentre({0, 100, 1920, 1040}, 800, 1e300, 1e300, 1.5);
  EXPECT_EQ(p.y, INT_MAX);
  EXPECT_EQ(p.x, (1920LL - INT_MAX) / 2);
}

TEST(CentreInWorkArea, NeverAboveTheTop) {
  EXPECT_EQ(CentreInWorkArea({10, 20, 1000, 800}, 400, 300), (PixelPoint{310, 270}));
  EXPECT_EQ(CentreInWorkArea({10, 20, 1000, 800}, 400, 1200), (PixelPoint{310, 20}));
}

TEST(LogicalWorkArea, DividesByTheScale) {
  LogicalBounds bounds = LogicalWorkArea({0, 0, 1920, 1040}, 1.5);
  EXPECT_DOUBLE_EQ(bounds.width, 1280.0);
  EXPECT_NEAR(bounds.height, 693.33, 0.005);
  EXPECT_DOUBLE_EQ(bounds.x, 0.0);
  LogicalBounds offset = LogicalWorkArea({-1920, 30, 1920, 1050}, 1.25);
  EXPECT_DOUBLE_EQ(offset.x, -1536.0);
  EXPECT_DOUBLE_EQ(offset.y, 24.0);
}

TEST(ScaledEdges, RoundsEachEdgeOnItsOwn) {
  // At 120 dpi: 10.2 x 1.25 = 12.75 -> 13; (10.2 + 3) x 1.25 = 16.5 -> 17, so
  // the width is 4 although 3 x 1.25 = 3.75.
  EXPECT_EQ(ScaledEdges(10.2, 2, 3, 10.2, 1.25), (Bounds{13, 3, 17, 15}));
  EXPECT_EQ(ScaledEdges(0, 0, 400, 300, 1.5), (Bounds{0, 0, 600, 450}));
  EXPECT_EQ(ScaledEdges(-0.2, -0.4, 1, 1, 1.25), (Bounds{0, -1, 1, 1}));
}

TEST(CornerEllipse, TwiceTheTruncatedRadius) {
  EXPECT_EQ(CornerEllipse(14, 1.0), 28);
  EXPECT_EQ(CornerEllipse(14, 1.25), 34);  // 17.5 -> 17
  EXPECT_EQ(CornerEllipse(14, 1.5), 42);
  EXPECT_EQ(CornerEllipse(INT_MAX, 1.5), INT_MAX);
}

TEST(OpacityToAlpha, TruncatesAndKeepsTheLowByte) {
  EXPECT_EQ(OpacityToAlpha(50).logged, 127);
  EXPECT_EQ(OpacityToAlpha(50).byte, 127);
  EXPECT_EQ(OpacityToAlpha(100).byte, 255);
  EXPECT_EQ(OpacityToAlpha(0).byte, 0);
  EXPECT_EQ(OpacityToAlpha(101).logged, 257);
  EXPECT_EQ(OpacityToAlpha(101).byte, 1);
  EXPECT_EQ(OpacityToAlpha(-1).logged, -2);
  EXPECT_EQ(OpacityToAlpha(INT32_MAX).logged, static_cast<int32_t>(INT32_MAX * 255LL / 100));
}

TEST(MaterialBackdrop, MapsMaterialsAndBorders) {
  EXPECT_EQ(MaterialBackdrop(1).type, 2);
  EXPECT_TRUE(MaterialBackdrop(1).white_border);
  EXPECT_EQ(MaterialBackdrop(2).type, 3);
  EXPECT_TRUE(MaterialBackdrop(2).white_border);
  EXPECT_EQ(MaterialBackdrop(0).type, 0);
  EXPECT_FALSE(MaterialBackdrop(0).white_border);
  EXPECT_EQ(MaterialBackdrop(5).type, 0);
  EXPECT_TRUE(MaterialBackdrop(5).white_border);
  EXPECT_EQ(MaterialBackdrop(-3).type, 0);
  EXPECT_FALSE(MaterialBackdrop(-3).white_border);
}

TEST(OffScreenSize, ReplacesTinySides) {
  EXPECT_EQ(OffScreenSize(0, 0), (PixelPoint{720, 530}));
  EXPECT_EQ(OffScreenSize(2, 300), (PixelPoint{720, 300}));
  EXPECT_EQ(OffScreenSize(3, 2), (PixelPoint{3, 530}));
}

TEST(CapsuleBarPlacement, CentresBelowTheTop) {
  EXPECT_EQ(CapsuleBarPlacement(kWork, 1.0), (Placement{770, 2, 380, 64}));
  EXPECT_EQ(CapsuleBarPlacement(kWork, 1.5), (Placement{675, 3, 570, 96}));
  // 2 x 1.25 = 2.5 truncates to 2; 380 x 1.25 = 475, 64 x 1.25 = 80.
  EXPECT_EQ(CapsuleBarPlacement(Placement{0, 40, 1920, 1000}, 1.25), (Placement{722, 42, 475, 80}));
  EXPECT_EQ(CapsuleBarPlacement(std::nullopt, 1.5), (Placement{0, 0, 570, 96}));
}

TEST(HitRectangle, RoundsEdgesAndIgnoresTinySizes) {
  EXPECT_EQ(HitRectangle(10.4, 0, 100.5, 40), (Bounds{10, 0, 111, 40}));
  EXPECT_EQ(HitRectangle(10, 0, 100, 40), (Bounds{10, 0, 110, 40}));
  EXPECT_FALSE(HitRectangle(0, 0, 1.0, 40));
  EXPECT_FALSE(HitRectangle(0, 0, 40, 1.0));
  EXPECT_TRUE(HitRectangle(0, 0, 1.01, 1.01));
  EXPECT_FALSE(HitRectangle(0, 0, std::nan(""), 40));
}

}  // namespace
