// Stand-in COM server for the end-to-end tests: every entry point appends its name to a log
// beside the DLL, so a test can tell which calls regsvr32 made. Variants by definition:
// LOGSERVER_FAIL (register/unregister fail), LOGSERVER_NO_INSTALL (no DllInstall),
// LOGSERVER_HANG (register never returns in time).
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include "testlog.h"

namespace {

#ifdef LOGSERVER_FAIL
constexpr HRESULT kRegisterResult = E_FAIL;
#else
constexpr HRESULT kRegisterResult = S_OK;
#endif

}  // namespace

STDAPI DllRegisterServer() {
  testlog::Log(L"DllRegisterServer");
  testlog::LogParent();
#ifdef LOGSERVER_HANG
  Sleep(120000);
#endif
  return kRegisterResult;
}

STDAPI DllUnregisterServer() {
  testlog::Log(L"DllUnregisterServer");
  return kRegisterResult;
}

#ifndef LOGSERVER_NO_INSTALL
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL bInstall, LPCWSTR pszCmdLine) {
  std::wstring line = bInstall ? L"DllInstall 1" : L"DllInstall 0";
  if (pszCmdLine && *pszCmdLine) line += std::wstring(L" ") + pszCmdLine;
  testlog::Log(line);
  return S_OK;
}
#endif

STDAPI DllGetClassObject(REFCLSID, REFIID, LPVOID* ppv) {
  testlog::Log(L"DllGetClassObject");
  if (ppv) *ppv = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
  testlog::Log(L"DllCanUnloadNow");
  return S_OK;
}
