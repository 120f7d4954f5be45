// A selection handed over as File Explorer does: Pellory's class created through COM by a helper
// run of this driver (with the limited token too), a CF_HDROP list or the shell's item list
// dropped on it.
#include <windows.h>
// After windows.h, which they need.
#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "driver.h"
#include "frontend/dropTarget.h"

namespace {

using namespace e2e;

// Pellory's class for this test, served by the built program; removed after.
struct RegisteredClass {
  RegisteredClass() {
    CreateKey(Key() + L"\\LocalServer32", L"\"" + BinDir() + L"\\Pellory.exe\"");
  }
  ~RegisteredClass() { RegDeleteTreeW(HKEY_CLASSES_ROOT, Key().c_str()); }
  static std::wstring Key() { return L"CLSID\\" + std::wstring(dropTarget::kRegisterClass); }
};

std::vector<DWORD> PelloryIds() {
  std::vector<DWORD> ids;
  const win32::unique_handle_k snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (_wcsicmp(entry.szExeFile, L"Pellory.exe") == 0) ids.push_back(entry.th32ProcessID);
  }
  return ids;
}

// The shown balloons of process PID, bottom up, once COUNT are there (or 60 s have passed).
std::vector<HWND> Balloons(DWORD pid, size_t count) {
  std::vector<HWND> balloons;
  for (const ULONGLONG end = GetTickCount64() + 60000;
       (balloons = WindowsOf(pid, L"frmTip")).size() < count && GetTickCount64() < end;)
    Sleep(100);
  std::ranges::sort(balloons, [](HWND a, HWND b) {
    RECT ra, rb;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return ra.top > rb.top;
  });
  return balloons;
}

struct Dropped {
  Process pellory;             // the one that did the work
  std::vector<DWORD> started;  // every Pellory the drop started
};

// Drops FILES on Pellory's class, from a helper run of this driver with TOKEN, as the shell's item
// list with ITEMS; the Pellory that shows balloons.
Dropped Drop(const std::vector<std::wstring>& files, HANDLE token = nullptr, bool items = false) {
  const auto folder = FreshFolder(L"drop list");
  {
    std::wofstream list((folder + L"\\list").c_str());
    for (const auto& file : files) list << file << L"\n";
  }
  const auto before = PelloryIds();
  auto helper = Start(
      L"e2e.exe", (items ? L"--drop-items \"" : L"--drop \"") + folder + L"\\list\"", {}, token);
  EXPECT_EQ(WaitExit(helper, 30000), 0u) << "the drop failed";
  Dropped dropped;
  for (int i = 0; i < 500 && dropped.started.size() < (token ? 2u : 1u); ++i, Sleep(20)) {
    for (const DWORD id : PelloryIds())
      if (std::ranges::find(before, id) == before.end() &&
          std::ranges::find(dropped.started, id) == dropped.started.end())
        dropped.started.push_back(id);
  }
  // The one no other new Pellory started does the work.
  for (const DWORD id : dropped.started) {
    const auto children = ChildrenOf(id);
    if (children.empty() ||
        std::ranges::find(dropped.started, children.front()) == dropped.started.end())
      dropped.pellory = Process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, id), id);
  }
  return dropped;
}

// Closes every balloon with a click; then PELLORY's exit status.
std::optional<DWORD> CloseAll(const std::vector<HWND>& balloons, const Process& pellory) {
  for (const HWND balloon : balloons) ClickForm(balloon);
  return WaitExit(pellory, 30000);
}

// COUNT copies of the logging server in FOLDER, those whose number FAILS picks named to fail.
std::vector<std::wstring> Servers(const std::wstring& folder, int count, bool (*fails)(int)) {
  std::vector<std::wstring> files;
  for (int i = 0; i < count; ++i)
    files.push_back(CopyServer(L"logserver.dll", folder,
                               (fails(i) ? L"fail" : L"lib") + std::to_wstring(i) + L".dll"));
  return files;
}

