// The benchmark's COM server: DllRegisterServer notes the performance counter on entry in
// "<its own file>.entry", so that the driver can split a run at the moment the work begins.
#include <windows.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

STDAPI DllRegisterServer() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  wchar_t path[MAX_PATH + 8];
  const DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
  lstrcpyW(path + n, L".entry");
  const HANDLE file =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return E_FAIL;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, &now, sizeof(now), &written, nullptr);
  CloseHandle(file);
  return ok && written == sizeof(now) ? S_OK : E_FAIL;
}
