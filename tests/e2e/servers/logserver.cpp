// Stand-in COM server for the end-to-end tests: every entry point appends its name to a log
// beside the DLL, so a test can tell which calls regsvr32 made. Variants by definition:
// LOGSERVER_FAIL (register/unregister fail), LOGSERVER_NO_INSTALL (no DllInstall),
// LOGSERVER_HANG (register never returns in time).
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <memory>
#include <string>
#include <type_traits>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using unique_file = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

std::wstring LogPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path.data(),
                                 static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path + L".log";
    }
    path.resize(path.size() * 2);
  }
}

// Opened and closed per call, so the log is complete even if the process is killed next.
void Log(const std::wstring& line) {
  std::wstring text = line + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  HANDLE handle = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  unique_file file(handle);
  DWORD written = 0;
  WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

#ifdef LOGSERVER_FAIL
constexpr HRESULT kRegisterResult = E_FAIL;
#else
constexpr HRESULT kRegisterResult = S_OK;
#endif

}  // namespace

STDAPI DllRegisterServer() {
  Log(L"DllRegisterServer");
#ifdef LOGSERVER_HANG
  Sleep(120000);
#endif
  return kRegisterResult;
}

STDAPI DllUnregisterServer() {
  Log(L"DllUnregisterServer");
  return kRegisterResult;
}

#ifndef LOGSERVER_NO_INSTALL
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL bInstall, LPCWSTR pszCmdLine) {
  std::wstring line = bInstall ? L"DllInstall 1" : L"DllInstall 0";
  if (pszCmdLine && *pszCmdLine) line += std::wstring(L" ") + pszCmdLine;
  Log(line);
  return S_OK;
}
#endif

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* ppv) {
  Log(L"DllGetClassObject");
  if (ppv) *ppv = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  Log(L"DllCanUnloadNow");
  return S_OK;
}