// Twenty files of every kind, two of them failing: one Pellory does them all, one after another,
// and shows one balloon for the successes and one for each failure. With full rights they come as
// the shell's item list.
void TwentyFiles(bool limited) {
  const RegisteredClass registered;
  const auto folder = FreshFolder(limited ? L"selection limited" : L"selection");
  const auto servers = Servers(folder, 18, [](int i) { return i == 4 || i == 11; });
  auto files = servers;
  files.push_back(CopyServer(L"pellorytest-win64.tlb", folder, L"types.tlb"));
  files.push_back(CopyServer(L"selfreg.exe", folder, L"server.exe"));
  const auto token = limited ? LimitedToken() : win32::unique_handle_k();
  auto dropped = Drop(files, token.get(), !limited);
  ASSERT_TRUE(dropped.pellory);
  EXPECT_EQ(dropped.started.size(), limited ? 2u : 1u);
  const auto balloons = Balloons(dropped.pellory.id, 3);
  std::vector<std::wstring> texts;
  for (const HWND balloon : balloons) texts.push_back(MessageText(balloon));
  EXPECT_EQ(texts,
            (std::vector<std::wstring>{L"18 files have been registered.",
                                       L"DllRegisterServer in fail4.dll reported a failure.",
                                       L"DllRegisterServer in fail11.dll reported a failure."}));
  EXPECT_EQ(CloseAll(balloons, dropped.pellory), 5u);
  for (const auto& server : servers) {
    EXPECT_EQ(LogOf(server), "DllRegisterServer") << Narrow(server);
    EXPECT_EQ(LogOf(server, L".parent"), std::to_string(dropped.pellory.id)) << Narrow(server);
  }
  EXPECT_EQ(LogOf(files.back()), "\"" + Narrow(files.back()) + "\" /RegServer|show 2");
  EXPECT_TRUE(KeyExists(L"TypeLib\\{6B1E2C3A-5D4F-4E8B-9A71-2C3D4E5F6A7B}\\2.5\\0\\win64"));
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TypeLib\\{6B1E2C3A-5D4F-4E8B-9A71-2C3D4E5F6A7B}");
}

TEST(Selection, TwentyFilesAsItemListOneRunOneSummaryAndEachFailure) { TwentyFiles(false); }

TEST(Selection, WithoutAdministratorRightsOneCopyDoesAllTheWork) { TwentyFiles(true); }

// Two hundred files, forty failing: the balloons stay in the first column, and every file is
// counted.
TEST(Selection, TwoHundredFilesStayInOneColumn) {
  const RegisteredClass registered;
  const auto folder = FreshFolder(L"selection 200");
  const auto files = Servers(folder, 200, [](int i) { return i % 5 == 0; });
  auto dropped = Drop(files);
  ASSERT_TRUE(dropped.pellory);
  // 67 pixels and a gap of 4 a balloon: as many as the screen's height holds.
  const size_t room = static_cast<size_t>((GetSystemMetrics(SM_CYSCREEN) + 4) / 71);
  const auto balloons = Balloons(dropped.pellory.id, room);
  ASSERT_EQ(balloons.size(), room);
  RECT first, r;
  GetWindowRect(balloons.front(), &first);
  size_t failures = 0;
  for (const HWND balloon : balloons) {
    GetWindowRect(balloon, &r);
    EXPECT_EQ(r.left, first.left) << "a balloon left the first column";
    failures += MessageText(balloon).starts_with(L"DllRegisterServer in fail");
  }
  EXPECT_EQ(MessageText(balloons.front()), L"160 files have been registered.");
  EXPECT_EQ(MessageText(balloons.back()),
            std::to_wstring(40 - failures) + L" more files were not registered.");
  EXPECT_EQ(failures, room - 2);
  EXPECT_EQ(CloseAll(balloons, dropped.pellory), 5u);
  for (const auto& file : files) EXPECT_EQ(LogOf(file), "DllRegisterServer") << Narrow(file);
}

}  // namespace
