#include "runner/focus/card_placement.h"

#include <cmath>

namespace {

int ScaleLogical(int logical, uint32_t dpi) {
  return static_cast<int>(std::lround(static_cast<double>(logical) * dpi / 96.0));
}

}  // namespace

CardSize DefaultCardSize(uint32_t dpi) {
  return CardSize{ScaleLogical(kCardLogicalWidth, dpi), ScaleLogical(kCardLogicalHeight, dpi)};
}

CardSize ExpandCardSize(uint32_t dpi,
                        bool keep_window_size,
                        int current_width,
                        int current_height) {
  if (keep_window_size && current_width >= kKeepSizeMinimum && current_height >= kKeepSizeMinimum) {
    return CardSize{current_width, current_height};
  }
  return DefaultCardSize(dpi);
}

PixelPoint PlaceCard(const CardSize& size, const Bounds& work) {
  int divisor = size.height < kLowCardHeight ? 4 : 2;
  return PixelPoint{work.left + (work.right - work.left - size.width) / 2,
                    work.top + (work.bottom - work.top - size.height) / divisor};
}

bool CoversMonitor(const Bounds& window, const Bounds& monitor) {
  return window.left <= monitor.left && window.top <= monitor.top &&
         window.right >= monitor.right && window.bottom >= monitor.bottom;
}

bool FullScreenGuardApplies(int id) {
  return id != 3;
}
