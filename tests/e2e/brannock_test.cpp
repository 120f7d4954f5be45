// Brannock against Wine's real registry, beside planted libraries: it deletes its twenty keys and
// nothing else, keeps a key that holds more than the installer made, and never speaks.
#include <gtest/gtest.h>

#include "driver.h"

namespace {

using namespace e2e;

TEST(Brannock, DeletesItsKeysAndNothingElse) {
  std::vector<std::wstring> listed;
  for (const std::wstring type : {L"ocxfile", L"exefile", L"tlbfile", L"dllfile"}) {
    for (const std::wstring verb : {L"\\shell\\Register", L"\\shell\\Unregister"}) {
      listed.push_back(type + verb);
      CreateKey(type + verb + L"\\command", L"Pellory \"%1\"");
      CreateKey(type + verb + L"\\command", L"keep", L"Extra");
    }
    CreateKey(type + L"\\shell\\Keep\\command", L"keep.exe \"%1\"");
  }
  const std::wstring app = L"Applications\\Pellory.exe";
  listed.insert(listed.end(),
                {app + L"\\shell\\open\\command", app + L"\\shell\\open", app + L"\\shell", app});
  CreateKey(app + L"\\shell\\open\\command");
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
  for (const std::wstring type : {L"ocxfile", L"exefile", L"tlbfile", L"dllfile"})
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (type + L"\\shell\\Keep").c_str());
}

}  // namespace
