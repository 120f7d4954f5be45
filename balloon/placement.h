// Where a balloon stands while others are shown: stacked upwards from its own place, in columns
// leftwards, never over another one. Pixels of the screen, origin at its top left.
#pragma once

#include <span>

#include "balloon/tipDesign.h"

namespace balloon {

// The gap between neighbouring balloons, so that their borders stay apart.
inline constexpr int kPlaceGap = 4;

// FIRST is where the balloon stands when alone; TAKEN are the balloons shown. The first free
// place wins, bottom up, then column by column to the left: FIRST, or one wholly on the screen.
// When none is free, FIRST again, since no place is better than the one the user expects.
Rect PlaceBalloon(const Rect& first, int screenWidth, int screenHeight,
                  std::span<const Rect> taken);

// Where a shown balloon goes when the DPI of its screen changes from FROM to TO and its size
// becomes WIDTH x HEIGHT: its distances from the screen's right and bottom edges scale with the
// DPI, as every other balloon's do, so that a stack keeps its order and its gaps and a lone one
// stays on the bottom edge; a place past the screen's top or left edge is moved onto it.
Rect Rescaled(const Rect& shown, int width, int height, const Rect& screen, int from, int to);

}  // namespace balloon
