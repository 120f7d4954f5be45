// The few screen facts the balloon reads.
#pragma once

#include <windows.h>

#include "balloon/tipDesign.h"
#include "win32/handle.h"
#include "win32/system.h"

namespace modBalloon {

// The DPI of a monitor, as a per-monitor aware program sees it. GetDpiForMonitor exists from
// Windows 8.1 on, so shcore.dll is looked for at run time, in the system folder only; before
// that every monitor has the screen's logical DPI.
inline int MonitorDpi(HMONITOR monitor) {
  using GetDpiForMonitorFn = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);
  static const win32::SystemLibrary shcore(L"shcore.dll");
  static const auto getDpiForMonitor = shcore.Bind<GetDpiForMonitorFn>("GetDpiForMonitor");
  UINT x = 0, y = 0;
  constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
  if (getDpiForMonitor && SUCCEEDED((*getDpiForMonitor)(monitor, kEffectiveDpi, &x, &y)) && y > 0) {
    return static_cast<int>(y);
  }
  const win32::ScreenDc dc;
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

inline balloon::Rect FromRECT(const RECT& r) {
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
inline RECT ToRECT(const balloon::Rect& r) {
  return {r.left, r.top, r.left + r.width, r.top + r.height};
}

// A monitor's whole area and its work area, which leaves out the taskbar and the desktop's
// toolbars; both are the screen's when it cannot be asked.
struct MonitorAreas {
  balloon::Rect monitor;
  balloon::Rect work;
};
inline MonitorAreas AreasOf(HMONITOR handle) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(handle, &info)) {
    const balloon::Rect screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return {screen, screen};
  }
  return {FromRECT(info.rcMonitor), FromRECT(info.rcWork)};
}

// Whether the user chose a high-contrast theme, whose colours then draw the whole balloon.
inline bool HighContrast() {
  HIGHCONTRASTW theme{};
  theme.cbSize = sizeof(theme);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(theme), &theme, 0) &&
         (theme.dwFlags & HCF_HIGHCONTRASTON);
}

// Colours of the form: fixed &H00BBGGRR values, or &H800000nn for system colour nn.
inline COLORREF ToColorRef(DWORD colour) {
  return (colour & 0x80000000u) ? GetSysColor(static_cast<int>(colour & 0xFF)) : colour;
}

}  // namespace modBalloon
