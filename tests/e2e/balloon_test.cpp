// The balloon as a user meets it: where it stands, what it looks like on the X screen at any DPI,
// how it answers the real mouse and screen readers, when it goes away, and many at once.
#include <gtest/gtest.h>
#include <ole2.h>
#include <oleacc.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "driver.h"
#include "win32/system.h"

namespace {

using namespace e2e;

constexpr Rgb kStrip{243, 245, 158}, kBlack{0, 0, 0};

// Close enough to tell colours apart despite font smoothing and dithering.
bool Near(Rgb a, Rgb b, int tolerance = 8) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

// Runs the driver's own windows, and its screen-reader hook, for a while: the driver itself never
// ends while it waits.
void Pump(DWORD ms) { static_cast<void>(win32::WaitAnswering(GetCurrentProcess(), ms)); }

// Real input, as from the mouse: the pointer moves, then BUTTON (a MOUSEEVENTF_ flag) changes.
void Mouse(POINT at, DWORD button = 0) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  // Rounded up, or Wine lands one pixel short.
  in.mi.dx = (at.x * 65536 + GetSystemMetrics(SM_CXSCREEN) - 1) / GetSystemMetrics(SM_CXSCREEN);
  in.mi.dy = (at.y * 65536 + GetSystemMetrics(SM_CYSCREEN) - 1) / GetSystemMetrics(SM_CYSCREEN);
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof(in));
  Sleep(30);
  if (!button) return;
  // The button's event carries its place, as a real mouse's does: under load Wine can hand on a
  // late report of the pointer's last place, and a button event without one would take it.
  in.mi.dwFlags |= button;
  SendInput(1, &in, sizeof(in));
  Sleep(60);
}

POINT At(HWND balloon, int x, int y) {
  RECT r;
  GetWindowRect(balloon, &r);
  return {r.left + x, r.top + y};
}

// A balloon from the test host, like Pellory's but open until clicked.
const std::wstring kTip = L"10260 10520 a.dll has been registered.";

// A click on the form itself, as the window gets it; the host's exit status.
std::optional<DWORD> Dismiss(HWND balloon, const Process& tip) {
  return ClickForm(balloon), WaitExit(tip);
}

// The pixels of AREA of BALLOON's window that PICK accepts: the smallest rectangle around them,
// in the balloon's coordinates, and how many they are.
template <class Pick>
std::pair<RECT, int> Inked(const Screenshot& shot, HWND balloon, RECT area, Pick pick) {
  RECT r{}, box{area.right, area.bottom, area.left, area.top};
  GetWindowRect(balloon, &r);
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (!pick(shot.At(r.left + x, r.top + y))) continue;
      box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
             std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
      ++n;
    }
  }
  return {box, n};
}
const auto kInk = [](Rgb c) { return Near(c, kBlack, 80); };

// The key PATH below HKEY_CURRENT_USER, made if need be.
HKEY Key(const std::wstring& path) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  return key;
}

