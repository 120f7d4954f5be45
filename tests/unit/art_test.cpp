// The committed pictures: reproducible from the generator, and in the formats the resource
// compiler and the balloon expect. Files are parsed here without the generator's writers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "artgen.h"

namespace {

using artgen::Bytes;
using artgen::Rgb;

Bytes ReadRes(const std::string& name) {
  std::ifstream in(std::string(PELLORY_SOURCE_DIR) + "/balloon/res/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

unsigned U16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }
unsigned U32(const Bytes& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

struct Image {
  int size = 0;
  std::vector<Rgb> px;  // top row first
  std::vector<bool> clear;
  Rgb At(int x, int y) const { return px.at(static_cast<size_t>(y * size + x)); }
  bool Clear(int x, int y) const {
    return x < 0 || y < 0 || x >= size || y >= size || clear.at(static_cast<size_t>(y * size + x));
  }
};

// An n x n bottom-up 24-bit BMP, checked field by field.
Image ReadCloseBmp(const std::string& name, int n) {
  Bytes b = ReadRes(name);
  const size_t row = static_cast<size_t>((n * 3 + 3) / 4 * 4);
  EXPECT_EQ(b.size(), 14u + 40 + row * static_cast<size_t>(n)) << name;
  EXPECT_EQ(U16(b, 0), 0x4d42u) << name;  // "BM"
  EXPECT_EQ(U32(b, 2), b.size()) << name;
  EXPECT_EQ(U32(b, 10), 54u) << name;
  EXPECT_EQ(U32(b, 14), 40u) << name;
  EXPECT_EQ(U32(b, 18), static_cast<unsigned>(n)) << name;
  EXPECT_EQ(U32(b, 22), static_cast<unsigned>(n)) << name << ": positive height, bottom-up";
  EXPECT_EQ(U16(b, 26), 1u) << name;
  EXPECT_EQ(U16(b, 28), 24u) << name;
  EXPECT_EQ(U32(b, 30), 0u) << name << ": BI_RGB";
  Image img{n, {}, std::vector<bool>(static_cast<size_t>(n * n))};
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      size_t at = 54 + static_cast<size_t>(n - 1 - y) * row + static_cast<size_t>(x * 3);
      img.px.push_back({b.at(at + 2), b.at(at + 1), b.at(at)});
    }
  return img;
}

// Every image of an ICO, after checking directory, header, palette size and mask layout.
std::vector<Image> ReadIco(const std::string& name, const std::vector<int>& sizes, int bits) {
  Bytes b = ReadRes(name);
  std::vector<Image> images;
  EXPECT_EQ(U16(b, 0), 0u) << name;
  EXPECT_EQ(U16(b, 2), 1u) << name << ": icon type";
  EXPECT_EQ(U16(b, 4), sizes.size()) << name << ": image count";
  for (size_t i = 0; i < sizes.size(); ++i) {
    size_t dir = 6 + 16 * i;
    int n = sizes[i];
    SCOPED_TRACE(name + " image " + std::to_string(i));
    EXPECT_EQ(b.at(dir), n);
    EXPECT_EQ(b.at(dir + 1), n);
    EXPECT_EQ(b.at(dir + 2), bits == 8 ? 0 : 1 << bits) << "colour count";
    EXPECT_EQ(U16(b, dir + 6), static_cast<unsigned>(bits));
    size_t off = U32(b, dir + 12), colours = size_t{1} << bits;
    size_t colour_row = static_cast<size_t>((n * bits + 31) / 32 * 4);
    size_t mask_row = static_cast<size_t>((n + 31) / 32 * 4);
    size_t n_rows = static_cast<size_t>(n);
    EXPECT_EQ(U32(b, dir + 8), 40 + 4 * colours + (colour_row + mask_row) * n_rows);
    EXPECT_LE(off + U32(b, dir + 8), b.size());
    EXPECT_EQ(U32(b, off), 40u);
    EXPECT_EQ(U32(b, off + 4), n_rows);
    EXPECT_EQ(U32(b, off + 8), 2 * n_rows) << "colour and mask halves";
    EXPECT_EQ(U16(b, off + 12), 1u);
    EXPECT_EQ(U16(b, off + 14), static_cast<unsigned>(bits));
    EXPECT_EQ(U32(b, off + 16), 0u) << "BI_RGB";
    EXPECT_TRUE(U32(b, off + 32) == 0 || U32(b, off + 32) == colours) << "palette entries";
    size_t pal = off + 40, xor_bits = pal + 4 * colours, and_bits = xor_bits + colour_row * n_rows;
    Image img{n, {}, {}};
    for (size_t y = 0; y < n_rows; ++y)
      for (size_t x = 0; x < n_rows; ++x) {
        size_t row = n_rows - 1 - y;
        unsigned idx = bits == 8
                           ? b.at(xor_bits + row * colour_row + x)
                           : (b.at(xor_bits + row * colour_row + x / 2) >> (x % 2 ? 0 : 4)) & 15;
        size_t p = pal + 4 * idx;
        img.px.push_back({b.at(p + 2), b.at(p + 1), b.at(p)});
        img.clear.push_back(b.at(and_bits + row * mask_row + x / 8) >> (7 - x % 8) & 1);
      }
    images.push_back(img);
  }
  return images;
}

TEST(Art, CommittedFilesAreWhatTheGeneratorDraws) {
  std::vector<artgen::Picture> pictures = artgen::Pictures();
  EXPECT_EQ(pictures.size(), 15u);
  for (const artgen::Picture& p : pictures)
    EXPECT_TRUE(ReadRes(p.name) == p.bytes)
        << p.name << " differs from the generator's output; rebuild it with the regen-art target";
}

TEST(Art, CloseButtonsAreTheSameRedFaceRaisedAndPressed) {
  // Each size with its edge width: one pixel at 16, scaled with the size.
  for (const auto& [n, e] : {std::pair{16, 1}, {20, 1}, {24, 2}, {32, 2}}) {
    SCOPED_TRACE(n);
    const std::string suffix = n == 16 ? ".bmp" : "_" + std::to_string(n) + ".bmp";
    Image up = ReadCloseBmp("close_up" + suffix, n), down = ReadCloseBmp("close_down" + suffix, n);
    const int last = n - 1, inner = n - e - 1;
    for (int i = 0; i < n; ++i)
      for (int d = 0; d < e; ++d) {
        SCOPED_TRACE(i);
        if (i < n - e) {
          EXPECT_EQ(up.At(i, d), (Rgb{255, 149, 149}));
          EXPECT_EQ(up.At(d, i), (Rgb{255, 149, 149}));
          EXPECT_EQ(down.At(i, d), (Rgb{100, 0, 0}));
          EXPECT_EQ(down.At(d, i), (Rgb{100, 0, 0}));
        }
        EXPECT_EQ(up.At(last - d, i), (Rgb{100, 0, 0}));
        EXPECT_EQ(up.At(i, last - d), (Rgb{100, 0, 0}));
        EXPECT_EQ(down.At(last - d, i), (Rgb{0, 0, 0}));
        EXPECT_EQ(down.At(i, last - d), (Rgb{0, 0, 0}));
      }
    EXPECT_EQ(up.At(e, e), (Rgb{255, 43, 43}));
    EXPECT_EQ(up.At(inner, inner), (Rgb{140, 0, 0}));
    // Shading along the diagonal only, darkening, and mirrored when pressed: no cross or mark.
    for (int y = e; y <= inner; ++y)
      for (int x = e; x <= inner; ++x) {
        SCOPED_TRACE(testing::Message() << "face pixel " << x << "," << y);
        if (x < inner && y > e) {
          EXPECT_EQ(up.At(x, y), up.At(x + 1, y - 1));
        }
        if (x < inner) {
          EXPECT_GE(up.At(x, y).r, up.At(x + 1, y).r);
        }
        EXPECT_EQ(down.At(x, y), up.At(last - x, last - y));
      }
  }
}

struct IconCase {
  std::string name;
  std::vector<int> sizes;
  int bits;
};

TEST(Art, IconsHaveTheirSizesDepthsAndMasks) {
  const IconCase cases[] = {
      {"info.ico", {16, 20, 24, 32}, 8},          {"error.ico", {16, 20, 24, 32}, 8},
      {"warning.ico", {16, 20, 24, 32}, 8},       {"info_classic.ico", {16, 20, 24, 32}, 8},
      {"error_classic.ico", {16, 20, 24, 32}, 8}, {"warning_classic.ico", {16, 20, 24, 32}, 8},
      {"pellory.ico", {32, 24, 20, 16}, 4},
  };
  for (const IconCase& c : cases) {
    for (const Image& img : ReadIco(c.name, c.sizes, c.bits)) {
      SCOPED_TRACE(c.name + " at " + std::to_string(img.size));
      ASSERT_EQ(img.px.size(), static_cast<size_t>(img.size * img.size));
      int clear = 0;
      for (size_t i = 0; i < img.px.size(); ++i)
        if (img.clear[i]) {
          ++clear;
          EXPECT_EQ(img.px[i], Rgb{}) << "transparent pixel " << i << " must be black";
        }
      EXPECT_GT(clear, img.size) << "some background must show through";
      EXPECT_LT(clear, img.size * img.size / 2) << "the picture must fill most of the image";
      EXPECT_TRUE(img.Clear(img.size - 1, 0)) << "top right corner";
      EXPECT_FALSE(img.Clear(img.size / 2, img.size / 2)) << "centre";
    }
  }
}

}  // namespace
