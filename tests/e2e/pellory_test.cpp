// Pellory end to end under Wine: its boxes, its balloon, and what regsvr32 really called.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "pellory_support.h"
#include "support.h"

namespace {

using namespace e2e;

TEST(Pellory, UsageBoxWithoutArguments) {
  auto pellory = StartPellory(L"");
  const Box box = ExpectBox(pellory);
  EXPECT_EQ(box.text, L"Pellory Commands:" + kUsageLines);
  EXPECT_EQ(box.icon, BoxIcon::Information);
  ClickOk(box);
  EXPECT_EQ(WaitExit(pellory, 10000), 0u);
}

TEST(Pellory, RefusedCommandLinesShowABoxAndLaunchNothing) {
  const auto folder = FreshFolder(L"refused");
  const auto dll = CopyServer(L"logserver.dll", folder, L"a.dll");
  struct Case {
    std::wstring args, text;
    BoxIcon icon;
  };
  const Case cases[] = {
      {L"/REGISTER " + dll,
       L"You specified an unknown argument. The valid arguments are:" + kUsageLines,
       BoxIcon::Information},
      {L"-register " + dll,
       L"You specified an unknown argument. The valid arguments are:" + kUsageLines,
       BoxIcon::Information},
      {L"/registered " + dll,
       L"You specified an unknown argument. The valid arguments are:" + kUsageLines,
       BoxIcon::Information},
      {L"/register ",
       L"You did not specify a file after /register. The valid arguments are:" + kUsageLines,
       BoxIcon::Information},
      {L"/installonly",
       L"You did not specify a file after /installonly. The valid arguments are:" + kUsageLines,
       BoxIcon::Information},
      {L"/register " + dll + L"\" /u \"x",
       L"A file path cannot hold a double quote inside it, so nothing was run for:\r\n" + dll +
           L"\" /u \"x",
       BoxIcon::Error},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.args));
    auto pellory = StartPellory(c.args);
    const Box box = ExpectBox(pellory);
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.icon, c.icon);
    ClickOk(box);
    EXPECT_EQ(WaitExit(pellory, 10000), 1u);
  }
  EXPECT_TRUE(LogOf(dll).empty()) << "regsvr32 ran on a refused command line";
}

TEST(Pellory, EachActionCallsExactlyItsEntryPoints) {
  struct Case {
    std::wstring_view action;
    std::vector<std::string> calls;
    std::wstring message;
  };
  const Case cases[] = {
      {L"/register", {"DllRegisterServer"}, L"a.dll has been registered."},
      {L"/unregister", {"DllUnregisterServer"}, L"a.dll has been unregistered."},
      {L"/install",
       {"DllRegisterServer", "DllInstall 1"},
       L"DllInstall and DllRegisterServer has been run on a.dll."},
      {L"/uninstall",
       {"DllInstall 0", "DllUnregisterServer"},
       L"DllUninstall has been run on a.dll."},
      {L"/installonly", {"DllInstall 1"}, L"DllInstall has been run on a.dll."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(std::wstring(c.action)));
    const auto folder = FreshFolder(L"actions");
    const auto dll = CopyServer(L"logserver.dll", folder, L"a.dll");
    const auto run = CloseBalloon(StartPellory(std::wstring(c.action) + L" " + dll));
    EXPECT_EQ(run.text, c.message);
    EXPECT_EQ(LogOf(dll), c.calls);
    EXPECT_EQ(run.status, 0u);
  }
}

TEST(Pellory, FailuresAreReportedAsFailures) {
  const auto folder = FreshFolder(L"failures");
  struct Case {
    std::wstring server, args, message;
    DWORD status;
  };
  const auto failing = CopyServer(L"failserver.dll", folder, L"fail.dll");
  const auto noInstall = CopyServer(L"noinstall.dll", folder, L"noinst.dll");
  const Case cases[] = {
      {failing, L"/register " + failing, L"DllRegisterServer in fail.dll reported a failure.", 5},
      {noInstall, L"/install \"" + noInstall + L"\"",
       L"The entry point DllRegisterServer or DllInstall was not found in noinst.dll.", 4},
      {folder + L"\\missing.dll", L"/unregister " + folder + L"\\missing.dll",
       L"missing.dll could not be loaded (missing, or not a module for this system).", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Narrow(c.args));
    const auto run = CloseBalloon(StartPellory(c.args));
    EXPECT_EQ(run.text, c.message);
    EXPECT_EQ(run.status, c.status);
  }
}

