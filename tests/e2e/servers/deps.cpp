// Small libraries for the reasons a file cannot be loaded: each exports the functions named by
// EXPORT1 and EXPORT2 and calls the one named by IMPORT, which a made-up import library takes
// from a library that may be missing or too old. Without any, a library that exports nothing.
#include <windows.h>

#ifdef IMPORT
extern "C" __declspec(dllimport) int IMPORT();
#endif

#ifdef EXPORT1
extern "C" __declspec(dllexport) int EXPORT1() {
#ifdef IMPORT
  return IMPORT() + 1;
#else
  return 1;
#endif
}
#endif

#ifdef EXPORT2
extern "C" __declspec(dllexport) int EXPORT2() { return 2; }
#endif

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
