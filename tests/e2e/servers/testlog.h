// The test servers' log: each line a server writes goes to "<its own file>.log", so a test can
// tell what ran and how.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <memory>
#include <string>
#include <type_traits>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace testlog {

struct HandleCloser {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
using unique_file = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// This module's own file, DLL or program.
inline std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path.data(),
                                 static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Opened and closed per call, so the log is complete even if the process is killed next.
inline void Log(const std::wstring& line, const wchar_t* suffix = L".log") {
  std::wstring text = line + L"\n";
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string utf8(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  HANDLE handle = CreateFileW((ModulePath() + suffix).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  unique_file file(handle);
  DWORD written = 0;
  WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// Who started the process that loaded this module, in "<its own file>.parent".
inline void LogParent() {
  const HANDLE raw = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (raw == INVALID_HANDLE_VALUE) return;
  unique_file snapshot(raw);
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
