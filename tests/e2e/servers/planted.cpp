// A stand-in planted where Pellory must never look for its tool (the current folder, the target's
// folder): if it is ever started, it leaves "<its own path>.ran" beside itself.
#include <windows.h>

#include "testlog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const win32::unique_hfile record(CreateFileW((testlog::ModulePath() + L".ran").c_str(),
                                               GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
  // Not 0, 3 or any status regsvr32 gives, so a report built on it would stand out too.
  return 77;
}
