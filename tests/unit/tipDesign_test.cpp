#include "balloon/tipDesign.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace balloon;

namespace {

TEST(IconKind, CodesAreMatchedAfterLowerCasing) {
  struct Case {
    std::wstring_view code;
    IconKind kind;
  };
  const Case cases[] = {
      {L"i", {IconStyle::Newer, IconRole::Information}},
      {L"I", {IconStyle::Newer, IconRole::Information}},
      {L"i9", {IconStyle::Classic, IconRole::Information}},
      {L"X", {IconStyle::Newer, IconRole::Error}},
      {L"x9", {IconStyle::Classic, IconRole::Error}},
      {L"!", {IconStyle::Newer, IconRole::Warning}},
      {L"!9", {IconStyle::Classic, IconRole::Warning}},
  };
  for (const auto& c : cases) {
    const auto kind = LookupIcon(c.code);
    ASSERT_TRUE(kind.has_value()) << std::string(c.code.begin(), c.code.end());
    EXPECT_EQ(*kind, c.kind);
  }
  for (auto code : {L"", L"i ", L" i", L"info", L"9", L"x99", L"?"}) {
    EXPECT_FALSE(LookupIcon(code).has_value());
  }
}

// Records what SetBalloon does to the form, in order.
class RecordingForm final : public TipForm {
 public:
  void SetTitleCaption(const std::wstring& c) override { Log(L"title " + c); }
  void SetMessageText(const std::wstring& t) override {
    Log(L"text " + t);
    text_ = t;
  }
  void LoadMessageFile(const std::wstring& p) override {
    Log(L"file " + p);
    text_ = L" Two\r\n\r\nlines\r\n";
  }
  void MoveTwips(std::int32_t x, std::int32_t y) override {
    Log(L"move " + std::to_wstring(x) + L"," + std::to_wstring(y));
  }
  void ShowIconPicture(IconKind icon) override {
    Log(L"icon " + std::to_wstring(static_cast<int>(icon.style)) + L"/" +
        std::to_wstring(static_cast<int>(icon.role)));
  }
  void HideDisplayIcon() override { Log(L"hide icon"); }
  int DisplayIconLeft() const override { return 8; }
  void SetTitleLeft(int left) override { Log(L"title left " + std::to_wstring(left)); }
  void SetCloseVisible(bool v) override { Log(v ? L"close shown" : L"close hidden"); }
  void SetAutoClose(std::int32_t ms, bool on) override {
    Log(L"timer " + std::to_wstring(ms) + (on ? L" on" : L" off"));
  }
  void SetWidthTwips(std::int32_t w) override { Log(L"width " + std::to_wstring(w)); }
  void SetHeightTwips(std::int32_t h) override { Log(L"height " + std::to_wstring(h)); }
  void RoundCorners() override { Log(L"round"); }
  void SetFormFontFace(const std::wstring& f) override { Log(L"form face " + f); }
  void SetMessageFontFace(const std::wstring& f) override { Log(L"text face " + f); }
  void SetTitleFontFace(const std::wstring& f) override { Log(L"title face " + f); }
  std::wstring MessageText() const override { return text_; }
  void SetCaption(const std::wstring& c) override { Log(L"caption " + c); }

  std::vector<std::wstring> calls;

