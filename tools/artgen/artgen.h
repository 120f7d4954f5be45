// Draws the program's pictures and encodes them as BMP and ICO files, without any platform API.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace artgen {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  auto operator<=>(const Rgb&) const = default;
};

// One square icon image. Pixels are palette indices, top row first; a true entry in
// `transparent` sets the mask bit, and the pixel's colour must then be black.
struct IconImage {
  int size = 0;
  int bits = 0;  // 4 or 8
  std::vector<Rgb> palette;
  std::vector<std::uint8_t> pixels;
  std::vector<bool> transparent;
};

// Uncompressed bottom-up 24-bit BMP file; pixels top row first.
Bytes EncodeBmp24(int width, int height, const std::vector<Rgb>& pixels);

// ICO file holding the images in the given order.
Bytes EncodeIco(const std::vector<IconImage>& images);

// Every picture is drawn at each of these sizes, for the balloon at 96, 120, 144 and 192 DPI.
inline constexpr int kSizes[] = {16, 20, 24, 32};

struct Picture {
  std::string name;  // file name inside balloon/res
  Bytes bytes;
};

// Every picture of the program, always in the same order and byte for byte the same.
std::vector<Picture> Pictures();

}  // namespace artgen
