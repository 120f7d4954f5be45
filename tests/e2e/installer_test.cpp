// The setup program under Wine: what it installs and writes, a context-menu verb at work, a
// repair, and an uninstall that takes out its own keys and files and leaves the rest alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "pellory_support.h"
#include "support.h"

namespace {

using namespace e2e;

const std::wstring kSetup = L"Pellory-1.0.0.1-setup.exe";
const std::wstring kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pellory";
const std::wstring kTypes[] = {L"ocxfile", L"exefile", L"tlbfile", L"dllfile"};
// Each verb and the switch its command gives Pellory.
const std::pair<std::wstring, std::wstring> kVerbs[] = {{L"Register", L"/register"},
                                                        {L"Unregister", L"/unregister"}};
const std::wstring kApplication = L"Applications\\Pellory.exe";
const std::wstring kAppChain[] = {kApplication, kApplication + L"\\shell",
                                  kApplication + L"\\shell\\open",
                                  kApplication + L"\\shell\\open\\command"};
// A verb of the file types that is not the product's and must survive it.
const std::wstring kOtherVerb = L"InstallerTestKeep";

// One key's subkeys (as "name\") and values (name, data; "" names the default value).
using Contents = std::map<std::wstring, std::wstring>;

// What the key at PATH holds, seen through VIEW (0 is the driver's own, the 32-bit one).
std::optional<Contents> ContentsOf(HKEY root, const std::wstring& path, REGSAM view = 0) {
  UniqueHkey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  Contents contents;
  wchar_t name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = ARRAYSIZE(name);
    if (RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    contents[std::wstring(name, length) + L"\\"] = L"";
  }
  for (DWORD i = 0;; ++i) {
    DWORD length = ARRAYSIZE(name), type = 0;
    BYTE data[4096] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegEnumValueW(key.get(), i, name, &length, nullptr, &type, data, &size) != ERROR_SUCCESS) {
      break;
    }
    std::wstring& value = contents[std::wstring(name, length)];
    if (type == REG_SZ) {
      value = reinterpret_cast<const wchar_t*>(data);  // zero-terminated by the spare bytes
    } else if (type == REG_DWORD) {
      DWORD number = 0;
      std::copy_n(data, sizeof(number), reinterpret_cast<BYTE*>(&number));
      value = L"dword:" + std::to_wstring(number);
    } else {
      value = L"type " + std::to_wstring(type);
    }
  }
  return contents;
}

