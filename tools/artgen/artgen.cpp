#include "artgen.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

namespace artgen {
namespace {

// Integer arithmetic only, so every machine writes the same bytes.
// Geometry is in units of 1/16 pixel; smooth shapes take 8 x 8 samples per pixel.
constexpr int U = 16;
constexpr int kSub = 8;

using Shape = std::function<bool(long long x, long long y)>;
// Colour at a pixel centre given in units.
using Paint = std::function<Rgb(long long x, long long y)>;

struct Vec {
  long long x, y;
};

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v & 0xff));
  b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
}

void Put32(Bytes& b, unsigned v) {
  Put16(b, v & 0xffff);
  Put16(b, v >> 16);
}

void PutInfoHeader(Bytes& b, int width, int height, int bits, unsigned image_size) {
  Put32(b, 40);
  Put32(b, static_cast<unsigned>(width));
  Put32(b, static_cast<unsigned>(height));
  Put16(b, 1);
  Put16(b, static_cast<unsigned>(bits));
  Put32(b, 0);  // BI_RGB
  Put32(b, image_size);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
  Put32(b, 0);
}

int RowBytes(int width, int bits) { return (width * bits + 31) / 32 * 4; }

std::uint8_t Mix(int from, int to, long long num, long long den) {
  return static_cast<std::uint8_t>((from * (den - num) + to * num + den / 2) / den);
}

Rgb Lerp(Rgb a, Rgb b, long long num, long long den) {
  num = std::clamp(num, 0LL, den);
  return {Mix(a.r, b.r, num, den), Mix(a.g, b.g, num, den), Mix(a.b, b.b, num, den)};
}

