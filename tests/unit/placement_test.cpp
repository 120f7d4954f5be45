#include "balloon/placement.h"

#include <gtest/gtest.h>

#include <vector>

using namespace balloon;

namespace {

// Pellory's balloon, 333 x 67, alone 7 pixels left of the right edge and on the bottom one; a
// place is 71 pixels above the one below it, a column 337 left of the one on its right.
Rect At(int column, int row, int screenWidth = 1024, int screenHeight = 768) {
  return {screenWidth - 340 - 337 * column, screenHeight - 67 - 71 * row, 333, 67};
}

TEST(Placement, LowestFreePlaceAboveThoseShown) {
  // The ten places a 768-pixel screen has in a column.
  std::vector<Rect> full, narrow;
  for (int row = 0; row < 10; ++row) full.push_back(At(0, row)), narrow.push_back(At(0, row, 400));
  const std::tuple<const char*, int, int, std::vector<Rect>, Rect> cases[] = {
      {"alone", 1024, 768, {}, At(0, 0)},
      {"stacked", 1024, 768, {At(0, 0), At(0, 1)}, At(0, 2)},
      {"a freed place is reused", 1024, 768, {At(0, 2), At(0, 0)}, At(0, 1)},
      {"a balloon elsewhere", 1024, 768, {At(0, 0), {900, 650, 50, 10}}, At(0, 2)},
      {"one just beside", 1024, 768, {{634, 701, 50, 10}, {684, 691, 50, 10}}, At(0, 0)},
      {"the next column", 1024, 768, full, At(1, 0)},
      {"no room for a second column", 400, 768, narrow, At(0, 0, 400)},
      {"no room for one balloon", 300, 50, {At(0, 0, 300, 50)}, At(0, 0, 300, 50)},
  };
  for (const auto& [what, width, height, taken, expected] : cases) {
    EXPECT_EQ(PlaceBalloon(At(0, 0, width, height), width, height, taken), expected) << what;
  }
}

}  // namespace
