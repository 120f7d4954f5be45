// The registry module of Brannock: the one routine that touches the registry, behind a layer.
#pragma once

#include <cstdint>
#include <string>

#include "win32/result.h"

namespace registry {

// The classes root's predefined handle value 0x80000000, carried as a signed 32-bit number.
inline constexpr std::int32_t kClassesRoot = static_cast<std::int32_t>(0x80000000u);

// Deletes one registry key. A key that is absent, protected or not empty yields a status; a
// failure means that the deletion machinery itself failed, and ends the walk there.
class KeyDeleter {
 public:
  virtual ~KeyDeleter() = default;
  virtual win32::Result<std::int32_t> DeleteKey(std::int32_t lRootKey,
                                                const std::string& sSubKey) = 0;
};

// Narrows a path for the ANSI registry call; a failure where that would change the path.
win32::Result<std::string> ToAnsi(const std::wstring& sText);

// Deletes the one key sSubKey below lRootKey; whatever the registry answers is ignored.
win32::Status DeleteKeyUnderRoot(KeyDeleter& keys, std::int32_t lRootKey,
                                 const std::wstring& sSubKey);

}  // namespace registry
