// What the Pellory tests share: starting it, reading its boxes and its balloon, and the test
// servers' logs.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleacc.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "screen.h"
#include "support.h"

namespace e2e {

// Lines 2 to 6 of Pellory's usage text, which its other boxes repeat.
inline const std::wstring kUsageLines =
    L"\r\n\"/register <path>\": Registers a file."
    L"\r\n\"/unregister <path>\": Unregisters a file."
    L"\r\n\"/install <path>\" (advanced): Runs DllInstall on the file."
    L"\r\n\"/uninstall <path>\" (advanced): Runs DllUninstall on the file."
    L"\r\n\"/installonly <path>\" (advanced): Runs DllInstall on the file but doesn't register it.";

std::string Narrow(const std::wstring& text);
// Starts Pellory with the argument text ARGS, in DIR if given, with TOKEN if given.
Process StartPellory(const std::wstring& args, const std::wstring& dir = {},
                     HANDLE token = nullptr);

// A fresh, empty folder of this name in the prefix's temp folder.
std::wstring FreshFolder(const std::wstring& name);
// Copies a built test server into FOLDER under a new name; the copy's full path.
std::wstring CopyServer(const std::wstring& server, const std::wstring& folder,
                        const std::wstring& name);
// The entry points a test server logged, in order; empty when it never ran.
std::vector<std::string> LogOf(const std::wstring& dll);
// The process id of what started the process that registered a test server; 0 if none did.
DWORD ToolParentOf(const std::wstring& dll);

enum class BoxIcon { None, Information, Error, Other };
// Which icon lies in R of the screen: blue for information, red for an error.
BoxIcon IconIn(const Screenshot& shot, RECT r);
struct Box {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<std::wstring> buttons;
  BoxIcon icon = BoxIcon::None;
};
// Waits for PROCESS's message box and reads it; fails the test if none comes, or if it is not
// captioned "Pellory" with a single OK.
Box ExpectBox(const Process& process, const wchar_t* caption = L"Pellory");
void ClickOk(const Box& box);

// Waits for PROCESS's balloon to be shown; fails the test if none comes.
HWND ExpectBalloon(const Process& process, DWORD timeoutMs = 15000);
// What a run of Pellory came to: its balloon's message and its exit status.
struct BalloonRun {
  std::wstring text;
  std::optional<DWORD> status;
};
// Waits for PROCESS's balloon, reads its message, closes it with a click and waits for the exit.
BalloonRun CloseBalloon(const Process& process, DWORD exitMs = 10000);
HWND MessageArea(HWND balloon);
std::wstring MessageText(HWND balloon);
// A window's text, asked of the window itself, in whatever process it lives.
std::wstring TextOf(HWND window);
// A click on the form's own area, as the window manager would deliver it.
void ClickForm(HWND balloon);
// The processes that process PID started and that still run.
std::vector<DWORD> ChildrenOf(DWORD pid);
// The first process PARENT starts, once it runs; empty if none comes within timeoutMs.
Process ChildOf(const Process& parent, DWORD timeoutMs);
// Ends the programs PARENT started that still run, so none outlives the test.
void StopChildren(const Process& parent);
struct ReleaseCom {
  void operator()(IUnknown* p) const { p->Release(); }
};
using AccessiblePtr = std::unique_ptr<IAccessible, ReleaseCom>;
// WINDOW's client area as a screen reader gets it from the window; null if it gives none.
AccessiblePtr AccessibleOf(HWND window);
// What a screen reader says for CHILD of OBJECT: its name and its role.
struct Spoken {
  std::wstring name;
  LONG role = -1;
};
Spoken SpokenOf(IAccessible* object, LONG child = CHILDID_SELF);

// Whether WINDOW's shape is the rounded rectangle (0, 0)-(right, bottom).
bool HasRoundRegion(HWND window, int right, int bottom, int ellipse);
double ScreenTwipsPerPixel();

}  // namespace e2e