 private:
  void Log(std::wstring s) { calls.push_back(std::move(s)); }
  std::wstring text_ = L"txtTip\r\n";
};

TEST(SetBalloon, RunsItsStepsInOrder) {
  const BalloonSpec spec{.sTitle = L"Pellory",
                         .sText = L"a.dll has been registered.",
                         .lPosX = 10260,
                         .lPosY = 10520,
                         .sIcon = L"i",
                         .bShowClose = true,
                         .lAutoCloseAfter = 2500,
                         .lHeight = 1000,
                         .lWidth = 5000,
                         .sFont = L"Tahoma",
                         .sRTFFilename = L""};
  RecordingForm form;
  SetBalloon(form, spec);
  const std::vector<std::wstring> expected{L"title Pellory",
                                           L"text a.dll has been registered.",
                                           L"move 10260,10520",
                                           L"icon 0/0",
                                           L"close shown",
                                           L"timer 2500 on",
                                           L"width 5000",
                                           L"height 1000",
                                           L"round",
                                           L"form face Tahoma",
                                           L"text face Tahoma",
                                           L"title face Tahoma",
                                           L"caption Pellory: a.dll has been registered."};
  EXPECT_EQ(form.calls, expected);
}

TEST(SetBalloon, DefaultsEmptyTextRichTextFileAndUnknownIcon) {
  BalloonSpec spec;
  spec.sTitle = L"T";
  RecordingForm form;
  SetBalloon(form, spec);
  // Defaults: no icon (the title moves to the icon's place), no close button, no timer,
  // 4680 x 1620 twips, MS Sans Serif; an empty text leaves the design content alone.
  const std::vector<std::wstring> expected{L"title T",
                                           L"move 0,0",
                                           L"hide icon",
                                           L"title left 8",
                                           L"close hidden",
                                           L"timer 0 off",
                                           L"width 4680",
                                           L"height 1620",
                                           L"round",
                                           L"form face MS Sans Serif",
                                           L"text face MS Sans Serif",
                                           L"title face MS Sans Serif",
                                           L"caption T: txtTip"};
  EXPECT_EQ(form.calls, expected);

  // A file's content replaces the text and keeps its own fonts.
  spec.sText = L"t";
  spec.sRTFFilename = L"C:\\n.rtf";
  spec.sIcon = L"X9";
  spec.lAutoCloseAfter = -5;
  RecordingForm withFile;
  SetBalloon(withFile, spec);
  const std::vector<std::wstring> expectedWithFile{L"title T",
                                                   L"text t",
                                                   L"file C:\\n.rtf",
                                                   L"move 0,0",
                                                   L"icon 1/1",
                                                   L"close hidden",
                                                   L"timer 0 off",
                                                   L"width 4680",
                                                   L"height 1620",
                                                   L"round",
                                                   L"form face MS Sans Serif",
                                                   L"title face MS Sans Serif",
                                                   L"caption T: Two lines"};
  EXPECT_EQ(withFile.calls, expectedWithFile);
}

TEST(Shape, TwipsToWholePixels) {
  EXPECT_EQ(TwipsToPixels(4680, 15), 312);
  // Halves go to the even neighbour.
  EXPECT_EQ(TwipsToPixels(112.5, 15), 8);
  EXPECT_EQ(TwipsToPixels(97.5, 15), 6);
  EXPECT_EQ(TwipsToPixels(10520, 15), 701);
}

TEST(Layout, ControlsFollowTheClientSize) {
  struct Case {
    int sw, sh;
  };
  for (const Case c : {Case{333, 67}, Case{312, 128}, Case{40, 67}, Case{3000, 67}}) {
    SCOPED_TRACE(c.sw);
    const auto l = ComputeLayout(c.sw, c.sh);
    EXPECT_EQ(l.txtTip, (Rect{8, 27, c.sw - 20, c.sh - 37}));
    // The close images stay aligned with the right edge; the glyph 2 right and 3 down of them.
    EXPECT_EQ(l.imgX, (Rect{c.sw - 28, 2, 16, 16}));
    EXPECT_EQ(l.lblX, (Rect{c.sw - 26, 5, 13, 13}));
    EXPECT_EQ(l.imgDisplayIcon, (Rect{10, 2, 16, 16}));
    EXPECT_EQ(l.lblTitle, (Rect{0, 1, c.sw, 17}));
  }
  // The front end's balloon, in full.
  const auto l = ComputeLayout(333, 67);
  EXPECT_EQ(l.txtTip, (Rect{8, 27, 313, 30}));
  EXPECT_EQ(l.imgX.left + l.imgX.width, 321);
}

TEST(Layout, ScaledWithTheDpiKeepsEverythingInside) {
  // The front end's balloon of 5000 x 1000 twips at each DPI; sizes scale with one rounding.
  struct Case {
    int dpi, sw, sh, strip, iconBox, picture, pen, ellipse;
  };
  for (const Case c :
       {Case{96, 333, 67, 17, 16, 16, 2, 25}, Case{120, 417, 83, 22, 20, 20, 3, 31},
        Case{144, 500, 100, 25, 24, 24, 3, 38}, Case{168, 583, 117, 30, 28, 24, 4, 44},
        Case{192, 667, 133, 34, 32, 32, 4, 50}}) {
    SCOPED_TRACE(c.dpi);
    const double tpp = 1440.0 / c.dpi;
    ASSERT_EQ(TwipsToPixels(5000, tpp), c.sw);
    ASSERT_EQ(TwipsToPixels(1000, tpp), c.sh);
    const auto l = ComputeLayout(c.sw, c.sh, c.dpi);
    for (const Rect& r : {l.txtTip, l.lblX, l.imgX, l.imgDisplayIcon, l.lblTitle}) {
      EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.width > 0 && r.height > 0 &&
                  r.left + r.width <= c.sw && r.top + r.height <= c.sh)
          << r.left << "," << r.top << " " << r.width << "x" << r.height << " leaves the form";
    }
    // The strip holds a line of its font (about 1.2 em in these faces) and the whole close button,
    // whose cross lies on it; the message area starts below the strip.
    const Rect strip = l.lblTitle, close = l.imgX, cross = l.lblX;
    EXPECT_EQ(strip.height, c.strip);
    EXPECT_GE(strip.height * 4, FontPixels(design::kTitlePointsX100, c.dpi) * 5);
    EXPECT_TRUE(close.top >= strip.top && close.top + close.height <= strip.top + strip.height);
    EXPECT_TRUE(cross.left >= close.left && cross.top >= close.top &&
                cross.left + cross.width <= close.left + close.width &&
                cross.top + cross.height <= close.top + close.height);
    EXPECT_GT(l.txtTip.top, strip.top + strip.height);
    // The icon and the close pictures at the size drawn for this DPI, whole in their boxes.
    EXPECT_EQ(l.imgDisplayIcon.width, c.iconBox);
    EXPECT_EQ(close.width, c.iconBox);
    EXPECT_EQ(PictureSize(c.iconBox), c.picture);
    const Rect picture = Centred(close, c.picture);
    EXPECT_TRUE(picture.left >= close.left && picture.top >= close.top &&
                picture.left + picture.width <= close.left + close.width);
    // The border's outline lies one pixel inside the region, so at least half its pen shows on
    // every side; the corners follow the region's.
    EXPECT_EQ(l.border, (Rect{0, 0, c.sw - 1, c.sh - 1}));
    EXPECT_EQ(l.pen, c.pen);
    EXPECT_EQ(l.ellipse, c.ellipse);
  }
  // One rounding everywhere: halves away from zero.
  EXPECT_EQ(Scale(1, 144), 2);
  EXPECT_EQ(Scale(-1, 144), -2);
  EXPECT_EQ(FontPixels(825, 96), 11);
  EXPECT_EQ(Scale(design::lblTitle, 96), design::lblTitle);
}

