#ifndef KESTRUNE_CHANNELS_WINDOW_WINDOW_PLACEMENT_H_
#define KESTRUNE_CHANNELS_WINDOW_WINDOW_PLACEMENT_H_

#include <cstdint>
#include <optional>

#include "runner/focus/bounds.h"
#include "runner/focus/clamp.h"

// Arithmetic of the window channels: DPI scaling, rounding and placement in a
// work area. Plain values only; the Win32 side gathers the facts and acts.

// Conversions to int that never overflow: half away from zero, or toward zero;
// values beyond int saturate, NaN gives 0.
int RoundToInt(double value);
int TruncateToInt(double value);

// Physical pixels per logical pixel; a dpi of 0 (no window) counts as 96.
double DpiScale(unsigned dpi);

// Left edge that centres |width| in |work|, the halving truncating toward zero.
int CentredLeft(const Placement& work, int width);

// "setTopCenter": centred horizontally, touching the work-area top.
PixelPoint TopCentre(const Placement& work, int width);

// "positionTopCenter": centred for |width_logical| (the current width when
// that is not positive), |top_offset_logical| below the work-area top. Both
// logical values are truncated before and after scaling.
PixelPoint PositionTopCentre(const Placement& work,
                             int current_width,
                             double top_offset_logical,
                             double width_logical,
                             double scale);

// "setCenterScreen": centred, never above the work-area top.
PixelPoint CentreInWorkArea(const Placement& work, int width, int height);

struct LogicalBounds {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

// The work area in logical pixels.
LogicalBounds LogicalWorkArea(const Placement& work, double scale);

// A logical rectangle in physical pixels, each edge rounded on its own.
Bounds ScaledEdges(double x, double y, double w, double h, double scale);

// Ellipse diameter of the rounded corners for |radius_logical|: twice the
// truncated scaled radius.
int CornerEllipse(int radius_logical, double scale);

struct LayeredAlpha {
  int32_t logged = 0;  // opacity x 255 / 100 as the log shows it
  uint8_t byte = 0;    // what the window gets: the low 8 bits
};
LayeredAlpha OpacityToAlpha(int32_t opacity);

struct Backdrop {
  int32_t type = 0;  // DWMWA_SYSTEMBACKDROP_TYPE value
  bool white_border = false;
};
Backdrop MaterialBackdrop(int32_t material);

// Size kept by "hideOffScreen": a side of 2 px or less becomes 720 x 530.
PixelPoint OffScreenSize(int width, int height);

// The capsule's island bar: 380 x 64 logical pixels centred, about 2 logical
// px below the work-area top; at the origin without a work area.
Placement CapsuleBarPlacement(const std::optional<Placement>& work, double scale);

// The hit rectangle for an island at |x|, |y| of |w| x |h| client pixels;
// nothing for a side of 1 px or less.
std::optional<Bounds> HitRectangle(double x, double y, double w, double h);

#endif  // KESTRUNE_CHANNELS_WINDOW_WINDOW_PLACEMENT_H_
