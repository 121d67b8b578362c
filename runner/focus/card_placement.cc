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

CardSize CardSizeOnMonitor(uint32_t target_dpi,
                           uint32_t window_dpi,
                           bool keep_window_size,
                           int current_width,
                           int current_height) {
  CardSize size = ExpandCardSize(target_dpi, keep_window_size, current_width, current_height);
  const bool kept =
      keep_window_size && current_width >= kKeepSizeMinimum && current_height >= kKeepSizeMinimum;
  if (!kept || window_dpi == 0 || window_dpi == target_dpi) {
    return size;
  }
  // Rounded half away from zero; sizes are positive here.
  const auto convert = [&](int pixels) {
    return static_cast<int>((static_cast<int64_t>(pixels) * target_dpi * 2 + window_dpi) /
                            (2 * static_cast<int64_t>(window_dpi)));
  };
  return CardSize{convert(size.width), convert(size.height)};
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
