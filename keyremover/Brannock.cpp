// Brannock's entry and the two Win32 pieces behind its walk: RegDeleteKeyA and the message box.
#include <windows.h>

#include <optional>

#include "keyRemoval.h"
#include "registry.h"
#include "win32/system.h"

namespace {

// Binds RegDeleteKeyA on the first deletion, so a missing advapi32 fails at entry 1 with a
// message instead of keeping the program from starting.
class RegistryKeys final : public registry::KeyDeleter {
 public:
  win32::Result<std::int32_t> DeleteKey(std::int32_t lRootKey,
                                        const std::string& sSubKey) override {
    if (!regDeleteKeyA_) {
      advapi32_.emplace(L"advapi32.dll");
      const auto bound = advapi32_->Bind<decltype(::RegDeleteKeyA)>("RegDeleteKeyA");
      if (!bound) return bound.failure();
      regDeleteKeyA_ = *bound;
    }
    // Sign-extended, as the predefined root handles are on 64-bit Windows.
    const HKEY root = reinterpret_cast<HKEY>(static_cast<INT_PTR>(lRootKey));
    return static_cast<std::int32_t>(regDeleteKeyA_(root, sSubKey.c_str()));
  }

 private:
  std::optional<win32::SystemLibrary> advapi32_;
  decltype(&::RegDeleteKeyA) regDeleteKeyA_ = nullptr;
};

class MessageBoxNotifier final : public keyRemoval::Notifier {
 public:
  void Show(const std::wstring& sPrompt) override {
    // OK only and no icon; the caption is the program's name.
    MessageBoxW(nullptr, sPrompt.c_str(), L"Brannock", MB_OK);
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything could load a library.
  win32::LoadOnlyFromSystem();
  RegistryKeys keys;
  MessageBoxNotifier notifier;
  keyRemoval::Run(keys, notifier);
  // No exit status of its own: the message box is the only report.
  return 0;
}
