// The balloon's window class and the libraries it needs, set up once, with the first balloon.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "win32/result.h"

namespace tipClass {

inline constexpr wchar_t kName[] = L"frmTip";

// comctl32 is loaded once the first balloon is on screen, and only for the close button's tool
// tip: the program is up, the tool started and the balloon shown sooner. Tried once; the
// failure that stopped it.
win32::Status LoadCommonControls();

// Loads the rich-text control and registers the class; the failure that stops it. Done once all
// of it succeeded: after a failure the next balloon tries again and meets the same cause.
win32::Status Register(WNDPROC windowProc);

}  // namespace tipClass
