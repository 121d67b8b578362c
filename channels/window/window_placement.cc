#include "channels/window/window_placement.h"

#include <climits>
#include <cmath>

namespace {

int SaturateToInt(long long value) {
  return value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int SaturateToInt(double value) {
  if (std::isnan(value)) {
    return 0;
  }
  if (value <= static_cast<double>(INT_MIN)) {
    return INT_MIN;
  }
  if (value >= static_cast<double>(INT_MAX)) {
    return INT_MAX;
  }
  return static_cast<int>(value);
}

}  // namespace

int RoundToInt(double value) {
  return SaturateToInt(std::round(value));
}

int TruncateToInt(double value) {
  return SaturateToInt(std::trunc(value));
}

double DpiScale(unsigned dpi) {
  return (dpi == 0 ? 96 : dpi) / 96.0;
}

int CentredLeft(const Placement& work, int width) {
  // In 64 bits: a width from the interface may be anything.
  return SaturateToInt(work.x + (static_cast<long long>(work.width) - width) / 2);
}

PixelPoint TopCentre(const Placement& work, int width) {
  return {CentredLeft(work, width), work.y};
}

PixelPoint PositionTopCentre(const Placement& work,
                             int current_width,
                             double top_offset_logical,
                             double width_logical,
                             double scale) {
  int top_offset = TruncateToInt(top_offset_logical);
  int width = TruncateToInt(width_logical);
  int physical_width = width <= 0 ? current_width : TruncateToInt(width * scale);
  return {CentredLeft(work, physical_width),
          SaturateToInt(work.y + static_cast<long long>(TruncateToInt(top_offset * scale)))};
}

PixelPoint CentreInWorkArea(const Placement& work, int width, int height) {
  int y = SaturateToInt(work.y + (static_cast<long long>(work.height) - height) / 2);
  return {CentredLeft(work, width), y < work.y ? work.y : y};
}

LogicalBounds LogicalWorkArea(const Placement& work, double scale) {
  return {work.x / scale, work.y / scale, work.width / scale, work.height / scale};
}

Bounds ScaledEdges(double x, double y, double w, double h, double scale) {
  return {RoundToInt(x * scale), RoundToInt(y * scale), RoundToInt((x + w) * scale),
          RoundToInt((y + h) * scale)};
}

int CornerEllipse(int radius_logical, double scale) {
  return SaturateToInt(2LL * TruncateToInt(radius_logical * scale));
}

LayeredAlpha OpacityToAlpha(int32_t opacity) {
  // The caller keeps opacity within 0..100; beyond it the product must still
  // not overflow, and only the low 8 bits reach the window.
  long long alpha = static_cast<long long>(opacity) * 255 / 100;
  return {static_cast<int32_t>(alpha), static_cast<uint8_t>(alpha)};
}

Backdrop MaterialBackdrop(int32_t material) {
  Backdrop backdrop;
  backdrop.type = material == 1 ? 2 : material == 2 ? 3 : 0;
  backdrop.white_border = material >= 1;
  return backdrop;
}

PixelPoint OffScreenSize(int width, int height) {
  return {width <= 2 ? 720 : width, height <= 2 ? 530 : height};
}

Placement CapsuleBarPlacement(const std::optional<Placement>& work, double scale) {
  Placement bar;
  bar.width = RoundToInt(380 * scale);
  bar.height = RoundToInt(64 * scale);
  if (work) {
    bar.x = CentredLeft(*work, bar.width);
    bar.y = SaturateToInt(work->y - static_cast<long long>(TruncateToInt(-2.0 * scale)));
  }
  return bar;
}

std::optional<Bounds> HitRectangle(double x, double y, double w, double h) {
  if (!(w > 1.0 && h > 1.0)) {
    return std::nullopt;
  }
  return Bounds{RoundToInt(x), RoundToInt(y), RoundToInt(x + w), RoundToInt(y + h)};
}
