// Every owning or restoring type: handles, each closed by its own function and knowing its own
// "no handle" value; a borrowed screen DC; a selection into a DC; a mutex won by a wait; COM on
// a thread; a COM pointer.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <unknwn.h>

#include <memory>
#include <utility>

#include "win32/result.h"

namespace win32 {

template <class H>
constexpr H NullHandle() {
  return H{};
}
// The "no handle" of CreateFileW and a few others.
inline HANDLE InvalidFileHandle() { return INVALID_HANDLE_VALUE; }

// Move-only owner of one handle, closed by Close; Invalid() is what owns nothing.
template <class H, auto Close, auto Invalid = &NullHandle<H>>
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
  // For a function that hands a new handle out through a pointer.
  H* put() {
    reset();
    return &h_;
  }
  explicit operator bool() const { return h_ != Invalid(); }
  H release() { return std::exchange(h_, Invalid()); }
  // Keeps the last error: a close between a failure and its GetLastError must not change the
  // reason shown.
  void reset(H h = Invalid()) {
    if (h_ != Invalid()) {
      const DWORD error = GetLastError();
      Close(h_);
      SetLastError(error);
    }
    h_ = h;
  }

 private:
  H h_ = Invalid();
};

inline void CloseGdi(HGDIOBJ h) { DeleteObject(h); }
inline void DestroyHwnd(HWND h) { DestroyWindow(h); }
inline void CloseIcon(HICON h) { DestroyIcon(h); }
inline void CloseKernel(HANDLE h) { CloseHandle(h); }
inline void CloseModule(HMODULE h) { FreeLibrary(h); }
inline void CloseMemoryDc(HDC h) { DeleteDC(h); }
inline void CloseKey(HKEY h) { RegCloseKey(h); }
inline void FreeLocal(void* h) { LocalFree(h); }
inline void UnmapView(const void* view) { UnmapViewOfFile(view); }
using CoUninitializeFn = void(WINAPI*)();
inline void EndCom(CoUninitializeFn uninitialize) { uninitialize(); }

using unique_hwnd = unique_handle<HWND, &DestroyHwnd>;
using unique_hrgn = unique_handle<HRGN, &CloseGdi>;
using unique_hbrush = unique_handle<HBRUSH, &CloseGdi>;
using unique_hpen = unique_handle<HPEN, &CloseGdi>;
using unique_hfont = unique_handle<HFONT, &CloseGdi>;
using unique_hbitmap = unique_handle<HBITMAP, &CloseGdi>;
using unique_hicon = unique_handle<HICON, &CloseIcon>;
using unique_hdc = unique_handle<HDC, &CloseMemoryDc>;
// Processes, threads, events: null when there is none.
using unique_handle_k = unique_handle<HANDLE, &CloseKernel>;
// CreateFileW's and CreateToolhelp32Snapshot's: INVALID_HANDLE_VALUE when there is none.
using unique_hfile = unique_handle<HANDLE, &CloseKernel, &InvalidFileHandle>;
using unique_hmodule = unique_handle<HMODULE, &CloseModule>;
using unique_hkey = unique_handle<HKEY, &CloseKey>;
using unique_view = unique_handle<const void*, &UnmapView>;
// COM on this thread, held as the CoUninitialize that ends it: bound at run time, since ole32
// loads only where it is needed, and held only once CoInitializeEx succeeded.
using unique_co_init = unique_handle<CoUninitializeFn, &EndCom>;

// A screen DC borrowed for a moment.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_) ReleaseDC(nullptr, dc_);
  }
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

// A mutex this thread won by a wait (WAIT_OBJECT_0 or WAIT_ABANDONED), given back at the end of
// the scope; a wait that won nothing, or failed, owns nothing.
class MutexOwnership {
 public:
  MutexOwnership(HANDLE mutex, const Result<DWORD>& waited)
      : mutex_(waited && (*waited == WAIT_OBJECT_0 || *waited == WAIT_ABANDONED) ? mutex
                                                                                 : nullptr) {}
  ~MutexOwnership() {
    if (mutex_) ReleaseMutex(mutex_);
  }
  MutexOwnership(const MutexOwnership&) = delete;
  MutexOwnership& operator=(const MutexOwnership&) = delete;
  explicit operator bool() const { return mutex_ != nullptr; }

 private:
  HANDLE mutex_;
};

// A COM interface pointer, or an object of ours, released once.
struct ReleaseCom {
  template <class T>
  void operator()(T* p) const {
    p->Release();
  }
};
template <class T>
using unique_com = std::unique_ptr<T, ReleaseCom>;

}  // namespace win32
