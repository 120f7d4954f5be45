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

using registry::Failure;

// Records each deletion below the classes root; can raise a failure at one call, before it
// reaches the registry.
class FakeKeys : public registry::KeyDeleter {
 public:
  std::int32_t DeleteKey(std::int32_t lRootKey, const std::string& sSubKey) override {
    if (++attempts == failAt) {
      if (outOfMemory) throw std::bad_alloc();
      throw Failure(-2147024891, L"Access is denied.");
    }
    if (lRootKey != -2147483647 - 1) throw std::logic_error("not below the classes root");
    deleted += (deleted.empty() ? L"" : L" | ") + std::wstring(sSubKey.begin(), sSubKey.end());
    return status;
  }

  std::wstring deleted;
  std::int32_t status = 0;
  int attempts = 0;
  int failAt = 0;
  bool outOfMemory = false;
};

class FakeNotifier : public keyRemoval::Notifier {
 public:
  void Show(const std::wstring& sPrompt) override { shown.push_back(sPrompt); }
  std::vector<std::wstring> shown;
};

std::wstring Message(const std::wstring& sDetails) {
  return L"Fatal Error! Pellory may not be totally uninstalled!\r\n\r\nError Details:\r\n" +
         sDetails +
         L"\r\nContact the Varnholt bugs department (bugs@varnholt.example) and give them this "
         L"information.";
}

TEST(Brannock, DeletesEachKeyBelowTheClassesRoot) {
  for (const auto& c : Cases("brannock")) {
    if (c[0] == L"walk") continue;
    FakeKeys keys;
    try {
      keyRemoval::DeleteRootedKey(keys, c[0]);
      EXPECT_EQ(keys.deleted, c[1]) << c[0];
      EXPECT_EQ(keys.attempts, 1);
    } catch (const Failure& failure) {
      EXPECT_EQ(L"! " + std::to_wstring(failure.Number()), c[1]) << c[0];
      EXPECT_EQ(keys.attempts, 0);
    }
  }
}

TEST(Brannock, WalksTheKeysInOrderUntilAFailureShownOnce) {
  std::vector<std::wstring> walk;
  for (const auto& c : Cases("brannock"))
    if (c[0] == L"walk") walk.push_back(c[1]);
  // Absent, protected and non-empty keys come back as a status, which does not stop the walk.
  const std::wstring denied = L"-2147024891: Access is denied.";
  const std::tuple<std::int32_t, int, bool, std::wstring> cases[] = {
      {0, 0, false, L""},
      {2, 0, false, L""},
      {5, 0, false, L""},
      {0, 1, false, denied},
      {0, 2, false, denied},
      {0, 11, false, denied},
      {0, 20, false, denied},
      {0, 3, true, L"8: Not enough memory resources are available to process this command."},
  };
  for (const auto& [status, failAt, outOfMemory, details] : cases) {
    SCOPED_TRACE(failAt);
    FakeKeys keys;
    keys.status = status;
    keys.failAt = failAt;
    keys.outOfMemory = outOfMemory;
    FakeNotifier notifier;
    keyRemoval::Run(keys, notifier);
    const std::size_t done = failAt ? failAt - 1 : walk.size();
    std::wstring expected;
    for (std::size_t i = 0; i < done; ++i) expected += (i ? L" | " : L"") + walk[i];
    EXPECT_EQ(keys.deleted, expected);
    EXPECT_EQ(keys.attempts, failAt ? failAt : 20);
    EXPECT_EQ(notifier.shown, details.empty() ? std::vector<std::wstring>{}
                                              : std::vector<std::wstring>{Message(details)});
  }
  EXPECT_EQ(keyRemoval::FailureMessage(-2147483647 - 1, L""), Message(L"-2147483648: "));
}

}  // namespace