// Run by the whole suite at 96 DPI and by the e2e-dpi test at 120, 144 and 192: the design
// scaled by DPI / 96, whole and sharp, in the balloon's unchanged size in twips, painted again
// after a window covered it; the close button's tool tip and pressed look.
TEST(Balloon, ScaledToTheScreenDpi) {
  SetProcessDPIAware();  // the driver measures in the screen's own pixels
  const int dpi = GetDeviceCaps(win32::ScreenDc().get(), LOGPIXELSY);
  const auto s = [dpi](int value) { return MulDiv(value, dpi, 96); };
  const auto size = [](RECT r) { return std::pair<int, int>(r.right - r.left, r.bottom - r.top); };
  SCOPED_TRACE(std::to_string(dpi) + " DPI");
  Mouse({0, 0});
  auto tip = Start(L"tiphost.exe", L"750 1500 a.dll");
  const HWND balloon = ExpectBalloon(tip);
  ASSERT_NE(balloon, nullptr);
  Sleep(150);
  RECT r;
  GetWindowRect(balloon, &r);
  const auto [w, h] = size(r);
  EXPECT_EQ(size(r), std::pair(MulDiv(5000, dpi, 1440), MulDiv(1000, dpi, 1440)));
  const POINT o{r.left, r.top};
  SaveScreenPng(BinDir() + L"\\balloon-" + std::to_wstring(dpi) + L".png");
  const HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, o.x, o.y,
                                     w, h, nullptr, nullptr, nullptr, nullptr);
  Pump(200);
  DestroyWindow(cover);
  Pump(200);
  const auto shot = CaptureScreen();
  const auto in = [&](RECT area, auto pick) { return Inked(shot, balloon, area, pick).first; };
  const auto isBlack = [](Rgb c) { return Near(c, kBlack, 30); };
  // The title lies wholly inside the strip, with strip colour below its lowest pixel.
  const RECT strip = in({w / 5, 0, w / 5 + 1, h}, [](Rgb c) { return Near(c, kStrip); });
  const RECT title = in({w / 3, strip.top, 2 * w / 3, h / 2}, kInk);
  EXPECT_TRUE(title.left < title.right && title.top > strip.top) << "no title";
  EXPECT_LT(title.bottom, strip.bottom) << "the title is cut at the strip's lower edge";
  // The message in its font scaled too: "a.dll" stands about 9 pixels tall at 96 DPI.
  const RECT text = in({w / 20, h * 3 / 10, w / 2, h * 9 / 10}, kInk);
  EXPECT_NEAR((text.bottom - text.top) * 96.0 / dpi, 9, 1.5) << "the message's size";
  // Below the strip, the tool-tip background.
  const COLORREF info = GetSysColor(COLOR_INFOBK);
  EXPECT_TRUE(Near(shot.At(o.x + s(4), o.y + strip.bottom + s(4)),
                   {GetRValue(info), GetGValue(info), GetBValue(info)}));
  // The close button whole, at its scaled size, on the strip, with a cross on it; the
  // information icon, blue, at its scaled size.
  const RECT button = in({w - s(40), 0, w, strip.bottom + s(4)},
                         [](Rgb c) { return c.r - std::max(c.g, c.b) > 60; });
  EXPECT_EQ(size(button), std::pair(s(16), s(16)));
  EXPECT_LE(button.bottom, strip.bottom);
  const RECT cross = in(button, [](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; });
  EXPECT_GE(cross.right - cross.left, s(6)) << "no cross";
  const RECT icon = in({s(9), strip.top + 1, s(30), strip.bottom},
                       [](Rgb c) { return !Near(c, kStrip, 24) && !Near(c, kBlack, 30); });
  EXPECT_EQ(size(icon), std::pair(s(16), s(16)));
  EXPECT_EQ(IconIn(shot, {o.x + icon.left, o.y + icon.top, o.x + icon.right, o.y + icon.bottom}),
            Icon::Information);
  // The border, at least half its scaled pen, on the sides that move with the size (the others
  // are drawn by the same call); round corners.
  const int pen = std::max(1, s(2) / 2);
  EXPECT_LE(in({w - s(4), h / 2, w, h / 2 + 1}, isBlack).left, w - pen);
  EXPECT_LE(in({w / 2, h - s(4), w / 2 + 1, h}, isBlack).top, h - pen);
  const win32::unique_hrgn shape(CreateRectRgn(0, 0, 0, 0));
  EXPECT_TRUE(GetWindowRgn(balloon, shape.get()) != ERROR && PtInRegion(shape.get(), w / 2, h / 2));
  for (const POINT p : {POINT{s(2), s(2)}, POINT{w - 1 - s(2), s(2)}, POINT{s(2), h - 1 - s(2)},
                        POINT{w - 1 - s(2), h - 1 - s(2)}})
    EXPECT_FALSE(PtInRegion(shape.get(), p.x, p.y)) << "corner " << p.x << "," << p.y;
  // Resting on the cross brings up its tool tip; pressed there it shows the pressed look (a dark
  // left edge); released, it closes.
  const POINT onCross = {o.x + (cross.left + cross.right) / 2,
                         o.y + (cross.top + cross.bottom) / 2};
  const auto edge = [&] {
    return CaptureScreen().At(o.x + button.left, o.y + (button.top + button.bottom) / 2);
  };
  EXPECT_GT(edge().r, 200) << "released look";
  Mouse(onCross);
  const HWND toolTip = WaitForWindow(tip, L"tooltips_class32", 3000);
  EXPECT_EQ(toolTip ? TextOf(toolTip) : L"", L"Close");
  Mouse(onCross, MOUSEEVENTF_LEFTDOWN);
  EXPECT_LT(edge().r, 200) << "no pressed look";
  Mouse(onCross, MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(WaitExit(tip, 5000), 0u) << "the click on the close button did not close it";
}

