// The setup program under Wine: the programs and verbs it installs in place of the other build's,
// a verb at work, a repair, a move, and an uninstall that takes out its own keys and files and
// leaves the rest alone.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "driver.h"

namespace {

using namespace e2e;

const std::wstring kEntry = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pellory";
const std::wstring kApplication = L"Applications\\Pellory.exe";

std::string Bytes(const std::wstring& file) {
  std::ifstream in(file.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void ExpectInstalledIn(const std::wstring& folder) {
  const std::wstring pellory = folder + L"\\Pellory.exe";
  for (const wchar_t* program : {L"\\Pellory.exe", L"\\Brannock.exe"}) {
    EXPECT_TRUE(Bytes(folder + program) == Bytes(BinDir() + program)) << Narrow(program);
  }
  for (const auto& [key, action] : Verbs()) {
    // What a 64-bit file manager reads must be the same key.
    for (const REGSAM view : {0, KEY_WOW64_64KEY}) {
      EXPECT_EQ(ValueOf(key + L"\\command", nullptr, view),
                L"\"" + pellory + L"\" " + action + L" \"%1\"");
    }
    EXPECT_EQ(ValueOf(key, L"HasLUAShield"), L"") << "no shield on " << Narrow(key);
  }
  EXPECT_EQ(ValueOf(kApplication + L"\\shell\\open\\command"),
            L"\"" + pellory + L"\" /register \"%1\"");
  EXPECT_EQ(ValueOf(kEntry, L"InstallLocation"), folder);
  EXPECT_EQ(ValueOf(kEntry, L"DisplayIcon"), pellory + L",0");
  EXPECT_EQ(ValueOf(kEntry, L"QuietUninstallString"), L"\"" + folder + L"\\uninst.exe\" /S");
}

TEST(Installer, InstallsWorkingVerbsRepairsMovesAndUninstallsOnlyWhatItAdded) {
  const bool x64 = sizeof(void*) == 8;
  const std::wstring setup =
      BinDir() + (x64 ? L"\\Pellory-1.0.0.1-x64-setup.exe" : L"\\Pellory-1.0.0.1-x86-setup.exe");
  CreateKey(L"dllfile\\shell\\Keep\\command", L"keep.exe \"%1\"");
  const auto first = FreshFolder(L"setup first"), moved = FreshFolder(L"setup moved"),
             other = FreshFolder(L"setup other");
  RemoveDirectoryW(first.c_str());
  RemoveDirectoryW(moved.c_str());
  // The other build installed first; this one takes its place and its list entry.
  const REGSAM otherView = x64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  if (!x64 || Host32()) {
    const auto otherSetup =
        OtherBinDir() + (x64 ? L"Pellory-1.0.0.1-x86-setup.exe" : L"Pellory-1.0.0.1-x64-setup.exe");
    ASSERT_EQ(WaitExit(Start(otherSetup, L"/S /D=" + other), 60000), 0u);
    ASSERT_EQ(ValueOf(kEntry, L"InstallLocation", otherView), other);
  } else {
    NotRun("the 32-bit installation it replaces: this host runs 64-bit code only");
  }
  // /D= comes last and unquoted.
  ASSERT_EQ(WaitExit(Start(setup, L"/S /D=" + first), 60000), 0u);
  ExpectInstalledIn(first);
  EXPECT_FALSE(ValueOf(kEntry, L"InstallLocation", otherView)) << "two list entries";
  EXPECT_EQ(GetFileAttributesW((other + L"\\Pellory.exe").c_str()), INVALID_FILE_ATTRIBUTES);

  // A right-click on "Register" of a DLL, as the file manager runs it.
  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"setup verb"), L"clicked server.dll");
  const auto run = RunVerb(L"dllfile\\shell\\Register", dll);
  EXPECT_EQ(run.text, L"clicked server.dll has been registered.");
  EXPECT_EQ(LogOf(dll), "DllRegisterServer");

  // Without a folder, setup finds the installation it repairs; into another, the keys follow
  // and the first copy goes.
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"tlbfile\\shell\\Unregister");
  CreateKey(L"ocxfile\\shell\\Register\\command", L"stale");
  DeleteFileW((first + L"\\Brannock.exe").c_str());
  ASSERT_EQ(WaitExit(Start(setup, L"/S"), 60000), 0u);
  ExpectInstalledIn(first);
  ASSERT_EQ(WaitExit(Start(setup, L"/S /D=" + moved), 60000), 0u);
  ExpectInstalledIn(moved);
  EXPECT_EQ(GetFileAttributesW(first.c_str()), INVALID_FILE_ATTRIBUTES);

  // With _?= the uninstaller runs in place and can be waited for; it cannot delete itself then.
  EXPECT_EQ(WaitExit(Start(moved + L"\\uninst.exe", L"/S _?=" + moved), 60000), 0u);
  for (const auto& [key, action] : Verbs()) {
    EXPECT_FALSE(KeyExists(key)) << Narrow(key);
    EXPECT_FALSE(ValueOf(key + L"\\command", nullptr, KEY_WOW64_64KEY)) << Narrow(key);
  }
  EXPECT_FALSE(KeyExists(kApplication));
  EXPECT_FALSE(ValueOf(kEntry, L"InstallLocation")) << "the uninstall entry stayed";
  EXPECT_EQ(ValueOf(L"dllfile\\shell\\Keep\\command"), L"keep.exe \"%1\"");
  for (const wchar_t* file : {L"\\Pellory.exe", L"\\Brannock.exe"}) {
    EXPECT_EQ(GetFileAttributesW((moved + file).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"dllfile\\shell\\Keep");
}

}  // namespace
