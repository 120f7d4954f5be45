#include "balloon/tipDesign.h"

#include <algorithm>
#include <cmath>

namespace balloon {

std::optional<IconKind> LookupIcon(std::wstring_view sIcon) {
  std::wstring code(sIcon);
  for (auto& c : code) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  struct Row {
    std::wstring_view code;
    IconKind kind;
  };
  static constexpr Row kTable[] = {
      {L"i", {IconStyle::Newer, IconRole::Information}},
      {L"i9", {IconStyle::Classic, IconRole::Information}},
      {L"x", {IconStyle::Newer, IconRole::Error}},
      {L"x9", {IconStyle::Classic, IconRole::Error}},
      {L"!", {IconStyle::Newer, IconRole::Warning}},
      {L"!9", {IconStyle::Classic, IconRole::Warning}},
  };
  for (const auto& row : kTable) {
    if (row.code == code) return row.kind;
  }
  return std::nullopt;
}

Colours ColoursFor(bool highContrast) {
  if (highContrast) {
    return {SysColour(kSysWindow), SysColour(kSysWindowText), SysColour(kSysTooltipBack),
            SysColour(kSysTooltipText), SysColour(kSysTooltipText)};
  }
  return {kStripColour, SysColour(kSysWindowText), SysColour(kSysTooltipBack),
          SysColour(kSysWindowText), kBorderColour};
}

BalloonSpec MakeBalloonSpec(const std::wstring& text, IconRole icon, ScreenTwips screen) {
  BalloonSpec spec;
  spec.sTitle = L"Pellory";
  spec.sText = text;
  // 5000 wide plus a margin of 100; 1000 high, so the bottom edge meets the screen's.
  spec.lPosX = RoundHalfEven(screen.width - 5100);
  spec.lPosY = RoundHalfEven(screen.height - 1000);
  // The newer style's icon of the report's kind.
  switch (icon) {
    case IconRole::Information:
      spec.sIcon = L"i";
      break;
    case IconRole::Error:
      spec.sIcon = L"x";
      break;
    case IconRole::Warning:
      spec.sIcon = L"!";
      break;
  }
  spec.bShowClose = true;
  // A failure, or an outcome nobody knows, is the report the user most needs time to read.
  spec.lAutoCloseAfter = icon == IconRole::Information ? 2500 : 8000;
  spec.lHeight = 1000;
  spec.lWidth = 5000;
  spec.sFont = L"Tahoma";
  spec.sRTFFilename.clear();
  return spec;
}

win32::Status SetBalloon(TipForm& form, const BalloonSpec& spec) {
  form.SetTitleCaption(spec.sTitle);
  if (!spec.sText.empty()) form.SetMessageText(spec.sText);
  if (!spec.sRTFFilename.empty()) {
    if (auto failed = form.LoadMessageFile(spec.sRTFFilename)) return failed;
  }
  form.MoveTwips(spec.lPosX, spec.lPosY);
  if (auto icon = LookupIcon(spec.sIcon)) {
    form.ShowIconPicture(*icon);
  } else {
    form.HideDisplayIcon();
    form.SetTitleLeft(form.DisplayIconLeft());
  }
  form.SetCloseVisible(spec.bShowClose);
  // A negative delay cannot be timed; like 0 it leaves the balloon open.
  if (spec.lAutoCloseAfter > 0) {
    form.SetAutoClose(spec.lAutoCloseAfter, true);
  } else {
    form.SetAutoClose(0, false);
  }
  form.SetWidthTwips(spec.lWidth);
  form.SetHeightTwips(spec.lHeight);
  form.RoundCorners();
  form.SetFormFontFace(spec.sFont);
  if (spec.sRTFFilename.empty()) form.SetMessageFontFace(spec.sFont);
  form.SetTitleFontFace(spec.sFont);
  // Last, once the words are in place: the caption is the balloon's accessible name.
  form.SetCaption(AccessibleName(spec.sTitle, form.MessageText()));
  return {};
}

namespace {

// Blanks and line breaks at either end go; each run of line breaks inside becomes one blank.
std::wstring OneLine(std::wstring_view text) {
  constexpr std::wstring_view kSpace = L" \t\r\n";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::wstring_view::npos) return {};
  text = text.substr(first, text.find_last_not_of(kSpace) - first + 1);
  std::wstring line;
  bool inBreak = false;
  for (const wchar_t c : text) {
    const bool lineBreak = c == L'\r' || c == L'\n';
    if (!lineBreak) {
      line += c;
    } else if (!inBreak) {
      line += L' ';
    }
    inBreak = lineBreak;
  }
  return line;
}

}  // namespace

