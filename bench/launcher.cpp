// The series floor: a program that imports only KERNEL32 and msvcrt, starts the system's
// regsvr32 with its own arguments at once, waits for it and ends with its status. It pays the
// two process starts in series that Pellory pays, and nothing else.
#include <windows.h>

#include "win32/handle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  wchar_t program[MAX_PATH + 16];
  const UINT n = GetSystemDirectoryW(program, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 2;
  lstrcpyW(program + n, L"\\regsvr32.exe");
  // The tool's command line: its quoted name, then ours as we were given it.
  wchar_t line[4096];
  if (lstrlenW(program) + lstrlenW(arguments) + 4 > 4096) return 2;
  lstrcpyW(line, L"\"");
  lstrcatW(line, program);
  lstrcatW(line, L"\" ");
  lstrcatW(line, arguments);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(program, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return 2;
  }
  const win32::unique_handle_k thread(pi.hThread), process(pi.hProcess);
  DWORD status = 2;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &status)) {
    return 2;
  }
  return static_cast<int>(status);
}
