// Brannock against Wine's real registry, beside planted libraries: it deletes its twenty keys and
// nothing else, keeps a key that holds more than the installer made, and never speaks.
#include <gtest/gtest.h>

#include "driver.h"
#include "keyremover/keyRemoval.h"

namespace {

using namespace e2e;

TEST(Brannock, DeletesItsKeysAndNothingElse) {
  // Its own list below the classes root; each command with a second value.
  std::vector<std::wstring> listed;
  for (const auto key : keyRemoval::ShellVerbKeyList)
    listed.emplace_back(key.substr(key.find(L'\\') + 1));
  const std::wstring types[] = {L"ocxfile", L"exefile", L"tlbfile", L"dllfile"},
                     app = L"Applications\\Pellory.exe";
  for (const auto& key : listed) {
    if (!key.ends_with(L"\\command")) continue;
    CreateKey(key, L"Pellory \"%1\"");
    CreateKey(key, L"keep", L"Extra");
  }
  for (const auto& type : types) CreateKey(type + L"\\shell\\Keep\\command", L"keep.exe \"%1\"");
  // A verb that holds more than its command, and an entry that holds more than its chain, stay.
  CreateKey(L"ocxfile\\shell\\Register\\ddeexec", L"[open]");
  CreateKey(app + L"\\SupportedTypes");
  const auto home = FreshFolder(L"brannock");
  const auto planted = Plant(home);
  const auto brannock = CopyServer(L"Brannock.exe", home, L"Brannock.exe");
  for (const bool extras : {true, false}) {
    auto process = Start(brannock, {}, home);
    EXPECT_EQ(WaitForWindow(process, L"#32770", 10000), nullptr) << "Brannock showed a box";
    EXPECT_EQ(WaitExit(process, 0), 0u);
    for (const auto& key : listed) {
      const bool holdsMore = key == L"ocxfile\\shell\\Register" || key == app;
      EXPECT_EQ(KeyExists(key), extras && holdsMore) << Narrow(key);
    }
    for (const std::wstring& key :
         {std::wstring(L"ocxfile\\shell\\Register\\ddeexec"), app + L"\\SupportedTypes"}) {
      EXPECT_EQ(KeyExists(key), extras) << Narrow(key);
      RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    }
  }
  EXPECT_TRUE(KeyExists(L"dllfile\\shell\\Keep\\command") && KeyExists(L"Applications"));
  ExpectNoneRan(planted);
  for (const auto& type : types)
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (type + L"\\shell\\Keep").c_str());
}

}  // namespace
