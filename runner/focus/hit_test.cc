#include "runner/focus/hit_test.h"

bool HitRectEmpty(const Bounds& rect) {
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

int HitTestInside(const Bounds& rect, int x, int y) {
  bool inside = rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom;
  return inside ? kHitClient : kHitTransparent;
}
