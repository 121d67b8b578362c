// Placing, clamping and hit-testing the card on the screen.
#include "runner/focus/card_placement.h"

#include <gtest/gtest.h>

#include "runner/focus/clamp.h"
#include "runner/focus/hit_test.h"

namespace {

// Scaled rounding half up, sizes of fifty or more kept; then the window on a 96 dpi
// monitor, the cursor on a 144 dpi one to its right: the size is that of the target.
TEST(CardSize, ScalesWithDpiKeepsSizesOfFiftyOrMoreAndIsThatOfTheMonitorItIsPlacedOn) {
  EXPECT_EQ(DefaultCardSize(97), (CardSize{728, 536}));  // 727.5, 535.52
  EXPECT_EQ(ExpandCardSize(96, true, 50, 50), (CardSize{50, 50}));
  EXPECT_EQ(ExpandCardSize(96, true, 400, 49), (CardSize{720, 530}));
  EXPECT_EQ(CardSizeOnMonitor(144, 96, false, 400, 300), (CardSize{1080, 795}));
  EXPECT_EQ(CardSizeOnMonitor(96, 144, false, 1080, 795), (CardSize{720, 530}));
  EXPECT_EQ(CardSizeOnMonitor(144, 96, true, 401, 300), (CardSize{602, 450}));  // 601.5
  EXPECT_EQ(CardSizeOnMonitor(120, 144, true, 1081, 60), (CardSize{901, 50}));  // 900.8
  EXPECT_EQ(CardSizeOnMonitor(144, 96, true, 400, 49), (CardSize{1080, 795}));
  // Centred in the target monitor's work area at that size.
  EXPECT_EQ(PlaceCard(CardSizeOnMonitor(144, 96, false, 400, 300), {1920, 0, 4800, 1560}),
            (PixelPoint{2820, 382}));
}

TEST(PlaceCard, CentresLowCardsAQuarterDownTruncatingTowardZero) {
  const struct {
    CardSize size;
    Bounds work;
    PixelPoint at;
  } rows[] = {
      {{720, 530}, {100, 40, 1380, 1040}, {380, 275}},
      {{721, 531}, {0, 0, 1920, 1080}, {599, 274}},
      {{821, 530}, {0, 0, 720, 530}, {-50, 0}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PlaceCard(row.size, row.work), row.at) << row.size.width << "x" << row.size.height;
  }
  Bounds monitor{0, 0, 1920, 1080};
  EXPECT_TRUE(CoversMonitor({-8, -8, 1928, 1088}, monitor));
  EXPECT_FALSE(CoversMonitor({1, 0, 1920, 1080}, monitor));
  // A region of no height is none; its edges are seen with the real executable.
  EXPECT_TRUE(HitRectEmpty({10, 40, 111, 40}));
  EXPECT_FALSE(HitRectEmpty({10, 0, 11, 1}));
}

TEST(ClampIntoWorkArea, ShrinksProportionallyAndCentresOnlyWhatDoesNotFit) {
  const struct {
    int width, height;
    Placement work;
    std::optional<Placement> placed;
  } rows[] = {
      {1000, 900, {100, 40, 800, 600}, Placement{167, 40, 666, 600}},
      {801, 10, {0, 0, 800, 600}, Placement{0, 295, 800, 9}},
      {800, 600, {0, 0, 800, 600}, std::nullopt},
      {200, -5, {0, 0, 800, 600}, std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ClampIntoWorkArea(row.width, row.height, row.work), row.placed) << row.width;
  }
}

}  // namespace
