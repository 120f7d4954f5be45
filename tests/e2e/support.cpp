#include "support.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>

#include "win32/system.h"

namespace e2e {

Process& Process::operator=(Process&& other) noexcept {
  Stop();
  handle_ = std::move(other.handle_);
  id_ = std::exchange(other.id_, 0);
  return *this;
}

Process::~Process() { Stop(); }

void Process::Stop() {
  if (handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(handle_.get(), 1);
    WaitForSingleObject(handle_.get(), 5000);
  }
  handle_.reset();
}

std::wstring BinDir() {
  const std::wstring path = win32::ModulePath();
  return path.substr(0, path.find_last_of(L'\\'));
}

Process Start(const std::wstring& file, const std::wstring& args, const std::wstring& dir,
              HANDLE token) {
  // CreateProcessW may write into the command line, so it gets its own copy.
  std::wstring commandLine = L"\"" + file + L"\"";
  if (!args.empty()) commandLine += L" " + args;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  // Without a token, the driver's own.
  if (!CreateProcessAsUserW(token, file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, dir.empty() ? nullptr : dir.c_str(), &startup, &info)) {
    return {};
  }
  UniqueKernelHandle thread(info.hThread);
  return Process(UniqueKernelHandle(info.hProcess), info.dwProcessId);
}

std::optional<DWORD> WaitExit(const Process& process, DWORD timeoutMs) {
  DWORD code = 0;
  if (!process || WaitForSingleObject(process.Handle(), timeoutMs) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.Handle(), &code)) {
    return std::nullopt;
  }
  return code;
}

namespace {

struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search.pid && IsWindowVisible(window)) search.found.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> VisibleWindows(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(&CollectVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, ARRAYSIZE(name));
  return std::wstring(name, length > 0 ? length : 0);
}

HWND WaitForWindow(const Process& process, std::wstring_view cls, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    for (const HWND window : VisibleWindows(process.Id())) {
      if (ClassName(window) == cls) return window;
    }
    // One more look after the process ends would find nothing: its windows die with it.
    if (!process || WaitForSingleObject(process.Handle(), 20) != WAIT_TIMEOUT) return nullptr;
    if (GetTickCount64() >= end) return nullptr;
  }
}

bool KeyExists(const std::wstring& path) {
  UniqueHkey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::optional<std::wstring> DefaultValue(const std::wstring& path) {
  wchar_t value[1024];
  DWORD size = sizeof(value);
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(value);
}

void CreateKey(const std::wstring& path, const std::wstring& value, const std::wstring& name) {
  UniqueHkey key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.put(), nullptr),
            ERROR_SUCCESS);
  if (value.empty()) return;
  ASSERT_EQ(RegSetValueExW(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

namespace {

// The value at SUBBLOCK of FILE's version resource, read through version.dll (which the driver
// does not link); string lengths count characters, the fixed part's counts bytes.
std::optional<std::vector<BYTE>> QueryVersion(const std::wstring& file,
                                              const std::wstring& subBlock) {
  const win32::SystemLibrary version(L"version.dll");
  const auto size = version.Bind<decltype(::GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
  const auto info = version.Bind<decltype(::GetFileVersionInfoW)>("GetFileVersionInfoW");
  const auto query = version.Bind<decltype(::VerQueryValueW)>("VerQueryValueW");
  if (!size || !info || !query) return std::nullopt;
  DWORD ignored = 0;
  std::vector<BYTE> block(size(file.c_str(), &ignored));
  void* value = nullptr;
  UINT length = 0;
  if (block.empty() || !info(file.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
      !query(block.data(), subBlock.c_str(), &value, &length) || !value) {
    return std::nullopt;
  }
  const auto* bytes = static_cast<const BYTE*>(value);
  return std::vector<BYTE>(bytes, bytes + (subBlock == L"\\" ? length : length * sizeof(wchar_t)));
}

}  // namespace

std::optional<std::wstring> VersionString(const std::wstring& file, std::wstring_view name) {
  const auto value = QueryVersion(file, L"\\StringFileInfo\\040904b0\\" + std::wstring(name));
  if (!value) return std::nullopt;
  std::wstring text(reinterpret_cast<const wchar_t*>(value->data()),
                    value->size() / sizeof(wchar_t));
  // The count may include the terminating zero.
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::optional<std::wstring> FileVersion(const std::wstring& file) {
  const auto value = QueryVersion(file, L"\\");
  if (!value || value->size() < sizeof(VS_FIXEDFILEINFO)) return std::nullopt;
  VS_FIXEDFILEINFO fixed;
  std::copy_n(value->data(), sizeof(fixed), reinterpret_cast<BYTE*>(&fixed));
  return std::to_wstring(HIWORD(fixed.dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(fixed.dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(fixed.dwFileVersionLS)) + L"." +
         std::to_wstring(LOWORD(fixed.dwFileVersionLS));
}

}  // namespace e2e

// The driver's entry: the build links every program with -municode, which asks for wmain, and
// gtest_main only offers main.
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  // Balloons are read through the accessibility interfaces as screen readers do, over COM.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
