#include "frontend/marks.h"

#include <windows.h>

#include <cstdio>

#include "win32/handle.h"

namespace marks {
namespace {

struct Mark {
  const wchar_t* name;
  LONGLONG counter;
};

// Fixed room, no allocation: a mark must not change what it measures.
constexpr int kRoom = 32;
Mark noted[kRoom];
int count = 0;
bool on = false;
wchar_t file[MAX_PATH];

}  // namespace

void Begin() {
  const DWORD n = GetEnvironmentVariableW(L"PELLORY_MARKS", file, MAX_PATH);
  on = n > 0 && n < MAX_PATH;
  if (on) Note(L"wWinMain");
}

void Note(const wchar_t* name) {
  if (!on || count == kRoom) return;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  noted[count++] = {name, now.QuadPart};
}

void Write() {
  if (!on) return;
  const win32::unique_hfile out(
      CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return;
  for (int i = 0; i < count; ++i) {
    char line[96];
    const int n = std::snprintf(line, sizeof(line), "%ls %lld\n", noted[i].name, noted[i].counter);
    DWORD written = 0;
    if (n > 0) WriteFile(out.get(), line, static_cast<DWORD>(n), &written, nullptr);
  }
}

}  // namespace marks
