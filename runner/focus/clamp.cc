#include "runner/focus/clamp.h"

#include <algorithm>

std::optional<Placement> ClampIntoWorkArea(int width, int height, const Placement& work) {
  if (width <= 0 || height <= 0) {
    return std::nullopt;
  }
  if (width <= work.width && height <= work.height) {
    return std::nullopt;
  }
  double scale = 1.0;
  if (width > work.width) {
    scale = std::min(static_cast<double>(work.width) / width, 1.0);
  }
  if (height > work.height) {
    scale = std::min(static_cast<double>(work.height) / height, scale);
  }
  Placement placed;
  placed.width = static_cast<int>(width * scale);
  placed.height = static_cast<int>(height * scale);
  placed.x = work.x + (work.width - placed.width) / 2;
  placed.y = work.y + (work.height - placed.height) / 2;
  return placed;
}
