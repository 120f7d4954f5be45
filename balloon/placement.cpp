#include "balloon/placement.h"

#include <algorithm>

namespace balloon {
namespace {

bool Overlap(const Rect& a, const Rect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

bool Free(const Rect& place, std::span<const Rect> taken) {
  return std::none_of(taken.begin(), taken.end(), [&](const Rect& t) { return Overlap(place, t); });
}

}  // namespace

Rect PlaceBalloon(const Rect& first, int screenWidth, int screenHeight,
                  std::span<const Rect> taken) {
  if (Free(first, taken) || first.width <= 0 || first.height <= 0) return first;
  const bool fitsAcross = first.left + first.width <= screenWidth;
  const bool fitsDown = first.top + first.height <= screenHeight;
  if (!fitsAcross || !fitsDown) return first;
  for (int left = first.left; left >= 0; left -= first.width + kPlaceGap) {
    for (int top = first.top; top >= 0; top -= first.height + kPlaceGap) {
      const Rect place{left, top, first.width, first.height};
      if (Free(place, taken)) return place;
    }
  }
  return first;
}

}  // namespace balloon
