// The floor for showing a window: a minimal Win32 program with one plain window of the balloon's
// size and styles, no resources; it ends when the window is closed. With "richedit" the window
// holds a line in the system's rich-text control, the least any balloon with that control needs.
#include <windows.h>
#include <richedit.h>

#include <cwchar>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hbrBackground = GetSysColorBrush(COLOR_INFOBK);
  wc.lpszClassName = L"plainwindow";
  RegisterClassW(&wc);
  const HWND window =
      CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, wc.lpszClassName, L"",
                      WS_POPUP, 0, 0, 333, 67, nullptr, nullptr, instance, nullptr);
  // Without the control the run fails, rather than timing a window without it.
  if (std::wcscmp(arguments, L"richedit") == 0 &&
      !(LoadLibraryExW(L"msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) &&
        CreateWindowExW(0, MSFTEDIT_CLASS, L"has been registered.", WS_CHILD | WS_VISIBLE, 8, 8,
                        317, 51, window, nullptr, instance, nullptr))) {
    return 2;
  }
  ShowWindow(window, SW_SHOWNOACTIVATE);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
