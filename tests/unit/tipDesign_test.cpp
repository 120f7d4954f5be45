#include "balloon/placement.h"
#include "balloon/tipDesign.h"
#include "tests/unit/cases.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

using namespace balloon;

namespace {

// The enumerator NAME stands for, by its place among NAMES (between commas).
template <class Enum>
Enum Named(const std::wstring& name, const std::wstring& list) {
  const auto names = Split(list, L",");
  const auto at = std::ranges::find(names, name);
  if (at == names.end()) throw std::invalid_argument("no such name in a case");
  return static_cast<Enum>(at - names.begin());
}

std::wostream& operator<<(std::wostream& out, const Rect& r) {
  return out << r.left << ',' << r.top << ',' << r.width << ',' << r.height;
}

// Rects as the tables write them: left,top,width,height, blank between.
std::vector<Rect> Rects(const std::wstring& text) {
  std::wistringstream in(text);
  std::vector<Rect> rects;
  wchar_t comma;
  for (Rect r; in >> r.left >> comma >> r.top >> comma >> r.width >> comma >> r.height;)
    rects.push_back(r);
  return rects;
}

std::wstring Picture(IconKind icon) {
  return std::wstring(icon.style == IconStyle::Newer ? L"newer " : L"classic ") +
         Split(L"information,error,warning", L",")[static_cast<int>(icon.role)];
}

TEST(Balloon, IconCodesAreMatchedAfterLowerCasing) {
  for (const auto& c : Cases("icons")) {
    const auto icon = LookupIcon(c[0]);
    EXPECT_EQ(icon ? Picture(*icon) : L"", c[1]) << c[0];
  }
}

// Holds what the form shows, from its design state; what was never set stays out.
class FakeForm final : public TipForm {
 public:
  void SetTitleCaption(const std::wstring& c) override { s_[L"title"] = c; }
  void SetMessageText(const std::wstring& t) override { s_[L"text"] = t; }
  win32::Status LoadMessageFile(const std::wstring& p) override {
    s_[L"text"] = L" From\r\n\r\n" + p + L"\r\n";
    return {};
  }
  void MoveTwips(int x, int y) override { s_[L"at"] = N(x) + L"," + N(y); }
  void ShowIconPicture(IconKind icon) override { s_[L"icon"] = Picture(icon); }
  void HideDisplayIcon() override { s_[L"icon"] = L"none"; }
  int DisplayIconLeft() const override { return 8; }
  void SetTitleLeft(int left) override { s_[L"title left"] = N(left); }
  void SetCloseVisible(bool v) override { s_[L"close"] = v ? L"shown" : L"hidden"; }
  void SetAutoClose(int ms, bool on) override { s_[L"timer"] = on ? N(ms) : L"off"; }
  void SetWidthTwips(int w) override { s_[L"width"] = N(w); }
  void SetHeightTwips(int h) override { s_[L"height"] = N(h); }
  // The region takes the size the window has when it is made.
  void RoundCorners() override { s_[L"region"] = s_[L"width"] + L"x" + s_[L"height"]; }
  void SetFormFontFace(const std::wstring& f) override { s_[L"form face"] = f; }
  void SetMessageFontFace(const std::wstring& f) override { s_[L"text face"] = f; }
  void SetTitleFontFace(const std::wstring& f) override { s_[L"title face"] = f; }
  std::wstring MessageText() const override { return s_.at(L"text"); }
  void SetCaption(const std::wstring& c) override { s_[L"caption"] = c; }

  std::wstring Shown() const {
    std::wstring out;
    for (const auto& [what, value] : s_) out += (out.empty() ? L"" : L" | ") + what + L" " + value;
    return out;
  }

