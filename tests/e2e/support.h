// Helpers of the end-to-end driver: starting the built programs and watching their windows.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win32/handle.h"

namespace e2e {

using UniqueKernelHandle = win32::unique_handle_k;
using UniqueHkey = win32::unique_hkey;
using UniqueHmodule = win32::unique_hmodule;

// A started program; one still running when its owner goes is terminated, so that a failed
// test leaves nothing behind.
class Process {
 public:
  Process() = default;
  Process(UniqueKernelHandle handle, DWORD id) : handle_(std::move(handle)), id_(id) {}
  Process(Process&&) noexcept = default;
  Process& operator=(Process&& other) noexcept;
  ~Process();
  HANDLE Handle() const { return handle_.get(); }
  DWORD Id() const { return id_; }
  explicit operator bool() const { return static_cast<bool>(handle_); }

 private:
  void Stop();
  UniqueKernelHandle handle_;
  DWORD id_ = 0;
};

// Folder of the running e2e.exe, where the built programs are too; no trailing backslash.
std::wstring BinDir();

// Starts FILE with the argument text ARGS (may be empty), in DIR if given, with TOKEN if given;
// empty on failure.
Process Start(const std::wstring& file, const std::wstring& args = {}, const std::wstring& dir = {},
              HANDLE token = nullptr);

// Exit code once the process has ended, or nothing if it still runs after timeoutMs.
std::optional<DWORD> WaitExit(const Process& process, DWORD timeoutMs);

// The visible top-level windows that belong to process PID.
std::vector<HWND> VisibleWindows(DWORD pid);

// Class name of a window, e.g. L"#32770" for a dialog or message box.
std::wstring ClassName(HWND window);

// Polls until a visible top-level window of class CLS belongs to PROCESS; nullptr if the
// process ends first or timeoutMs pass.
HWND WaitForWindow(const Process& process, std::wstring_view cls, DWORD timeoutMs);

// Whether the key PATH exists below the classes root, in the driver's own registry view.
bool KeyExists(const std::wstring& path);

// The default string value of the key PATH below the classes root; nothing if it has none.
std::optional<std::wstring> DefaultValue(const std::wstring& path);

// Creates the key PATH below the classes root if need be and, unless VALUE is empty, sets its
// string value NAME (the default value when NAME is empty). Fails the test if it cannot.
void CreateKey(const std::wstring& path, const std::wstring& value = {},
               const std::wstring& name = {});

// One string of a file's US-English version block (e.g. L"ProductName"); nothing if missing.
std::optional<std::wstring> VersionString(const std::wstring& file, std::wstring_view name);

// File version of a file's fixed version part as "a.b.c.d"; nothing if missing.
std::optional<std::wstring> FileVersion(const std::wstring& file);

}  // namespace e2e