// The screen's scale goes from 100 to 150 percent while a balloon is shown, the message sent as
// Windows sends it (Wine reads its DPI once, at start): the balloon keeps its size in twips and
// its place on the bottom edge, its distance from the right one scaled. A stack is the unit
// test's.
TEST(Balloon, AChangeOfScaleKeepsItsSizeAndPlace) {
  auto tip = Start(L"tiphost.exe", kTip);
  const HWND balloon = ExpectBalloon(tip);
  RECT r{};
  GetWindowRect(balloon, &r);
  SendMessageTimeoutW(balloon, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&r),
                      SMTO_NORMAL, 5000, nullptr);
  GetWindowRect(balloon, &r);
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(std::tuple(r.right - r.left, r.bottom - r.top, r.right, r.bottom),
            std::tuple(500, 100, w - 10, h));
  // The message's font follows: its line, 12 pixels tall at 96 DPI, half as tall again.
  Sleep(300);  // painted
  const RECT text = Inked(CaptureScreen(), balloon, {25, 30, 250, 90}, kInk).first;
  EXPECT_NEAR(text.bottom - text.top, 18, 2) << "the message kept its size";
  EXPECT_EQ(Dismiss(balloon, tip), 0u);
}

// A click in the message area closes the balloon only when it has no close button
// (cases/clicks.tsv).
TEST(Balloon, ClosesOnAClickAnywhereButTheStripAndTheMessageArea) {
  for (const auto& c : Cases("clicks")) {
    SCOPED_TRACE(Narrow(c[0]));
    auto tip = Start(L"tiphost.exe", (c[0][0] == L'/' ? L"/noclose " : L"") + kTip);
    const HWND balloon = ExpectBalloon(tip);
    const auto down = Split(c[1], L","), up = Split(c[2], L",");
    for (const auto& button : Split(c[3], L" ")) {
      const DWORD flag = button == L"left" ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
      Mouse(At(balloon, std::stoi(down[0]), std::stoi(down[1])), flag);
      Mouse(At(balloon, std::stoi(up[0]), std::stoi(up[1])), flag << 1);  // its up
    }
    // Longer than a double click.
    EXPECT_EQ(WaitExit(tip, c[4] == L"yes" ? 5000 : 600).has_value(), c[4] == L"yes");
  }
}