TEST(Pellory, PathsWithBlanksAndOtherLetters) {
  const auto folder = FreshFolder(L"dir with blanks \u00f1and\u00fa");
  const auto dll = CopyServer(L"logserver.dll", folder, L"\u00fcn\u00ef c\u00f6d\u00e9.dll");
  auto run = CloseBalloon(StartPellory(L"/register " + dll));
  EXPECT_EQ(run.text, L"\u00fcn\u00ef c\u00f6d\u00e9.dll has been registered.");
  EXPECT_EQ(LogOf(dll), std::vector<std::string>{"DllRegisterServer"});
  EXPECT_EQ(run.status, 0u);

  // Already quoted, it is not quoted again.
  run = CloseBalloon(StartPellory(L"/unregister \"" + dll + L"\""));
  EXPECT_EQ(run.text, L"\u00fcn\u00ef c\u00f6d\u00e9.dll has been unregistered.");
  EXPECT_EQ(run.status, 0u);
}

TEST(Pellory, BalloonSitsOnTheBottomRightWithoutTakingTheFocus) {
  const auto folder = FreshFolder(L"geometry");
  const auto dll = CopyServer(L"logserver.dll", folder, L"a.dll");
  // The user's window, which must keep the focus.
  const HWND user = CreateWindowExW(0, L"STATIC", L"user", WS_POPUP | WS_VISIBLE, 100, 100, 200,
                                    100, nullptr, nullptr, nullptr, nullptr);
  SetForegroundWindow(user);
  const HWND before = GetForegroundWindow();
  auto pellory = StartPellory(L"/register " + dll);
  const HWND balloon = ExpectBalloon(pellory);
  const auto tpp = ScreenTwipsPerPixel();
  const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  RECT r;
  GetWindowRect(balloon, &r);
  EXPECT_EQ(r.left, std::lround((screenW * tpp - 5100) / tpp));
  EXPECT_EQ(r.bottom, screenH) << "the bottom edge lies on the screen's";
  EXPECT_EQ(r.right - r.left, 333);
  EXPECT_EQ(r.bottom - r.top, 67);
  RECT client;
  GetClientRect(balloon, &client);
  EXPECT_EQ(client.right, 333) << "no frame";
  EXPECT_EQ(client.bottom, 67);
  EXPECT_TRUE(HasRoundRegion(balloon, 333, 67, 25));
  const LONG_PTR ex = GetWindowLongPtrW(balloon, GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW) << "no taskbar button";
  EXPECT_EQ(GetForegroundWindow(), before) << "the balloon took the focus";
  ClickForm(balloon);
  EXPECT_EQ(WaitExit(pellory, 10000), 0u);
  DestroyWindow(user);
}

