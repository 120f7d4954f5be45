// The balloon as a user meets it: what it looks like on the X screen, how the close button
// answers the real mouse, and when it goes away.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "balloon/frmTip.h"
#include "imports.h"
#include "pellory_support.h"

namespace {

using namespace e2e;

constexpr Rgb kStrip{243, 245, 158};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kBackdrop{255, 0, 255};
constexpr Rgb kReleasedEdge{255, 149, 149};

// Runs the driver's own windows for a while, so that they paint.
void Pump(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(10);
  } while (GetTickCount64() < end);
}

// A window of one colour: a backdrop behind the balloon, or a cover over it.
class ColourWindow {
 public:
  ColourWindow(Rgb colour, RECT where, bool topmost)
      : brush_(CreateSolidBrush(RGB(colour.r, colour.g, colour.b))) {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"e2eColour";
      return RegisterClassW(&wc);
    }();
    (void)atom;
    window_ = CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, L"e2eColour", L"", WS_POPUP, where.left,
                              where.top, where.right - where.left, where.bottom - where.top,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetClassLongPtrW(window_, GCLP_HBRBACKGROUND, reinterpret_cast<LONG_PTR>(brush_));
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    if (!topmost)
      SetWindowPos(window_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Pump(200);
  }
  ~ColourWindow() {
    DestroyWindow(window_);
    DeleteObject(brush_);
    Pump(200);
  }
  ColourWindow(const ColourWindow&) = delete;
  ColourWindow& operator=(const ColourWindow&) = delete;

 private:
  HBRUSH brush_;
  HWND window_ = nullptr;
};

RECT Screen() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// Real input, as from the mouse: the pointer moves, then the buttons change.
void MouseTo(POINT at) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  const LONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  // Rounded up, or Wine lands one pixel short.
  in.mi.dx = (at.x * 65536 + w - 1) / w;
  in.mi.dy = (at.y * 65536 + h - 1) / h;
  in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &in, sizeof(in));
  Sleep(30);
}

void Button(DWORD flags) {
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = flags;
  SendInput(1, &in, sizeof(in));
  Sleep(60);
}

void Click(POINT at) {
  MouseTo(at);
  Button(MOUSEEVENTF_LEFTDOWN);
  Button(MOUSEEVENTF_LEFTUP);
}

POINT At(HWND balloon, int x, int y) {
  RECT r;
  GetWindowRect(balloon, &r);
  return {r.left + x, r.top + y};
}

// The pixel at (x, y) of the balloon, from the X screen.
Rgb PixelOf(const Screenshot& shot, HWND balloon, int x, int y) {
  const POINT p = At(balloon, x, y);
  return shot.At(p.x, p.y);
}

Screenshot Capture() {
  auto shot = CaptureScreen();
  if (!shot) throw std::runtime_error("no screenshot");
  return *shot;
}

