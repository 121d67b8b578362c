#ifndef KESTRUNE_RUNNER_FOCUS_BOUNDS_H_
#define KESTRUNE_RUNNER_FOCUS_BOUNDS_H_

#include <cstdint>

// A rectangle by its edges, as Win32's RECT, for the portable decisions.
struct Bounds {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const Bounds&) const = default;
};

#endif  // KESTRUNE_RUNNER_FOCUS_BOUNDS_H_
