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

Rect PlaceBalloon(const Rect& alone, const Rect& monitor, const Rect& work,
                  std::span<const Rect> taken) {
  const auto right = [](const Rect& r) { return r.left + r.width; };
  const auto bottom = [](const Rect& r) { return r.top + r.height; };
  const Rect first{alone.left - right(monitor) + right(work),
                   alone.top - bottom(monitor) + bottom(work), alone.width, alone.height};
  if (Free(first, taken) || first.width <= 0 || first.height <= 0) return first;
  if (right(first) > right(work) || bottom(first) > bottom(work)) return first;
  for (int left = first.left; left >= work.left; left -= first.width + kPlaceGap) {
    for (int top = first.top; top >= work.top; top -= first.height + kPlaceGap) {
      const Rect place{left, top, first.width, first.height};
      if (Free(place, taken)) return place;
    }
  }
  return first;
}

Rect Rescaled(const Rect& shown, int width, int height, const Rect& work, int from, int to) {
  const auto scaled = [&](int distance) {
    return RoundHalfEven(static_cast<double>(distance) * to / from);
  };
  const int right =
      work.left + work.width - scaled(work.left + work.width - shown.left - shown.width);
  const int bottom =
      work.top + work.height - scaled(work.top + work.height - shown.top - shown.height);
  return {std::max(work.left, right - width), std::max(work.top, bottom - height), width, height};
}

}  // namespace balloon
