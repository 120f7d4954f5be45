// What is really on the X screen: Wine's GDI cannot read it back reliably, so the driver asks
// the X server itself for a screenshot.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

class Screenshot {
 public:
  Screenshot(int width, int height, std::vector<std::uint8_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  Rgb At(int x, int y) const;

 private:
  int width_, height_;
  std::vector<std::uint8_t> pixels_;  // rows of r, g, b
};

// The whole X screen now; nothing if the screenshot could not be taken.
std::optional<Screenshot> CaptureScreen();

// Writes the X screen to a PNG file, given as a Windows path.
bool SaveScreenPng(const std::wstring& path);

// Close enough to tell colours apart despite font smoothing and dithering.
bool Near(Rgb a, Rgb b, int tolerance = 8);

std::string Describe(Rgb c);

}  // namespace e2e
