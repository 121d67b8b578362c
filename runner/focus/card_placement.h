#ifndef KESTRUNE_RUNNER_FOCUS_CARD_PLACEMENT_H_
#define KESTRUNE_RUNNER_FOCUS_CARD_PLACEMENT_H_

#include <cstdint>

#include "runner/focus/bounds.h"

// Where an expanded card goes and how large it is.

inline constexpr int kCardLogicalWidth = 720;
inline constexpr int kCardLogicalHeight = 530;
// A kept window smaller than this in either direction gets the default size back.
inline constexpr int kKeepSizeMinimum = 50;
// Cards lower than this sit a quarter of the free height down rather than centred.
inline constexpr int kLowCardHeight = 200;

struct CardSize {
  int width = 0;
  int height = 0;
  bool operator==(const CardSize&) const = default;
};

// 720 x 530 logical pixels at |dpi|, rounded half away from zero.
CardSize DefaultCardSize(uint32_t dpi);

// The size an expand gives the card: the window's current outer size when it
// is to be kept and is at least 50 x 50, else the default.
CardSize ExpandCardSize(uint32_t dpi, bool keep_window_size, int current_width, int current_height);

// The size an expand gives the card on a monitor of |target_dpi| while the
// window still is on one of |window_dpi|: the default at the target's dpi, or
// the kept size (measured at the window's dpi) converted to the target's, so
// the card has its size on the monitor it is placed on.
CardSize CardSizeOnMonitor(uint32_t target_dpi,
                           uint32_t window_dpi,
                           bool keep_window_size,
                           int current_width,
                           int current_height);

// Centred horizontally in |work|; vertically centred, or a quarter of the free
// height down for a low card. Integer division truncates toward zero.
PixelPoint PlaceCard(const CardSize& size, const Bounds& work);

// True when |window| covers the whole of |monitor|.
bool CoversMonitor(const Bounds& window, const Bounds& monitor);

// Hotkey ids the full-screen guard may ignore: all but quit (3).
bool FullScreenGuardApplies(int id);

#endif  // KESTRUNE_RUNNER_FOCUS_CARD_PLACEMENT_H_
