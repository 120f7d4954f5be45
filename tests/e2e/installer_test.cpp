// The setup program and the Windows Installer package under Wine: each installs the programs and
// verbs in place of the other build's, the verbs work, a repair, a move or an upgrade keeps one
// list entry, and an uninstall takes out its own keys and files and leaves the rest alone. The
// package and the setup program refuse each other's installation.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "driver.h"
#include "frontend/dropTarget.h"
#include "win32/system.h"

namespace {

using namespace e2e;
using Versions = std::vector<std::wstring>;

const bool x64 = sizeof(void*) == 8;
const std::wstring kArch = x64 ? L"x64" : L"x86", kOtherArch = x64 ? L"x86" : L"x64";
const std::wstring kSetup = BinDir() + L"\\Pellory-1.0.0.1-" + kArch + L"-setup.exe";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kEntry = kUninstall + L"\\Pellory";
const std::wstring kApplication = L"Applications\\Pellory.exe";

// Brannock's keys, the ones setup installs; the verbs among them with the switches they give.
const auto kKeys = Cases("../../../keyremover/keys");
std::vector<std::pair<std::wstring, std::wstring>> Verbs() {
  std::vector<std::pair<std::wstring, std::wstring>> verbs;
  for (const auto& row : kKeys)
    if (row[0].ends_with(L"\\Register") || row[0].ends_with(L"\\Unregister"))
      verbs.emplace_back(row[0], row[0].ends_with(L"\\Register") ? L"/register" : L"/unregister");
  return verbs;
}
const auto kVerbs = Verbs();

// The class of the drop target of the verb of ACTION.
std::wstring ClassOf(const std::wstring& action) {
  return action == L"/register" ? dropTarget::kRegisterClass : dropTarget::kUnregisterClass;
}

// The verbs and the application's entry start FOLDER's Pellory; a right-click on "Register" of
// a DLL, as the file manager runs it, registers it.
void ExpectWorkingVerbs(const std::wstring& folder) {
  const auto command = L"\"" + folder + L"\\Pellory.exe\" ";
  for (const auto& [key, action] : kVerbs) {
    // What a 64-bit file manager reads must be the same key.
    for (const REGSAM view : {0, KEY_WOW64_64KEY})
      EXPECT_EQ(ValueOf(key + L"\\command", nullptr, view), command + action + L" \"%1\"");
    EXPECT_EQ(ValueOf(key, L"HasLUAShield"), L"") << "no shield on " << Narrow(key);
    // A whole selection goes to the verb's drop target, whatever its size.
    EXPECT_EQ(ValueOf(key, L"MultiSelectModel"), L"Player") << Narrow(key);
    EXPECT_EQ(ValueOf(key + L"\\DropTarget", L"Clsid"), ClassOf(action)) << Narrow(key);
  }
  for (const auto* action : {L"/register", L"/unregister"})
    EXPECT_EQ(ValueOf(L"CLSID\\" + ClassOf(action) + L"\\LocalServer32"),
              L"\"" + folder + L"\\Pellory.exe\"");
  EXPECT_EQ(ValueOf(kApplication + L"\\shell\\open\\command"), command + L"/register \"%1\"");
  // .tlb had no association: without the one made, the tlbfile verbs never show.
  EXPECT_EQ(ValueOf(L".tlb"), L"tlbfile");
  // The command, checked above, as the file manager runs it.
  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"verb"), L"clicked server.dll");
  EXPECT_EQ(CloseBalloon(Start(folder + L"\\Pellory.exe", L"/register \"" + dll + L"\"")).text,
            L"clicked server.dll has been registered.");
  EXPECT_EQ(LogOf(dll), "DllRegisterServer");
}

