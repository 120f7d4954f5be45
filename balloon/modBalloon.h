// Platform declarations for the balloon: owning types for every handle it holds, and the few
// screen facts it reads.
#pragma once

#include <windows.h>

#include <utility>

namespace modBalloon {

// Move-only owner of one handle, closed by Close.
template <class H, auto Close>
class unique_handle {
 public:
  unique_handle() = default;
  explicit unique_handle(H h) : h_(h) {}
  unique_handle(unique_handle&& other) noexcept : h_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;
  ~unique_handle() { reset(); }

  H get() const { return h_; }
  explicit operator bool() const { return h_ != H{}; }
  H release() { return std::exchange(h_, H{}); }
  void reset(H h = H{}) {
    if (h_ != H{}) Close(h_);
    h_ = h;
  }

 private:
  H h_{};
};

inline void CloseGdi(HGDIOBJ h) { DeleteObject(h); }
inline void DestroyHwnd(HWND h) { DestroyWindow(h); }
inline void CloseIcon(HICON h) { DestroyIcon(h); }
inline void CloseKernel(HANDLE h) { CloseHandle(h); }
inline void CloseModule(HMODULE h) { FreeLibrary(h); }
inline void CloseMemoryDc(HDC h) { DeleteDC(h); }

using unique_hwnd = unique_handle<HWND, &DestroyHwnd>;
using unique_hrgn = unique_handle<HRGN, &CloseGdi>;
using unique_hbrush = unique_handle<HBRUSH, &CloseGdi>;
using unique_hpen = unique_handle<HPEN, &CloseGdi>;
using unique_hfont = unique_handle<HFONT, &CloseGdi>;
using unique_hbitmap = unique_handle<HBITMAP, &CloseGdi>;
using unique_hicon = unique_handle<HICON, &CloseIcon>;
using unique_hdc = unique_handle<HDC, &CloseMemoryDc>;
using unique_handle_k = unique_handle<HANDLE, &CloseKernel>;
using unique_hmodule = unique_handle<HMODULE, &CloseModule>;

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
  using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  static const unique_hmodule shcore(
      LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  static const auto getDpiForMonitor =
      shcore ? reinterpret_cast<GetDpiForMonitorFn>(
                   reinterpret_cast<void (*)()>(GetProcAddress(shcore.get(), "GetDpiForMonitor")))
             : nullptr;
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