Shape Disc(long long cx, long long cy, long long r) {
  return
      [=](long long x, long long y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

Shape Ellipse(long long cx, long long cy, long long rx, long long ry) {
  return [=](long long x, long long y) {
    long long dx = x - cx, dy = y - cy;
    return dx * dx * ry * ry + dy * dy * rx * rx <= rx * rx * ry * ry;
  };
}

Shape Rect(long long x0, long long y0, long long x1, long long y1) {
  return [=](long long x, long long y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

// Points within r of the segment a-b.
Shape Capsule(Vec a, Vec b, long long r) {
  return [=](long long x, long long y) {
    long long abx = b.x - a.x, aby = b.y - a.y, apx = x - a.x, apy = y - a.y;
    long long len2 = abx * abx + aby * aby;
    long long dot = apx * abx + apy * aby;
    long long ap2 = apx * apx + apy * apy;
    if (dot <= 0) return ap2 <= r * r;
    if (dot >= len2) return (x - b.x) * (x - b.x) + (y - b.y) * (y - b.y) <= r * r;
    return ap2 * len2 - dot * dot <= r * r * len2;
  };
}

// Convex polygon given clockwise on screen (y down).
Shape Convex(std::vector<Vec> pts) {
  return [=](long long x, long long y) {
    for (size_t i = 0; i < pts.size(); ++i) {
      Vec a = pts[i], b = pts[(i + 1) % pts.size()];
      if ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x) < 0) return false;
    }
    return true;
  };
}

// The polygon grown by r, which rounds its corners.
Shape Grown(std::vector<Vec> pts, long long r) {
  Shape core = Convex(pts);
  std::vector<Shape> edges;
  for (size_t i = 0; i < pts.size(); ++i)
    edges.push_back(Capsule(pts[i], pts[(i + 1) % pts.size()], r));
  return [=](long long x, long long y) {
    if (core(x, y)) return true;
    return std::any_of(edges.begin(), edges.end(), [&](const Shape& e) { return e(x, y); });
  };
}

// An X of two square-ended diagonal bars, measured along and across in steps of dx +- dy.
Shape Saltire(long long cx, long long cy, long long along, long long across) {
  return [=](long long x, long long y) {
    long long u = std::abs((x - cx) + (y - cy)), w = std::abs((x - cx) - (y - cy));
    return (u <= across && w <= along) || (w <= across && u <= along);
  };
}

Shape Union(std::vector<Shape> parts) {
  return [=](long long x, long long y) {
    return std::any_of(parts.begin(), parts.end(), [&](const Shape& s) { return s(x, y); });
  };
}

// A cog wheel; its teeth point along integer directions so no trigonometry is needed.
Shape Cog(Vec c, long long tip, long long root, long long half_tooth, long long hole,
          std::vector<Vec> teeth) {
  return [=](long long x, long long y) {
    long long dx = x - c.x, dy = y - c.y, d2 = dx * dx + dy * dy;
    if (d2 <= hole * hole || d2 > tip * tip) return false;
    if (d2 <= root * root) return true;
    for (Vec t : teeth) {
      long long dot = dx * t.x + dy * t.y, cross = dx * t.y - dy * t.x;
      if (dot > 0 && cross * cross <= half_tooth * half_tooth * (t.x * t.x + t.y * t.y))
        return true;
    }
    return false;
  };
}

const std::vector<Vec> kTeeth8 = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                  {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
const std::vector<Vec> kTeeth6 = {{1, 0}, {4, 7}, {-4, 7}, {-1, 0}, {-4, -7}, {4, -7}};

Paint Solid(Rgb c) {
  return [=](long long, long long) { return c; };
}

// Linear shading from `a` at point p to `b` at point q.
Paint Linear(Rgb a, Rgb b, Vec p, Vec q) {
  return [=](long long x, long long y) {
    long long dx = q.x - p.x, dy = q.y - p.y;
    return Lerp(a, b, (x - p.x) * dx + (y - p.y) * dy, dx * dx + dy * dy);
  };
}

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
// Newer-style edges are smoothed towards a light neutral, as behind a tip window.
constexpr Rgb kMatte{236, 236, 228};

struct Rgba {
  int r = 0, g = 0, b = 0, a = 0;
};

struct Finished {
  int size;
  std::vector<Rgb> colours;
  std::vector<bool> transparent;
};

class Canvas {
 public:
  explicit Canvas(int size) : size_(size), px_(static_cast<size_t>(size * size)) {}

  // Covers each pixel in proportion to its samples inside the shape.
  void Fill(const Shape& shape, const Paint& paint) {
    for (int py = 0; py < size_; ++py)
      for (int px = 0; px < size_; ++px)
        if (int cover = Cover(shape, px, py))
          Over(At(px, py), paint(px * U + U / 2, py * U + U / 2),
               (cover * 255 + kSub * kSub / 2) / (kSub * kSub));
  }

  // Pixel-art fill: a pixel belongs to the shape when at least half of it is inside, and the
  // shape's pixels next to one outside it (or to the border) take the outline colour.
  void FillOutlined(const Shape& shape, const Paint& paint, std::optional<Rgb> edge = {}) {
    std::vector<bool> in(px_.size());
    for (int py = 0; py < size_; ++py)
      for (int px = 0; px < size_; ++px)
        in[Index(px, py)] = Cover(shape, px, py) * 2 >= kSub * kSub;
    auto inside = [&](int x, int y) {
      return x >= 0 && y >= 0 && x < size_ && y < size_ && in[Index(x, y)];
    };
    for (int py = 0; py < size_; ++py) {
      for (int px = 0; px < size_; ++px) {
        if (!inside(px, py)) continue;
        bool rim = !inside(px - 1, py) || !inside(px + 1, py) || !inside(px, py - 1) ||
                   !inside(px, py + 1);
        Over(At(px, py), rim && edge ? *edge : paint(px * U + U / 2, py * U + U / 2), 255);
      }
    }
  }

  // Pixels at least `threshold` covered become opaque; partly covered ones are blended
  // onto `matte` so that edges look smooth on light backgrounds.
  Finished Finish(Rgb matte, int threshold) const {
    Finished f{size_, {}, {}};
    for (const Rgba& p : px_) {
      bool clear = p.a < threshold;
      f.transparent.push_back(clear);
      Rgb c{static_cast<std::uint8_t>(p.r), static_cast<std::uint8_t>(p.g),
            static_cast<std::uint8_t>(p.b)};
      f.colours.push_back(clear ? kBlack : Lerp(matte, c, p.a, 255));
    }
    return f;
  }

 private:
  size_t Index(int x, int y) const { return static_cast<size_t>(y * size_ + x); }
  Rgba& At(int x, int y) { return px_[Index(x, y)]; }

  static int Cover(const Shape& shape, int px, int py) {
    int n = 0;
    for (int sy = 0; sy < kSub; ++sy)
      for (int sx = 0; sx < kSub; ++sx) n += shape(px * U + 2 * sx + 1, py * U + 2 * sy + 1);
    return n;
  }

  static void Over(Rgba& d, Rgb c, int a) {
    int under = d.a * (255 - a);  // scaled by 255
    int out = a * 255 + under;    // scaled by 255
    d.r = (c.r * a * 255 + d.r * under + out / 2) / out;
    d.g = (c.g * a * 255 + d.g * under + out / 2) / out;
    d.b = (c.b * a * 255 + d.b * under + out / 2) / out;
    d.a = (out + 127) / 255;
  }

  int size_;
  std::vector<Rgba> px_;
};

// Every opaque colour must be in the palette, whose entry 0 must be black.
IconImage Indexed(const Finished& f, int bits, const std::vector<Rgb>& palette) {
  std::map<Rgb, std::uint8_t> index;
  for (size_t i = palette.size(); i-- > 0;) index[palette[i]] = static_cast<std::uint8_t>(i);
  IconImage img{f.size, bits, palette, {}, f.transparent};
  for (size_t i = 0; i < f.colours.size(); ++i)
    img.pixels.push_back(f.transparent[i] ? 0 : index.at(f.colours[i]));
  return img;
}

// 8-bit image whose palette is black followed by the image's own colours in sorted order. A large
// image may have more colours than that: its channels are then rounded ever coarser until they fit.
IconImage Indexed256(Finished f) {
  for (int step = 2;; step *= 2) {
    std::vector<Rgb> palette{kBlack};
    for (size_t i = 0; i < f.colours.size(); ++i)
      if (!f.transparent[i]) palette.push_back(f.colours[i]);
    std::sort(palette.begin() + 1, palette.end());
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    if (palette.size() <= 256) return Indexed(f, 8, palette);
    if (step > 64) throw std::runtime_error("more than 256 colours");
    auto coarse = [step](std::uint8_t v) {
      return static_cast<std::uint8_t>(std::min(255, (v + step / 2) / step * step));
    };
    for (Rgb& c : f.colours) c = {coarse(c.r), coarse(c.g), coarse(c.b)};
  }
}

Vec P(int x2, int y2) { return {x2 * U / 2, y2 * U / 2}; }  // from half-pixel steps

// Geometry is written for a canvas of `base` pixels and drawn on one of `size`: lengths scale,
// and the edges of upright rectangles land on whole pixels, so they stay sharp.
struct Grid {
  int size, base;
  long long operator()(long long v) const { return v * size / base; }
  Vec operator()(Vec v) const { return {(*this)(v.x), (*this)(v.y)}; }
  Shape Box(long long x0, long long y0, long long x1, long long y1) const {
    auto snap = [this](long long v) { return ((*this)(v) + U / 2) / U * U; };
    return Rect(snap(x0), snap(y0), snap(x1), snap(y1));
  }
  std::vector<Vec> operator()(std::vector<Vec> pts) const {
    for (Vec& p : pts) p = (*this)(p);
    return pts;
  }
};

IconImage InfoNew(int n) {
  Canvas c(n);
  Grid g{n, 16};
  c.Fill(Disc(g(8 * U), g(8 * U), g(8 * U)),
         Linear({110, 140, 190}, {40, 70, 140}, g(P(4, 4)), g(P(26, 26))));
  c.Fill(Disc(g(8 * U), g(8 * U), g(7 * U)),
         Linear({255, 255, 255}, {196, 212, 236}, g(P(8, 6)), g(P(24, 26))));
  Paint blue = Linear({60, 130, 240}, {0, 50, 170}, g(P(14, 6)), g(P(18, 24)));
  c.Fill(g.Box(7 * U, 3 * U, 9 * U, 5 * U), blue);   // dot
  c.Fill(g.Box(6 * U, 6 * U, 9 * U, 7 * U), blue);   // stem top serif
  c.Fill(g.Box(7 * U, 7 * U, 9 * U, 12 * U), blue);  // stem
  c.Fill(g.Box(6 * U, 12 * U, 10 * U, 13 * U), blue);
  return Indexed256(c.Finish(kMatte, 96));
}

IconImage ErrorNew(int n) {
  Canvas c(n);
  Grid g{n, 16};
  c.Fill(Disc(g(8 * U), g(8 * U), g(8 * U)),
         Linear({170, 20, 20}, {110, 0, 0}, g(P(4, 4)), g(P(26, 26))));
  c.Fill(Disc(g(8 * U), g(8 * U), g(7 * U)),
         Linear({255, 120, 100}, {190, 10, 10}, g(P(8, 6)), g(P(24, 26))));
  c.Fill(Capsule(g(P(10, 10)), g(P(22, 22)), g(U)), Solid(kWhite));
  c.Fill(Capsule(g(P(22, 10)), g(P(10, 22)), g(U)), Solid(kWhite));
  return Indexed256(c.Finish(kMatte, 96));
}

IconImage WarningNew(int n) {
  Canvas c(n);
  Grid g{n, 16};
  std::vector<Vec> tri = g({P(16, 3), P(29, 27), P(3, 27)});
  c.Fill(Grown(tri, g(3 * U / 2)), Linear({200, 140, 0}, {150, 90, 0}, g(P(16, 2)), g(P(16, 30))));
  c.Fill(Grown(tri, g(U / 2)), Linear({255, 240, 130}, {245, 180, 0}, g(P(16, 4)), g(P(16, 27))));
  Paint ink = Solid({20, 20, 20});
  c.Fill(g.Box(7 * U, 5 * U, 9 * U, 10 * U), ink);
  c.Fill(g.Box(7 * U, 11 * U, 9 * U, 13 * U), ink);
  return Indexed256(c.Finish(kMatte, 96));
}

IconImage InfoClassic(int n) {
  Canvas c(n);
  Grid g{n, 16};
  c.FillOutlined(Union({Ellipse(g(8 * U), g(6 * U), g(8 * U), g(6 * U)),
                        Convex(g({P(4, 17), P(14, 21), P(2, 31)}))}),
                 Solid(kWhite), kBlack);
  Paint blue = Solid({0, 0, 255});
  c.FillOutlined(g.Box(7 * U, 2 * U, 9 * U, 4 * U), blue);
  c.FillOutlined(g.Box(6 * U, 5 * U, 9 * U, 6 * U), blue);
  c.FillOutlined(g.Box(7 * U, 6 * U, 9 * U, 9 * U), blue);
  c.FillOutlined(g.Box(6 * U, 9 * U, 10 * U, 10 * U), blue);
  return Indexed256(c.Finish(kBlack, 128));
}

IconImage ErrorClassic(int n) {
  Canvas c(n);
  Grid g{n, 16};
  c.FillOutlined(Disc(g(8 * U), g(8 * U), g(8 * U)), Solid({255, 0, 0}), kBlack);
  c.FillOutlined(Saltire(g(8 * U), g(8 * U), g(15 * U / 2), g(3 * U / 2)), Solid(kWhite));
  return Indexed256(c.Finish(kBlack, 128));
}

IconImage WarningClassic(int n) {
  Canvas c(n);
  Grid g{n, 16};
  c.FillOutlined(Convex(g({P(14, 0), P(18, 0), P(32, 30), P(0, 30)})), Solid({255, 255, 0}),
                 kBlack);
  c.Fill(g.Box(7 * U, 5 * U, 9 * U, 10 * U), Solid(kBlack));
  c.Fill(g.Box(7 * U, 11 * U, 9 * U, 13 * U), Solid(kBlack));
  return Indexed256(c.Finish(kBlack, 128));
}

// The same picture at every size the balloon can show.
Bytes AllSizes(IconImage (*draw)(int)) {
  std::vector<IconImage> images;
  for (int n : kSizes) images.push_back(draw(n));
  return EncodeIco(images);
}

constexpr Rgb kPaper{255, 255, 255}, kPaperEdge{100, 108, 124}, kFold{208, 214, 226},
    kLine{150, 166, 192}, kSteelLight{184, 204, 236}, kSteel{112, 142, 194}, kSteelEdge{36, 52, 96},
    kBrassLight{255, 220, 120}, kBrass{228, 156, 36}, kBrassEdge{124, 72, 8};

// The encoder fills the remaining entries of the 16 with black.
const std::vector<Rgb> kProgramPalette = {kBlack,      kPaper,      kPaperEdge, kFold,
                                          kLine,       kSteelLight, kSteel,     kSteelEdge,
                                          kBrassLight, kBrass,      kBrassEdge};

// Lit from the top left: the light tone above the diagonal through the centre.
Paint TwoTone(Rgb light, Rgb dark, Vec c) {
  return [=](long long x, long long y) { return (x - c.x) + (y - c.y) < 0 ? light : dark; };
}

// Drawn for 32 pixels; 24 and 20 scale it down.
IconImage Program(int n) {
  Canvas c(n);
  Grid g{n, 32};
  c.FillOutlined(Convex(g({P(2, 2), P(34, 2), P(46, 14), P(46, 62), P(2, 62)})), Solid(kPaper),
                 kPaperEdge);
  c.FillOutlined(Convex(g({P(32, 2), P(46, 16), P(32, 16)})), Solid(kFold), kPaperEdge);
  for (int row = 0; row < 3; ++row) {
    int y = (7 + 4 * row) * U;
    c.Fill(g.Box(5 * U, y, (row == 1 ? 15 : 19) * U, y + 2 * U), Solid(kLine));
  }
  Vec small = g(P(15, 49));
  c.FillOutlined(Cog(small, g(7 * U), g(9 * U / 2), g(3 * U / 2), g(3 * U / 2), kTeeth6),
                 TwoTone(kBrassLight, kBrass, small), kBrassEdge);
  Vec big = g(P(42, 42));
  c.FillOutlined(Cog(big, g(10 * U), g(15 * U / 2), g(2 * U), g(5 * U / 2), kTeeth8),
                 TwoTone(kSteelLight, kSteel, big), kSteelEdge);
  return Indexed(c.Finish(kMatte, 128), 4, kProgramPalette);
}

// At 16 pixels the cogs are placed by hand: drawn shapes lose their teeth at this size.
IconImage Program16() {
  static const char* const kRows[] = {
      ".EEEEEEEEE......",  //
      ".EWWWWWWWEF.....",  //
      ".EWWWWWWWEFF....",  //
      ".EWLLLLLLLEEE...",  //
      ".EWWWWWWWWWWE...",  //
      ".EWLLLLLWWWWE...",  //
      ".EWWWWWWWWKKE...",  //
      ".EWLLLLKKWKKEKK.",  //
      ".EWWWWWKSKSSKsK.",  //
      ".EkWkWWWKSSSsK..",  //
      ".kBkBkKKSSKKssKK",  //
      "kBBBbbKKSSKKssKK",  //
      ".kBkbkWWKssssK..",  //
      "kBbbbbkKsKssKsK.",  //
      ".kbkbkWKKWKKEKK.",  //
      ".EkEkEEEEEKKE...",  //
  };
  const std::map<char, Rgb> legend = {
      {'W', kPaper}, {'E', kPaperEdge}, {'F', kFold},       {'L', kLine},  {'S', kSteelLight},
      {'s', kSteel}, {'K', kSteelEdge}, {'B', kBrassLight}, {'b', kBrass}, {'k', kBrassEdge}};
  Finished f{16, {}, {}};
  for (const char* row : kRows) {
    for (int x = 0; x < 16; ++x) {
      f.transparent.push_back(row[x] == '.');
      f.colours.push_back(row[x] == '.' ? kBlack : legend.at(row[x]));
    }
  }
  return Indexed(f, 4, kProgramPalette);
}

// Face shaded along the diagonal between two colours, an edge lit from the top left: one pixel
// wide at 16 pixels, scaled with the size.
Bytes CloseButton(int n, Rgb face_from, Rgb face_to, Rgb top_left, Rgb bottom_right) {
  const int e = (n + 8) / 16;
  std::vector<Rgb> px;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      if (x >= n - e || y >= n - e)
        px.push_back(bottom_right);
      else if (x < e || y < e)
        px.push_back(top_left);
      else
        px.push_back(Lerp(face_from, face_to, x + y - 2 * e, 2 * (n - 2 * e - 1)));
    }
  }
  return EncodeBmp24(n, n, px);
}

}  // namespace