// A rich-text file's words replace the text, in the file's own fonts, and the message is drawn
// in the design's regular weight: a line of stems inks as many pixels as the file's line that
// names no weight, its bold one more. A file that cannot be read stops SetBalloon, and no balloon
// shows.
TEST(Balloon, ARichTextFileReplacesTheTextInItsOwnFonts) {
  const std::wstring stems(24, L'I'), folder = FreshFolder(L"rtf");
  const auto ink = [&](const std::wstring& file, const std::wstring& message) {
    auto tip = Start(L"tiphost.exe", file + L"10260 10520 " + message);
    const HWND balloon = ExpectBalloon(tip);
    Sleep(300);  // painted
    EXPECT_EQ(MessageText(balloon), stems);
    const int n = Inked(CaptureScreen(), balloon, {8, 27, 321, 57}, kInk).second;
    EXPECT_EQ(Dismiss(balloon, tip), 0u);
    return static_cast<double>(n);
  };
  for (const std::string weight : {"", "\\b "})
    std::ofstream((folder + (weight.empty() ? L"\\plain.rtf" : L"\\bold.rtf")).c_str())
        << "{\\rtf1{\\fonttbl{\\f0 Tahoma;}}\\f0\\fs17 " << weight << Narrow(stems) << "}";
  const double plain = ink(L"/rtf:" + folder + L"\\plain.rtf ", L"a.dll");
  EXPECT_NEAR(ink(L"", stems) / plain, 1, 0.1) << "the message or the file's line is not regular";
  EXPECT_GT(ink(L"/rtf:" + folder + L"\\bold.rtf ", L"a.dll") / plain, 1.3)
      << "the bold one is not bold";
  auto unread = Start(L"tiphost.exe", L"/rtf:" + folder + L"\\none.rtf " + kTip);
  EXPECT_NE(WaitForWindow(unread, L"#32770"), nullptr);
  EXPECT_EQ(WaitForWindow(unread, L"frmTip", 0), nullptr) << "a balloon showed";
  const auto box = ExpectBox(unread);
  EXPECT_TRUE(box.text.starts_with(L"rich-text file: ")) << Narrow(box.text);
  EXPECT_EQ(box.status, 1u);
}

