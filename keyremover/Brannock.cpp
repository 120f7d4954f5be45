// Brannock's entry and the two Win32 pieces behind its walk: RegDeleteKeyA and the message box.
#include <windows.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "Module2.h"
#include "modMainRemoveReg.h"

namespace {

struct FreeModule {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using unique_hmodule = std::unique_ptr<std::remove_pointer_t<HMODULE>, FreeModule>;

// The platform's description of an error number, without the line break it ends with.
std::wstring SystemText(DWORD error) {
  wchar_t text[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, ARRAYSIZE(text), nullptr);
  while (length > 0 &&
         (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ')) {
    --length;
  }
  return std::wstring(text, length);
}

[[noreturn]] void ThrowLastError() {
  const DWORD error = GetLastError();
  throw Module2::Failure(static_cast<std::int32_t>(error), SystemText(error));
}

// Binds RegDeleteKeyA on the first deletion, so a missing advapi32 fails at entry 1 with a
// message instead of keeping the program from starting.
class RegistryKeys final : public Module2::KeyDeleter {
 public:
  std::int32_t DeleteKey(std::int32_t lRootKey, const std::string& sSubKey) override {
    if (!regDeleteKeyA_) Bind();
    // Sign-extended, as the predefined root handles are on 64-bit Windows.
    const HKEY root = reinterpret_cast<HKEY>(static_cast<INT_PTR>(lRootKey));
    return regDeleteKeyA_(root, sSubKey.c_str());
  }

 private:
  using RegDeleteKeyAFn = LONG(WINAPI*)(HKEY, LPCSTR);

  void Bind() {
    unique_hmodule advapi32(LoadLibraryW(L"advapi32.dll"));
    if (!advapi32) ThrowLastError();
    const FARPROC proc = GetProcAddress(advapi32.get(), "RegDeleteKeyA");
    if (!proc) ThrowLastError();
    // Through the generic function pointer type, which the compiler accepts as a cast source.
    regDeleteKeyA_ = reinterpret_cast<RegDeleteKeyAFn>(reinterpret_cast<void (*)()>(proc));
    advapi32_ = std::move(advapi32);
  }

  unique_hmodule advapi32_;
  RegDeleteKeyAFn regDeleteKeyA_ = nullptr;
};

class MessageBoxNotifier final : public modMainRemoveReg::Notifier {
 public:
  void Show(const std::wstring& sPrompt) override {
    // OK only and no icon; the caption is the program's name.
    MessageBoxW(nullptr, sPrompt.c_str(), L"Brannock", MB_OK);
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RegistryKeys keys;
  MessageBoxNotifier notifier;
  modMainRemoveReg::Main(keys, notifier);
  // No exit status of its own: the message box is the only report.
  return 0;
}
