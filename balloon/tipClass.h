// The balloon's window class and the libraries it needs, set up once, with the first balloon.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace tipClass {

inline constexpr wchar_t kName[] = L"frmTip";

// comctl32 comes with the first balloon instead of with the program, so that the program is up
// and the tool started sooner. Throws when it cannot be loaded.
struct CommonControls {
  decltype(&::InitCommonControlsEx) initCommonControlsEx;
  decltype(&::SetWindowSubclass) setWindowSubclass;
  decltype(&::RemoveWindowSubclass) removeWindowSubclass;
  decltype(&::DefSubclassProc) defSubclassProc;
};
const CommonControls& Comctl();

// Loads the rich-text control and the common controls and registers the class; throws what
// stops it. Done once all of it succeeded: after a failure the next balloon tries again and
// meets the same cause.
void Register(WNDPROC windowProc);

}  // namespace tipClass
