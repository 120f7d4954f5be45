// The balloon's fonts and pictures, made for the DPI they are drawn at.
#pragma once

#include <windows.h>

#include <string>

#include "balloon/tipDesign.h"
#include "win32/handle.h"

namespace balloon {

struct TipPictures {
  // All of them anew for DPI, each picture drawn for the size it is shown at.
  void Load(const std::wstring& titleFace, int dpi);
  void LoadTitleFont(const std::wstring& face, int dpi);
  HICON Icon(IconKind icon) const;

  win32::unique_hfont titleFont;
  win32::unique_hfont closeFont;
  win32::unique_hbitmap closeUp;
  win32::unique_hbitmap closeDown;
  int closeSize = 16;
  int iconSize = 16;

 private:
  win32::unique_hicon newer_[3];
  win32::unique_hicon classic_[3];
};

}  // namespace balloon
