#include "balloon/tipClass.h"

#include "balloon/resource.h"
#include "win32/system.h"

namespace tipClass {

bool LoadCommonControls() {
  static const bool loaded = [] {
    static const win32::SystemLibrary comctl(L"comctl32.dll");
    const auto init = comctl.Bind<decltype(::InitCommonControlsEx)>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
    return init && init(&icc);
  }();
  return loaded;
}

win32::Status Register(WNDPROC windowProc) {
  static bool registered = false;
  if (registered) return {};
  // The rich-text control's class.
  static const win32::SystemLibrary richEdit(L"msftedit.dll");
  if (!richEdit) return win32::FailureOf(richEdit.Error(), L"msftedit");
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