std::string Bytes(const std::wstring& file) {
  std::ifstream in(file.c_str(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names of the files in FOLDER; nothing if the folder is gone.
std::optional<std::vector<std::wstring>> FilesIn(const std::wstring& folder) {
  if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

// A shell command line as the file manager runs it: %1 becomes the clicked file, then the
// quoted program path is split from its arguments.
std::pair<std::wstring, std::wstring> CommandFor(std::wstring command, const std::wstring& file) {
  for (auto at = command.find(L"%1"); at != std::wstring::npos; at = command.find(L"%1", at)) {
    command.replace(at, 2, file);
    at += file.size();
  }
  if (command.empty() || command.front() != L'"') return {command, L""};
  const auto close = command.find(L'"', 1);
  if (close == std::wstring::npos) return {command, L""};
  const auto args = command.find_first_not_of(L' ', close + 1);
  return {command.substr(1, close - 1), args == std::wstring::npos ? L"" : command.substr(args)};
}

class Installer : public testing::Test {
 protected:
  void SetUp() override {
    setup_ = BinDir() + L"\\" + kSetup;
    if (GetFileAttributesW(setup_.c_str()) == INVALID_FILE_ATTRIBUTES) {
      GTEST_SKIP() << "no setup program beside the driver (only the 32-bit build makes one)";
    }
    const std::wstring root = FreshFolder(L"installer");
    dir_ = root + L"\\setup test";
    moved_ = root + L"\\setup moved";
    Restore();
    for (const std::wstring& type : kTypes) {
      for (const std::wstring& path : {type, type + L"\\shell"}) {
        if (!ContentsOf(HKEY_CLASSES_ROOT, path)) created_.push_back(path);
      }
      ASSERT_NO_FATAL_FAILURE(
          CreateKey(type + L"\\shell\\" + kOtherVerb + L"\\command", L"keep.exe \"%1\""));
      shellBefore_[type] = *ContentsOf(HKEY_CLASSES_ROOT, type + L"\\shell");
    }
    if (!ContentsOf(HKEY_CLASSES_ROOT, L"Applications")) {
      created_.push_back(L"Applications");
      ASSERT_NO_FATAL_FAILURE(CreateKey(L"Applications", L""));
    }
    applicationsBefore_ = *ContentsOf(HKEY_CLASSES_ROOT, L"Applications");
  }

  // Runs even when a check failed, so that no installation, key or file of the test stays.
  void TearDown() override {
    if (setup_.empty() || IsSkipped()) return;
    Restore();
    for (auto path = created_.rbegin(); path != created_.rend(); ++path) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, path->c_str());
    }
  }

  void Restore() {
    std::vector<std::wstring> folders = {dir_, moved_};
    if (const auto entry = ContentsOf(HKEY_LOCAL_MACHINE, kUninstallKey)) {
      if (entry->contains(L"InstallLocation")) folders.push_back(entry->at(L"InstallLocation"));
    }
    for (const std::wstring& folder : folders) {
      if (GetFileAttributesW((folder + L"\\uninst.exe").c_str()) != INVALID_FILE_ATTRIBUTES) {
        Uninstall(folder);
      }
      for (const wchar_t* file : {L"Pellory.exe", L"Brannock.exe", L"uninst.exe"}) {
        DeleteFileW((folder + L"\\" + file).c_str());
      }
      RemoveDirectoryW(folder.c_str());
    }
    for (const std::wstring& type : kTypes) {
      for (const std::wstring& verb : {kVerbs[0].first, kVerbs[1].first, kOtherVerb}) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (type + L"\\shell\\" + verb).c_str());
      }
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kApplication.c_str());
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey.c_str());
  }

  // Exit status of the silent setup; /D= must come last and unquoted.
  std::optional<DWORD> Install(const std::wstring& folder) const {
    const Process setup = Start(setup_, folder.empty() ? L"/S" : L"/S /D=" + folder);
    EXPECT_TRUE(setup) << "could not start the setup program";
    return WaitExit(setup, 60000);
  }

  // With _?= the uninstaller runs in place and so can be waited for; it cannot delete its own
  // file then, nor the folder that holds it.
  static std::optional<DWORD> Uninstall(const std::wstring& folder) {
    const Process uninstall = Start(folder + L"\\uninst.exe", L"/S _?=" + folder);
    EXPECT_TRUE(uninstall) << "could not start the uninstaller";
    return WaitExit(uninstall, 60000);
  }

  void ExpectInstalledIn(const std::wstring& folder) const {
    const std::wstring pellory = folder + L"\\Pellory.exe";
    for (const wchar_t* program : {L"\\Pellory.exe", L"\\Brannock.exe"}) {
      EXPECT_TRUE(Bytes(folder + program) == Bytes(BinDir() + program))
          << Narrow(program) << " is not the built one";
    }
    EXPECT_NE(GetFileAttributesW((folder + L"\\uninst.exe").c_str()), INVALID_FILE_ATTRIBUTES);

    const Contents onlyCommand = {{L"command\\", L""}};
    for (const std::wstring& type : kTypes) {
      SCOPED_TRACE(Narrow(type));
      Contents shell = shellBefore_.at(type);
      for (const auto& [verb, action] : kVerbs) {
        const std::wstring key = type + L"\\shell\\" + verb;
        const Contents command = {{L"", L"\"" + pellory + L"\" " + action + L" \"%1\""}};
        EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, key),
                  (Contents{{L"command\\", L""}, {L"HasLUAShield", L""}}))
            << Narrow(key);
        EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, key + L"\\command"), command) << Narrow(key);
        // What a 64-bit file manager reads must be the same key.
        EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, key + L"\\command", KEY_WOW64_64KEY), command)
            << Narrow(key);
        shell[verb + L"\\"] = L"";
      }
      EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, type + L"\\shell"), shell);
    }
    Contents applications = applicationsBefore_;
    applications[L"Pellory.exe\\"] = L"";
    EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, L"Applications"), applications);
    EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, kAppChain[0]), (Contents{{L"shell\\", L""}}));
    EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, kAppChain[1]), (Contents{{L"open\\", L""}}));
    EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, kAppChain[2]), onlyCommand);
    EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, kAppChain[3]),
              (Contents{{L"", L"\"" + pellory + L"\" /register \"%1\""}}));

    auto entry = ContentsOf(HKEY_LOCAL_MACHINE, kUninstallKey);
    ASSERT_TRUE(entry) << "no uninstall entry";
    // In kilobytes, as the list of programs shows it.
    const double programs =
        static_cast<double>(Bytes(pellory).size() + Bytes(folder + L"\\Brannock.exe").size()) /
        1024;
    const std::wstring size = entry->contains(L"EstimatedSize") ? (*entry)[L"EstimatedSize"] : L"";
    EXPECT_TRUE(size.starts_with(L"dword:") && std::abs(std::stod(size.substr(6)) - programs) < 3)
        << Narrow(size) << " for " << programs << " KB";
    entry->erase(L"EstimatedSize");
    const Contents expected = {
        {L"DisplayName", L"Pellory"},
        {L"DisplayVersion", L"1.0.0.1"},
        {L"Publisher", L"Varnholt"},
        {L"DisplayIcon", pellory + L",0"},
        {L"InstallLocation", folder},
        {L"UninstallString", L"\"" + folder + L"\\uninst.exe\""},
        {L"QuietUninstallString", L"\"" + folder + L"\\uninst.exe\" /S"},
        {L"NoModify", L"dword:1"},
        {L"NoRepair", L"dword:1"},
    };
    EXPECT_EQ(*entry, expected);
  }

  void ExpectUninstalledFrom(const std::wstring& folder) const {
    for (const std::wstring& type : kTypes) {
      for (const auto& verb : kVerbs) {
        for (const std::wstring& key :
             {type + L"\\shell\\" + verb.first, type + L"\\shell\\" + verb.first + L"\\command"}) {
          EXPECT_FALSE(ContentsOf(HKEY_CLASSES_ROOT, key)) << Narrow(key);
          EXPECT_FALSE(ContentsOf(HKEY_CLASSES_ROOT, key, KEY_WOW64_64KEY)) << Narrow(key);
        }
      }
      EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, type + L"\\shell"), shellBefore_.at(type));
      EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, type + L"\\shell\\" + kOtherVerb + L"\\command"),
                (Contents{{L"", L"keep.exe \"%1\""}}));
    }
    for (const std::wstring& key : kAppChain) {
      EXPECT_FALSE(ContentsOf(HKEY_CLASSES_ROOT, key)) << Narrow(key);
    }
    EXPECT_EQ(ContentsOf(HKEY_CLASSES_ROOT, L"Applications"), applicationsBefore_);
    EXPECT_FALSE(ContentsOf(HKEY_LOCAL_MACHINE, kUninstallKey)) << "the uninstall entry stayed";
    // Only the uninstaller, which ran in place, is left.
    EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"uninst.exe"});
  }

  std::wstring setup_, dir_, moved_;
  std::map<std::wstring, Contents> shellBefore_;
  Contents applicationsBefore_;
  std::vector<std::wstring> created_;  // keys this test made that were not there before
};

