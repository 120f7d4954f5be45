#include "pellory_support.h"

#include <gtest/gtest.h>

#include <fstream>

#include <tlhelp32.h>
#include <sstream>

namespace e2e {

std::string Narrow(const std::wstring& text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

Process StartPellory(const std::wstring& args, const std::wstring& dir, HANDLE token) {
  auto process = Start(BinDir() + L"\\Pellory.exe", args, dir, token);
  EXPECT_TRUE(process) << "Pellory.exe did not start";
  return process;
}

std::wstring FreshFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"pellory-e2e";
  CreateDirectoryW(root.c_str(), nullptr);
  const std::wstring folder = root + L"\\" + name;
  CreateDirectoryW(folder.c_str(), nullptr);
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW((folder + L"\\" + found.cFileName).c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return folder;
}

std::wstring CopyServer(const std::wstring& server, const std::wstring& folder,
                        const std::wstring& name) {
  const std::wstring target = folder + L"\\" + name;
  EXPECT_TRUE(CopyFileW((BinDir() + L"\\" + server).c_str(), target.c_str(), FALSE))
      << "could not copy " << Narrow(server);
  DeleteFileW((target + L".log").c_str());
  DeleteFileW((target + L".parent").c_str());
  return target;
}

std::vector<std::string> LogOf(const std::wstring& dll) {
  std::ifstream in((dll + L".log").c_str());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    // COM may ask the server whether it can go; that is no registration call.
    if (line != "DllCanUnloadNow") lines.push_back(line);
  }
  return lines;
}

DWORD ToolParentOf(const std::wstring& dll) {
  std::ifstream in((dll + L".parent").c_str());
  DWORD pid = 0;
  in >> pid;
  return pid;
}

BoxIcon IconIn(const Screenshot& shot, RECT r) {
  int blue = 0, red = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const Rgb c = shot.At(x, y);
      if (c.b > c.r + 60 && c.b > c.g + 20) ++blue;
      if (c.r > c.b + 80 && c.r > c.g + 80) ++red;
    }
  }
  if (blue > 20 && blue > 3 * red) return BoxIcon::Information;
  if (red > 20 && red > 3 * blue) return BoxIcon::Error;
  return BoxIcon::Other;
}

namespace {

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The system's icon a box shows, seen on the X screen.
BoxIcon IconOf(HWND iconStatic) {
  RECT r;
  GetWindowRect(iconStatic, &r);
  const auto shot = CaptureScreen();
  return shot ? IconIn(*shot, r) : BoxIcon::Other;
}

}  // namespace

Box ExpectBox(const Process& process, const wchar_t* caption) {
  Box box;
  box.window = WaitForWindow(process, L"#32770", 15000);
  EXPECT_NE(box.window, nullptr) << "no message box appeared";
  if (!box.window) return box;
  Sleep(200);  // let it paint before its icon is looked at
  box.caption = WindowText(box.window);
  box.text = WindowText(GetDlgItem(box.window, 0xFFFF));
  for (HWND child = GetWindow(box.window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    const auto cls = ClassName(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (cls == L"Button") box.buttons.push_back(WindowText(child));
    if (cls == L"Static" && (style & SS_TYPEMASK) == SS_ICON) box.icon = IconOf(child);
  }
  EXPECT_EQ(box.caption, caption);
  EXPECT_EQ(box.buttons, std::vector<std::wstring>{L"OK"});
  return box;
}

void ClickOk(const Box& box) {
  if (box.window) PostMessageW(box.window, WM_COMMAND, IDOK, 0);
}

HWND ExpectBalloon(const Process& process, DWORD timeoutMs) {
  const HWND balloon = WaitForWindow(process, L"frmTip", timeoutMs);
  EXPECT_NE(balloon, nullptr) << "no balloon appeared";
  return balloon;
}

BalloonRun CloseBalloon(const Process& process, DWORD exitMs) {
  const HWND balloon = ExpectBalloon(process);
  BalloonRun run{MessageText(balloon), {}};
  // A screen reader hears the same words.
  EXPECT_EQ(SpokenOf(AccessibleOf(balloon).get()).name, L"Pellory: " + run.text);
  ClickForm(balloon);
  run.status = WaitExit(process, exitMs);
  return run;
}

HWND MessageArea(HWND balloon) { return FindWindowExW(balloon, nullptr, L"RICHEDIT50W", nullptr); }

std::wstring TextOf(HWND window) {
  // GetWindowText does not ask another process's window; WM_GETTEXT does.
  DWORD_PTR length = 0;
  SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_NORMAL, 5000, &copied);
  text.resize(copied);
  return text;
}

std::wstring MessageText(HWND balloon) {
  const HWND area = balloon ? MessageArea(balloon) : nullptr;
  return area ? TextOf(area) : L"<no message area>";
}

void ClickForm(HWND balloon) {
  if (!balloon) return;
  // Left of the message area, below the strip: the form itself.
  const LPARAM at = MAKELPARAM(3, 40);
  PostMessageW(balloon, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(balloon, WM_LBUTTONUP, 0, at);
}

std::vector<DWORD> ChildrenOf(DWORD pid) {
  std::vector<DWORD> children;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return children;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == pid) children.push_back(entry.th32ProcessID);
  }
  CloseHandle(snapshot);
  return children;
}

Process ChildOf(const Process& parent, DWORD timeoutMs) {
  for (const ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end; Sleep(20)) {
    const auto children = ChildrenOf(parent.Id());
    if (children.empty()) continue;
    constexpr DWORD kAccess = SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE;
    return Process(UniqueKernelHandle(OpenProcess(kAccess, FALSE, children[0])), children[0]);
  }
  return {};
}

void StopChildren(const Process& parent) {
  for (const DWORD id : ChildrenOf(parent.Id())) {
    if (const HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
      TerminateProcess(child, 1);
      CloseHandle(child);
    }
  }
}

AccessiblePtr AccessibleOf(HWND window) {
  IAccessible* object = nullptr;
  if (!window || FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                                   __uuidof(IAccessible),
                                                   reinterpret_cast<void**>(&object)))) {
    return nullptr;
  }
  return AccessiblePtr(object);
}

Spoken SpokenOf(IAccessible* object, LONG child) {
  Spoken spoken;
  if (!object) return spoken;
  VARIANT id{};
  id.vt = VT_I4;
  id.lVal = child;
  BSTR name = nullptr;
  if (object->get_accName(id, &name) == S_OK) spoken.name.assign(name, SysStringLen(name));
  SysFreeString(name);
  VARIANT role{};
  if (SUCCEEDED(object->get_accRole(id, &role)) && role.vt == VT_I4) spoken.role = role.lVal;
  VariantClear(&role);
  return spoken;
}

bool HasRoundRegion(HWND window, int right, int bottom, int ellipse) {
  const HRGN actual = CreateRectRgn(0, 0, 0, 0);
  const HRGN expected = CreateRoundRectRgn(0, 0, right, bottom, ellipse, ellipse);
  const HRGN difference = CreateRectRgn(0, 0, 0, 0);
  // The same pixels, however the two regions are cut into rectangles.
  const bool same = GetWindowRgn(window, actual) != ERROR &&
                    CombineRgn(difference, actual, expected, RGN_XOR) == NULLREGION;
  DeleteObject(difference);
  DeleteObject(expected);
  DeleteObject(actual);
  return same;
}

double ScreenTwipsPerPixel() {
  const HDC dc = GetDC(nullptr);
  const double tpp = 1440.0 / GetDeviceCaps(dc, LOGPIXELSX);
  ReleaseDC(nullptr, dc);
  return tpp;
}

}  // namespace e2e
