#ifndef KESTRUNE_RUNNER_FOCUS_BOUNDS_H_
#define KESTRUNE_RUNNER_FOCUS_BOUNDS_H_

#include <cstdint>

// Plain pixel geometry for the portable decisions.

// A rectangle by its edges, as Win32's RECT.
struct Bounds {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const Bounds&) const = default;
};

// A position (or, where a function says so, a size) in pixels.
struct PixelPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const PixelPoint&) const = default;
};

#endif  // KESTRUNE_RUNNER_FOCUS_BOUNDS_H_
