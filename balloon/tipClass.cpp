#include "balloon/tipClass.h"

#include "balloon/resource.h"
#include "win32/system.h"

namespace tipClass {

win32::Status LoadCommonControls() {
  static const win32::Status failure = []() -> win32::Status {
    static const win32::SystemLibrary comctl(L"comctl32.dll");
    const auto init = comctl.Bind<decltype(::InitCommonControlsEx)>("InitCommonControlsEx");
    if (!init) return win32::FailureOf(init.failure().code, L"comctl32");
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    if (!(*init)(&icc)) return win32::LastFailure(L"comctl32");
    return {};
  }();
  return failure;
}

win32::Status Register(WNDPROC windowProc) {
  static bool registered = false;
  if (registered) return {};
  // The rich-text control's class.
  static const win32::SystemLibrary richEdit(L"msftedit.dll");
  if (!richEdit) return win32::FailureOf(richEdit.failure().code, L"msftedit");
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
