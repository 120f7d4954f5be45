// Platform declarations for the balloon: owning types for every handle it holds, and the few
// screen facts it reads.
#pragma once

#include <windows.h>

#include "win32/handle.h"

namespace modBalloon {

// The owning types (unique_hwnd, unique_hfont, ...) live with the rest of the Win32 plumbing;
// their names stay usable here.
using namespace win32;

// A screen DC borrowed for a moment.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Puts the previously selected object back when it goes out of scope.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectGuard() { SelectObject(dc_, old_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Twips per pixel come from the screen's logical DPI (15 at 96 dots per inch).
struct TwipsPerPixel {
  double x;
  double y;
};
inline TwipsPerPixel ScreenTwipsPerPixel() {
  ScreenDc dc;
  return {1440.0 / GetDeviceCaps(dc.get(), LOGPIXELSX),
          1440.0 / GetDeviceCaps(dc.get(), LOGPIXELSY)};
}

// Colours of the form: fixed &H00BBGGRR values, or &H800000nn for system colour nn.
inline COLORREF ToColorRef(DWORD colour) {
  return (colour & 0x80000000u) ? GetSysColor(static_cast<int>(colour & 0xFF)) : colour;
}

}  // namespace modBalloon
