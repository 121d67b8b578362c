#include "runner/focus/hit_test.h"

#include <gtest/gtest.h>

namespace {

TEST(HitTest, EmptyRectangles) {
  EXPECT_TRUE(HitRectEmpty({}));
  EXPECT_TRUE(HitRectEmpty({10, 0, 10, 40}));
  EXPECT_TRUE(HitRectEmpty({10, 40, 111, 40}));
  EXPECT_TRUE(HitRectEmpty({10, 0, 5, 40}));
  EXPECT_FALSE(HitRectEmpty({10, 0, 11, 1}));
}

TEST(HitTest, EdgesAreInclusive) {
  Bounds rect{10, 0, 111, 40};
  EXPECT_EQ(HitTestInside(rect, 10, 0), kHitClient);
  EXPECT_EQ(HitTestInside(rect, 111, 40), kHitClient);
  EXPECT_EQ(HitTestInside(rect, 112, 20), kHitTransparent);
  EXPECT_EQ(HitTestInside(rect, 50, 41), kHitTransparent);
  EXPECT_EQ(HitTestInside(rect, 9, 20), kHitTransparent);
  EXPECT_EQ(HitTestInside(rect, 50, -1), kHitTransparent);
}

}  // namespace