TEST(Events, WhatClosesAndWhatPresses) {
  using enum Source;
  using enum Event;
  using enum Reaction;
  // Clicks that close.
  for (auto s : {Form, DisplayIcon, ImgX, LblX}) EXPECT_EQ(React(s, Click, 1, true), Hide);
  EXPECT_EQ(React(Timer, Tick, 0, true), Hide);
  EXPECT_EQ(React(TxtTip, DblClick, 1, true), Hide);
  EXPECT_EQ(React(TxtTip, DblClick, 1, false), Hide);
  // A single click in the message area closes only when the close button is hidden.
  EXPECT_EQ(React(TxtTip, Click, 1, false), Hide);
  EXPECT_EQ(React(TxtTip, Click, 1, true), None);
  // The title strip never closes.
  for (auto e : {Click, MouseDown, MouseUp, DblClick}) EXPECT_EQ(React(LblTitle, e, 1, true), None);
  // The close button's pressed look follows the left button only.
  for (auto s : {ImgX, LblX}) {
    EXPECT_EQ(React(s, MouseDown, 1, true), ShowPressed);
    EXPECT_EQ(React(s, MouseUp, 1, true), ShowReleased);
    for (int button : {0, 2, 3, 4, 5}) {
      EXPECT_EQ(React(s, MouseDown, button, true), None);
      EXPECT_EQ(React(s, MouseUp, button, true), None);
    }
  }
  for (auto s : {Form, DisplayIcon, TxtTip}) EXPECT_EQ(React(s, MouseDown, 1, true), None);
}

TEST(AutoClose, ThePointerHoldsTheDelay) {
  // A 2500 ms delay from 0; the pointer comes at HOLD and leaves at RELEASE.
  struct Case {
    std::uint64_t hold, release;
    std::uint32_t closesIn;
  };
  for (const Case c : {Case{200, 4200, 2300}, Case{2000, 2100, 1000}, Case{3000, 3500, 1000}}) {
    SCOPED_TRACE(c.hold);
    AutoCloseClock clock(2500, 0);
    clock.Hold(c.hold);
    clock.Hold(c.hold + 50);  // a second look while held changes nothing
    EXPECT_TRUE(clock.Held());
    EXPECT_EQ(clock.Release(c.release), c.closesIn);
    EXPECT_FALSE(clock.Held());
    // Held again, it keeps what the first release left, down to the floor.
    clock.Hold(c.release + 500);
    EXPECT_EQ(clock.Release(c.release + 900), std::max<std::uint32_t>(c.closesIn - 500, 1000));
  }
}

}  // namespace
