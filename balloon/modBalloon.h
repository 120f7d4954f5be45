// Platform declarations for the balloon: owning types for every handle it holds, and the few
// screen facts it reads.
#pragma once

#include <windows.h>

#include "win32/handle.h"
#include "win32/system.h"

namespace modBalloon {

// The owning types (unique_hwnd, unique_hfont, ...) and the loader of system libraries live with
// the rest of the Win32 plumbing; their names stay usable here.
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

// The DPI of a monitor, as a per-monitor aware program sees it. GetDpiForMonitor exists from
// Windows 8.1 on, so shcore.dll is looked for at run time, in the system folder only; before
// that every monitor has the screen's logical DPI.
inline int MonitorDpi(HMONITOR monitor) {
  using GetDpiForMonitorFn = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);
  static const SystemLibrary shcore(L"shcore.dll");
  static const auto getDpiForMonitor = shcore.Bind<GetDpiForMonitorFn>("GetDpiForMonitor");
  UINT x = 0, y = 0;
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  if (getDpiForMonitor && SUCCEEDED(getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && y > 0) {
    return static_cast<int>(y);
  }
  ScreenDc dc;
  return GetDeviceCaps(dc.get(), LOGPIXELSY);
}

// The balloon appears on the primary monitor, so screen twips are counted with its DPI.
inline int PrimaryDpi() { return MonitorDpi(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY)); }
inline int WindowDpi(HWND window) {
  return MonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

// Twips per pixel follow the DPI (15 at 96 dots per inch).
struct TwipsPerPixel {
  double x;
  double y;
};
inline TwipsPerPixel TwipsPerPixelAt(int dpi) { return {1440.0 / dpi, 1440.0 / dpi}; }
inline TwipsPerPixel ScreenTwipsPerPixel() { return TwipsPerPixelAt(PrimaryDpi()); }

// Colours of the form: fixed &H00BBGGRR values, or &H800000nn for system colour nn.
inline COLORREF ToColorRef(DWORD colour) {
  return (colour & 0x80000000u) ? GetSysColor(static_cast<int>(colour & 0xFF)) : colour;
}

}  // namespace modBalloon
