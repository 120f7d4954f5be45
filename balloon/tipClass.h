// The balloon's window class and the libraries it needs, set up once, with the first balloon.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "win32/result.h"

namespace tipClass {

inline constexpr wchar_t kName[] = L"frmTip";

// comctl32 comes with the first balloon instead of with the program, so that the program is up
// and the tool started sooner: loaded by Register, so that a window of the class has it.
struct CommonControls {
  decltype(&::InitCommonControlsEx) initCommonControlsEx;
  decltype(&::SetWindowSubclass) setWindowSubclass;
  decltype(&::RemoveWindowSubclass) removeWindowSubclass;
  decltype(&::DefSubclassProc) defSubclassProc;
};
const CommonControls& Comctl();

// Loads the rich-text control and the common controls and registers the class; the failure that
// stops it. Done once all of it succeeded: after a failure the next balloon tries again and
// meets the same cause.
win32::Status Register(WNDPROC windowProc);

}  // namespace tipClass
