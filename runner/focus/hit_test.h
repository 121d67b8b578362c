#ifndef KESTRUNE_RUNNER_FOCUS_HIT_TEST_H_
#define KESTRUNE_RUNNER_FOCUS_HIT_TEST_H_

#include "runner/focus/bounds.h"

// Hit-test answers, with the values of HTCLIENT and HTTRANSPARENT.
inline constexpr int kHitClient = 1;
inline constexpr int kHitTransparent = -1;

// A hit rectangle is empty when it has no width or no height.
bool HitRectEmpty(const Bounds& rect);

// The answer for client point (x, y): inside with both edges inclusive is the
// client area, anything else falls through to the windows beneath.
int HitTestInside(const Bounds& rect, int x, int y);

#endif  // KESTRUNE_RUNNER_FOCUS_HIT_TEST_H_
