#ifndef KESTRUNE_RUNNER_FOCUS_CLAMP_H_
#define KESTRUNE_RUNNER_FOCUS_CLAMP_H_

#include <optional>

// A rectangle as left, top, width, height.
struct Placement {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Placement&) const = default;
};

// Where a window of |width| x |height| goes when clamped into the work area
// |work| (whose x and y are its left and top): nothing when it already fits
// (its position is then left alone) or has no size; otherwise shrunk
// proportionally and centred.
std::optional<Placement> ClampIntoWorkArea(int width, int height, const Placement& work);

#endif  // KESTRUNE_RUNNER_FOCUS_CLAMP_H_
