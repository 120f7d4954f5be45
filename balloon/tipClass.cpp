#include "balloon/tipClass.h"

#include <system_error>

#include "balloon/resource.h"
#include "win32/system.h"

namespace tipClass {

const CommonControls& Comctl() {
  static const win32::SystemLibrary module(L"comctl32.dll");
  static const CommonControls functions = [] {
    if (!module) throw std::system_error(module.Error(), std::system_category(), "comctl32");
    const auto bind = [](const char* name) {
      const auto proc = module.Bind<void()>(name);
      if (!proc) throw std::system_error(GetLastError(), std::system_category(), name);
      return proc;
    };
    return CommonControls{
        reinterpret_cast<decltype(&::InitCommonControlsEx)>(bind("InitCommonControlsEx")),
        reinterpret_cast<decltype(&::SetWindowSubclass)>(bind("SetWindowSubclass")),
        reinterpret_cast<decltype(&::RemoveWindowSubclass)>(bind("RemoveWindowSubclass")),
        reinterpret_cast<decltype(&::DefSubclassProc)>(bind("DefSubclassProc"))};
  }();
  return functions;
}

void Register(WNDPROC windowProc) {
  static const bool registered = [windowProc] {
    // The rich-text control's class and the tool tip's.
    static const win32::SystemLibrary richEdit(L"msftedit.dll");
    if (!richEdit) throw std::system_error(richEdit.Error(), std::system_category(), "msftedit");
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    Comctl().initCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 32, 32, LR_SHARED));
    wc.hIconSm = static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, 16, 16, LR_SHARED));
    wc.lpszClassName = kName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      throw std::system_error(GetLastError(), std::system_category());
    }
    return true;
  }();
  (void)registered;
}

}  // namespace tipClass
