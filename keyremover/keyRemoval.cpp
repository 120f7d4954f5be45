#include "keyRemoval.h"

#include <new>

namespace keyRemoval {

namespace {

constexpr std::wstring_view kRootPrefix = L"HKEY_CLASSES_ROOT\\";
constexpr std::wstring_view kLineBreak = L"\r\n";
constexpr std::wstring_view kSupportAddress = L"bugs@varnholt.example";

// The platform's own number and text for running out of memory.
constexpr std::uint32_t kNotEnoughMemory = 8;
constexpr wchar_t kNotEnoughMemoryText[] =
    L"Not enough memory resources are available to process this command.";

// Removes every occurrence in one pass, left to right: pieces that meet after a removal are
// not searched again.
std::wstring RemoveAll(const std::wstring& sText, std::wstring_view sWhat) {
  std::wstring result;
  std::size_t from = 0;
  for (std::size_t at = sText.find(sWhat); at != std::wstring::npos; at = sText.find(sWhat, from)) {
    result.append(sText, from, at - from);
    from = at + sWhat.size();
  }
  result.append(sText, from);
  return result;
}

}  // namespace

win32::Status DeleteRootedKey(registry::KeyDeleter& keys, const std::wstring& sKeyPath) {
  return registry::DeleteKeyUnderRoot(keys, registry::kClassesRoot,
                                      RemoveAll(sKeyPath, kRootPrefix));
}

std::wstring FailureMessage(std::int32_t lNumber, const std::wstring& sDescription) {
  std::wstring message = L"Fatal Error! Pellory may not be totally uninstalled!";
  message += kLineBreak;
  message += kLineBreak;
  message += L"Error Details:";
  message += kLineBreak;
  message += std::to_wstring(lNumber);
  message += L": ";
  message += sDescription;
  message += kLineBreak;
  message += L"Contact the Varnholt bugs department (";
  message += kSupportAddress;
  message += L") and give them this information.";
  return message;
}

namespace {

// Deletes the listed keys in order, up to the first failure.
win32::Status Walk(registry::KeyDeleter& keys) {
  // An allocation that fails is the one failure that comes as an exception; here it becomes one
  // like the others.
  try {
    for (const std::wstring_view path : ShellVerbKeyList) {
      if (auto failed = DeleteRootedKey(keys, std::wstring(path))) return failed;
    }
    return {};
  } catch (const std::bad_alloc&) {
    return win32::Failure{kNotEnoughMemory, kNotEnoughMemoryText};
  }
}

}  // namespace

void Run(registry::KeyDeleter& keys, Notifier& notifier) {
  // Made once the walk is over, so the failed entry's strings are gone by then.
  if (const auto failed = Walk(keys)) {
    notifier.Show(
        FailureMessage(static_cast<std::int32_t>(win32::KnownNumber(failed->code)), failed->text));
  }
}

}  // namespace keyRemoval