TEST(Pellory, AToolThatCannotStartGivesAnErrorBoxAndNoBalloon) {
  wchar_t system[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring tool = std::wstring(system) + L"\\regsvr32.exe";
  const std::wstring away = tool + L".away";
  ASSERT_TRUE(MoveFileW(tool.c_str(), away.c_str())) << "could not move regsvr32 aside";
  struct Restore {
    const std::wstring &from, &to;
    ~Restore() { MoveFileW(from.c_str(), to.c_str()); }
  } restore{away, tool};
  auto pellory = StartPellory(L"/register C:\\x\\a.dll");
  const Box box = ExpectBox(pellory);
  EXPECT_TRUE(box.text.starts_with(
      L"RegSvr32 could not be started, so nothing was registered or unregistered.\r\n\r\n"))
      << Narrow(box.text);
  EXPECT_NE(box.text.find(L"regsvr32.exe"), std::wstring::npos) << Narrow(box.text);
  EXPECT_EQ(box.icon, BoxIcon::Error);
  EXPECT_TRUE(VisibleWindows(pellory.Id()).size() == 1) << "a balloon came with the box";
  ClickOk(box);
  EXPECT_EQ(WaitExit(pellory, 10000), 1u);
}

// Wine's own token is full, and its linked token the limited one that user account control gives
// an administrator's programs. Wine raises no token, so the copy is limited too, and must know
// itself as the copy.
TEST(Pellory, ALimitedTokenHasOneCopyDoTheWorkAndPassesOnItsStatus) {
  UniqueKernelHandle own, limited;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put()));
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(own.get(), TokenLinkedToken, &linked, sizeof(linked), &size));
  limited.reset(linked.LinkedToken);
  const auto folder = FreshFolder(L"elevation");
  for (const HANDLE token : {HANDLE{}, limited.get()}) {
    for (const auto& [server, status] :
         {std::pair{L"logserver.dll", 0u}, {L"failserver.dll", 5u}}) {
      SCOPED_TRACE(Narrow(server) + (token ? " limited" : " full"));
      const auto dll = CopyServer(server, folder, L"a.dll");
      auto first = StartPellory(L"/register " + dll, {}, token);
      const auto copy = token ? ChildOf(first, 15000) : Process();
      const Process& worker = token ? copy : first;
      ASSERT_TRUE(ExpectBalloon(worker));
      // Only the worker shows anything, and starts nothing more once the tool is done.
      EXPECT_EQ(VisibleWindows(worker.Id()).size(), 1u);
      EXPECT_TRUE(!token || VisibleWindows(first.Id()).empty()) << "the first one showed";
      EXPECT_EQ(ChildrenOf(worker.Id()), std::vector<DWORD>{}) << "a third Pellory";
      EXPECT_EQ(ToolParentOf(dll), worker.Id()) << "the tool was not started by the worker";
      EXPECT_EQ(CloseBalloon(worker).status, status);
      EXPECT_EQ(WaitExit(first, 10000), status);
    }
  }
}

// A holder of the balloons' lock that ended without giving it back.
DWORD WINAPI TakePlacesAndEnd(void* mutex) {
  *static_cast<HANDLE*>(mutex) = CreateMutexW(nullptr, TRUE, L"Local\\Pellory.BalloonPlaces");
  return 0;
}

// Milliseconds of the system clock, which also dates a process's end.
ULONGLONG Ms(FILETIME t) { return (ULONGLONG{t.dwHighDateTime} << 32 | t.dwLowDateTime) / 10000; }
ULONGLONG Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return Ms(now);
}

