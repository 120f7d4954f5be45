// The balloon's decisions, free of the platform: its design values, the configuration steps of
// SetBalloon, the rounded shape's arithmetic, the layout against a size and the event table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "win32/result.h"

namespace balloon {

// Colours are &H00BBGGRR; &H800000nn names system colour nn.
inline constexpr std::uint32_t kStripColour = 0x009EF5F3;
inline constexpr std::uint32_t kBorderColour = 0x00000000;
inline constexpr int kSysTooltipBack = 24;
inline constexpr int kSysTooltipText = 23;
inline constexpr int kSysWindowText = 8;
inline constexpr int kSysWindow = 5;
inline constexpr std::uint32_t SysColour(int index) {
  return 0x80000000u | static_cast<std::uint32_t>(index);
}
inline constexpr int kCornerEllipse = 25;
inline constexpr int kBorderWidth = 2;

// Every pixel value of the design is for 96 DPI; at another DPI it is scaled by DPI / 96.
inline constexpr int kDesignDpi = 96;
// Sizes in which every picture is drawn, smallest first.
inline constexpr int kPictureSizes[] = {16, 20, 24, 32};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Design positions and sizes in pixels (the design's twips at 15 per pixel).
namespace design {
inline constexpr int kClientWidth = 312;
inline constexpr int kClientHeight = 128;
inline constexpr Rect lblTitle{32, 0, 249, 17};
inline constexpr Rect imgDisplayIcon{8, 8, 16, 16};
inline constexpr Rect imgX{256, 40, 16, 16};
inline constexpr Rect lblX{256, 40, 13, 13};
inline constexpr Rect imgX_Up{272, 24, 16, 16};
inline constexpr Rect imgX_Dn{232, 40, 16, 16};
inline constexpr Rect imgIconXP[3] = {{16, 88, 16, 16}, {32, 88, 16, 16}, {48, 88, 16, 16}};
inline constexpr Rect imgIcon[3] = {{64, 88, 16, 16}, {80, 88, 16, 16}, {96, 88, 16, 16}};
inline constexpr Rect txtTip{92, 28, 109, 57};
inline constexpr std::wstring_view kTitleCaption = L"<Title>";
inline constexpr std::wstring_view kTitleFace = L"MS Sans Serif";
inline constexpr int kTitlePointsX100 = 825;
inline constexpr int kTitleWeight = 700;
inline constexpr std::wstring_view kCloseGlyph = L"r";
inline constexpr std::wstring_view kCloseFace = L"Marlett";
inline constexpr int kClosePointsX100 = 825;
inline constexpr int kCloseWeight = 500;
inline constexpr std::uint32_t kCloseColour = 0x00FFFFFF;
inline constexpr std::wstring_view kCloseToolTip = L"Close";
// Three lines, each ended by CR LF: the word "txtTip" in MS Sans Serif at 8.5 points.
inline constexpr std::string_view kTipRtf =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 MS Sans Serif;}}\r\n"
    "\\viewkind4\\uc1\\pard\\lang1033\\f0\\fs17 txtTip\r\n"
    "\\par }\r\n";
inline constexpr std::wstring_view kTipFace = L"MS Sans Serif";
inline constexpr int kTipHalfPoints = 17;
}  // namespace design

// The arguments of SetBalloon, in its order (height before width) with its defaults.
struct BalloonSpec {
  std::wstring sTitle;
  std::wstring sText;
  std::int32_t lPosX = 0;
  std::int32_t lPosY = 0;
  std::wstring sIcon;
  bool bShowClose = false;
  std::int32_t lAutoCloseAfter = 0;
  std::int32_t lHeight = 1620;
  std::int32_t lWidth = 4680;
  std::wstring sFont = L"MS Sans Serif";
  std::wstring sRTFFilename;
};

enum class IconStyle { Newer, Classic };
enum class IconRole { Information = 0, Error = 1, Warning = 2 };
struct IconKind {
  IconStyle style;
  IconRole role;
  bool operator==(const IconKind&) const = default;
};

// What the balloon is drawn in, each colour &H00BBGGRR or &H800000nn.
struct Colours {
  std::uint32_t strip;
  std::uint32_t title;
  std::uint32_t back;  // below the strip, the message area's background with it
  std::uint32_t message;
  std::uint32_t border;
  bool operator==(const Colours&) const = default;
};
// The design's colours, its message in the rich-text control's own colour (the window text);
// in a high-contrast theme the theme's alone: the strip and the title as a window and its text,
// the rest as a tool tip and its text.
Colours ColoursFor(bool highContrast);

// The icon an sIcon code selects after lower-casing; nothing for any other code.
std::optional<IconKind> LookupIcon(std::wstring_view sIcon);

