// Where a balloon stands while others are shown: stacked upwards from its own place, in columns
// leftwards, never over another one, clear of the taskbar. Pixels of the virtual screen, origin
// at the primary monitor's top left.
#pragma once

#include <span>

#include "balloon/tipDesign.h"

namespace balloon {

// The gap between neighbouring balloons, so that their borders stay apart.
inline constexpr int kPlaceGap = 4;

// ALONE is where the balloon stands when alone on MONITOR without a taskbar; WORK is the
// monitor's work area, which leaves the taskbar and the desktop's toolbars out. The balloon keeps
// its distances from the right and bottom edges, measured from the work area's: that is FIRST.
// TAKEN are the balloons shown. The first free place wins, bottom up, then column by column to
// the left: FIRST, or one wholly in the work area. When none is free, FIRST again, since no
// place is better than the one the user expects.
Rect PlaceBalloon(const Rect& alone, const Rect& monitor, const Rect& work,
                  std::span<const Rect> taken);

// Where a shown balloon goes when the DPI of its monitor changes from FROM to TO and its size
// becomes WIDTH x HEIGHT: its distances from the right and bottom edges of WORK, the monitor's
// work area, scale with the DPI, as every other balloon's do, so that a stack keeps its order and
// its gaps and a lone one stays on the work area's bottom edge; a place past the work area's top
// or left edge is moved onto it.
Rect Rescaled(const Rect& shown, int width, int height, const Rect& work, int from, int to);

}  // namespace balloon
