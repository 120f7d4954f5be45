// Pellory end to end under Wine: one run per line of cases/pellory.tsv (its boxes, each action's
// entry points, its reports, other kinds of file, odd command lines, among planted tools and
// libraries), then what a line cannot say: type libraries' entries and elevation.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver.h"
#include "tests/unit/programFileEdit.h"
#include "win32/system.h"

namespace {

using namespace e2e;

using Row = std::vector<std::wstring>;  // name, files, args, shows, icon, status, calls, text

// Placeholders the case file names in lines of their own ({name}, then the text).
std::vector<Row> names;

std::vector<Row> Rows() {
  std::vector<Row> rows;
  for (auto& row : Cases("pellory")) (row[0].starts_with(L'{') ? names : rows).push_back(row);
  return rows;
}

std::wstring Expand(std::wstring text, const std::wstring& dir) {
  auto all = names;
  all.insert(all.end(), {{L"{dir}", dir}, {L"{other}", OtherBinDir()}});
  for (const auto& name : all) {
    for (size_t at; (at = text.find(name[0])) != std::wstring::npos;)
      text.replace(at, name[0].size(), name[1]);
  }
  return text;
}

// A * at either end of PATTERN matches whatever TEXT holds there.
bool Matches(const std::wstring& pattern, const std::wstring& text) {
  if (pattern.starts_with(L'*')) return text.ends_with(pattern.substr(1));
  if (pattern.ends_with(L'*')) return text.starts_with(pattern.substr(0, pattern.size() - 1));
  return text == pattern;
}

// Changes a copied program file as another build would have it: ARM64's machine, or a .NET
// header (in the headers, which only its presence matters for).
void Patch(const std::wstring& file, const std::wstring& how) {
  std::ifstream in(file.c_str(), std::ios::binary);
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  in.close();
  EditProgramFile(bytes, how == L"arm64" ? "machine=0xAA64" : "dir14=0x40,72");
  std::ofstream(file.c_str(), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

class PelloryCase : public testing::TestWithParam<Row> {
 protected:
  // Pellory's copy beside planted files, which the PATH names first for every later test too.
  static void SetUpTestSuite() {
    home_ = FreshFolder(L"home");
    pellory_ = CopyServer(L"Pellory.exe", home_, L"Pellory.exe");
    planted_ = Plant(home_);
    SetEnvironmentVariableW(L"PATH", (home_ + L";" + _wgetenv(L"PATH")).c_str());
  }
  static inline std::wstring home_, pellory_;
  static inline std::vector<std::wstring> planted_;
};

TEST_P(PelloryCase, Run) {
  const Row& c = GetParam();
  if (c[1].starts_with(L"{other}") && sizeof(void*) == 8 && !Host32())
    return NotRun("it needs a 32-bit server, and this host runs 64-bit code only");
  const auto dir = FreshFolder(L"case " + c[0] + L" \u00f1\u00fa");
  const auto planted = Plant(dir);
  std::wstring file;  // the first one's, whose log is read; none: an empty log
  for (const auto& each : Split(Expand(c[1], dir), L"|")) {
    const auto copy = Split(each, L">");
    const auto patch = Split(copy[0], L"+");
    const auto source = Split(patch[0], L"@");
    const auto copied =
        CopyServer(source[0], dir, copy[1], source.size() == 2 ? std::stoul(source[1]) : kWhole);
    if (patch.size() == 2) Patch(copied, patch[1]);
    if (file.empty()) file = copied;
  }
  auto args = Expand(c[2], dir);
  if (const auto at = args.find(L"{long}"); at != std::wstring::npos) {
    // 32,767 characters with the closing zero; one long word, the hardest to lay out.
    args.replace(at, 6, 32766 - 3 - pellory_.size() - (args.size() - 6), L'x');
  }
  // Without administrator rights, a reason known before the prompt is told by the first Pellory.
  const bool limited = c[3] == L"limited";
  auto pellory = Start(pellory_, args, dir, limited ? LimitedToken().get() : nullptr);
  const BalloonRun run = c[3] == L"box" ? ExpectBox(pellory) : CloseBalloon(pellory);
  if (limited) {
    EXPECT_EQ(ChildrenOf(pellory.id), std::vector<DWORD>{}) << "it asked for rights";
  }
  // A tool that hangs outlives Pellory.
  for (const DWORD tool : ChildrenOf(pellory.id))
    Process(OpenProcess(PROCESS_ALL_ACCESS, 0, tool), tool);
  EXPECT_PRED2(Matches, Expand(c[7], dir), run.text);
  EXPECT_EQ(run.icon, c[4] == L"i" ? Icon::Information : c[4] == L"x" ? Icon::Error : Icon::Other);
  EXPECT_EQ(run.status, std::stoul(c[5], nullptr, 0));
  EXPECT_EQ(LogOf(file), Narrow(Expand(c[6], dir)));
  ExpectNoneRan(planted);
  ExpectNoneRan(planted_);
}

INSTANTIATE_TEST_SUITE_P(Table, PelloryCase, testing::ValuesIn(Rows()),
                         [](const auto& row) { return Narrow(row.param[0]); });

TEST(Pellory, TypeLibrariesAreEnteredUnderTheirPlatformByFullPath) {
  const std::wstring key = L"TypeLib\\{6B1E2C3A-5D4F-4E8B-9A71-2C3D4E5F6A7B}\\2.5";
  for (const std::wstring platform : {L"win32", L"win64"}) {
    const auto folder = FreshFolder(L"type lib " + platform);
    const auto library = CopyServer(L"pellorytest-" + platform + L".tlb", folder, L"Shades.TLB");
    EXPECT_EQ(CloseBalloon(Start(L"Pellory.exe", L"/register Shades.TLB", folder)).status, 0u);
    // Wine records the path in its \\?\ form, Windows in the plain one.
    const auto path = ValueOf(key + L"\\0\\" + platform).value_or(L"");
    EXPECT_EQ(path.substr(path.starts_with(L"\\\\?\\") ? 4 : 0), library) << Narrow(platform);
    EXPECT_EQ(CloseBalloon(Start(L"Pellory.exe", L"/unregister " + library)).status, 0u);
    EXPECT_FALSE(KeyExists(key));
  }
}

// Without the window system the work is still done, and told by the exit status (and the
// debugger output) instead of a crash.
TEST(Pellory, WithoutTheWindowSystemTheWorkIsDone) {
  const std::wstring key = L"Software\\Wine\\AppDefaults\\Pellory.exe";
  RegSetKeyValueW(HKEY_CURRENT_USER, (key + L"\\DllOverrides").c_str(), L"user32", REG_SZ, L"",
                  sizeof(wchar_t));  // disabled
  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"nowindows"), L"a.dll");
  auto pellory = Start(L"Pellory.exe", L"/register " + dll);
  EXPECT_EQ(WaitForWindow(pellory, nullptr), nullptr) << "a window showed";
  const auto status = WaitExit(pellory, 0);
  RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  EXPECT_EQ(status, 0u);
  EXPECT_EQ(LogOf(dll), "DllRegisterServer");
}

// A taskkill without /f posts WM_CLOSE to Pellory's windows; while the tool runs that is the
// hidden balloon, which the wait answers. The outcome still comes in a balloon, a new one.
TEST(Pellory, APreparedBalloonClosedWhileTheToolRunsIsMadeAnew) {
  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"closed"), L"hang.dll");
  auto pellory = Start(L"Pellory.exe", L"/register " + dll);
  const HWND prepared = WaitForWindow(pellory, L"frmTip", 15000, false);
  ASSERT_NE(prepared, nullptr);
  PostMessageW(prepared, WM_CLOSE, 0, 0);
  for (int i = 0; i < 250 && (IsWindow(prepared) || LogOf(dll).empty()); ++i) Sleep(20);
  for (const DWORD id : ChildrenOf(pellory.id)) {  // the tool ends as after its work
    const win32::unique_handle_k tool(OpenProcess(PROCESS_TERMINATE, FALSE, id));
    TerminateProcess(tool.get(), 0);
  }
  const auto run = CloseBalloon(pellory);
  EXPECT_EQ(run.text, L"hang.dll has been registered.");
  EXPECT_EQ(run.status, 0u);
}

