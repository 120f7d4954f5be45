// Planted under the names of the libraries Pellory and Brannock load, beside them and in the
// current folder: if it is ever loaded, "loaded" stands in the log beside it.
#include <windows.h>

#include "testlog.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) testlog::Log(L"loaded");
  return TRUE;
}
