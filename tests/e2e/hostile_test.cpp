// Hostile input end to end: odd command lines and planted tools for Pellory, registry keys that
// Brannock cannot or must not delete. Each case ends in a clear box or an honest balloon, in
// bounded time, with nothing started that should not be.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "keyremover/keyRemoval.h"
#include "pellory_support.h"
#include "support.h"

namespace {

using namespace e2e;

constexpr DWORD kBoundMs = 10000;

std::wstring NotLoaded(const std::wstring& name) {
  return name + L" could not be loaded (missing, or not a module for this system).";
}

// A regsvr32.exe planted in the current folder, beside a copy of Pellory, on the PATH and beside
// the target: Pellory must start none of them.
class Hostile : public testing::Test {
 protected:
  void SetUp() override {
    home_ = FreshFolder(L"hostile-home");
    target_ = FreshFolder(L"hostile-target");
    pellory_ = CopyServer(L"Pellory.exe", home_, L"Pellory.exe");
    planted_ = {CopyServer(L"planted.exe", home_, L"regsvr32.exe"),
                CopyServer(L"planted.exe", target_, L"regsvr32.exe")};
    dll_ = CopyServer(L"logserver.dll", target_, L"a.dll");
    path_.resize(GetEnvironmentVariableW(L"PATH", nullptr, 0));
    path_.resize(GetEnvironmentVariableW(L"PATH", path_.data(), static_cast<DWORD>(path_.size())));
    SetEnvironmentVariableW(L"PATH", (home_ + L";" + target_ + L";" + path_).c_str());
  }

  void TearDown() override {
    SetEnvironmentVariableW(L"PATH", path_.c_str());
    for (const auto& tool : planted_) {
      EXPECT_EQ(GetFileAttributesW((tool + L".ran").c_str()), INVALID_FILE_ATTRIBUTES)
          << "the planted " << Narrow(tool) << " ran";
    }
  }

  Process Run(const std::wstring& args) const {
    auto process = Start(pellory_, args, home_);
    EXPECT_TRUE(process) << "Pellory did not start with " << args.size() << " characters";
    return process;
  }

  // Runs Pellory and expects a balloon with MESSAGE, then the exit STATUS once it is clicked.
  void ExpectBalloonRun(const std::wstring& args, const std::wstring& message, DWORD status) {
    const auto run = CloseBalloon(Run(args), kBoundMs);
    EXPECT_EQ(run.text, message);
    EXPECT_EQ(run.status, status);
  }

  std::wstring home_, target_, pellory_, dll_, path_;
  std::vector<std::wstring> planted_;
};

TEST_F(Hostile, PathsThatNameNoLoadableFile) {
  struct Case {
    std::wstring args, message;
    DWORD status;
  };
  const Case cases[] = {
      {L"/unregister " + target_ + L"\\missing.dll", NotLoaded(L"missing.dll"), 3},
      {L"/register " + target_, NotLoaded(L"hostile-target"), 3},
      {L"/register \\\\nosuchhost\\share\\a.dll", NotLoaded(L"a.dll"), 3},
      {L"/register " + target_ + L"\\a\x01\t\x1f\x7f.dll", NotLoaded(L"a\x01\t\x1f\x7f.dll"), 3},
      // A path the tool takes for one of its switches is no file either.
      {L"/register /u", L"RegSvr32 rejected its arguments for u.", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.args));
    ExpectBalloonRun(c.args, c.message, c.status);
  }
  // A folder written with its closing backslash would escape the closing quote: refused.
  auto folder = Run(L"/register " + target_ + L"\\");
  const Box box = ExpectBox(folder);
  EXPECT_EQ(box.text,
            L"A file path cannot end with a backslash or a slash, so nothing was run for:\r\n" +
                target_ + L"\\");
  EXPECT_EQ(box.icon, BoxIcon::Error);
  ClickOk(box);
  EXPECT_EQ(WaitExit(folder, kBoundMs), 1u);
  EXPECT_TRUE(LogOf(dll_).empty());
}

TEST_F(Hostile, OddButValidSpellingsOfARealFile) {
  std::wstring slashes = dll_;
  for (auto& c : slashes) c = c == L'\\' ? L'/' : c;
  ExpectBalloonRun(L"/register " + slashes, L"a.dll has been registered.", 0);
  // Blanks around the path, as batch files leave them, are dropped.
  ExpectBalloonRun(L"/register " + dll_ + L"   ", L"a.dll has been registered.", 0);
  ExpectBalloonRun(L"/register \t \"" + dll_ + L"\" ", L"a.dll has been registered.", 0);
  EXPECT_EQ(LogOf(dll_), std::vector<std::string>(3, "DllRegisterServer"));
}

