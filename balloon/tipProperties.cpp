// The balloon's properties as SetBalloon sets them: each changes the form and redraws what it
// touches.
#include "balloon/frmTip.h"

using namespace modBalloon;

void frmTip::SetTitleCaption(const std::wstring& caption) {
  titleCaption_ = caption;
  Invalidate(lblTitle_.rect);
}

void frmTip::MoveTwips(std::int32_t left, std::int32_t top) {
  SetWindowPos(hwnd(), nullptr, balloon::TwipsToPixels(left, tpp_.x),
               balloon::TwipsToPixels(top, tpp_.y), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTip::ShowIconPicture(balloon::IconKind icon) {
  displayIcon_ = icon;
  Invalidate(imgDisplayIcon_.rect);
}

void frmTip::HideDisplayIcon() {
  imgDisplayIcon_.visible = false;
  Invalidate(imgDisplayIcon_.rect);
}

void frmTip::SetTitleLeft(int left) {
  lblTitle_.rect.left = left;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void frmTip::SetCloseVisible(bool visible) {
  imgX_.visible = lblX_.visible = visible;
  closeTip_.Move(CloseToolRect());
  Invalidate(imgX_.rect);
  Invalidate(lblX_.rect);
}

void frmTip::SetWidthTwips(std::int32_t width) {
  widthTwips_ = width;
  RECT r;
  GetWindowRect(hwnd(), &r);
  SetWindowPos(hwnd(), nullptr, 0, 0, balloon::TwipsToPixels(width, tpp_.x), r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTip::SetHeightTwips(std::int32_t height) {
  heightTwips_ = height;
  RECT r;
  GetWindowRect(hwnd(), &r);
  SetWindowPos(hwnd(), nullptr, 0, 0, r.right - r.left, balloon::TwipsToPixels(height, tpp_.y),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTip::SetCaption(const std::wstring& caption) {
  // The frameless window never draws its caption.
  SetWindowTextW(hwnd(), caption.c_str());
}

void frmTip::SetTitleFontFace(const std::wstring& face) {
  // Only the face changes; the label keeps its size, so the strip keeps its height.
  titleFace_ = face;
  pictures_.LoadTitleFont(face, dpi_);
  Invalidate(lblTitle_.rect);
}
