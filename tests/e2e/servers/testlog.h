// The test servers' log: each line a server writes goes to "<its own file>.log", so a test can
// tell what ran and how; and the list of processes, which the driver reads too.
#pragma once

#include <windows.h>

#include <string>

#include "win32/system.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace testlog {

// This module's own file, DLL or program.
inline std::wstring ModulePath() {
  return win32::ModulePath(reinterpret_cast<HMODULE>(&__ImageBase));
}

// Whether this module's file name starts with PREFIX: a copy's name picks how it behaves.
inline bool NamedAs(const wchar_t* prefix) {
  const std::wstring self = ModulePath();
  return self.substr(self.find_last_of(L'\\') + 1).starts_with(prefix);
}

// Opened and closed per call, so the log is complete even if the process is killed next.
inline void Log(const std::wstring& line, const wchar_t* suffix = L".log") {
  std::string utf8(line.size() * 3 + 1, '\n');
  utf8.resize(WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                  utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr));
  utf8 += '\n';
  const win32::unique_hfile file(CreateFileW((ModulePath() + suffix).c_str(), FILE_APPEND_DATA,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// Who started the process that loaded this module, in "<its own file>.parent".
inline void LogParent() {
  for (const auto& [id, parent] : win32::Processes())
    if (id == GetCurrentProcessId()) Log(std::to_wstring(parent), L".parent");
}

}  // namespace testlog