// The wait that answers messages, which Pellory's waits use, leaves a WM_QUIT to the loop it was
// meant for, with its code, and wakes for a message an earlier look left in the queue.
TEST(Pellory, ItsWaitKeepsAQuitAndWakesForQueuedMessages) {
  const win32::unique_handle_k never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  MSG msg;
  PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
  PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE);  // seen, so no longer new
  EXPECT_EQ(win32::WaitAnswering(never.get(), 300).value_or(WAIT_FAILED), WAIT_TIMEOUT);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE)) << "it slept over it";
  PostQuitMessage(7);
  EXPECT_EQ(win32::WaitAnswering(never.get(), 300).value_or(WAIT_FAILED), WAIT_TIMEOUT);
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 7)
      << "the quit was lost";
}

// Wine's own token is full, and its linked token the limited one that user account control gives
// an administrator's programs (a standard user's token Wine calls limited too: the unit table
// tells the two apart). Wine raises no token, so the copy is limited too, and must know itself
// as the copy: it alone does the work, shows the one balloon and passes on its status.
TEST(Pellory, WithoutAdministratorRightsOneCopyDoesTheWork) {
  const auto limited = LimitedToken();
  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"elevation"), L"fail.dll");
  auto first = Start(L"Pellory.exe", L"/register " + dll, {}, limited.get());
  Process copy;
  for (int i = 0; i < 500 && !copy; ++i, Sleep(20)) {
    for (const DWORD id : ChildrenOf(first.id))
      copy = Process(OpenProcess(PROCESS_ALL_ACCESS, 0, id), id);
  }
  ASSERT_TRUE(ExpectBalloon(copy));
  EXPECT_EQ(WaitForWindow(first, nullptr, 0), nullptr) << "the first one showed";
  EXPECT_EQ(ChildrenOf(copy.id), std::vector<DWORD>{}) << "a third Pellory";
  EXPECT_EQ(LogOf(dll, L".parent"), std::to_string(copy.id));
  // The copy may be another account's: Wine gives an object made with default security no access
  // list at all, the mark must have its own.
  const win32::unique_handle_k mark(OpenEventW(
      READ_CONTROL, FALSE, (L"Local\\Pellory relaunch " + std::to_wstring(first.id)).c_str()));
  PACL dacl = nullptr;
  win32::unique_handle<PSECURITY_DESCRIPTOR, &win32::FreeLocal> descriptor;
  EXPECT_TRUE(mark &&
              !GetSecurityInfo(mark.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                               nullptr, &dacl, nullptr, descriptor.put()) &&
              dacl && dacl->AceCount > 0);
  EXPECT_EQ(CloseBalloon(copy).status, 5u);
  EXPECT_EQ(WaitExit(first), 5u);
}

}  // namespace
