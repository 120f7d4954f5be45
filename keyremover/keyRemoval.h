// Brannock's key removal: the list of keys, the walk over it and the message of a failed walk.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "registry.h"

namespace keyRemoval {

// The keys the installer made, each after every listed key beneath it, so that each one is
// empty by the time its turn comes.
inline constexpr std::array<std::wstring_view, 20> ShellVerbKeyList = {
    L"HKEY_CLASSES_ROOT\\ocxfile\\shell\\Register\\command",
    L"HKEY_CLASSES_ROOT\\ocxfile\\shell\\Unregister\\command",
    L"HKEY_CLASSES_ROOT\\exefile\\shell\\Register\\command",
    L"HKEY_CLASSES_ROOT\\exefile\\shell\\Unregister\\command",
    L"HKEY_CLASSES_ROOT\\tlbfile\\shell\\Register\\command",
    L"HKEY_CLASSES_ROOT\\tlbfile\\shell\\Unregister\\command",
    L"HKEY_CLASSES_ROOT\\dllfile\\shell\\Register\\command",
    L"HKEY_CLASSES_ROOT\\dllfile\\shell\\Unregister\\command",
    L"HKEY_CLASSES_ROOT\\ocxfile\\shell\\Register",
    L"HKEY_CLASSES_ROOT\\ocxfile\\shell\\Unregister",
    L"HKEY_CLASSES_ROOT\\exefile\\shell\\Register",
    L"HKEY_CLASSES_ROOT\\exefile\\shell\\Unregister",
    L"HKEY_CLASSES_ROOT\\tlbfile\\shell\\Register",
    L"HKEY_CLASSES_ROOT\\tlbfile\\shell\\Unregister",
    L"HKEY_CLASSES_ROOT\\dllfile\\shell\\Register",
    L"HKEY_CLASSES_ROOT\\dllfile\\shell\\Unregister",
    L"HKEY_CLASSES_ROOT\\Applications\\Pellory.exe\\shell\\open\\command",
    L"HKEY_CLASSES_ROOT\\Applications\\Pellory.exe\\shell\\open",
    L"HKEY_CLASSES_ROOT\\Applications\\Pellory.exe\\shell",
    L"HKEY_CLASSES_ROOT\\Applications\\Pellory.exe",
};

// Shows the one message of a failed run and returns when the user has dismissed it.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void Show(const std::wstring& sPrompt) = 0;
};

// Deletes one key of the list below the classes root.
win32::Status DeleteRootedKey(registry::KeyDeleter& keys, const std::wstring& sKeyPath);

// The five-line text shown when the walk fails.
std::wstring FailureMessage(std::int32_t lNumber, const std::wstring& sDescription);

// The whole run: deletes the listed keys in order; a failure stops the walk and is shown once.
void Run(registry::KeyDeleter& keys, Notifier& notifier);

}  // namespace keyRemoval