std::wstring AccessibleName(std::wstring_view title, std::wstring_view text) {
  std::wstring name = OneLine(title);
  const std::wstring words = OneLine(text);
  if (!name.empty() && !words.empty()) name += L": ";
  return name + words;
}

int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

int TwipsToPixels(double twips, double twipsPerPixel) {
  return RoundHalfEven(twips / twipsPerPixel);
}

namespace {

int RoundDiv(long long num, long long den) {
  return static_cast<int>(num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den));
}

}  // namespace

int Scale(int value, int dpi) { return RoundDiv(static_cast<long long>(value) * dpi, kDesignDpi); }

// Edges are scaled rather than sizes: what lies inside another rectangle at 96 DPI then stays
// inside it at every DPI.
Rect Scale(const Rect& r, int dpi) {
  const int left = Scale(r.left, dpi), top = Scale(r.top, dpi);
  return {left, top, Scale(r.left + r.width, dpi) - left, Scale(r.top + r.height, dpi) - top};
}

int FontPixels(int pointsX100, int dpi) {
  return RoundDiv(static_cast<long long>(pointsX100) * dpi, 7200);
}

int PictureSize(int box) {
  int size = kPictureSizes[0];
  for (int s : kPictureSizes) {
    if (s <= box) size = s;
  }
  return size;
}

Rect Centred(const Rect& box, int size) {
  return {box.left + (box.width - size) / 2, box.top + (box.height - size) / 2, size, size};
}

Layout ComputeLayout(int sw, int sh, int dpi) {
  // Scaled edges, as above; those on the right keep their scaled distance from the right edge.
  const auto s = [dpi](int value) { return Scale(value, dpi); };
  const auto edges = [](int left, int top, int right, int bottom) {
    return Rect{left, top, right - left, bottom - top};
  };
  // T and X: lblTitle's height and lblX's width, which keep their design values.
  constexpr int t = design::lblTitle.height, x = design::lblX.width;
  constexpr Rect icon = design::imgDisplayIcon, close = design::imgX;
  Layout l;
  l.txtTip = edges(s(8), s(t + 10), sw - s(12), sh - s(10));
  l.lblX = edges(sw - s(x + 13), s(5), sw - s(13), s(5 + design::lblX.height));
  l.imgX = edges(sw - s(x + 15), s(2), sw - s(x + 15 - close.width), s(2 + close.height));
  l.imgDisplayIcon = edges(s(10), s(2), s(10 + icon.width), s(2 + icon.height));
  l.lblTitle = edges(0, s(1), sw, s(1 + t));
  // One pixel inside the region, so that at least half of the pen shows on every side.
  l.border = edges(0, 0, sw - 1, sh - 1);
  l.pen = s(kBorderWidth);
  l.ellipse = s(kCornerEllipse);
  return l;
}

void AutoCloseClock::Hold(std::uint64_t now) {
  if (held_) return;
  held_ = true;
  left_ = deadline_ > now ? deadline_ - now : 0;
}

std::uint32_t AutoCloseClock::Release(std::uint64_t now) {
  if (held_) {
    held_ = false;
    deadline_ = now + std::max<std::uint64_t>(left_, kLeastAfterPointerMs);
  }
  return static_cast<std::uint32_t>(deadline_ > now ? deadline_ - now : 0);
}

Reaction React(Source source, Event event, int button, bool closeVisible) {
  const bool left = button == kLeftButton;
  switch (source) {
    case Source::Form:
    case Source::DisplayIcon:
      return event == Event::Click ? Reaction::Hide : Reaction::None;
    case Source::ImgX:
    case Source::LblX:
      if (event == Event::Click) return Reaction::Hide;
      if (event == Event::MouseDown && left) return Reaction::ShowPressed;
      if (event == Event::MouseUp && left) return Reaction::ShowReleased;
      return Reaction::None;
    case Source::TxtTip:
      if (event == Event::DblClick) return Reaction::Hide;
      if (event == Event::Click && !closeVisible) return Reaction::Hide;
      return Reaction::None;
    case Source::Timer:
      return event == Event::Tick ? Reaction::Hide : Reaction::None;
    case Source::LblTitle:
      return Reaction::None;
  }
  return Reaction::None;
}

}  // namespace balloon
