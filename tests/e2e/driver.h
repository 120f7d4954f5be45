// The end-to-end driver's one layer: starting the built programs, reading their boxes, balloons
// and logs, the registry, and what is really on the X screen.
#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/servers/testlog.h"
#include "tests/unit/cases.h"
#include "win32/handle.h"
#include "win32/system.h"

namespace e2e {

// A started program; one still running when its owner goes is terminated, so that a failed
// test leaves nothing behind.
inline void EndAndClose(HANDLE process) {
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
  }
  CloseHandle(process);
}

struct Process : win32::unique_handle<HANDLE, &EndAndClose> {
  explicit Process(HANDLE handle = nullptr, DWORD pid = 0) : unique_handle(handle), id(pid) {}
  DWORD id = 0;
};

inline std::string Narrow(const std::wstring& text) {
  std::string out(text.size() * 3, '\0');
  out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                 static_cast<int>(out.size()), nullptr, nullptr));
  return out;
}

// Folder of the running e2e.exe, where the built programs are too; no trailing backslash.
inline std::wstring BinDir() {
  const std::wstring path = win32::ModulePath();
  return path.substr(0, path.find_last_of(L'\\'));
}

// The other bitness's build folder, with its trailing backslash.
inline std::wstring OtherBinDir() {
  return BinDir() + (sizeof(void*) == 8 ? L"\\..\\..\\i686\\bin\\" : L"\\..\\..\\x86_64\\bin\\");
}

// Whether 32-bit programs run here (the scripts try Wine's 32-bit loader and say so): a 64-bit
// driver starts none where they do not.
inline bool Host32() {
  const wchar_t* said = _wgetenv(L"PELLORY_HOST_32");
  return !said || std::wstring_view(said) != L"no";
}

// Names what the running test leaves out, and why, in not-run.txt beside the driver, which the
// test command lists at its end.
inline void NotRun(const std::string& why) {
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  std::ofstream((BinDir() + L"\\not-run.txt").c_str(), std::ios::app)
      << (sizeof(void*) * 8) << "-bit " << test->test_suite_name() << "." << test->name() << ": "
      << why << "\n";
}

// Starts FILE (a name in BinDir, or a full path) with the argument text ARGS, in DIR if given,
// with TOKEN if given; fails the test if it cannot.
inline Process Start(const std::wstring& file, const std::wstring& args = {},
                     const std::wstring& dir = {}, HANDLE token = nullptr) {
  const std::wstring path = file.find(L'\\') == std::wstring::npos ? BinDir() + L"\\" + file : file;
  // CreateProcess may write into the command line, so it gets its own copy.
  std::wstring commandLine = L"\"" + path + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  // Without a token, the driver's own. Wine now and then loses a new process in its own start-up,
  // before any of the program runs, and says "internal error": such a start is tried again.
  DWORD error = 0;
  for (int tries = 0; tries < 3 && (!tries || error == ERROR_INTERNAL_ERROR); ++tries) {
    if (CreateProcessAsUserW(token, path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, dir.empty() ? nullptr : dir.c_str(), &startup, &info)) {
      CloseHandle(info.hThread);
      return Process(info.hProcess, info.dwProcessId);
    }
    if ((error = GetLastError()) == ERROR_INTERNAL_ERROR)
      std::cerr << "Wine lost " << Narrow(path) << " in its start-up (error 1359)\n";
  }
  ADD_FAILURE() << "could not start " << Narrow(path) << ": error " << error;
  return Process();
}

// The limited token that user account control gives an administrator's programs: Wine's own is
// full, and its linked token that one.
inline win32::unique_handle_k LimitedToken() {
  win32::unique_handle_k own;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, own.put()));
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = sizeof(linked);
  EXPECT_TRUE(GetTokenInformation(own.get(), TokenLinkedToken, &linked, size, &size));
  return win32::unique_handle_k(linked.LinkedToken);
}

// Exit code once the process has ended, or nothing if it still runs after timeoutMs.
inline std::optional<DWORD> WaitExit(const Process& process, DWORD timeoutMs = 10000) {
  DWORD code = 0;
  const bool ended = process && WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0 &&
                     GetExitCodeProcess(process.get(), &code);
  return ended ? std::optional(code) : std::nullopt;
}