// As the file manager does with several selected files: one Pellory per file, of either build.
// The third fails, the fourth unregisters, the odd ones are 64-bit.
TEST(Pellory, ManyRunsAtOnceStackTheirBalloons) {
  const std::wstring own = BinDir() + L"\\", other = L"..\\..\\x86_64\\bin\\";
  ASSERT_NE(GetFileAttributesW((own + other + L"Pellory.exe").c_str()), INVALID_FILE_ATTRIBUTES)
      << "build the mingw-x86_64 preset first";
  SetCursorPos(0, 0);  // away from the balloons
  HANDLE abandoned = nullptr;
  WaitForSingleObject(
      UniqueKernelHandle(CreateThread(nullptr, 0, TakePlacesAndEnd, &abandoned, 0, nullptr)).get(),
      5000);
  const UniqueKernelHandle lock(abandoned);
  const auto folder = FreshFolder(L"many");
  std::vector<std::wstring> dlls, texts;
  for (size_t i = 0; i < 8; ++i) {
    const std::wstring name = i == 2 ? L"fail.dll" : L"a" + std::to_wstring(i) + L".dll";
    dlls.push_back(CopyServer(
        (i % 2 ? other : L"") + (i == 2 ? L"failserver.dll" : L"logserver.dll"), folder, name));
    texts.push_back(i == 2
                        ? L"DllRegisterServer in fail.dll reported a failure."
                        : name + (i == 3 ? L" has been unregistered." : L" has been registered."));
  }
  std::vector<Process> runs;
  for (size_t i = 0; i < dlls.size(); ++i) {
    runs.push_back(Start(own + (i % 2 ? other : L"") + L"Pellory.exe",
                         (i == 3 ? L"/unregister " : L"/register ") + dlls[i]));
  }
  // A balloon found in one look appeared after the look before began.
  std::vector<HWND> balloons(runs.size());
  std::vector<ULONGLONG> shown(runs.size());
  const ULONGLONG deadline = Now() + 20000;
  for (ULONGLONG look = Now(), seen = 0; seen < runs.size() && look < deadline; Sleep(5)) {
    const ULONGLONG before = std::exchange(look, Now());
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, L"frmTip", nullptr));) {
      DWORD pid = 0;
      GetWindowThreadProcessId(window, &pid);
      for (size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].Id() != pid || balloons[i] || !IsWindowVisible(window)) continue;
        balloons[i] = window;
        shown[i] = before;
        ++seen;
      }
    }
  }
  Sleep(300);  // painted
  std::vector<RECT> places(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) GetWindowRect(balloons[i], &places[i]);
  const auto shot = CaptureScreen();
  SaveScreenPng(own + L"many-balloons.png");
  ASSERT_TRUE(shot);

  const auto tpp = ScreenTwipsPerPixel();
  const LONG right = std::lround((GetSystemMetrics(SM_CXSCREEN) * tpp - 5100) / tpp) + 333;
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(IsWindow(balloons[i])) << "not every balloon was shown at once";
    EXPECT_EQ(MessageText(balloons[i]), texts[i]);
    const RECT& r = places[i];
    EXPECT_EQ(IconIn(*shot, {r.left + 10, r.top + 2, r.left + 26, r.top + 18}),
              i == 2 ? BoxIcon::Error : BoxIcon::Information);
    EXPECT_EQ(r.right, right) << "not in the column";
    EXPECT_GE(r.top, 0);
    for (size_t j = 0; j < i; ++j) {
      RECT both;
      EXPECT_FALSE(IntersectRect(&both, &r, &places[j])) << "covers " << j;
    }
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(WaitExit(runs[i], 15000), i == 2 ? 5u : 0u);
    FILETIME created, ended, kernel, user;
    GetProcessTimes(runs[i].Handle(), &created, &ended, &kernel, &user);
    if (i == 2) continue;  // a failure's own time is not this test's business
    EXPECT_GE(Ms(ended) - shown[i], 2400u);
    EXPECT_LE(Ms(ended) - shown[i], 3100u);
  }

  // They are gone, and the next balloon stands where one alone does.
  auto last = StartPellory(L"/register " + dlls[0]);
  const HWND balloon = ExpectBalloon(last);
  RECT r;
  GetWindowRect(balloon, &r);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
  ClickForm(balloon);
  EXPECT_EQ(WaitExit(last, 10000), 0u);
}

// Last and slow: the tool gets its 30 seconds before Pellory says it does not know.
TEST(Pellory, HungToolMeansAnUnknownOutcome) {
  const auto folder = FreshFolder(L"hang");
  const auto dll = CopyServer(L"hangserver.dll", folder, L"hang.dll");
  auto pellory = StartPellory(L"/register " + dll);
  const HWND balloon = ExpectBalloon(pellory, 45000);
  StopChildren(pellory);  // the tool still hangs
  EXPECT_EQ(MessageText(balloon),
            L"RegSvr32 did not finish on hang.dll within 30 seconds; the outcome is unknown.");
  ClickForm(balloon);
  EXPECT_EQ(WaitExit(pellory, 10000), 1u);
}

}  // namespace
