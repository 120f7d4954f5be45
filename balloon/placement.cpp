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

Rect Rescaled(const Rect& shown, int width, int height, const Rect& screen, int from, int to) {
  const auto scaled = [&](int distance) {
    return RoundHalfEven(static_cast<double>(distance) * to / from);
  };
  const int right =
      screen.left + screen.width - scaled(screen.left + screen.width - shown.left - shown.width);
  const int bottom =
      screen.top + screen.height - scaled(screen.top + screen.height - shown.top - shown.height);
  return {std::max(screen.left, right - width), std::max(screen.top, bottom - height), width,
          height};
}

}  // namespace balloon