Rgb SysColour(int index) {
  const COLORREF c = GetSysColor(index);
  return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

bool IsRed(Rgb c) { return c.r > 120 && c.g < 70 && c.b < 70; }

// Tests Pellory's own balloon at the points a broken layout or painting would get wrong.
void ExpectPainted(HWND balloon, const char* when) {
  SCOPED_TRACE(when);
  const auto shot = Capture();
  const auto px = [&](int x, int y) { return PixelOf(shot, balloon, x, y); };
  // The title strip under the title, left of the text and right of the icon.
  EXPECT_TRUE(Near(px(60, 9), kStrip)) << Describe(px(60, 9));
  EXPECT_TRUE(Near(px(280, 16), kStrip)) << Describe(px(280, 16));
  // A black border on every side. The 2-pixel pen is centred on the rounded rectangle
  // (0, 0)-(332, 66), so its outer half falls outside the window on the left and at the top.
  for (const POINT p : {POINT{0, 33}, POINT{330, 33}, POINT{331, 33}, POINT{166, 0}, POINT{166, 64},
                        POINT{166, 65}}) {
    EXPECT_EQ(px(p.x, p.y), kBlack) << p.x << "," << p.y << " " << Describe(px(p.x, p.y));
  }
  // Inside, the tool-tip background; the strip ends below the title label.
  EXPECT_TRUE(Near(px(160, 60), SysColour(COLOR_INFOBK))) << Describe(px(160, 60));
  EXPECT_TRUE(Near(px(4, 22), SysColour(COLOR_INFOBK))) << Describe(px(4, 22));
  // The red close button at the top right, its glyph white.
  EXPECT_TRUE(IsRed(px(307, 15))) << Describe(px(307, 15));
  EXPECT_TRUE(Near(px(305, 9), kReleasedEdge, 12)) << Describe(px(305, 9));
  // Outside the rounded region the backdrop shows through.
  for (const POINT p : {POINT{1, 1}, POINT{331, 1}, POINT{1, 65}, POINT{331, 65}}) {
    EXPECT_EQ(px(p.x, p.y), kBackdrop) << p.x << "," << p.y << " " << Describe(px(p.x, p.y));
  }
  // The icon: information is drawn in blue.
  int blue = 0;
  for (int y = 2; y < 18; ++y) {
    for (int x = 10; x < 26; ++x) {
      const Rgb c = px(x, y);
      if (c.b > c.r + 60) ++blue;
    }
  }
  EXPECT_GT(blue, 10) << "no information icon";
  // The bold title, centred on the strip.
  int dark = 0;
  for (int y = 2; y < 17; ++y) {
    for (int x = 130; x < 200; ++x) dark += Near(px(x, y), kBlack, 60) ? 1 : 0;
  }
  EXPECT_GT(dark, 40) << "no title text";
}

TEST(Balloon, PaintedFromTheFirstShowAndAfterBeingCovered) {
  MouseTo({0, 0});  // off the balloon, whose timer it would hold
  ColourWindow backdrop(kBackdrop, Screen(), false);
  const auto folder = FreshFolder(L"paint");
  const auto dll = CopyServer(L"logserver.dll", folder, L"a.dll");
  auto pellory = StartPellory(L"/register " + dll);
  const HWND balloon = ExpectBalloon(pellory);
  ASSERT_NE(balloon, nullptr);
  Sleep(150);
  ExpectPainted(balloon, "first show");
  {
    RECT r;
    GetWindowRect(balloon, &r);
    ColourWindow cover({0, 128, 0}, RECT{r.left - 20, r.top - 20, r.right - 100, r.bottom}, true);
  }
  ExpectPainted(balloon, "after a window covered it");
  const auto shotPath = BinDir() + L"\\balloon.png";
  SaveScreenPng(shotPath);
  EXPECT_EQ(WaitExit(pellory, 10000), 0u);
}

decltype(&DestroyWindow) destroyWindow = nullptr;
int failedDestroys = 0;
BOOL WINAPI WatchedDestroy(HWND window) {
  const BOOL destroyed = destroyWindow(window);
  failedDestroys += destroyed ? 0 : 1;
  return destroyed;
}

// The system destroys the tool tip with its owner before WM_DESTROY; the form must not try again.
TEST(Balloon, UnloadingDestroysEachWindowOnce) {
  auto form = frmTip::Load();
  const auto driver = GetModuleHandleW(nullptr);  // the form is linked into it
  destroyWindow = reinterpret_cast<decltype(destroyWindow)>(
      ReplaceImport(driver, "DestroyWindow", reinterpret_cast<void (*)()>(&WatchedDestroy)));
  form->HideBalloon();
  ReplaceImport(driver, "DestroyWindow", reinterpret_cast<void (*)()>(destroyWindow));
  EXPECT_EQ(failedDestroys, 0);
}

decltype(&LoadLibraryExW) loadLibrary = nullptr;
HMODULE WINAPI LoadWithoutRichText(LPCWSTR name, HANDLE file, DWORD flags) {
  if (std::wstring_view(name) != L"msftedit.dll") return loadLibrary(name, file, flags);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

std::string LoadOnce() {
  try {
    frmTip::Load();
    return "loaded";
  } catch (const std::exception& e) {
    return e.what();
  }
}

// Loads two balloons without the rich-text control; ends with 0 when both name that cause.
[[noreturn]] void LoadTwiceWithoutRichText() {
  loadLibrary = reinterpret_cast<decltype(loadLibrary)>(
      ReplaceImport(GetModuleHandleW(nullptr), "LoadLibraryExW",
                    reinterpret_cast<void (*)()>(&LoadWithoutRichText)));
  const std::string first = LoadOnce();
  const std::string second = LoadOnce();
  std::fprintf(stderr, "%s\n%s\n", first.c_str(), second.c_str());
  std::exit(first.starts_with("msftedit: ") && second == first ? 0 : 1);
}

// In a process of its own, where the form's one-time set-up has not run: after a failure the
// second balloon tries again and meets the same cause, not the class the first one registered.
TEST(BalloonDeathTest, ASetUpThatFailedIsTriedAgain) {
  EXPECT_EXIT(LoadTwiceWithoutRichText(), testing::ExitedWithCode(0), "");
}

// A balloon from the test host, by default one like Pellory's that stays until clicked.
Process StartTip(bool showClose, const std::wstring& more = L"text=a.dll has been registered.") {
  auto tip = Start(BinDir() + L"\\tiphost.exe",
                   L"title=Pellory|x=10260|y=10520|icon=i|auto=0|h=1000|w=5000|font=Tahoma|" +
                       more + (showClose ? L"|close=1" : L"|close=0"));
  EXPECT_TRUE(tip);
  return tip;
}

std::wstring WithoutTrailingBreaks(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

TEST(Balloon, DesignContentRichTextFileAndNoIcon) {
  {
    // Neither text nor file: the design content stays. An unknown icon code hides the icon.
    auto tip = StartTip(true, L"text=|icon=zz");
    const HWND balloon = ExpectBalloon(tip);
    ASSERT_NE(balloon, nullptr);
    EXPECT_EQ(WithoutTrailingBreaks(MessageText(balloon)), L"txtTip");
    Sleep(150);
    const auto shot = Capture();
    for (int x = 10; x < 26; x += 3) {
      EXPECT_TRUE(Near(PixelOf(shot, balloon, x, 9), kStrip)) << "an icon at " << x;
    }
    Click(At(balloon, 3, 40));
    EXPECT_EQ(WaitExit(tip, 5000), 0u);
  }
  {
    // A rich-text file wins over the text.
    const auto file = FreshFolder(L"rtf") + L"\\note.rtf";
    {
      std::ofstream out(file.c_str(), std::ios::binary);
      out << "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs18 From the file.\\par}";
    }
    auto tip = StartTip(true, L"text=ignored|rtf=" + file);
    const HWND balloon = ExpectBalloon(tip);
    ASSERT_NE(balloon, nullptr);
    EXPECT_EQ(WithoutTrailingBreaks(MessageText(balloon)), L"From the file.");
    Click(At(balloon, 3, 40));
    EXPECT_EQ(WaitExit(tip, 5000), 0u);
  }
}

// The close picture's left edge: light when released, dark when pressed.
bool LooksPressed(HWND balloon) {
  const Rgb edge = PixelOf(Capture(), balloon, 305, 9);
  return edge.r < 200;
}

TEST(Balloon, CloseButtonShowsItsPressedLookWhileTheLeftButtonIsHeld) {
  auto tip = StartTip(true);
  const HWND balloon = ExpectBalloon(tip);
  ASSERT_NE(balloon, nullptr);
  Sleep(150);
  EXPECT_FALSE(LooksPressed(balloon));
  // Resting on the cross brings up its tool tip.
  MouseTo(At(balloon, 313, 11));
  const HWND toolTip = WaitForWindow(tip, L"tooltips_class32", 3000);
  EXPECT_NE(toolTip, nullptr) << "no tool tip on the close button";
  if (toolTip) {
    EXPECT_EQ(TextOf(toolTip), L"Close");
  }
  const POINT strip = At(balloon, 100, 9);
  // On the white cross, then on the red rim around it; released away from the button.
  for (const POINT on : {At(balloon, 313, 11), At(balloon, 306, 3)}) {
    MouseTo(on);
    Button(MOUSEEVENTF_LEFTDOWN);
    EXPECT_TRUE(LooksPressed(balloon)) << on.x << "," << on.y;
    MouseTo(strip);
    Button(MOUSEEVENTF_LEFTUP);
    EXPECT_FALSE(LooksPressed(balloon));
    EXPECT_TRUE(IsWindow(balloon));
  }
  // Other buttons change nothing.
  MouseTo(At(balloon, 313, 11));
  Button(MOUSEEVENTF_RIGHTDOWN);
  EXPECT_FALSE(LooksPressed(balloon));
  Button(MOUSEEVENTF_RIGHTUP);
  EXPECT_TRUE(IsWindow(balloon));
  // A click on the title strip leaves it open; a click on the cross closes it and ends it.
  Click(strip);
  Sleep(200);
  EXPECT_TRUE(IsWindow(balloon));
  Click(At(balloon, 313, 11));
  EXPECT_EQ(WaitExit(tip, 5000), 0u);
}

// The smallest rectangle, in balloon coordinates, around the pixels of AREA that PICK accepts.
template <class Pick>
RECT Around(const Screenshot& shot, POINT origin, RECT area, Pick pick) {
  RECT box{area.right, area.bottom, area.left, area.top};
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (!pick(shot.At(origin.x + x, origin.y + y))) continue;
      box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
             std::max<LONG>(box.right, x + 1), std::max<LONG>(box.bottom, y + 1)};
    }
  }
  return box;
}

