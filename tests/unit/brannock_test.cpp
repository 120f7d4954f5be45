// Brannock's walk, prefix removal and failure message, through a fake key-deletion layer.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "keyRemoval.h"
#include "registry.h"

namespace {

using registry::Failure;

// Records each deletion; can raise a failure at one call, before it reaches the registry.
class FakeKeys : public registry::KeyDeleter {
 public:
  std::int32_t DeleteKey(std::int32_t lRootKey, const std::string& sSubKey) override {
    if (++attempts == failAt) {
      if (outOfMemory) throw std::bad_alloc();
      throw Failure(-2147024891, L"Access is denied.");
    }
    calls.emplace_back(lRootKey, sSubKey);
    return status;
  }

  std::vector<std::pair<std::int32_t, std::string>> calls;
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

constexpr std::int32_t kClassesRoot = -2147483647 - 1;

const std::vector<std::string> kExpectedPaths = {
    "ocxfile\\shell\\Register\\command",
    "ocxfile\\shell\\Unregister\\command",
    "exefile\\shell\\Register\\command",
    "exefile\\shell\\Unregister\\command",
    "tlbfile\\shell\\Register\\command",
    "tlbfile\\shell\\Unregister\\command",
    "dllfile\\shell\\Register\\command",
    "dllfile\\shell\\Unregister\\command",
    "ocxfile\\shell\\Register",
    "ocxfile\\shell\\Unregister",
    "exefile\\shell\\Register",
    "exefile\\shell\\Unregister",
    "tlbfile\\shell\\Register",
    "tlbfile\\shell\\Unregister",
    "dllfile\\shell\\Register",
    "dllfile\\shell\\Unregister",
    "Applications\\Pellory.exe\\shell\\open\\command",
    "Applications\\Pellory.exe\\shell\\open",
    "Applications\\Pellory.exe\\shell",
    "Applications\\Pellory.exe",
};

std::vector<std::pair<std::int32_t, std::string>> ExpectedCalls(std::size_t count) {
  std::vector<std::pair<std::int32_t, std::string>> calls;
  for (std::size_t i = 0; i < count; ++i) calls.emplace_back(kClassesRoot, kExpectedPaths[i]);
  return calls;
}

std::wstring ExpectedMessage(const std::wstring& sDetails) {
  return L"Fatal Error! Pellory may not be totally uninstalled!\r\n"
         L"\r\n"
         L"Error Details:\r\n" +
         sDetails +
         L"\r\n"
         L"Contact the Varnholt bugs department (bugs@varnholt.example) and give them this "
         L"information.";
}

TEST(BrannockWalk, DeletesTheTwentyKeysInOrderBelowTheClassesRoot) {
  // Absent, protected and non-empty keys all come back as a status; none stops the walk.
  for (const std::int32_t status : {0, 2, 5}) {
    SCOPED_TRACE(status);
    FakeKeys keys;
    keys.status = status;
    FakeNotifier notifier;
    keyRemoval::Run(keys, notifier);
    EXPECT_EQ(keys.calls, ExpectedCalls(20));
    EXPECT_TRUE(notifier.shown.empty());
  }
}

TEST(BrannockWalk, FailureStopsTheWalkAtItsEntryAndIsShownOnce) {
  for (const int k : {1, 2, 11, 20}) {
    SCOPED_TRACE(k);
    FakeKeys keys;
    keys.failAt = k;
    FakeNotifier notifier;
    keyRemoval::Run(keys, notifier);
    EXPECT_EQ(keys.attempts, k);
    EXPECT_EQ(keys.calls, ExpectedCalls(static_cast<std::size_t>(k - 1)));
    EXPECT_EQ(notifier.shown,
              std::vector<std::wstring>{ExpectedMessage(L"-2147024891: Access is denied.")});
  }
}

TEST(BrannockWalk, RunningOutOfMemoryIsAFailureToo) {
  FakeKeys keys;
  keys.failAt = 3;
  keys.outOfMemory = true;
  FakeNotifier notifier;
  keyRemoval::Run(keys, notifier);
  EXPECT_EQ(keys.calls, ExpectedCalls(2));
  EXPECT_EQ(notifier.shown,
            std::vector<std::wstring>{ExpectedMessage(
                L"8: Not enough memory resources are available to process this command.")});
}

TEST(BrannockDeleteRootedKey, RemovesOnlyTheExactUpperCasePrefixEverywhereInOnePass) {
  const std::pair<std::wstring, std::string> cases[] = {
      {L"HKEY_CLASSES_ROOT\\ocxfile\\shell", "ocxfile\\shell"},
      {L"ocxfile\\shell", "ocxfile\\shell"},
      {L"hkey_classes_root\\ocxfile", "hkey_classes_root\\ocxfile"},
      {L"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT"},
      {L"HKEY_CLASSES_ROOT\\", ""},
      {L"a\\HKEY_CLASSES_ROOT\\b\\HKEY_CLASSES_ROOT\\c", "a\\b\\c"},
      {L"HKEY_CLASSES_ROOT\\HKEY_CLASSES_ROOT\\x", "x"},
      // What meets after a removal is not searched again.
      {L"HKEY_CLASSHKEY_CLASSES_ROOT\\ES_ROOT\\y", "HKEY_CLASSES_ROOT\\y"},
  };
  for (const auto& [path, expected] : cases) {
    FakeKeys keys;
    keyRemoval::DeleteRootedKey(keys, path);
    const std::vector<std::pair<std::int32_t, std::string>> want{{kClassesRoot, expected}};
    EXPECT_EQ(keys.calls, want) << "for the path of length " << path.size();
  }
}

TEST(BrannockDeleteRootedKey, PathThatHasNoAnsiFormIsAFailureBeforeTheRegistry) {
  for (const std::wstring& path : {std::wstring(L"HKEY_CLASSES_ROOT\\caf\u00e9"),
                                   std::wstring(L"Applications\0Pellory.exe", 25)}) {
    FakeKeys keys;
    try {
      keyRemoval::DeleteRootedKey(keys, path);
      ADD_FAILURE() << "no failure for a path of length " << path.size();
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.Number(), 1113);
    }
    EXPECT_EQ(keys.attempts, 0);
  }
}

TEST(BrannockFailureMessage, IsFiveLinesExactly) {
  EXPECT_EQ(keyRemoval::FailureMessage(53, L"File not found"),
            ExpectedMessage(L"53: File not found"));
  EXPECT_EQ(keyRemoval::FailureMessage(0, L""), ExpectedMessage(L"0: "));
  EXPECT_EQ(keyRemoval::FailureMessage(-7, L"x"), ExpectedMessage(L"-7: x"));
  EXPECT_EQ(keyRemoval::FailureMessage(std::numeric_limits<std::int32_t>::min(), L"y"),
            ExpectedMessage(L"-2147483648: y"));
  const std::wstring message = keyRemoval::FailureMessage(1, L"z");
  EXPECT_EQ(message.back(), L'.');
}

}  // namespace
