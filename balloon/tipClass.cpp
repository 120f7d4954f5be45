#include "balloon/tipClass.h"

#include "balloon/resource.h"
#include "win32/system.h"

namespace tipClass {

namespace {
CommonControls functions{};
}  // namespace

const CommonControls& Comctl() { return functions; }

win32::Status Register(WNDPROC windowProc) {
  static bool registered = false;
  if (registered) return {};
  // The rich-text control's class and the tool tip's.
  static const win32::SystemLibrary richEdit(L"msftedit.dll");
  if (!richEdit) return win32::FailureOf(richEdit.Error(), L"msftedit");
  static const win32::SystemLibrary comctl(L"comctl32.dll");
  void (*bound[4])() = {};
  const char* names[] = {"InitCommonControlsEx", "SetWindowSubclass", "RemoveWindowSubclass",
                         "DefSubclassProc"};
  for (int i = 0; i < 4; ++i) {
    if (!(bound[i] = comctl.Bind<void()>(names[i]))) return win32::LastFailure(L"comctl32");
  }
  functions = {reinterpret_cast<decltype(&::InitCommonControlsEx)>(bound[0]),
               reinterpret_cast<decltype(&::SetWindowSubclass)>(bound[1]),
               reinterpret_cast<decltype(&::RemoveWindowSubclass)>(bound[2]),
               reinterpret_cast<decltype(&::DefSubclassProc)>(bound[3])};
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_WIN95_CLASSES;
  functions.initCommonControlsEx(&icc);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = static_cast<HICON>(
      LoadImageW(wc.hInstance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 32, 32, LR_SHARED));
  wc.hIconSm = static_cast<HICON>(
      LoadImageW(wc.hInstance, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 16, 16, LR_SHARED));
  wc.lpszClassName = kName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return win32::LastFailure();
  }
  registered = true;
  return {};
}

}  // namespace tipClass
