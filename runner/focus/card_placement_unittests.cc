#include "runner/focus/card_placement.h"

#include <gtest/gtest.h>

namespace {

TEST(CardSize, DefaultScalesWithDpiRoundingHalfAway) {
  EXPECT_EQ(DefaultCardSize(96), (CardSize{720, 530}));
  EXPECT_EQ(DefaultCardSize(144), (CardSize{1080, 795}));
  EXPECT_EQ(DefaultCardSize(120), (CardSize{900, 663}));  // 662.5 rounds up
  EXPECT_EQ(DefaultCardSize(97), (CardSize{728, 536}));   // 727.5, 535.52
}

TEST(CardSize, KeptSizeNeedsFiftyEachWay) {
  EXPECT_EQ(ExpandCardSize(96, true, 400, 300), (CardSize{400, 300}));
  EXPECT_EQ(ExpandCardSize(96, true, 50, 50), (CardSize{50, 50}));
  EXPECT_EQ(ExpandCardSize(96, true, 49, 300), (CardSize{720, 530}));
  EXPECT_EQ(ExpandCardSize(96, true, 400, 49), (CardSize{720, 530}));
  EXPECT_EQ(ExpandCardSize(144, false, 400, 300), (CardSize{1080, 795}));
}

TEST(PlaceCard, CentredInTheWorkArea) {
  EXPECT_EQ(PlaceCard({720, 530}, {0, 0, 1920, 1080}), (PixelPoint{600, 275}));
  EXPECT_EQ(PlaceCard({720, 530}, {100, 40, 1380, 1040}), (PixelPoint{380, 275}));
  // Odd free space truncates.
  EXPECT_EQ(PlaceCard({721, 531}, {0, 0, 1920, 1080}), (PixelPoint{599, 274}));
}

TEST(PlaceCard, LowCardsSitAQuarterDown) {
  EXPECT_EQ(PlaceCard({720, 199}, {0, 0, 1920, 1080}), (PixelPoint{600, 220}));
  EXPECT_EQ(PlaceCard({720, 200}, {0, 0, 1920, 1080}), (PixelPoint{600, 440}));
}

TEST(PlaceCard, LargerThanTheWorkAreaTruncatesTowardZero) {
  // Free space -101: half is -50, not -51.
  EXPECT_EQ(PlaceCard({821, 530}, {0, 0, 720, 530}), (PixelPoint{-50, 0}));
  EXPECT_EQ(PlaceCard({720, 131}, {0, 0, 720, 128}), (PixelPoint{0, 0}));  // -3 / 4
}

TEST(FullScreen, CoversWholeMonitorOnly) {
  Bounds monitor{0, 0, 1920, 1080};
  EXPECT_TRUE(CoversMonitor({0, 0, 1920, 1080}, monitor));
  EXPECT_TRUE(CoversMonitor({-8, -8, 1928, 1088}, monitor));
  EXPECT_FALSE(CoversMonitor({0, 0, 1920, 1079}, monitor));
  EXPECT_FALSE(CoversMonitor({1, 0, 1920, 1080}, monitor));
}

TEST(FullScreen, QuitIsNeverIgnored) {
  for (int id : {1, 2, 9, 10, 11}) {
    EXPECT_TRUE(FullScreenGuardApplies(id)) << id;
  }
  EXPECT_FALSE(FullScreenGuardApplies(3));
}

}  // namespace
