// The Windows Installer package under Wine's msiexec: refused over the setup program's
// installation and refusing it in turn, a silent install into a chosen folder in place of the
// other build's package, working verbs, a repair, an upgrade and a refused downgrade with one list
// entry, and an uninstall that takes out what it added and leaves the rest alone.
#include <gtest/gtest.h>

#include "driver.h"
#include "win32/system.h"

namespace {

using namespace e2e;
using Versions = std::vector<std::wstring>;

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

DWORD Msiexec(const std::wstring& args) {
  return WaitExit(Start(win32::SystemFolder() + L"\\msiexec.exe", args + L" /qn"), 120000)
      .value_or(~0u);
}

// The version of each list entry named Pellory, in either registry view.
Versions Entries() {
  Versions versions;
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    win32::unique_hkey key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall.c_str(), 0, KEY_READ | view, key.put());
    wchar_t name[256];
    for (DWORD i = 0, size = 256;
         !RegEnumKeyExW(key.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr);
         ++i, size = 256) {
      const auto entry = kUninstall + L"\\" + name;
      if (ValueOf(entry, L"DisplayName", view) == L"Pellory") {
        versions.push_back(ValueOf(entry, L"DisplayVersion", view).value_or(L"?"));
      }
    }
  }
  return versions;
}

TEST(Msi, InstallsWorkingVerbsRepairsUpgradesAndUninstallsOnlyWhatItAdded) {
  const bool x64 = sizeof(void*) == 8;
  const std::wstring arch = x64 ? L"x64" : L"x86";
  const auto package = L"\"" + BinDir() + L"\\Pellory-1.0.0.1-" + arch + L".msi\"";
  const auto later = L"\"" + BinDir() + L"\\Pellory-upgrade-test-" + arch + L".msi\"";
  const auto setup = BinDir() + L"\\Pellory-1.0.0.1-" + arch + L"-setup.exe";
  const auto folder = FreshFolder(L"msi folder"), setupFolder = FreshFolder(L"msi setup");
  RemoveDirectoryW(folder.c_str());

  // Over the setup program's installation the package refuses and adds no entry.
  ASSERT_EQ(WaitExit(Start(setup, L"/S /D=" + setupFolder), 60000), 0u);
  EXPECT_NE(Msiexec(L"/i " + package), 0u);
  EXPECT_EQ(Entries(), Versions{L"1.0.0.1"});
  ASSERT_EQ(WaitExit(Start(setupFolder + L"\\uninst.exe", L"/S _?=" + setupFolder), 60000), 0u);

  // The other build's package goes as this one comes: one entry below.
  if (x64 && Host32()) {
    ASSERT_EQ(Msiexec(L"/i \"" + OtherBinDir() + L"Pellory-1.0.0.1-x86.msi\""), 0u);
  } else if (x64) {
    NotRun("the 32-bit package replaced by the 64-bit one: this host runs 64-bit code only");
  }
  CreateKey(L"dllfile\\shell\\Keep\\command", L"keep.exe \"%1\"");
  ASSERT_EQ(Msiexec(L"/i " + package + L" INSTALLDIR=\"" + folder + L"\""), 0u);
  const auto command = L"\"" + folder + L"\\Pellory.exe\" ";
  for (const auto& [key, action] : Verbs()) {
    EXPECT_EQ(ValueOf(key + L"\\command", nullptr, KEY_WOW64_64KEY), command + action + L" \"%1\"");
    EXPECT_EQ(ValueOf(key, L"HasLUAShield"), L"") << "no shield on " << Narrow(key);
  }
  EXPECT_EQ(ValueOf(L"Applications\\Pellory.exe\\shell\\open\\command"),
            command + L"/register \"%1\"");
  EXPECT_EQ(Entries(), Versions{L"1.0.0.1"});
  // The setup program refuses over the package, silent too, and writes nothing.
  EXPECT_EQ(WaitExit(Start(setup, L"/S"), 60000), 2u);
  EXPECT_FALSE(ValueOf(kUninstall + L"\\Pellory", L"InstallLocation"));

  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"msi verb"), L"clicked server.dll");
  EXPECT_EQ(RunVerb(L"dllfile\\shell\\Register", dll).text,
            L"clicked server.dll has been registered.");
  EXPECT_EQ(LogOf(dll), "DllRegisterServer");

  NotRun("msiexec /fa (repair by switch): Wine's msiexec ends it with status 69");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"tlbfile\\shell\\Unregister");
  ASSERT_EQ(Msiexec(L"/i " + package + L" REINSTALL=ALL REINSTALLMODE=amus"), 0u);
  EXPECT_EQ(ValueOf(L"tlbfile\\shell\\Unregister\\command"), command + L"/unregister \"%1\"");

  // A later version takes the place and folder of this one, which cannot come back over it.
  ASSERT_EQ(Msiexec(L"/i " + later), 0u);
  EXPECT_EQ(Entries(), Versions{L"1.0.1.0"});
  EXPECT_EQ(ValueOf(L"dllfile\\shell\\Register\\command"), command + L"/register \"%1\"");
  EXPECT_NE(Msiexec(L"/i " + package), 0u);
  EXPECT_EQ(Entries(), Versions{L"1.0.1.0"});

  ASSERT_EQ(Msiexec(L"/x " + later), 0u);
  for (const auto& [key, action] : Verbs()) EXPECT_FALSE(KeyExists(key)) << Narrow(key);
  EXPECT_FALSE(KeyExists(L"Applications\\Pellory.exe"));
  EXPECT_FALSE(ValueOf(L"Software\\Pellory", L"InstallFolder"));
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(ValueOf(L"dllfile\\shell\\Keep\\command"), L"keep.exe \"%1\"");
  EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"dllfile\\shell\\Keep");
}

}  // namespace
