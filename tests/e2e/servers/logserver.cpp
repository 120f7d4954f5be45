// Stand-in COM server for the end-to-end tests: every entry point appends its name to a log
// beside the DLL, so a test can tell which calls regsvr32 made. A copy's name picks a fault: one
// named "fail..." reports a failure, one named "hang..." does not return in time. Built also
// with a .def that leaves out DllInstall, and with a function taken from another library (IMPORT).
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include "testlog.h"

#ifdef IMPORT
// A function from another library, which only ties this one to it: never called.
extern "C" __declspec(dllimport) int IMPORT();
#endif

namespace {
HRESULT Registered() { return testlog::NamedAs(L"fail") ? E_FAIL : S_OK; }
}  // namespace

STDAPI DllRegisterServer() {
  testlog::Log(L"DllRegisterServer");
  testlog::LogParent();
  if (testlog::NamedAs(L"hang")) Sleep(120000);
#ifdef IMPORT
  if (testlog::NamedAs(L"never")) IMPORT();
#endif
  return Registered();
}

STDAPI DllUnregisterServer() {
  testlog::Log(L"DllUnregisterServer");
  return Registered();
}

extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL bInstall, LPCWSTR) {
  testlog::Log(bInstall ? L"DllInstall 1" : L"DllInstall 0");
  return S_OK;
}
