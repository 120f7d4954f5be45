// Brannock's key removal: the list of keys, the walk over it and the message of a failed walk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "keyList.h"
#include "registry.h"

namespace keyRemoval {

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
