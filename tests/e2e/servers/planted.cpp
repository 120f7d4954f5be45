// A stand-in planted where Pellory must never look for its tool (the current folder, the target's
// folder): if it is ever started, it leaves "<its own path>.ran" beside itself.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const HANDLE record = CreateFileW((path + L".ran").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (record != INVALID_HANDLE_VALUE) CloseHandle(record);
  // Not 0, 3 or any status regsvr32 gives, so a report built on it would stand out too.
  return 77;
}
