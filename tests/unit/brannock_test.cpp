// Brannock's walk, prefix removal and failure message, through a fake key-deletion layer.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "keyRemoval.h"
#include "registry.h"
#include "tests/unit/cases.h"

namespace {

// Records each deletion below the classes root and what is shown; can raise a failure at one
// call, before it reaches the registry.
class FakeKeys : public registry::KeyDeleter, public keyRemoval::Notifier {
 public:
  // A line of the walk table: each deletion's status, the one that fails, its failure.
  explicit FakeKeys(const std::vector<std::wstring>& c)
      : status(std::stoi(c[0])), failAt(std::stoi(c[1])), failure(c[2]) {}
  void Show(const std::wstring& sPrompt) override { shown += sPrompt + L"|"; }
  win32::Result<std::int32_t> DeleteKey(std::int32_t lRootKey,
                                        const std::string& sSubKey) override {
    if (++attempts == failAt) {
      if (failure == L"memory") throw std::bad_alloc();
      return win32::Failure{static_cast<std::uint32_t>(std::stoi(failure)),
                            failure.substr(failure.find(L':') + 1)};
    }
    if (lRootKey != -2147483647 - 1) throw std::logic_error("not below the classes root");
    deleted.emplace_back(sSubKey.begin(), sSubKey.end());
    return status;
  }

  std::vector<std::wstring> deleted;
  std::wstring shown;
  std::int32_t status;
  int failAt;
  std::wstring failure;  // "memory", or "NUMBER:TEXT"
  int attempts = 0;
};

// The walk deletes its own list, each key without the classes root's name in front and after
// every listed key beneath it; the message of a failure is shown once.
TEST(Brannock, WalksTheKeysInOrderUntilAFailureShownOnce) {
  constexpr std::wstring_view kRoot = L"HKEY_CLASSES_ROOT\\";
  std::vector<std::wstring> all;
  for (const std::wstring_view key : keyRemoval::ShellVerbKeyList) {
    ASSERT_TRUE(key.starts_with(kRoot));
    all.emplace_back(key.substr(kRoot.size()));
    for (auto above = all.begin(); above + 1 != all.end(); ++above)
      EXPECT_FALSE(all.back().starts_with(*above + L"\\")) << "deleted after its parent";
  }
  for (const auto& c : Cases("walk")) {
    SCOPED_TRACE(c[1]);
    FakeKeys keys(c);
    keyRemoval::Run(keys, keys);
    const int tried = keys.failAt ? keys.failAt : 20;
    EXPECT_EQ(keys.deleted, std::vector(all.begin(), all.begin() + tried - (keys.failAt > 0)));
    EXPECT_EQ(keys.attempts, tried);
    // The five lines of a failure, its details line the table's.
    const std::wstring shown =
        L"Fatal Error! Pellory may not be totally uninstalled!\r\n\r\n"
        L"Error Details:\r\n" +
        c[3] +
        L"\r\nContact the Varnholt bugs department (bugs@varnholt.example) "
        L"and give them this information.|";
    EXPECT_EQ(keys.shown, c[3].empty() ? L"" : shown);
  }
}

}  // namespace