// Wine cannot switch a high-contrast theme on: the host takes one for on while the event named
// here exists, and the system's colours are a high-contrast theme's (black windows and tool tips,
// white window text, yellow tool-tip text). The strip, title, border and message then take the
// theme's colours, and each change of theme redraws the balloon.
TEST(Balloon, AHighContrastThemeGivesItsColours) {
  const std::wstring colours = L"Control Panel\\Colors", saved = L"Software\\Pellory test colours";
  RegCopyTreeW(HKEY_CURRENT_USER, colours.c_str(), win32::unique_hkey(Key(saved)).get());
  for (const auto& [name, value] : {std::pair(L"Window", L"0 0 0"),
                                    {L"WindowText", L"255 255 255"},
                                    {L"InfoWindow", L"0 0 0"},
                                    {L"InfoText", L"255 255 0"}})
    RegSetKeyValueW(HKEY_CURRENT_USER, colours.c_str(), name, REG_SZ, value,
                    static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  Mouse({0, 0});  // no tool tip over the border
  auto tip = Start(L"tiphost.exe", kTip);
  const HWND balloon = ExpectBalloon(tip);
  const auto after = [&](UINT change) {
    SendMessageTimeoutW(balloon, change, SPI_SETHIGHCONTRAST, 0, SMTO_NORMAL, 5000, nullptr);
    Sleep(300);  // painted
    return CaptureScreen();
  };
  const auto strip = [&](const Screenshot& shot, Rgb colour) {
    return Inked(shot, balloon, {60, 9, 61, 10}, [&](Rgb c) { return Near(c, colour); }).second;
  };
  EXPECT_TRUE(strip(after(WM_SETTINGCHANGE), kStrip)) << "not the design's strip";
  win32::unique_handle_k on(
      CreateEventW(nullptr, TRUE, FALSE, L"Local\\Pellory test high contrast"));
  const auto shot = after(WM_SETTINGCHANGE);
  SaveScreenPng(BinDir() + L"\\balloon-highcontrast.png");
  const auto is = [](Rgb colour) { return [colour](Rgb c) { return Near(c, colour); }; };
  EXPECT_TRUE(strip(shot, kBlack)) << "the strip is not the window colour";
  EXPECT_GT(Inked(shot, balloon, {111, 0, 222, 17}, is({255, 255, 255})).second, 10) << "no title";
  EXPECT_GT(Inked(shot, balloon, {8, 27, 321, 57}, is({255, 255, 0})).second, 20) << "no message";
  EXPECT_GT(Inked(shot, balloon, {330, 33, 333, 34}, is({255, 255, 0})).second, 0) << "no border";
  on.reset();
  EXPECT_TRUE(strip(after(WM_SYSCOLORCHANGE), kStrip)) << "not drawn anew";
  EXPECT_EQ(Dismiss(balloon, tip), 0u);
  RegCopyTreeW(HKEY_CURRENT_USER, saved.c_str(), win32::unique_hkey(Key(colours)).get());
  RegDeleteTreeW(HKEY_CURRENT_USER, saved.c_str());
}

// The alerts a screen reader hears, from any process.
std::vector<HWND> alerts;
void CALLBACK HearAlert(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
  alerts.push_back(window);
}

// What a screen reader says for CHILD of OBJECT: its name and its role.
std::pair<std::wstring, LONG> SpokenOf(IAccessible* object, LONG child) {
  VARIANT id{}, role{};
  id.vt = VT_I4;
  id.lVal = child;
  BSTR name = nullptr;
  if (object->get_accRole(id, &role) != S_OK || object->get_accName(id, &name) != S_OK) return {};
  const std::wstring said(name, SysStringLen(name));
  SysFreeString(name);
  return {said, role.vt == VT_I4 ? role.lVal : -1};
}

// A screen reader names the balloon by its title and words; how any words make a name is the
// unit table's (setballoon.tsv).
TEST(Balloon, ScreenReadersHearItOnceAndCanPressItsCloseButton) {
  const HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr,
                                             HearAlert, 0, 0, WINEVENT_OUTOFCONTEXT);
  auto tip = Start(L"tiphost.exe", kTip);
  const HWND balloon = ExpectBalloon(tip);
  Pump(300);
  IAccessible* heard = nullptr;
  VARIANT self{};
  ASSERT_EQ(AccessibleObjectFromEvent(balloon, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      &heard, &self),
            S_OK);
  const win32::unique_com<IAccessible> object(heard);
  EXPECT_EQ(
      SpokenOf(heard, self.lVal),
      std::pair(std::wstring(L"Pellory: a.dll has been registered."), LONG{ROLE_SYSTEM_ALERT}));
  // The close button is one of its children, named; its default action closes the balloon.
  LONG children = 0;
  heard->get_accChildCount(&children);
  VARIANT close{};
  close.vt = VT_I4;
  for (LONG child = 1; child <= children; ++child)
    if (SpokenOf(heard, child) == std::pair(std::wstring(L"Close"), LONG{ROLE_SYSTEM_PUSHBUTTON}))
      close.lVal = child;
  // Under Wine the answer can lose the race with the balloon's end, which the call brings about.
  const HRESULT pressed = heard->accDoDefaultAction(close);
  EXPECT_TRUE(close.lVal && (pressed == S_OK || pressed == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED)))
      << "no close button, or its press answered " << pressed;
  EXPECT_EQ(WaitExit(tip, 5000), 0u);
  Pump(300);
  UnhookWinEvent(hook);
  EXPECT_EQ(std::count(alerts.begin(), alerts.end(), balloon), 1);
}

// Pointed at for four seconds, a success keeps what it had left once the pointer goes; one not
// pointed at goes after 2.5 s.
TEST(Balloon, ClosesByItselfUnlessThePointerRestsOnIt) {
  Mouse({0, 0});
  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"timer"), L"a.dll");
  auto pellory = Start(L"Pellory.exe", L"/register " + dll);
  const HWND balloon = ExpectBalloon(pellory);
  // Over the message area, then over the form itself.
  Mouse(At(balloon, 150, 40));
  Sleep(2000);
  Mouse(At(balloon, 60, 9));
  Sleep(2000);
  EXPECT_TRUE(IsWindowVisible(balloon)) << "it closed under the pointer";
  Mouse({0, 0});
  const ULONGLONG start = GetTickCount64();
  while (IsWindow(balloon) && GetTickCount64() - start < 10000) Sleep(10);
  EXPECT_NEAR(static_cast<double>(GetTickCount64() - start), 2550, 550);
  EXPECT_EQ(WaitExit(pellory, 1000), 0u) << "Pellory did not end with its balloon";
}

