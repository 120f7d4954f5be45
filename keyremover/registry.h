// The registry module of Brannock: the one routine that touches the registry, behind a layer.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace registry {

// The classes root's predefined handle value 0x80000000, carried as a signed 32-bit number.
inline constexpr std::int32_t kClassesRoot = static_cast<std::int32_t>(0x80000000u);

// A failure of the deletion machinery itself; ends the walk at the entry where it arose.
class Failure : public std::exception {
 public:
  Failure(std::int32_t number, std::wstring description)
      : number_(number), description_(std::move(description)) {}
  std::int32_t Number() const noexcept { return number_; }
  const std::wstring& Description() const noexcept { return description_; }
  const char* what() const noexcept override { return "key deletion failed"; }

 private:
  std::int32_t number_;
  std::wstring description_;
};

// Deletes one registry key. A key that is absent, protected or not empty yields a status, not a
// Failure; a Failure means the deletion could not even be attempted.
class KeyDeleter {
 public:
  virtual ~KeyDeleter() = default;
  virtual std::int32_t DeleteKey(std::int32_t lRootKey, const std::string& sSubKey) = 0;
};

// Narrows a path for the ANSI registry call; throws Failure where that would change the path.
std::string ToAnsi(const std::wstring& sText);

// Deletes the one key sSubKey below lRootKey; whatever the registry answers is ignored.
void DeleteKeyUnderRoot(KeyDeleter& keys, std::int32_t lRootKey, std::wstring sSubKey);

}  // namespace registry