Bytes EncodeBmp24(int width, int height, const std::vector<Rgb>& pixels) {
  int row = RowBytes(width, 24);
  unsigned image = static_cast<unsigned>(row * height);
  Bytes b{'B', 'M'};
  Put32(b, 14 + 40 + image);
  Put32(b, 0);
  Put32(b, 14 + 40);
  PutInfoHeader(b, width, height, 24, image);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      Rgb c = pixels[static_cast<size_t>(y * width + x)];
      b.insert(b.end(), {c.b, c.g, c.r});
    }
    b.resize(b.size() + static_cast<size_t>(row - width * 3));
  }
  return b;
}

Bytes EncodeIco(const std::vector<IconImage>& images) {
  std::vector<Bytes> bodies;
  for (const IconImage& img : images) {
    int n = img.size, colour_row = RowBytes(n, img.bits), mask_row = RowBytes(n, 1);
    Bytes b;
    PutInfoHeader(b, n, 2 * n, img.bits, static_cast<unsigned>((colour_row + mask_row) * n));
    for (size_t i = 0; i < (size_t{1} << img.bits); ++i) {
      Rgb c = i < img.palette.size() ? img.palette[i] : Rgb{};
      b.insert(b.end(), {c.b, c.g, c.r, 0});
    }
    for (int y = n - 1; y >= 0; --y) {
      Bytes line(static_cast<size_t>(colour_row));
      for (int x = 0; x < n; ++x) {
        unsigned idx = img.pixels[static_cast<size_t>(y * n + x)];
        if (img.bits == 8)
          line[static_cast<size_t>(x)] = static_cast<std::uint8_t>(idx);
        else
          line[static_cast<size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 ? idx : idx << 4);
      }
      b.insert(b.end(), line.begin(), line.end());
    }
    for (int y = n - 1; y >= 0; --y) {
      Bytes line(static_cast<size_t>(mask_row));
      for (int x = 0; x < n; ++x)
        if (img.transparent[static_cast<size_t>(y * n + x)])
          line[static_cast<size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      b.insert(b.end(), line.begin(), line.end());
    }
    bodies.push_back(std::move(b));
  }
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(images.size()));
  unsigned offset = 6 + 16 * static_cast<unsigned>(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage& img = images[i];
    out.push_back(static_cast<std::uint8_t>(img.size % 256));
    out.push_back(static_cast<std::uint8_t>(img.size % 256));
    out.push_back(static_cast<std::uint8_t>(img.bits >= 8 ? 0 : 1 << img.bits));
    out.push_back(0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(img.bits));
    Put32(out, static_cast<unsigned>(bodies[i].size()));
    Put32(out, offset);
    offset += static_cast<unsigned>(bodies[i].size());
  }
  for (const Bytes& b : bodies) out.insert(out.end(), b.begin(), b.end());
  return out;
}

std::vector<Picture> Pictures() {
  std::vector<Picture> pictures;
  for (int n : kSizes) {
    // The 16-pixel files keep their first names.
    const std::string suffix = n == 16 ? ".bmp" : "_" + std::to_string(n) + ".bmp";
    pictures.push_back({"close_up" + suffix,
                        CloseButton(n, {255, 43, 43}, {140, 0, 0}, {255, 149, 149}, {100, 0, 0})});
    pictures.push_back({"close_down" + suffix,
                        CloseButton(n, {140, 0, 0}, {255, 43, 43}, {100, 0, 0}, {0, 0, 0})});
  }
  pictures.insert(
      pictures.end(),
      {
          {"info.ico", AllSizes(InfoNew)},
          {"error.ico", AllSizes(ErrorNew)},
          {"warning.ico", AllSizes(WarningNew)},
          {"info_classic.ico", AllSizes(InfoClassic)},
          {"error_classic.ico", AllSizes(ErrorClassic)},
          {"warning_classic.ico", AllSizes(WarningClassic)},
          {"pellory.ico", EncodeIco({Program(32), Program(24), Program(20), Program16()})},
      });
  return pictures;
}

}  // namespace artgen