// The visible top-level windows (or hidden ones too, unless VISIBLE) of class CLS (any: nullptr)
// of process PID.
inline std::vector<HWND> WindowsOf(DWORD pid, const wchar_t* cls, bool visible = true) {
  std::vector<HWND> found;
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, cls, nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid && (!visible || IsWindowVisible(window))) found.push_back(window);
  }
  return found;
}

// The first of them for PROCESS; nullptr if the process ends first. A timeout of 0 looks once.
inline HWND WaitForWindow(const Process& process, const wchar_t* cls, DWORD timeoutMs = 15000,
                          bool visible = true) {
  for (const ULONGLONG end = GetTickCount64() + timeoutMs;;) {
    if (const auto found = WindowsOf(process.id, cls, visible); !found.empty()) return found[0];
    // Its windows die with it.
    if (GetTickCount64() >= end || !process ||
        WaitForSingleObject(process.get(), 20) != WAIT_TIMEOUT) {
      return nullptr;
    }
  }
}

// The processes that process PID started and that still run; none for a process that never
// started: Wine gives the programs started from Unix, the driver's starter among them, parent 0.
inline std::vector<DWORD> ChildrenOf(DWORD pid) {
  std::vector<DWORD> children;
  if (!pid) return children;
  for (const auto& [id, parent] : win32::Processes())
    if (parent == pid) children.push_back(id);
  return children;
}

inline bool KeyExists(const std::wstring& path) {
  win32::unique_hkey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The string value NAME (default: the key's default value) of PATH below the classes root, or
// below HKEY_LOCAL_MACHINE when PATH starts with "Software".
inline std::optional<std::wstring> ValueOf(const std::wstring& path, const wchar_t* name = nullptr,
                                           REGSAM view = 0) {
  win32::unique_hkey key;
  wchar_t value[1024];
  DWORD size = sizeof(value);
  const bool read =
      !RegOpenKeyExW(path.starts_with(L"Software") ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT,
                     path.c_str(), 0, KEY_READ | view, key.put()) &&
      !RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ, nullptr, value, &size);
  return read ? std::optional<std::wstring>(value) : std::nullopt;
}

// Creates the key PATH below the classes root with the string value NAME (default: the key's
// default value).
inline void CreateKey(const std::wstring& path, const std::wstring& value = {},
                      const std::wstring& name = {}) {
  EXPECT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), name.empty() ? nullptr : name.c_str(),
                            REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS)
      << Narrow(path);
}

// A fresh, empty folder of this name in the prefix's temp folder.
inline std::wstring FreshFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"pellory-e2e\\" + name;
  std::error_code ignored;  // what a stray process still holds stays
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder, ignored);
  return folder;
}

// Copies a built file (a name in BinDir, or a full path) into FOLDER under NAME, whole or its first
// BYTES; the copy's full path.
inline constexpr size_t kWhole = static_cast<size_t>(-1);
inline std::wstring CopyServer(const std::wstring& server, const std::wstring& folder,
                               const std::wstring& name, size_t bytes = kWhole) {
  const std::wstring target = folder + L"\\" + name;
  const auto source = server.find(L'\\') == std::wstring::npos ? BinDir() + L"\\" + server : server;
  EXPECT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << "no " << Narrow(server);
  if (bytes != kWhole) std::filesystem::resize_file(target, bytes);
  return target;
}

// The lines a test server or planted file logged beside FILE, in order and split by |; empty
// when it never ran.
inline std::string LogOf(const std::wstring& file, const wchar_t* suffix = L".log") {
  std::ifstream in((file + suffix).c_str());
  std::string lines;
  for (std::string line; std::getline(in, line);) lines += (lines.empty() ? "" : "|") + line;
  return lines;
}

// Plants a regsvr32.exe and every system library the programs load in FOLDER; none may run.
inline std::vector<std::wstring> Plant(const std::wstring& folder) {
  std::vector<std::wstring> planted{CopyServer(L"planted.exe", folder, L"regsvr32.exe")};
  for (const wchar_t* name :
       {L"msftedit.dll", L"riched20.dll", L"comctl32.dll", L"uxtheme.dll", L"shcore.dll",
        L"oleacc.dll", L"oleaut32.dll", L"version.dll", L"shell32.dll", L"advapi32.dll", L"mpr.dll",
        L"user32.dll", L"gdi32.dll"})
    planted.push_back(CopyServer(L"marker.dll", folder, name));
  return planted;
}

