// The committed pictures are the generator's, byte for byte; what they look like is checked on
// the screen by the end-to-end tests.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "artgen.h"

namespace {

TEST(Art, CommittedFilesAreWhatTheGeneratorDraws) {
  const std::vector<artgen::Picture> pictures = artgen::Pictures();
  EXPECT_EQ(pictures.size(), 15u);
  for (const artgen::Picture& p : pictures) {
    std::ifstream in(std::string(PELLORY_SOURCE_DIR) + "/balloon/res/" + p.name, std::ios::binary);
    EXPECT_TRUE(artgen::Bytes(std::istreambuf_iterator<char>(in), {}) == p.bytes)
        << p.name << " differs from the generator's output; rebuild it with the regen-art target";
  }
}

}  // namespace
