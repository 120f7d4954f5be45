// The test servers' log: each line a server writes goes to "<its own file>.log", so a test can
// tell what ran and how.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <string>

#include "win32/system.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace testlog {

// This module's own file, DLL or program.
inline std::wstring ModulePath() {
  return win32::ModulePath(reinterpret_cast<HMODULE>(&__ImageBase));
}

// Opened and closed per call, so the log is complete even if the process is killed next.
inline void Log(const std::wstring& line, const wchar_t* suffix = L".log") {
  std::wstring text = line + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  const win32::unique_hfile file(CreateFileW((ModulePath() + suffix).c_str(), FILE_APPEND_DATA,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// Who started the process that loaded this module, in "<its own file>.parent".
inline void LogParent() {
  const win32::unique_hfile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) {
      Log(std::to_wstring(entry.th32ParentProcessID), L".parent");
    }
  }
}

}  // namespace testlog
