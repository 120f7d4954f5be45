// The few services of the system every program here needs, each in one place.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "win32/handle.h"
#include "win32/result.h"

namespace win32 {

// Takes the program's own folder and the current folder out of the library search of the whole
// process, leaving the system folder: the first thing each program does.
void LoadOnlyFromSystem();

// The system folder, without a trailing backslash.
std::wstring SystemFolder();

// NAME loaded from the system folder and nowhere else, or why it could not be.
Result<unique_hmodule> LoadFromSystem(const wchar_t* name);

// Whether ADVAPI32 is loaded, from the system folder; a program that delay-loads it asks before
// its first call there, which would otherwise end the process when the library is missing.
bool SecurityLibrary();

// One system library, loaded from the system folder and nowhere else; functions bound by name.
class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name) : module_(LoadFromSystem(name)) {}
  explicit operator bool() const { return static_cast<bool>(module_); }
  // Why the library did not load.
  const Failure& failure() const { return module_.failure(); }

  // The function NAME, or why it or the library is missing.
  template <class F>
  Result<F*> Bind(const char* name) const {
    auto proc = Proc(name);
    if (!proc) return proc.failure();
    // Through the generic function pointer type, which the compiler accepts as a cast source.
    return reinterpret_cast<F*>(*proc);
  }

 private:
  Result<void (*)()> Proc(const char* name) const;

  Result<unique_hmodule> module_;
};

// COM on this thread, started with MODEL through OLE32 (a SystemLibrary of ole32.dll), or why it
// did not start.
Result<unique_co_init> StartCom(const SystemLibrary& ole32, DWORD model);

// The system's words for a Win32 error code or an HRESULT, without the line break they end
// with; empty if it has none.
std::wstring SystemMessage(std::uint32_t code);

// CODE, a Win32 error code or an HRESULT, as a Failure in the system's words, after WHAT failed
// when it is given ("msftedit: ..."); "error N." (KnownNumber) when the system has none.
Failure FailureOf(std::uint32_t code, const wchar_t* what = nullptr);
inline Failure LastFailure(const wchar_t* what = nullptr) {
  return FailureOf(GetLastError(), what);
}

// The text a system call writes into a buffer of the size it is given, the buffer grown until
// the text fits: CALL(buffer, size) answers as the system's string functions do, with the text's
// length when it fits, a size at least the buffer's when it does not (the size it needs, or the
// buffer's own when it cut the text), and 0 when it fails, which gives nothing.
template <class Call>
std::optional<std::wstring> GrownText(Call call) {
  std::wstring text(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = call(text.data(), static_cast<DWORD>(text.size()));
    if (n == 0) return std::nullopt;
    if (n < text.size()) {
      text.resize(n);
      return text;
    }
    text.resize(std::max<std::size_t>(n, text.size() * 2));
  }
}

// The full path of MODULE's file; of the program when it is null.
std::wstring ModulePath(HMODULE module = nullptr);

// Every running process's id, with its parent's; none when the system cannot list them.
std::vector<std::pair<DWORD, DWORD>> Processes();

// Dispatches the thread's messages until WM_QUIT.
inline void MessageLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// What a wait's answer says: WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT, or why it failed.
Result<DWORD> Waited(DWORD woke);

// Waits until OBJECT is signalled or timeoutMs have passed (INFINITE: no limit), dispatching the
// thread's messages meanwhile (only those sent by other threads when sentOnly: posted ones wait
// in the queue), as Waited tells it. A WM_QUIT it meets is posted again, with its code, when it
// returns.
Result<DWORD> WaitAnswering(HANDLE object, DWORD timeoutMs, bool sentOnly = false);

// Security for a named object that every Pellory of the session shares, elevated or not. By
// default one made by an elevated Pellory admits administrators and the system only, and its
// high integrity label shuts out lower processes; a standard user's shuts out the administrator
// who typed their name and password at the prompt, another account. So any signed-in account
// may wait on it and release it (SYNCHRONIZE, all that takes; the creator's own handle has the
// rest). Its label is low, forbidding lower processes no more than writing; or medium, shutting
// out every lower process (a sandboxed one) from every right, waiting included.
class SharedObjectSecurity {
 public:
  enum class Label { Low, Medium };
  explicit SharedObjectSecurity(Label label = Label::Low);
  // nullptr, and with it the default security, when it could not be made.
  SECURITY_ATTRIBUTES* get() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  unique_handle<PSECURITY_DESCRIPTOR, &FreeLocal> descriptor_;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace win32