// While another holds the balloons' lock, a Pellory waiting for its place still answers what is
// sent to its windows: a program that broadcasts a message must not hang on it.
TEST(Balloon, WaitingForItsPlaceItAnswersMessages) {
  const win32::unique_handle_k lock(CreateMutexW(nullptr, TRUE, L"Local\\Pellory.BalloonPlaces"));
  const auto dll = CopyServer(L"logserver.dll", FreshFolder(L"waiting"), L"a.dll");
  auto pellory = Start(L"Pellory.exe", L"/register " + dll);
  const HWND hidden = WaitForWindow(pellory, L"frmTip", 15000, false);
  for (int i = 0; i < 500 && (LogOf(dll).empty() || !ChildrenOf(pellory.id).empty()); ++i)
    Sleep(20);
  Sleep(300);  // the tool has ended: now it waits for the lock
  EXPECT_TRUE(hidden && SendMessageTimeoutW(hidden, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr))
      << "no answer while it waits";
  ReleaseMutex(lock.get());
  EXPECT_EQ(CloseBalloon(pellory).status, 0u);
}

// As the file manager does with several selected files: one Pellory per file, of either build,
// after a holder of the balloons' lock ended without giving it back. The third fails, the odd
// ones of the other bitness where the host runs both.
TEST(Balloon, ManyRunsAtOnceStackTheirBalloons) {
  std::wstring other = OtherBinDir();
  if (sizeof(void*) == 8 && !Host32()) {
    NotRun("the 32-bit Pellory among the balloons: this host runs 64-bit code only");
    other.clear();
  }
  Mouse({0, 0});  // away from the balloons
  HANDLE abandoned = nullptr;
  std::thread([&] {
    abandoned = CreateMutexW(nullptr, TRUE, L"Local\\Pellory.BalloonPlaces");
  }).join();
  const win32::unique_handle_k lock(abandoned);
  const auto folder = FreshFolder(L"many");
  std::vector<Process> runs;
  for (size_t i = 0; i < 8; ++i) {
    const std::wstring name = i == 2 ? L"fail.dll" : L"a" + std::to_wstring(i) + L".dll";
    const auto dll = CopyServer(L"logserver.dll", folder, name);
    runs.push_back(Start((i % 2 ? other : L"") + L"Pellory.exe", L"/register " + dll));
  }
  std::vector<HWND> balloons(runs.size());
  for (size_t seen = 0, end = GetTickCount64() + 20000;
       seen < runs.size() && GetTickCount64() < end; Sleep(5)) {
    for (size_t i = 0; i < runs.size(); ++i)
      if (!balloons[i] && (balloons[i] = WaitForWindow(runs[i], L"frmTip", 0))) ++seen;
  }
  // What each one says, and how, is the case table's, when one goes the other tests'; here
  // where they stand.
  Sleep(300);  // painted, for the picture
  SaveScreenPng(BinDir() + L"\\many-balloons.png");
  std::vector<RECT> places(runs.size());
  for (size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(i);
    const RECT& r = places[i];
    ASSERT_TRUE(GetWindowRect(balloons[i], &places[i])) << "not every balloon was shown at once";
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN) - 7) << "not in the column";
    EXPECT_GE(r.top, 0);
    for (size_t j = 0; j < i; ++j) {
      RECT both;
      EXPECT_FALSE(IntersectRect(&both, &r, &places[j])) << "covers " << j;
    }
  }
  for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(WaitExit(runs[i], 15000), i == 2 ? 5u : 0u);
}

}  // namespace
