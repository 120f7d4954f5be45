// The floor for showing a window: a minimal Win32 program with one plain window of the balloon's
// size and styles, no resources; it ends when the window is closed. With "richedit" the window
// holds a line in the system's rich-text control, the least any balloon with that control needs.
// With "tool ARGS" it first starts the system's regsvr32 with ARGS, then makes the window with
// the control hidden and shows it once the tool has ended: the least any program needs that
// shows such a balloon after the tool, under Wine's costs of loading the window system. The
// window system is delay-loaded, so that the tool starts first.
#include <windows.h>
#include <richedit.h>

#include <cwchar>

#include "win32/handle.h"

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
  win32::unique_handle_k tool;
  const bool beside = std::wcsncmp(arguments, L"tool ", 5) == 0;
  if (beside) {
    wchar_t program[MAX_PATH + 16], line[4096];
    const UINT n = GetSystemDirectoryW(program, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 2;
    lstrcpyW(program + n, L"\\regsvr32.exe");
    if (std::swprintf(line, 4096, L"\"%ls\" %ls", program, arguments + 5) < 0) return 2;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(program, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      return 2;
    }
    const win32::unique_handle_k thread(pi.hThread);
    tool.reset(pi.hProcess);
  }
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
  if ((beside || std::wcscmp(arguments, L"richedit") == 0) &&
      !(LoadLibraryExW(L"msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) &&
        CreateWindowExW(0, MSFTEDIT_CLASS, L"has been registered.", WS_CHILD | WS_VISIBLE, 8, 8,
                        317, 51, window, nullptr, instance, nullptr))) {
    return 2;
  }
  if (tool && WaitForSingleObject(tool.get(), INFINITE) != WAIT_OBJECT_0) return 2;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
