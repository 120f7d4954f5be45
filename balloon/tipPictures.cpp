#include "balloon/tipPictures.h"

#include <iterator>

#include "balloon/resource.h"

namespace balloon {

namespace {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

win32::unique_hfont MakeFont(const std::wstring& face, int pointsX100, int weight, BYTE charset,
                             int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -FontPixels(pointsX100, dpi);
  lf.lfWeight = weight;
  lf.lfCharSet = charset;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return win32::unique_hfont(CreateFontIndirectW(&lf));
}

// Close pictures per size, released and pressed, in the order of kPictureSizes.
constexpr int kCloseBitmaps[][2] = {{IDB_CLOSE_UP, IDB_CLOSE_DOWN},
                                    {IDB_CLOSE_UP_20, IDB_CLOSE_DOWN_20},
                                    {IDB_CLOSE_UP_24, IDB_CLOSE_DOWN_24},
                                    {IDB_CLOSE_UP_32, IDB_CLOSE_DOWN_32}};

HBITMAP LoadBitmapOfSize(int id) {
  return static_cast<HBITMAP>(LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
}

// The icon's image drawn for exactly this size, from the icon's several sizes.
HICON LoadIconOfSize(int id, int size) {
  return static_cast<HICON>(
      LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

}  // namespace

void TipPictures::Load(const std::wstring& titleFace, int dpi) {
  LoadTitleFont(titleFace, dpi);
  closeFont = MakeFont(std::wstring(design::kCloseFace), design::kClosePointsX100,
                       design::kCloseWeight, SYMBOL_CHARSET, dpi);
  // The boxes' sizes do not depend on the form's.
  const auto boxes = ComputeLayout(0, 0, dpi);
  closeSize = PictureSize(boxes.imgX.width);
  const auto* ids = kCloseBitmaps[0];
  for (size_t i = 0; i < std::size(kPictureSizes); ++i) {
    if (kPictureSizes[i] == closeSize) ids = kCloseBitmaps[i];
  }
  closeUp.reset(LoadBitmapOfSize(ids[0]));
  closeDown.reset(LoadBitmapOfSize(ids[1]));
  iconSize = PictureSize(boxes.imgDisplayIcon.width);
  for (int i = 0; i < 3; ++i) {
    newer_[i].reset(LoadIconOfSize(IDI_NEWER_INFO + i, iconSize));
    classic_[i].reset(LoadIconOfSize(IDI_CLASSIC_INFO + i, iconSize));
  }
}

void TipPictures::LoadTitleFont(const std::wstring& face, int dpi) {
  titleFont = MakeFont(face, design::kTitlePointsX100, design::kTitleWeight, ANSI_CHARSET, dpi);
}

HICON TipPictures::Icon(IconKind icon) const {
  const auto& holders = icon.style == IconStyle::Newer ? newer_ : classic_;
  return holders[static_cast<int>(icon.role)].get();
}

}  // namespace balloon
