#include "registry.h"

namespace registry {

namespace {

// The platform's own number and text for a character without a narrow equivalent.
constexpr std::uint32_t kNoUnicodeTranslation = 1113;
constexpr wchar_t kNoUnicodeTranslationText[] =
    L"No mapping for the Unicode character exists in the target multi-byte code page.";

}  // namespace

win32::Result<std::string> ToAnsi(const std::wstring& sText) {
  std::string narrow;
  narrow.reserve(sText.size());
  for (const wchar_t c : sText) {
    // ASCII is the same in every ANSI code page; a NUL would cut the path short and so name
    // another key.
    if (c <= 0 || c > 0x7F) {
      return win32::Failure{kNoUnicodeTranslation, kNoUnicodeTranslationText};
    }
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

win32::Status DeleteKeyUnderRoot(KeyDeleter& keys, std::int32_t lRootKey,
                                 const std::wstring& sSubKey) {
  auto narrow = ToAnsi(sSubKey);
  if (!narrow) return narrow.failure();
  // The status only says whether the key was there to delete; the uninstall goes on either way.
  auto deleted = keys.DeleteKey(lRootKey, *narrow);
  if (!deleted) return deleted.failure();
  return {};
}

}  // namespace registry
