#include "driver.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "servers/testlog.h"
#include "win32/system.h"

namespace e2e {

void EndAndClose(HANDLE process) {
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
  }
  CloseHandle(process);
}

std::string Narrow(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

std::wstring BinDir() {
  const std::wstring path = win32::ModulePath();
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring OtherBinDir() {
  return BinDir() + (sizeof(void*) == 8 ? L"\\..\\..\\i686\\bin\\" : L"\\..\\..\\x86_64\\bin\\");
}

bool Host32() {
  const wchar_t* said = _wgetenv(L"PELLORY_HOST_32");
  return !said || std::wstring_view(said) != L"no";
}

void NotRun(const std::string& why) {
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  std::ofstream((BinDir() + L"\\not-run.txt").c_str(), std::ios::app)
      << (sizeof(void*) * 8) << "-bit " << test->test_suite_name() << "." << test->name() << ": "
      << why << "\n";
}

Process Start(const std::wstring& file, const std::wstring& args, const std::wstring& dir,
              HANDLE token) {
  const std::wstring path = file.find(L'\\') == std::wstring::npos ? BinDir() + L"\\" + file : file;
  // CreateProcess may write into the command line, so it gets its own copy.
  std::wstring commandLine = L"\"" + path + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  // Without a token, the driver's own.
  if (!CreateProcessAsUserW(token, path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, dir.empty() ? nullptr : dir.c_str(), &startup, &info)) {
    ADD_FAILURE() << "could not start " << Narrow(path);
    return Process();
  }
  CloseHandle(info.hThread);
  return Process(info.hProcess, info.dwProcessId);
}

std::optional<DWORD> WaitExit(const Process& process, DWORD timeoutMs) {
  DWORD code = 0;
  if (!process || WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.get(), &code)) {
    return std::nullopt;
  }
  return code;
}

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  return std::wstring(name, std::max(0, GetClassNameW(window, name, ARRAYSIZE(name))));
}

HWND WaitForWindow(const Process& process, const wchar_t* cls, DWORD timeoutMs) {
  for (const ULONGLONG end = GetTickCount64() + timeoutMs;;) {
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, cls, nullptr));) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == process.id && IsWindowVisible(window)) return window;
    }
    // Its windows die with it.
    if (GetTickCount64() >= end || !process ||
        WaitForSingleObject(process.get(), 20) != WAIT_TIMEOUT) {
      return nullptr;
    }
  }
}

std::vector<DWORD> ChildrenOf(DWORD pid) {
  std::vector<DWORD> children;
  for (const auto& [id, parent] : testlog::Processes())
    if (parent == pid) children.push_back(id);
  return children;
}

bool KeyExists(const std::wstring& path) {
  win32::unique_hkey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::optional<std::wstring> ValueOf(const std::wstring& path, const wchar_t* name, REGSAM view) {
  win32::unique_hkey key;
  wchar_t value[1024];
  DWORD size = sizeof(value);
  if (RegOpenKeyExW(path.starts_with(L"Software") ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT,
                    path.c_str(), 0, KEY_READ | view, key.put()) ||
      RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size)) {
    return std::nullopt;
  }
  return std::wstring(value);
}

void CreateKey(const std::wstring& path, const std::wstring& value, const std::wstring& name) {
  EXPECT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), name.empty() ? nullptr : name.c_str(),
                            REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS)
      << Narrow(path);
}

std::wstring FreshFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"pellory-e2e\\" + name;
  std::error_code ignored;  // what a stray process still holds stays
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

std::wstring CopyServer(const std::wstring& server, const std::wstring& folder,
                        const std::wstring& name, size_t bytes) {
  const std::wstring target = folder + L"\\" + name;
  const auto source = server.find(L'\\') == std::wstring::npos ? BinDir() + L"\\" + server : server;
  EXPECT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << "no " << Narrow(server);
  if (bytes) std::filesystem::resize_file(target, bytes);
  return target;
}

std::string LogOf(const std::wstring& file, const wchar_t* suffix) {
  std::ifstream in((file + suffix).c_str());
  std::string lines;
  for (std::string line; std::getline(in, line);) lines += (lines.empty() ? "" : "|") + line;
  return lines;
}

std::vector<std::wstring> Plant(const std::wstring& folder) {
  std::vector<std::wstring> planted{CopyServer(L"planted.exe", folder, L"regsvr32.exe")};
  for (const wchar_t* name :
       {L"msftedit.dll", L"riched20.dll", L"comctl32.dll", L"uxtheme.dll", L"shcore.dll",
        L"oleacc.dll", L"oleaut32.dll", L"version.dll", L"shell32.dll", L"advapi32.dll", L"mpr.dll",
        L"user32.dll", L"gdi32.dll"}) {
    planted.push_back(CopyServer(L"marker.dll", folder, name));
  }
  return planted;
}

void ExpectNoneRan(const std::vector<std::wstring>& planted) {
  for (const auto& file : planted) EXPECT_EQ(LogOf(file), "") << Narrow(file) << " ran";
}

Rgb Screenshot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
  const auto* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
  return {p[0], p[1], p[2]};
}