// Its verbs (in either view), the application's entry and the association of .tlb it made are
// gone, another program's verb stays.
void ExpectOnlyItsKeysGone() {
  for (const auto& row : kKeys) EXPECT_FALSE(KeyExists(row[0])) << Narrow(row[0]);
  EXPECT_FALSE(KeyExists(L".tlb"));
  for (const auto& [key, action] : kVerbs) {
    EXPECT_FALSE(ValueOf(key + L"\\command", nullptr, KEY_WOW64_64KEY)) << Narrow(key);
    EXPECT_FALSE(KeyExists(L"CLSID\\" + ClassOf(action))) << Narrow(ClassOf(action));
  }
  EXPECT_EQ(ValueOf(L"dllfile\\shell\\Keep\\command"), L"keep.exe \"%1\"");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"dllfile\\shell\\Keep");
}

std::string Bytes(const std::wstring& file) {
  std::ifstream in(file.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void ExpectInstalledIn(const std::wstring& folder) {
  for (const wchar_t* program : {L"\\Pellory.exe", L"\\Brannock.exe"})
    EXPECT_TRUE(Bytes(folder + program) == Bytes(BinDir() + program)) << Narrow(program);
  ExpectWorkingVerbs(folder);
  EXPECT_EQ(ValueOf(kEntry, L"InstallLocation"), folder);
  EXPECT_EQ(ValueOf(kEntry, L"DisplayIcon"), folder + L"\\Pellory.exe,0");
  EXPECT_EQ(ValueOf(kEntry, L"QuietUninstallString"), L"\"" + folder + L"\\uninst.exe\" /S");
}

TEST(Installer, InstallsWorkingVerbsRepairsMovesAndUninstallsOnlyWhatItAdded) {
  CreateKey(L"dllfile\\shell\\Keep\\command", L"keep.exe \"%1\"");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tlb");
  const auto first = FreshFolder(L"setup first"), moved = FreshFolder(L"setup moved"),
             other = FreshFolder(L"setup other");
  for (const auto& folder : {first, moved}) RemoveDirectoryW(folder.c_str());
  // The other build installed first; this one takes its place and its list entry.
  const REGSAM otherView = x64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
  if (!x64 || Host32()) {
    const auto otherSetup = OtherBinDir() + L"Pellory-1.0.0.1-" + kOtherArch + L"-setup.exe";
    ASSERT_EQ(WaitExit(Start(otherSetup, L"/S /D=" + other), 60000), 0u);
    ASSERT_EQ(ValueOf(kEntry, L"InstallLocation", otherView), other);
  } else {
    NotRun("the 32-bit installation it replaces: this host runs 64-bit code only");
  }
  // /D= comes last and unquoted.
  ASSERT_EQ(WaitExit(Start(kSetup, L"/S /D=" + first), 60000), 0u);
  ExpectInstalledIn(first);
  EXPECT_FALSE(ValueOf(kEntry, L"InstallLocation", otherView)) << "two list entries";
  EXPECT_EQ(GetFileAttributesW((other + L"\\Pellory.exe").c_str()), INVALID_FILE_ATTRIBUTES);

  // Without a folder, setup finds the installation it repairs, and puts back its association of
  // .tlb; into another, the keys follow and the first copy goes.
  for (auto* key : {L"tlbfile\\shell\\Unregister", L".tlb"}) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
  CreateKey(L"ocxfile\\shell\\Register\\command", L"stale");
  DeleteFileW((first + L"\\Brannock.exe").c_str());
  ASSERT_EQ(WaitExit(Start(kSetup, L"/S"), 60000), 0u);
  ExpectInstalledIn(first);
  ASSERT_EQ(WaitExit(Start(kSetup, L"/S /D=" + moved), 60000), 0u);
  ExpectInstalledIn(moved);
  EXPECT_EQ(GetFileAttributesW(first.c_str()), INVALID_FILE_ATTRIBUTES);

  // With _?= the uninstaller runs in place and can be waited for; it cannot delete itself then.
  EXPECT_EQ(WaitExit(Start(moved + L"\\uninst.exe", L"/S _?=" + moved), 60000), 0u);
  ExpectOnlyItsKeysGone();
  EXPECT_FALSE(ValueOf(kEntry, L"InstallLocation")) << "the uninstall entry stayed";
  for (const wchar_t* file : {L"\\Pellory.exe", L"\\Brannock.exe"})
    EXPECT_EQ(GetFileAttributesW((moved + file).c_str()), INVALID_FILE_ATTRIBUTES);
}

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
      if (ValueOf(entry, L"DisplayName", view) == L"Pellory")
        versions.push_back(ValueOf(entry, L"DisplayVersion", view).value_or(L"?"));
    }
  }
  return versions;
}