// Run by the whole suite at 96 DPI and by the e2e-dpi test at 120, 144 and 192: the design
// scaled by DPI / 96, whole and sharp, in the balloon's unchanged size in twips.
TEST(Balloon, ScaledToTheScreenDpi) {
  SetProcessDPIAware();  // the driver measures in the screen's own pixels
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const auto s = [dpi](int value) { return MulDiv(value, dpi, 96); };
  SCOPED_TRACE(std::to_string(dpi) + " DPI");
  ColourWindow backdrop(kBackdrop, Screen(), false);
  auto tip = StartTip(true, L"text=a.dll|x=750|y=1500");
  const HWND balloon = ExpectBalloon(tip);
  ASSERT_NE(balloon, nullptr);
  Sleep(150);
  RECT r;
  GetWindowRect(balloon, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  EXPECT_EQ(w, MulDiv(5000, dpi, 1440));
  EXPECT_EQ(h, MulDiv(1000, dpi, 1440));
  const POINT o{r.left, r.top};
  const auto shot = Capture();
  SaveScreenPng(BinDir() + L"\\balloon-" + std::to_wstring(dpi) + L".png");
  const auto px = [&](int x, int y) { return shot.At(o.x + x, o.y + y); };
  const auto isStrip = [](Rgb c) { return Near(c, kStrip); };

  // The title's text lies wholly inside the strip, with strip colour below its lowest pixel.
  const RECT strip = Around(shot, o, {w / 5, 0, w / 5 + 1, h}, isStrip);
  const RECT title = Around(shot, o, {w / 3, strip.top, 2 * w / 3, h / 2},
                            [](Rgb c) { return Near(c, kBlack, 80); });
  EXPECT_LT(title.left, title.right) << "no title";
  EXPECT_GT(title.top, strip.top);
  EXPECT_LT(title.bottom, strip.bottom) << "the title is cut at the strip's lower edge";

  // The close button whole, at its scaled size, on the strip, with the cross centred on it.
  const RECT button = Around(shot, o, {w - s(40), 0, w, strip.bottom + s(4)},
                             [](Rgb c) { return c.r - std::max(c.g, c.b) > 60; });
  EXPECT_EQ(button.right - button.left, s(16));
  EXPECT_EQ(button.bottom - button.top, s(16));
  EXPECT_LE(button.bottom, strip.bottom);
  const RECT cross =
      Around(shot, o, button, [](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; });
  EXPECT_LE(std::abs((cross.left + cross.right) - (button.left + button.right)), 2 + s(1));
  EXPECT_LE(std::abs((cross.top + cross.bottom) - (button.top + button.bottom)), 2 + s(1));
  EXPECT_GE(cross.right - cross.left, s(6)) << "no cross";

  // The information icon drawn at its scaled size.
  const RECT icon = Around(shot, o, {s(9), strip.top + 1, s(30), strip.bottom},
                           [](Rgb c) { return !Near(c, kStrip, 24) && !Near(c, kBlack, 30); });
  EXPECT_EQ(icon.right - icon.left, s(16));
  EXPECT_EQ(icon.bottom - icon.top, s(16));

  // The border on every side, at least half its scaled pen; round corners with the backdrop.
  const int pen = std::max(1, s(2) / 2);
  const auto isBlack = [](Rgb c) { return Near(c, kBlack, 30); };
  EXPECT_GE(Around(shot, o, {0, h / 2, s(4), h / 2 + 1}, isBlack).right, pen);
  EXPECT_LE(Around(shot, o, {w - s(4), h / 2, w, h / 2 + 1}, isBlack).left, w - pen);
  EXPECT_GE(Around(shot, o, {w / 2, 0, w / 2 + 1, s(4)}, isBlack).bottom, pen);
  EXPECT_LE(Around(shot, o, {w / 2, h - s(4), w / 2 + 1, h}, isBlack).top, h - pen);
  for (const POINT p : {POINT{s(2), s(2)}, POINT{w - 1 - s(2), s(2)}, POINT{s(2), h - 1 - s(2)},
                        POINT{w - 1 - s(2), h - 1 - s(2)}}) {
    EXPECT_EQ(px(p.x, p.y), kBackdrop) << "corner " << p.x << "," << p.y;
  }

  // Pressed on the cross it shows the pressed look (a dark left edge); released, it closes.
  const POINT onCross = At(balloon, (cross.left + cross.right) / 2, (cross.top + cross.bottom) / 2);
  const auto edge = [&] {
    return CaptureScreen()->At(o.x + button.left, o.y + (button.top + button.bottom) / 2);
  };
  EXPECT_GT(edge().r, 200) << "released look";
  MouseTo(onCross);
  Button(MOUSEEVENTF_LEFTDOWN);
  EXPECT_LT(edge().r, 200) << "no pressed look";
  Button(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(WaitExit(tip, 5000), 0u) << "the click on the close button did not close it";
}

TEST(Balloon, APressReleasedElsewhereIsNoClick) {
  auto tip = StartTip(true);
  const HWND balloon = ExpectBalloon(tip);
  ASSERT_NE(balloon, nullptr);
  MouseTo(At(balloon, 3, 40));
  Button(MOUSEEVENTF_LEFTDOWN);
  MouseTo({100, 100});
  Button(MOUSEEVENTF_LEFTUP);
  Sleep(200);
  EXPECT_TRUE(IsWindow(balloon)) << "released away from the balloon, it closed all the same";
  Click(At(balloon, 3, 40));
  EXPECT_EQ(WaitExit(tip, 5000), 0u);
}

TEST(Balloon, ClicksOnTheFormTheIconAndTheRim) {
  for (const POINT where : {POINT{3, 40}, POINT{17, 9}, POINT{306, 3}}) {
    SCOPED_TRACE(where.x);
    auto tip = StartTip(true);
    const HWND balloon = ExpectBalloon(tip);
    ASSERT_NE(balloon, nullptr);
    Click(At(balloon, where.x, where.y));
    EXPECT_EQ(WaitExit(tip, 5000), 0u);
  }
}

TEST(Balloon, MessageAreaClosesOnADoubleClickOrOnAClickWithoutCloseButton) {
  {
    auto tip = StartTip(true);
    const HWND balloon = ExpectBalloon(tip);
    ASSERT_NE(balloon, nullptr);
    const POINT area = At(balloon, 150, 40);
    Click(area);
    Sleep(600);  // longer than a double click
    EXPECT_TRUE(IsWindow(balloon)) << "a single click closed it although the button is shown";
    Click(area);
    Click(area);
    EXPECT_EQ(WaitExit(tip, 5000), 0u) << "a double click left it open";
  }
  {
    auto tip = StartTip(false);
    const HWND balloon = ExpectBalloon(tip);
    ASSERT_NE(balloon, nullptr);
    Click(At(balloon, 150, 40));
    EXPECT_EQ(WaitExit(tip, 5000), 0u) << "a single click left it open without a close button";
  }
}

// The alerts a screen reader hears, from any process.
std::vector<HWND> alerts;
void CALLBACK HearAlert(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
  alerts.push_back(window);
}

TEST(Balloon, ScreenReadersHearItOnceAndCanPressItsCloseButton) {
  alerts.clear();
  const HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr,
                                             HearAlert, 0, 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  auto tip = StartTip(true);
  const HWND balloon = ExpectBalloon(tip);
  ASSERT_NE(balloon, nullptr);
  Pump(300);
  ASSERT_EQ(std::count(alerts.begin(), alerts.end(), balloon), 1);
  IAccessible* heard = nullptr;
  VARIANT self{};
  ASSERT_EQ(AccessibleObjectFromEvent(balloon, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                      &heard, &self),
            S_OK);
  const AccessiblePtr object(heard);
  const Spoken spoken = SpokenOf(heard, self.lVal);
  EXPECT_EQ(spoken.name, L"Pellory: a.dll has been registered.");
  EXPECT_EQ(spoken.role, ROLE_SYSTEM_ALERT);
  // The close button is one of its children, named; its default action closes the balloon.
  LONG children = 0;
  heard->get_accChildCount(&children);
  LONG close = 0;
  for (LONG child = 1; child <= children; ++child) {
    const Spoken each = SpokenOf(heard, child);
    if (each.name == L"Close" && each.role == ROLE_SYSTEM_PUSHBUTTON) close = child;
  }
  ASSERT_NE(close, 0) << "no close button among " << children << " children";
  VARIANT button{};
  button.vt = VT_I4;
  button.lVal = close;
  EXPECT_EQ(heard->accDoDefaultAction(button), S_OK);
  EXPECT_EQ(WaitExit(tip, 5000), 0u);
  Pump(300);
  EXPECT_EQ(std::count(alerts.begin(), alerts.end(), balloon), 1);
  UnhookWinEvent(hook);
}

// Milliseconds until BALLOON is gone, at most LIMIT.
ULONGLONG ClosesIn(HWND balloon, ULONGLONG limit) {
  const ULONGLONG start = GetTickCount64();
  while (IsWindow(balloon) && GetTickCount64() - start < limit) Sleep(10);
  return GetTickCount64() - start;
}

TEST(Balloon, ClosesByItselfUnlessThePointerRestsOnIt) {
  const auto folder = FreshFolder(L"timer");
  const auto dll = CopyServer(L"logserver.dll", folder, L"a.dll");
  const auto failing = CopyServer(L"failserver.dll", folder, L"fail.dll");
  const POINT away{0, 0};
  MouseTo(away);
  struct Case {
    const char* what;
    std::wstring dll;
    bool pointedAt;
    ULONGLONG least, most;
    DWORD status;
  };
  // Pointed at for four seconds, a success has what it had left once the pointer goes; a
  // failure stays eight seconds.
  for (const Case& c :
       {Case{"success", dll, false, 2400, 3100, 0}, Case{"pointed at", dll, true, 2000, 3100, 0},
        Case{"failure", failing, false, 7500, 9000, 5}}) {
    SCOPED_TRACE(c.what);
    auto pellory = StartPellory(L"/register " + c.dll);
    const HWND balloon = ExpectBalloon(pellory);
    ASSERT_NE(balloon, nullptr);
    if (c.pointedAt) {
      // Over the message area, then over the form itself.
      MouseTo(At(balloon, 150, 40));
      Sleep(2000);
      MouseTo(At(balloon, 60, 9));
      Sleep(2000);
      EXPECT_TRUE(IsWindowVisible(balloon)) << "it closed under the pointer";
      MouseTo(away);
    }
    const ULONGLONG closed = ClosesIn(balloon, 10000);
    EXPECT_GE(closed, c.least);
    EXPECT_LE(closed, c.most);
    EXPECT_EQ(WaitExit(pellory, 1000), c.status) << "Pellory did not end with its balloon";
  }
}

}  // namespace
