// Planted as regsvr32.exe where Pellory must not take its tool from (the current folder, the
// target's folder, beside Pellory, the PATH): if it is ever started, it logs so.
#include <windows.h>

#include "testlog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  testlog::Log(L"ran");
  // Not 0, 3 or any status regsvr32 gives, so a report built on it would stand out too.
  return 77;
}
