// The end-to-end driver's one layer: starting the built programs, reading their boxes, balloons
// and logs, the registry, and what is really on the X screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/handle.h"

namespace e2e {

// A started program; one still running when its owner goes is terminated, so that a failed
// test leaves nothing behind.
void EndAndClose(HANDLE process);
struct Process : win32::unique_handle<HANDLE, &EndAndClose> {
  explicit Process(HANDLE handle = nullptr, DWORD pid = 0) : unique_handle(handle), id(pid) {}
  DWORD id = 0;
};

std::string Narrow(const std::wstring& text);
// Folder of the running e2e.exe, where the built programs are too; no trailing backslash.
std::wstring BinDir();
// The other bitness's build folder, with its trailing backslash.
std::wstring OtherBinDir();
// Whether 32-bit programs run here (the scripts try Wine's 32-bit loader and say so): a 64-bit
// driver starts none where they do not.
bool Host32();
// Names what the running test leaves out, and why, in not-run.txt beside the driver, which the
// test command lists at its end.
void NotRun(const std::string& why);
// Starts FILE (a name in BinDir, or a full path) with the argument text ARGS, in DIR if given,
// with TOKEN if given; fails the test if it cannot.
Process Start(const std::wstring& file, const std::wstring& args = {}, const std::wstring& dir = {},
              HANDLE token = nullptr);
// Exit code once the process has ended, or nothing if it still runs after timeoutMs.
std::optional<DWORD> WaitExit(const Process& process, DWORD timeoutMs = 10000);
// A visible top-level window of class CLS (any: nullptr) of PROCESS; nullptr if the process ends
// first. A timeout of 0 looks once.
HWND WaitForWindow(const Process& process, const wchar_t* cls, DWORD timeoutMs = 15000);
// The processes that process PID started and that still run.
std::vector<DWORD> ChildrenOf(DWORD pid);

bool KeyExists(const std::wstring& path);
// The string value NAME (default: the key's default value) of PATH below the classes root, or
// below HKEY_LOCAL_MACHINE when PATH starts with "Software".
std::optional<std::wstring> ValueOf(const std::wstring& path, const wchar_t* name = nullptr,
                                    REGSAM view = 0);
// Creates the key PATH below the classes root with the string value NAME (default: the key's
// default value).
void CreateKey(const std::wstring& path, const std::wstring& value = {},
               const std::wstring& name = {});

// A fresh, empty folder of this name in the prefix's temp folder.
std::wstring FreshFolder(const std::wstring& name);
// Copies a built file (a name in BinDir, or a full path) into FOLDER under NAME, whole or its first
// BYTES; the copy's full path.
std::wstring CopyServer(const std::wstring& server, const std::wstring& folder,
                        const std::wstring& name, size_t bytes = 0);
// The lines a test server or planted file logged beside FILE, in order and split by |; empty
// when it never ran.
std::string LogOf(const std::wstring& file, const wchar_t* suffix = L".log");
// Plants a regsvr32.exe and every system library the programs load in FOLDER; none may run.
std::vector<std::wstring> Plant(const std::wstring& folder);
void ExpectNoneRan(const std::vector<std::wstring>& planted);

struct Rgb {
  int r = 0, g = 0, b = 0;
};
// The whole X screen, asked of the X server itself: Wine's GDI cannot read it back reliably.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;  // rows of r, g, b
  Rgb At(int x, int y) const;
};
Screenshot CaptureScreen();
void SaveScreenPng(const std::wstring& path);

enum class Icon { None, Information, Error, Other };
// Which icon lies in R of the screen: blue for information, red for an error.
Icon IconIn(const Screenshot& shot, RECT r);

// What a run showed: its box's or balloon's text and icon, and its exit status.
struct BalloonRun {
  std::wstring text;
  Icon icon = Icon::None;
  std::optional<DWORD> status;
};
// PROCESS's message box, read and closed with OK, and the exit; fails the test unless it is
// captioned "Pellory" with a single OK.
BalloonRun ExpectBox(const Process& process);

HWND ExpectBalloon(const Process& process, DWORD timeoutMs = 15000);
// A window's text, asked of the window itself, in whatever process it lives.
std::wstring TextOf(HWND window);
std::wstring MessageText(HWND balloon);
// Waits for PROCESS's balloon, checks where it stands, reads its message and its icon, closes it
// with a click and waits for the exit.
BalloonRun CloseBalloon(const Process& process);

}  // namespace e2e
