#include "win32/system.h"

#include <objbase.h>
#include <tlhelp32.h>

#include <optional>

namespace win32 {

void LoadOnlyFromSystem() {
  // Bound at run time: Windows 7 has it only with its loader update.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Without it, at least the current folder goes.
  SetDllDirectoryW(L"");
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return n < MAX_PATH ? std::wstring(folder, n) : std::wstring();
}

Result<unique_hmodule> LoadFromSystem(const wchar_t* name) {
  unique_hmodule module(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  // A system without the flag (Windows 7 before its loader update) rejects it: the full path
  // then, with the library's own dependencies looked for beside it first.
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    module.reset(LoadLibraryExW((SystemFolder() + L"\\" + name).c_str(), nullptr,
                                LOAD_WITH_ALTERED_SEARCH_PATH));
  }
  if (!module) return LastFailure();
  return module;
}

bool SecurityLibrary() {
  static const SystemLibrary advapi32(L"advapi32.dll");
  return static_cast<bool>(advapi32);
}

Result<void (*)()> SystemLibrary::Proc(const char* name) const {
  if (!module_) return module_.failure();
  const auto proc = reinterpret_cast<void (*)()>(GetProcAddress(module_->get(), name));
  if (!proc) return LastFailure();
  return proc;
}

Result<unique_co_init> StartCom(const SystemLibrary& ole32, DWORD model) {
  const auto initialize = ole32.Bind<decltype(::CoInitializeEx)>("CoInitializeEx");
  const auto uninitialize = ole32.Bind<decltype(::CoUninitialize)>("CoUninitialize");
  if (!initialize) return initialize.failure();
  if (!uninitialize) return uninitialize.failure();
  const HRESULT hr = (*initialize)(nullptr, model);
  if (FAILED(hr)) return FailureOf(static_cast<std::uint32_t>(hr));
  return unique_co_init(*uninitialize);
}

std::wstring SystemMessage(std::uint32_t code) {
  wchar_t* text = nullptr;
  // Win32 errors wrapped in an HRESULT are worded under their own number.
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, KnownNumber(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n ? std::wstring(text, n) : std::wstring();
  LocalFree(text);
  while (!message.empty() &&
         (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  return message;
}

std::wstring ModulePath(HMODULE module) {
  return GrownText(
             [module](wchar_t* path, DWORD size) { return GetModuleFileNameW(module, path, size); })
      .value_or(L"");
}

std::vector<std::pair<DWORD, DWORD>> Processes() {
  std::vector<std::pair<DWORD, DWORD>> found;
  const unique_hfile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    found.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
  }
  return found;
}

Failure FailureOf(std::uint32_t code, const wchar_t* what) {
  std::wstring words = SystemMessage(code);
  if (words.empty()) words = L"error " + std::to_wstring(KnownNumber(code)) + L".";
  return {code, what ? std::wstring(what) + L": " + words : words};
}

Result<DWORD> Waited(DWORD woke) {
  if (woke == WAIT_FAILED) return LastFailure();
  return woke;
}

Result<DWORD> WaitAnswering(HANDLE object, DWORD timeoutMs, bool sentOnly) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  // A WM_QUIT met on the way belongs to the loop outside: it goes back into the queue, with its
  // code, once the wait ends, and until then only sent messages are answered.
  std::optional<WPARAM> quit;
  const auto end = [&quit](DWORD woke) {
    auto waited = Waited(woke);
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    return waited;
  };
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD wait = timeoutMs == INFINITE ? INFINITE
                       : now < deadline      ? static_cast<DWORD>(deadline - now)
                                             : 0;
    const bool sent = sentOnly || quit;
    // Also for messages already in the queue, which an earlier look saw but left there.
    const DWORD woke = MsgWaitForMultipleObjectsEx(
        1, &object, wait, sent ? QS_SENDMESSAGE : QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke != WAIT_OBJECT_0 + 1) return end(woke);
    MSG msg;
    if (sent) {
      // Looking is enough: the system hands sent messages to their windows on the way.
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = msg.wParam;
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

}  // namespace win32
