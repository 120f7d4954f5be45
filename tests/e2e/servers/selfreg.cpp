// Stand-in out-of-process COM server: it logs the command line it was started with and how it
// was asked to show, and ends at once. A copy whose name starts with "fail" reports a failure.
// Built with and without the version block's self-registering marker.
#include <windows.h>

#include <string>

#include "testlog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  testlog::Log(GetCommandLineW());
  testlog::Log(L"show " + std::to_wstring(show));
  return testlog::NamedAs(L"fail") ? 7 : 0;
}