TEST(Msi, InstallsWorkingVerbsRepairsUpgradesAndUninstallsOnlyWhatItAdded) {
  const auto package = L"\"" + BinDir() + L"\\Pellory-1.0.0.1-" + kArch + L".msi\"";
  const auto later = L"\"" + BinDir() + L"\\Pellory-upgrade-test-" + kArch + L".msi\"";
  const auto folder = FreshFolder(L"msi folder"), setupFolder = FreshFolder(L"msi setup");
  RemoveDirectoryW(folder.c_str());

  // Over the setup program's installation the package refuses and adds no entry. An association
  // of .tlb that was there, tlbfile too, stays through either's installation and uninstall.
  for (const std::wstring association : {L"othertlb", L"tlbfile"}) {
    CreateKey(L".tlb", association);
    ASSERT_EQ(WaitExit(Start(kSetup, L"/S /D=" + setupFolder), 60000), 0u);
    EXPECT_NE(Msiexec(L"/i " + package), 0u);
    EXPECT_EQ(Entries(), Versions{L"1.0.0.1"});
    // Without Brannock the uninstaller itself removes the keys.
    DeleteFileW((setupFolder + L"\\Brannock.exe").c_str());
    ASSERT_EQ(WaitExit(Start(setupFolder + L"\\uninst.exe", L"/S _?=" + setupFolder), 60000), 0u);
    for (const auto& row : kKeys) EXPECT_FALSE(KeyExists(row[0])) << Narrow(row[0]);
    ASSERT_EQ(Msiexec(L"/i " + package), 0u);
    ASSERT_EQ(Msiexec(L"/x " + package), 0u);
    EXPECT_EQ(ValueOf(L".tlb"), association);
  }
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".tlb");

  // The other build's package goes as this one comes: one entry below.
  if (x64 && Host32()) {
    ASSERT_EQ(Msiexec(L"/i \"" + OtherBinDir() + L"Pellory-1.0.0.1-x86.msi\""), 0u);
  } else if (x64) {
    NotRun("the 32-bit package replaced by the 64-bit one: this host runs 64-bit code only");
  }
  CreateKey(L"dllfile\\shell\\Keep\\command", L"keep.exe \"%1\"");
  ASSERT_EQ(Msiexec(L"/i " + package + L" INSTALLDIR=\"" + folder + L"\""), 0u);
  ExpectWorkingVerbs(folder);
  EXPECT_EQ(Entries(), Versions{L"1.0.0.1"});
  // The setup program refuses over the package, silent too, and writes nothing.
  EXPECT_EQ(WaitExit(Start(kSetup, L"/S"), 60000), 2u);
  EXPECT_FALSE(ValueOf(kEntry, L"InstallLocation"));

  NotRun("msiexec /fa (repair by switch): Wine's msiexec ends it with status 69");
  for (auto* key : {L"tlbfile\\shell\\Unregister", L".tlb"}) RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
  ASSERT_EQ(Msiexec(L"/i " + package + L" REINSTALL=ALL REINSTALLMODE=amus"), 0u);
  ExpectWorkingVerbs(folder);

  // A later version takes the place and folder of this one, which cannot come back over it.
  ASSERT_EQ(Msiexec(L"/i " + later), 0u);
  EXPECT_EQ(Entries(), Versions{L"1.0.1.0"});
  ExpectWorkingVerbs(folder);
  EXPECT_NE(Msiexec(L"/i " + package), 0u);
  EXPECT_EQ(Entries(), Versions{L"1.0.1.0"});

  ASSERT_EQ(Msiexec(L"/x " + later), 0u);
  ExpectOnlyItsKeysGone();
  EXPECT_FALSE(ValueOf(L"Software\\Pellory", L"InstallFolder"));
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