TEST_F(Hostile, TheLongestCommandLine) {
  // 32,767 characters with the closing zero, the most CreateProcess takes; the file name is one
  // long word, the hardest for the balloon to lay out.
  const std::wstring head = L"\"" + pellory_ + L"\" ";
  std::wstring args = L"/register " + target_ + L"\\";
  args.append(32766 - head.size() - args.size() - 4, L'x') += L".dll";
  auto pellory = Run(args);
  const HWND balloon = ExpectBalloon(pellory);
  if (!balloon) return;
  EXPECT_TRUE(MessageText(balloon).ends_with(NotLoaded(L"")));
  // Long enough to be read: the time spent laying it out must not come off its 2.5 s.
  Sleep(1500);
  EXPECT_TRUE(IsWindowVisible(balloon)) << "the balloon closed before it could be read";
  ClickForm(balloon);
  EXPECT_EQ(WaitExit(pellory, kBoundMs), 3u);
}

TEST_F(Hostile, OnlyQuotesForAPathIsNoPath) {
  const std::wstring text =
      L"You did not specify a file after /register. The valid arguments are:" + kUsageLines;
  for (const std::wstring args : {L"/register \"", L"/register \"\""}) {
    SCOPED_TRACE(Narrow(args));
    auto pellory = Run(args);
    const Box box = ExpectBox(pellory);
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.icon, BoxIcon::Information);
    ClickOk(box);
    EXPECT_EQ(WaitExit(pellory, kBoundMs), 1u);
  }
}

// A library planted under each name the programs load, beside them and in the current folder:
// none is loaded, and both programs work as ever.
TEST(HostileLibraries, PlantedBesideTheProgramsAndInTheCurrentFolderAreNeverLoaded) {
  const auto home = FreshFolder(L"planted-home"), current = FreshFolder(L"planted-current");
  std::vector<std::wstring> planted;
  for (const auto& folder : {home, current}) {
    for (const std::wstring name :
         {L"msftedit.dll", L"riched20.dll", L"comctl32.dll", L"uxtheme.dll", L"shcore.dll",
          L"oleacc.dll", L"oleaut32.dll", L"version.dll", L"shell32.dll", L"advapi32.dll"}) {
      planted.push_back(CopyServer(L"marker.dll", folder, name));
    }
  }
  // Each kind of file, so that each library is wanted: the balloon's, the type library's, and
  // the one that reads a program's version block.
  const auto files = FreshFolder(L"planted-files");
  const std::pair<std::wstring, std::wstring> runs[] = {
      {L"/register " + CopyServer(L"logserver.dll", files, L"a.dll"),
       L"a.dll has been registered."},
      {L"/unregister " + CopyServer(L"pellorytest-win32.tlb", files, L"a.tlb"),
       L"a.tlb could not be unregistered: Library not registered."},
      {L"/register " + CopyServer(L"selfreg.exe", files, L"a.exe"), L"a.exe has been registered."},
  };
  const auto pellory = CopyServer(L"Pellory.exe", home, L"Pellory.exe");
  for (const auto& [args, message] : runs) {
    EXPECT_EQ(CloseBalloon(Start(pellory, args, current)).text, message);
  }
  ASSERT_NO_FATAL_FAILURE(CreateKey(L"Applications\\Pellory.exe"));
  EXPECT_EQ(
      WaitExit(Start(CopyServer(L"Brannock.exe", home, L"Brannock.exe"), {}, current), kBoundMs),
      0u);
  EXPECT_FALSE(KeyExists(L"Applications\\Pellory.exe"));
  for (const auto& library : planted) EXPECT_TRUE(LogOf(library).empty()) << Narrow(library);
}

// Brannock's own list, below the classes root.
std::vector<std::wstring> ListedKeys() {
  std::vector<std::wstring> keys;
  for (const auto path : keyRemoval::ShellVerbKeyList) {
    keys.emplace_back(path.substr(path.find(L'\\') + 1));
  }
  return keys;
}