inline void ExpectNoneRan(const std::vector<std::wstring>& planted) {
  for (const auto& file : planted) EXPECT_EQ(LogOf(file), "") << Narrow(file) << " ran";
}

struct Rgb {
  int r = 0, g = 0, b = 0;
};

// The whole X screen, asked of the X server itself: Wine's GDI cannot read it back reliably.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // rows of r, g, b
  Rgb At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
    const auto* p = &pixels[(static_cast<size_t>(y) * width + x) * 3];
    return {p[0], p[1], p[2]};
  }
};

// Runs ImageMagick's import on the root window into TARGET ("format:windows path"), through
// Wine's own ways to run a Unix program and to name a file for it.
inline void Import(const std::wstring& format, const std::wstring& path) {
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
  char* argv[std::size(args) + 1] = {};
  for (size_t i = 0; i < std::size(args); ++i) argv[i] = args[i].data();
  ASSERT_EQ(spawn(argv, 1), 0) << "import failed";
}

inline Screenshot CaptureScreen() {
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

inline void SaveScreenPng(const std::wstring& path) { Import(L"png", path); }

enum class Icon { None, Information, Error, Other };

// Which icon lies in R of the screen: blue for information, red for an error.
inline Icon IconIn(const Screenshot& shot, RECT r) {
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

// What a run showed: its box's or balloon's text and icon, and its exit status.
struct BalloonRun {
  std::wstring text;
  Icon icon = Icon::None;
  std::optional<DWORD> status;
};

// A window's text, asked of the window itself, in whatever process it lives.
inline std::wstring TextOf(HWND window) {
  // GetWindowText does not ask another process's window; WM_GETTEXT does.
  DWORD_PTR length = 0, copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
  std::wstring text(length + 1, L'\0');
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_NORMAL, 5000, &copied);
  text.resize(copied);
  return text;
}

// PROCESS's message box, read and closed with OK, and the exit; fails the test unless it is
// captioned "Pellory" with a single OK.
inline BalloonRun ExpectBox(const Process& process) {
  const HWND window = WaitForWindow(process, L"#32770");
  EXPECT_NE(window, nullptr) << "no message box appeared";
  if (!window) return {};
  Sleep(200);  // painted, before its icon is looked at
  BalloonRun box{TextOf(GetDlgItem(window, 0xFFFF)), Icon::None, {}};
  std::vector<std::wstring> buttons;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t cls[8] = {};
    if (!IsWindowVisible(child) || !GetClassNameW(child, cls, 8)) continue;
    if (std::wstring_view(cls) == L"Button") buttons.push_back(TextOf(child));
    RECT r;
    if (std::wstring_view(cls) == L"Static" &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && GetWindowRect(child, &r))
      box.icon = IconIn(CaptureScreen(), r);
  }
  EXPECT_EQ(TextOf(window), L"Pellory");
  EXPECT_EQ(buttons, std::vector<std::wstring>{L"OK"});
  PostMessageW(window, WM_COMMAND, IDOK, 0);
  box.status = WaitExit(process);
  return box;
}

inline HWND ExpectBalloon(const Process& process, DWORD timeoutMs = 15000) {
  const HWND balloon = WaitForWindow(process, L"frmTip", timeoutMs);
  EXPECT_NE(balloon, nullptr) << "no balloon appeared";
  return balloon;
}

inline std::wstring MessageText(HWND balloon) {
  const HWND area = FindWindowExW(balloon, nullptr, L"RICHEDIT50W", nullptr);
  return area ? TextOf(area) : L"<no message area>";
}

// A click left of a balloon's message area, below the strip: on the form itself, which closes it.
inline void ClickForm(HWND balloon) {
  PostMessageW(balloon, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 40));
  PostMessageW(balloon, WM_LBUTTONUP, 0, MAKELPARAM(3, 40));
}

// Waits for PROCESS's balloon, checks where it stands, reads its message and its icon, closes it
// with a click and waits for the exit.
inline BalloonRun CloseBalloon(const Process& process) {
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
  ClickForm(balloon);
  run.status = WaitExit(process);
  return run;
}

}  // namespace e2e