// What SetBalloon touches on the form, in the form's own terms.
class TipForm {
 public:
  virtual void SetTitleCaption(const std::wstring& caption) = 0;
  virtual void SetMessageText(const std::wstring& text) = 0;
  // Replaces the text with the file's rich text; the failure when it cannot be read.
  virtual win32::Status LoadMessageFile(const std::wstring& path) = 0;
  virtual void MoveTwips(std::int32_t left, std::int32_t top) = 0;
  virtual void ShowIconPicture(IconKind icon) = 0;
  virtual void HideDisplayIcon() = 0;
  virtual int DisplayIconLeft() const = 0;
  virtual void SetTitleLeft(int left) = 0;
  virtual void SetCloseVisible(bool visible) = 0;
  virtual void SetAutoClose(std::int32_t intervalMs, bool enabled) = 0;
  virtual void SetWidthTwips(std::int32_t width) = 0;
  virtual void SetHeightTwips(std::int32_t height) = 0;
  virtual void RoundCorners() = 0;
  virtual void SetFormFontFace(const std::wstring& face) = 0;
  virtual void SetMessageFontFace(const std::wstring& face) = 0;
  virtual void SetTitleFontFace(const std::wstring& face) = 0;
  // txtTip's plain text, and the form's own caption, which is never drawn.
  virtual std::wstring MessageText() const = 0;
  virtual void SetCaption(const std::wstring& caption) = 0;

 protected:
  ~TipForm() = default;
};

// The screen's size in twips, counted at the primary monitor's DPI.
struct ScreenTwips {
  double width = 0;
  double height = 0;
};
// Pellory's balloon for a report of TEXT: its size, place on SCREEN, icon and time on screen.
BalloonSpec MakeBalloonSpec(const std::wstring& text, IconRole icon, ScreenTwips screen);

// Configures a balloon, step by step in the order the form expects.
// Stops at a rich-text file that cannot be read, and says why.
win32::Status SetBalloon(TipForm& form, const BalloonSpec& spec);

// What a screen reader says for a balloon: "title: text", each line break a blank.
std::wstring AccessibleName(std::wstring_view title, std::wstring_view text);

// Twips to whole pixels, a half going to the even neighbour.
int RoundHalfEven(double value);
int TwipsToPixels(double twips, double twipsPerPixel);

// A design pixel value at DPI, rounded half away from zero as MulDiv does; the one rounding rule
// of every scaled value.
int Scale(int value, int dpi);
Rect Scale(const Rect& rect, int dpi);
// Character height in pixels of a font of this size at DPI.
int FontPixels(int pointsX100, int dpi);
// The picture size drawn in a box: the nearest one that fits, else the smallest.
int PictureSize(int box);
// A square of SIZE centred in BOX, so that a picture is never stretched.
Rect Centred(const Rect& box, int size);

// Positions of the visible controls for a client size at DPI, their edges scaled from 96 DPI,
// and the rounded shape: the window's region is the whole client size.
struct Layout {
  Rect txtTip;
  Rect lblX;
  Rect imgX;  // imgX_Dn and imgX_Up get the same place
  Rect imgDisplayIcon;
  Rect lblTitle;
  Rect border;  // the painted border's outline
  int pen;      // the border's width
  int ellipse;  // the corners' of both the region and the border
};
Layout ComputeLayout(int scaleWidth, int scaleHeight, int dpi = kDesignDpi);

// The auto-close delay as it runs down, in milliseconds of a steady clock. It stands still while
// the pointer is over the balloon; once the pointer leaves, what was left runs on, but never less
// than kLeastAfterPointerMs, so that a pointer passing by does not close the balloon.
inline constexpr std::uint32_t kLeastAfterPointerMs = 1000;
class AutoCloseClock {
 public:
  AutoCloseClock(std::uint32_t delayMs, std::uint64_t now)
      : delay_(delayMs), deadline_(now + delayMs) {}
  std::uint32_t Delay() const { return delay_; }
  bool Held() const { return held_; }
  // The pointer came onto the balloon.
  void Hold(std::uint64_t now);
  // The pointer left it: the milliseconds until it closes.
  std::uint32_t Release(std::uint64_t now);

 private:
  std::uint32_t delay_;
  std::uint64_t deadline_;
  std::uint64_t left_ = 0;
  bool held_ = false;
};

// The sources and events of the form, and what each combination does.
enum class Source { Form, DisplayIcon, ImgX, LblX, TxtTip, Timer, LblTitle };
enum class Event { Click, DblClick, MouseDown, MouseUp, Tick };
enum class Reaction { None, Hide, ShowPressed, ShowReleased };
inline constexpr int kLeftButton = 1;
Reaction React(Source source, Event event, int button, bool closeVisible);

}  // namespace balloon