 private:
  static std::wstring N(int n) { return std::to_wstring(n); }
  std::map<std::wstring, std::wstring> s_ = {
      {L"title", L"<Title>"},          {L"text", L"txtTip\r\n"}, {L"icon", L"design"},
      {L"title left", L"32"},          {L"close", L"shown"},     {L"title face", L"MS Sans Serif"},
      {L"text face", L"MS Sans Serif"}};
};

TEST(Balloon, SetBalloonShowsWhatItIsGiven) {
  for (const auto& c : Cases("setballoon")) {
    const BalloonSpec d;  // an empty field keeps the default
    const auto n = [&](int i, int other) { return c[i].empty() ? other : std::stoi(c[i]); };
    const BalloonSpec spec(c[0], c[1], n(2, d.lPosX), n(3, d.lPosY), c[4], c[5] == L"yes",
                           n(6, d.lAutoCloseAfter), n(7, d.lHeight), n(8, d.lWidth),
                           c[9].empty() ? d.sFont : c[9], c[10]);
    FakeForm form;
    EXPECT_FALSE(SetBalloon(form, spec));
    EXPECT_EQ(form.Shown(), c[11]);
  }
}

// At 96 DPI the places are the design's own layout steps (the table); at any other size the
// controls on the right keep their distance from the right edge and the message area and the
// border grow with the balloon. At every DPI the controls lie inside it: the title, icon and close
// button on the strip, the message below it, the close button clear of the round corner.
TEST(Balloon, LayoutFitsAtEveryDpi) {
  const auto all = [](const Layout& l) {
    return std::vector{l.lblTitle, l.imgDisplayIcon, l.imgX, l.lblX, l.txtTip, l.border};
  };
  const auto c = Cases("layout")[0];
  const auto base = ComputeLayout(std::stoi(c[0]), std::stoi(c[1]));
  std::wostringstream row;
  for (const Rect& r : all(base)) row << r << '\t';
  row << Centred(base.imgX, PictureSize(base.imgX.width)) << '\t' << base.pen << '\t'
      << base.ellipse;
  EXPECT_EQ(Split(row.str(), L"\t"), std::vector(c.begin() + 2, c.end()));
  for (const auto& [w, h] : {std::pair(40, 67), std::pair(312, 128), std::pair(3000, 90)}) {
    const int dw = w - base.lblTitle.width, dh = h - base.border.height - 1;
    Layout want = base;
    for (Rect* r : {&want.lblTitle, &want.txtTip, &want.border}) r->width += dw;
    for (Rect* r : {&want.txtTip, &want.border}) r->height += dh;
    want.imgX.left += dw, want.lblX.left += dw;
    EXPECT_EQ(all(ComputeLayout(w, h)), all(want)) << w << "x" << h;
  }
  const auto inside = [](const Rect& in, const Rect& out) {
    return in.left >= out.left && in.top >= out.top && in.left + in.width <= out.left + out.width &&
           in.top + in.height <= out.top + out.height;
  };
  for (int dpi = 96; dpi <= 288; dpi += 24) {
    // A design pixel, and a font's height, scaled to the nearest, a half away from zero (as
    // MulDiv does); a rectangle by its edges, so that what lies inside another stays inside.
    for (int v = -40; v <= 40; ++v) {
      EXPECT_EQ(Scale(v, dpi), std::lround(v * dpi / 96.0)) << v;
      EXPECT_EQ(FontPixels(800 + v, dpi), std::lround((800 + v) * dpi / 7200.0)) << v;
      const Rect r = Scale(Rect{v, -v, 3, 5}, dpi);
      EXPECT_EQ(r, (Rect{Scale(v, dpi), Scale(-v, dpi), Scale(v + 3, dpi) - r.left,
                         Scale(5 - v, dpi) - r.top}));
    }
    for (const auto& [twipsW, twipsH] : {std::pair(5000, 1000), std::pair(4680, 1620)}) {
      const int w = TwipsToPixels(twipsW, 1440.0 / dpi), h = TwipsToPixels(twipsH, 1440.0 / dpi);
      SCOPED_TRACE(std::to_string(dpi) + " dpi, " + std::to_string(w) + "x" + std::to_string(h));
      EXPECT_NEAR(w, twipsW * dpi / 1440.0, 0.5);
      const auto l = ComputeLayout(w, h, dpi);
      for (const Rect& r : all(l)) EXPECT_TRUE(inside(r, {0, 0, w, h})) << r.left << "," << r.top;
      const Rect strip{0, l.lblTitle.top, w, l.lblTitle.height};
      for (const Rect& r : {l.imgDisplayIcon, l.imgX, l.lblX}) EXPECT_TRUE(inside(r, strip));
      EXPECT_GE(l.txtTip.top, strip.top + strip.height);
      // The strip holds a line of the title's font, about 1.2 em in these faces.
      EXPECT_GE(strip.height * 4, FontPixels(design::kTitlePointsX100, dpi) * 5);
      // The close button's top right pixel lies within the corner's ellipse.
      const double radius = l.ellipse / 2.0, dx = l.imgX.left + l.imgX.width - 0.5 - (w - radius),
                   dy = radius - (l.imgX.top + 0.5);
      EXPECT_TRUE(dx <= 0 || dy <= 0 || dx * dx + dy * dy <= radius * radius);
      EXPECT_NEAR(l.pen, kBorderWidth * dpi / 96.0, 0.5);
      EXPECT_NEAR(l.ellipse, kCornerEllipse * dpi / 96.0, 0.5);
      // The close picture is a drawn size, never stretched, the largest that fits, centred.
      const Rect picture = Centred(l.imgX, PictureSize(l.imgX.width));
      EXPECT_TRUE(inside(picture, l.imgX));
      EXPECT_EQ(std::ranges::count(kPictureSizes, picture.width), 1);
      EXPECT_TRUE(std::ranges::none_of(
          kPictureSizes, [&](int s) { return s > picture.width && s <= l.imgX.width; }));
      EXPECT_LE(std::abs(2 * (picture.left - l.imgX.left) - (l.imgX.width - picture.width)), 1);
      EXPECT_LE(std::abs(2 * (picture.top - l.imgX.top) - (l.imgX.height - picture.height)), 1);
    }
  }
  // Below the smallest picture, the smallest. The design's 4680 twips are 312 pixels, and a half
  // pixel of twips goes to the even neighbour.
  EXPECT_EQ(PictureSize(12), 16);
  EXPECT_EQ(TwipsToPixels(4680, 15), design::kClientWidth);
  for (int v = -9; v <= 9; ++v) EXPECT_EQ(TwipsToPixels(v * 15 + 7.5, 15), v + (v % 2 != 0)) << v;
}

TEST(Balloon, WhatClosesAndWhatPresses) {
  const std::wstring sources = L"Form,DisplayIcon,ImgX,LblX,TxtTip,Timer,LblTitle";
  const std::wstring events = L"Click,DblClick,MouseDown,MouseUp,Tick";
  for (const auto& c : Cases("events")) {
    const auto expected = Named<Reaction>(c[4], L"None,Hide,ShowPressed,ShowReleased");
    for (const auto& source : Split(c[0], L","))
      for (const auto& event : Split(c[1], L","))
        for (const auto& button : Split(c[2], L","))
          for (const auto& shown : Split(c[3], L","))
            EXPECT_EQ(React(Named<Source>(source, sources), Named<Event>(event, events),
                            std::stoi(button), shown == L"yes"),
                      expected)
                << source << " " << event << " " << button << " " << shown;
  }
}

TEST(Balloon, ThePointerHoldsTheAutoCloseDelay) {
  for (const auto& c : Cases("autoclose")) {
    const auto at = [&](int i) { return std::stoull(c[i]); };
    AutoCloseClock clock(2500, 0);
    clock.Hold(at(0));
    clock.Hold(at(0) + 50);  // a second look while held changes nothing
    EXPECT_TRUE(clock.Held());
    EXPECT_EQ(clock.Release(at(1)), at(2));
    EXPECT_FALSE(clock.Held());
    clock.Hold(at(3));
    EXPECT_EQ(clock.Release(at(4)), at(5));
  }
}

TEST(Placement, LowestFreePlaceAboveThoseShown) {
  for (const auto& c : Cases("placement")) {
    std::wostringstream place;
    place << PlaceBalloon(Rects(c[3])[0], Rects(c[1])[0], Rects(c[2])[0], Rects(c[4]));
    EXPECT_EQ(place.str(), c[5]) << c[0];
  }
}

// Three balloons stacked at 96 DPI above a taskbar at the bottom, then the screen's scale
// changes: each stays whole in the work area, none covers another, and the lowest keeps to the
// work area's bottom edge, 7 pixels scaled from its right one.
TEST(Placement, AStackKeepsApartWhenTheScaleChanges) {
  for (int dpi = 72; dpi <= 288; dpi += 24) {
    SCOPED_TRACE(dpi);
    std::vector<Rect> now;  // from the places of the table's "stacked" cases
    for (const Rect& r :
         {Rect{684, 661, 333, 67}, Rect{684, 590, 333, 67}, Rect{684, 519, 333, 67}})
      now.push_back(Rescaled(r, 333 * dpi / 96, 67 * dpi / 96, {0, 0, 1024, 728}, 96, dpi));
    EXPECT_EQ(now[0].top + now[0].height, 728);
    EXPECT_NEAR(1024 - now[0].left - now[0].width, 7.0 * dpi / 96, 0.5);
    for (size_t i = 0; i < now.size(); ++i) {
      EXPECT_TRUE(now[i].left >= 0 && now[i].top >= 0 && now[i].left + now[i].width <= 1024);
      for (size_t j = 0; j < i; ++j)
        EXPECT_GE(now[j].top, now[i].top + now[i].height) << i << " covers " << j;
    }
  }
}

}  // namespace