// Runs ImageMagick's import on the root window into TARGET ("format:windows path"), through
// Wine's own ways to run a Unix program and to name a file for it.
static void Import(const std::wstring& format, const std::wstring& path) {
  using Spawn = LONG(WINAPI*)(char* const argv[], int wait);
  using UnixName = char*(CDECL*)(LPCWSTR dosName);
  static const auto spawn = reinterpret_cast<Spawn>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
  static const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unixName ? unixName(path.c_str()) : nullptr;
  ASSERT_TRUE(spawn && name) << "not under Wine";
  std::string args[] = {"/usr/bin/import", "-window", "root",
                        "-depth",          "8",       Narrow(format) + ":" + name};
  HeapFree(GetProcessHeap(), 0, name);
  char* const argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                        args[4].data(), args[5].data(), nullptr};
  ASSERT_EQ(spawn(argv, 1), 0) << "import failed";
}

Screenshot CaptureScreen() {
  const std::wstring file = BinDir() + L"\\screen.ppm";
  Import(L"ppm", file);
  std::ifstream in(file.c_str(), std::ios::binary);
  Screenshot shot;
  std::string magic;
  int max = 0;
  in >> magic >> shot.width >> shot.height >> max;
  in.get();
  shot.pixels.resize(static_cast<size_t>(std::max(0, shot.width * shot.height * 3)));
  in.read(reinterpret_cast<char*>(shot.pixels.data()),
          static_cast<std::streamsize>(shot.pixels.size()));
  EXPECT_TRUE(magic == "P6" && max == 255 && in) << "no screenshot";
  return shot;
}

void SaveScreenPng(const std::wstring& path) { Import(L"png", path); }

Icon IconIn(const Screenshot& shot, RECT r) {
  int blue = 0, red = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const Rgb c = shot.At(x, y);
      blue += c.b > c.r + 60 && c.b > c.g + 20;
      red += c.r > c.b + 80 && c.r > c.g + 80;
    }
  }
  if (blue > 20 && blue > 3 * red) return Icon::Information;
  if (red > 20 && red > 3 * blue) return Icon::Error;
  return Icon::Other;
}

std::wstring TextOf(HWND window) {
  // GetWindowText does not ask another process's window; WM_GETTEXT does.
  DWORD_PTR length = 0, copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
  std::wstring text(length + 1, L'\0');
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_NORMAL, 5000, &copied);
  text.resize(copied);
  return text;
}

BalloonRun ExpectBox(const Process& process) {
  const HWND window = WaitForWindow(process, L"#32770");
  EXPECT_NE(window, nullptr) << "no message box appeared";
  if (!window) return {};
  Sleep(200);  // painted, before its icon is looked at
  BalloonRun box{TextOf(GetDlgItem(window, 0xFFFF)), Icon::None, {}};
  std::vector<std::wstring> buttons;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    if (ClassName(child) == L"Button") buttons.push_back(TextOf(child));
    if (ClassName(child) == L"Static" &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      RECT r;
      GetWindowRect(child, &r);
      box.icon = IconIn(CaptureScreen(), r);
    }
  }
  EXPECT_EQ(TextOf(window), L"Pellory");
  EXPECT_EQ(buttons, std::vector<std::wstring>{L"OK"});
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  box.status = WaitExit(process);
  return box;
}

HWND ExpectBalloon(const Process& process, DWORD timeoutMs) {
  const HWND balloon = WaitForWindow(process, L"frmTip", timeoutMs);
  EXPECT_NE(balloon, nullptr) << "no balloon appeared";
  return balloon;
}

std::wstring MessageText(HWND balloon) {
  const HWND area = FindWindowExW(balloon, nullptr, L"RICHEDIT50W", nullptr);
  return area ? TextOf(area) : L"<no message area>";
}

BalloonRun CloseBalloon(const Process& process) {
  const HWND balloon = ExpectBalloon(process, 45000);
  if (!balloon) return {L"<no balloon>", Icon::None, WaitExit(process, 0)};
  Sleep(150);  // painted
  RECT r;
  GetWindowRect(balloon, &r);
  // Alone, 333 by 67 pixels, 340 in from the screen's right edge and on its bottom one; on top,
  // with no taskbar button, and not taking the focus.
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_TRUE(r.left == w - 340 && r.top == h - 67 && r.right == w - 7 && r.bottom == h);
  const LONG_PTR ex = GetWindowLongPtrW(balloon, GWL_EXSTYLE);
  EXPECT_TRUE((ex & WS_EX_TOPMOST) && (ex & WS_EX_TOOLWINDOW) && GetForegroundWindow() != balloon);
  BalloonRun run{MessageText(balloon),
                 IconIn(CaptureScreen(), {r.left + 10, r.top + 2, r.left + 26, r.top + 18}),
                 {}};
  // A click left of the message area, below the strip: on the form itself.
  PostMessageW(balloon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 40));
  PostMessageW(balloon, WM_LBUTTONUP, 0, MAKELPARAM(3, 40));
  run.status = WaitExit(process);
  return run;
}

}  // namespace e2e

// The driver's entry: the build links every program with -municode, which asks for wmain, and
// gtest_main only offers main.
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  // A balloon is read through the accessibility interfaces as screen readers do, over COM.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return RUN_ALL_TESTS();
}