// Everyone may do anything with the key but, if DENY, delete it.
LONG SetDeleteDenied(const std::wstring& path, bool deny) {
  UniqueHkey key;
  if (const LONG error = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, WRITE_DAC, key.put())) {
    return error;
  }
  DWORD sid[SECURITY_MAX_SID_SIZE / sizeof(DWORD)];
  DWORD sidSize = sizeof(sid);
  CreateWellKnownSid(WinWorldSid, nullptr, sid, &sidSize);
  DWORD aclBuffer[64];
  const auto acl = reinterpret_cast<ACL*>(aclBuffer);
  InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION);
  if (deny) AddAccessDeniedAce(acl, ACL_REVISION, DELETE, sid);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS | DELETE, sid);
  SECURITY_DESCRIPTOR sd;
  InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
  return RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd);
}

class HostileBrannock : public testing::Test {
 protected:
  void SetUp() override {
    // The parents the listed keys need and the registry lacks go again afterwards.
    for (const auto& key : listed_) {
      for (auto at = key.find(L'\\'); at != std::wstring::npos; at = key.find(L'\\', at + 1)) {
        const auto parent = key.substr(0, at);
        if (std::ranges::find(listed_, parent) == listed_.end() && !KeyExists(parent) &&
            std::ranges::find(created_, parent) == created_.end()) {
          created_.push_back(parent);
        }
      }
    }
    for (const auto& key : listed_) ASSERT_NO_FATAL_FAILURE(CreateKey(key, L"keep", L"Extra"));
  }

  void TearDown() override {
    for (auto key = listed_.rbegin(); key != listed_.rend(); ++key) {
      SetDeleteDenied(*key, false);
      RegDeleteTreeW(HKEY_CLASSES_ROOT, key->c_str());
    }
    for (auto key = created_.rbegin(); key != created_.rend(); ++key) {
      RegDeleteKeyW(HKEY_CLASSES_ROOT, key->c_str());
    }
  }

  // Brannock ends by itself, exit status 0, and never shows a box meanwhile.
  static void RunSilently() {
    const auto run = Start(BinDir() + L"\\Brannock.exe");
    ASSERT_TRUE(run);
    EXPECT_EQ(WaitForWindow(run, L"#32770", kBoundMs), nullptr) << "Brannock showed a box";
    EXPECT_EQ(WaitExit(run, 0), 0u) << "Brannock did not end in time";
  }

  const std::vector<std::wstring> listed_ = ListedKeys();
  std::vector<std::wstring> created_;
};

TEST_F(HostileBrannock, ExtraSubkeysKeepEveryKeyAndExtraValuesGoWithTheirKey) {
  for (const auto& key : listed_)
    ASSERT_NO_FATAL_FAILURE(CreateKey(key + L"\\Extra", L"keep", L"Extra"));
  RunSilently();
  for (const auto& key : listed_) EXPECT_TRUE(KeyExists(key + L"\\Extra")) << Narrow(key);

  for (const auto& key : listed_) RegDeleteKeyW(HKEY_CLASSES_ROOT, (key + L"\\Extra").c_str());
  RunSilently();
  for (const auto& key : listed_) EXPECT_FALSE(KeyExists(key)) << Narrow(key);
  for (const auto& key : {L"ocxfile\\shell", L"exefile\\shell", L"tlbfile\\shell",
                          L"dllfile\\shell", L"Applications"}) {
    EXPECT_TRUE(KeyExists(key)) << Narrow(key);
  }
}

TEST_F(HostileBrannock, KeysItMayNotDeleteStayAndTheWalkGoesOn) {
  const std::wstring command = L"exefile\\shell\\Register\\command";
  const std::wstring open = L"Applications\\Pellory.exe\\shell\\open\\command";
  for (const auto& key : {command, open}) ASSERT_EQ(SetDeleteDenied(key, true), ERROR_SUCCESS);
  // Wine 8 keeps the DACL but lets the key be deleted all the same; Windows refuses.
  if (RegDeleteKeyW(HKEY_CLASSES_ROOT, command.c_str()) != ERROR_ACCESS_DENIED) {
    GTEST_SKIP() << "this registry does not enforce a key's DACL on deletion";
  }

  RunSilently();
  for (const auto& key : listed_) {
    // What stays: the protected keys and the keys above them, which are not empty.
    const bool stays = command.starts_with(key) || open.starts_with(key);
    EXPECT_EQ(KeyExists(key), stays) << Narrow(key);
  }
}

}  // namespace
