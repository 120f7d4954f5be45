#include "registry.h"

namespace registry {

namespace {

// The platform's own number and text for a character without a narrow equivalent.
constexpr std::int32_t kNoUnicodeTranslation = 1113;
constexpr wchar_t kNoUnicodeTranslationText[] =
    L"No mapping for the Unicode character exists in the target multi-byte code page.";

}  // namespace

std::string ToAnsi(const std::wstring& sText) {
  std::string narrow;
  narrow.reserve(sText.size());
  for (const wchar_t c : sText) {
    // ASCII is the same in every ANSI code page; a NUL would cut the path short and so name
    // another key.
    if (c <= 0 || c > 0x7F) {
      throw Failure(kNoUnicodeTranslation, kNoUnicodeTranslationText);
    }
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

void DeleteKeyUnderRoot(KeyDeleter& keys, std::int32_t lRootKey, std::wstring sSubKey) {
  // The status only says whether the key was there to delete; the uninstall goes on either way.
  static_cast<void>(keys.DeleteKey(lRootKey, ToAnsi(sSubKey)));
}

}  // namespace registry