TEST_F(Installer, InstallsWorkingVerbsAndUninstallsOnlyWhatItAdded) {
  EXPECT_EQ(FileVersion(setup_), L"1.0.0.1");
  ASSERT_EQ(Install(dir_), 0u);
  ASSERT_NO_FATAL_FAILURE(ExpectInstalledIn(dir_));

  // A right-click on "Register" of a DLL, as the file manager runs it.
  const auto folder = FreshFolder(L"installer verb");
  const auto dll = CopyServer(L"logserver.dll", folder, L"clicked server.dll");
  const auto command = ContentsOf(HKEY_CLASSES_ROOT, L"dllfile\\shell\\Register\\command");
  ASSERT_TRUE(command && command->contains(L""));
  const auto [program, args] = CommandFor(command->at(L""), dll);
  auto pellory = Start(program, args);
  ASSERT_TRUE(pellory) << Narrow(program);
  const HWND balloon = ExpectBalloon(pellory);
  EXPECT_EQ(MessageText(balloon), L"clicked server.dll has been registered.");
  EXPECT_EQ(LogOf(dll), std::vector<std::string>{"DllRegisterServer"});
  ClickForm(balloon);
  EXPECT_EQ(WaitExit(pellory, 10000), 0u);

  ASSERT_EQ(Uninstall(dir_), 0u);
  ExpectUninstalledFrom(dir_);
}

TEST_F(Installer, RunningSetupAgainRepairsAndKeepsOneInstallation) {
  ASSERT_EQ(Install(dir_), 0u);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"tlbfile\\shell\\Unregister");
  ASSERT_NO_FATAL_FAILURE(CreateKey(L"ocxfile\\shell\\Register\\command", L"stale"));
  DeleteFileW((dir_ + L"\\Brannock.exe").c_str());

  // Without a folder, setup finds the installation it repairs.
  ASSERT_EQ(Install(L""), 0u);
  ASSERT_NO_FATAL_FAILURE(ExpectInstalledIn(dir_));

  // Into another folder: the keys follow, and the first copy goes.
  ASSERT_EQ(Install(moved_), 0u);
  ASSERT_NO_FATAL_FAILURE(ExpectInstalledIn(moved_));
  EXPECT_EQ(FilesIn(dir_), std::nullopt);

  ASSERT_EQ(Uninstall(moved_), 0u);
  ExpectUninstalledFrom(moved_);
}

}  // namespace
