#include "balloon/frmTip.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "balloon/placement.h"
#include "balloon/resource.h"
#include "balloon/stack.h"
#include "balloon/tipClass.h"
#include "win32/system.h"

using balloon::Event;
using balloon::Reaction;
using balloon::Source;
using namespace modBalloon;
using namespace win32;

namespace {

constexpr UINT_PTR kAutoCloseTimer = 1;
// Where the pointer is, looked at this often: mouse messages alone miss a balloon that appears
// under a resting pointer, and a pointer leaving through the message area.
constexpr UINT_PTR kPointerTimer = 2;
constexpr UINT kPointerLookMs = 100;
// A click in the message area closes the balloon from the form's own procedure, never from
// inside the rich-text control's.
constexpr UINT kHideMessage = WM_APP + 1;
int shownForms = 0;
WNDPROC richEditProc = nullptr;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

bool Contains(const balloon::Rect& r, POINT pt) {
  return pt.x >= r.left && pt.x < r.left + r.width && pt.y >= r.top && pt.y < r.top + r.height;
}

unique_hfont MakeFont(const std::wstring& face, int pointsX100, int weight, BYTE charset, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = -balloon::FontPixels(pointsX100, dpi);
  lf.lfWeight = weight;
  lf.lfCharSet = charset;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
  return unique_hfont(CreateFontIndirectW(&lf));
}

// Close pictures per size, released and pressed, in the order of kPictureSizes.
constexpr int kCloseBitmaps[][2] = {{IDB_CLOSE_UP, IDB_CLOSE_DOWN},
                                    {IDB_CLOSE_UP_20, IDB_CLOSE_DOWN_20},
                                    {IDB_CLOSE_UP_24, IDB_CLOSE_DOWN_24},
                                    {IDB_CLOSE_UP_32, IDB_CLOSE_DOWN_32}};

HBITMAP LoadBitmapOfSize(int id) {
  return static_cast<HBITMAP>(LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
}

// The icon's image drawn for exactly this size, from the icon's several sizes.
HICON LoadIconOfSize(int id, int size) {
  return static_cast<HICON>(
      LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0));
}

struct MemoryStream {
  const BYTE* data;
  size_t size;
  size_t offset = 0;
};

DWORD CALLBACK ReadMemory(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
  auto* stream = reinterpret_cast<MemoryStream*>(cookie);
  const size_t n = std::min(static_cast<size_t>(wanted), stream->size - stream->offset);
  std::copy_n(stream->data + stream->offset, n, buffer);
  stream->offset += n;
  *got = static_cast<LONG>(n);
  return 0;
}

DWORD CALLBACK ReadFileStream(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
  DWORD read = 0;
  const BOOL ok = ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(wanted),
                           &read, nullptr);
  *got = static_cast<LONG>(read);
  return ok ? 0 : 1;
}

}  // namespace

int frmTip::ShownCount() { return shownForms; }

win32::Result<std::unique_ptr<frmTip>> frmTip::Load() {
  if (auto failed = tipClass::Register(WindowProc)) return *failed;
  std::unique_ptr<frmTip> form(new frmTip);
  // Made at (0, 0), on the primary monitor, in the design size at its DPI.
  const int dpi = PrimaryDpi();
  // No frame, no taskbar button, always on top, and never taking the focus from the user.
  const HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE,
                                    tipClass::kName, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0,
                                    balloon::Scale(balloon::design::kClientWidth, dpi),
                                    balloon::Scale(balloon::design::kClientHeight, dpi), nullptr,
                                    nullptr, Instance(), form.get());
  if (!hwnd) return form->loadFailure_ ? *form->loadFailure_ : win32::LastFailure();
  return form;
}

frmTip::~frmTip() {
  // Destroying the window while the form is alive: WM_NCDESTROY must not delete it again.
  selfOwned_ = false;
  toolTip_.reset();
  hwnd_.reset();
}

win32::Status frmTip::Show(std::unique_ptr<frmTip> form) {
  HWND hwnd = nullptr;
  frmTip* self = nullptr;
  {
    const stack::PlacesLock lock;
    // Closed while hidden (WM_CLOSE, or a reader pressing its button), before or while it
    // waited for its place: nothing would ever end the message loop, so the caller tells the
    // outcome otherwise.
    if (!(hwnd = form->hwnd())) {
      return win32::Failure{ERROR_INVALID_WINDOW_HANDLE,
                            L"the balloon was closed before it was shown"};
    }
    form->selfOwned_ = true;
    self = form.release();
    ++shownForms;
    const auto place = stack::PlaceAmongShown(hwnd, tipClass::kName);
    // Its time counts from the moment it appears, however long it waited for its place; no
    // message is handled before it is shown.
    if (self->autoClose_) {
      self->autoClose_.emplace(self->autoClose_->Delay(), GetTickCount64());
      SetTimer(hwnd, kAutoCloseTimer, self->autoClose_->Delay(), nullptr);
    }
    SetWindowPos(hwnd, HWND_TOPMOST, place.left, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  // Readers announce an alert once, by its caption, and leave the focus where it is. Outside the
  // lock that other balloons wait on: a reader's hook may run in this process, for as long as
  // it likes.
  NotifyWinEvent(EVENT_SYSTEM_ALERT, hwnd, OBJID_CLIENT, CHILDID_SELF);
  // Painted first, and outside the lock too: the common controls load for the tool tip alone,
  // which is wanted only once the pointer rests on the cross. Not if the window, which owns the
  // form now, is already gone.
  UpdateWindow(hwnd);
  if (GetWindowLongPtrW(hwnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(self)) {
    self->AddToolTip();
  }
  return {};
}

void frmTip::HideBalloon() { DestroyWindow(hwnd_.get()); }

void frmTip::RoundCorners() {
  RECT window;
  GetWindowRect(hwnd(), &window);
  // The outer size in pixels is the twips size divided by twips per pixel, already rounded.
  const int width = window.right - window.left, height = window.bottom - window.top;
  const int ellipse = balloon::ComputeLayout(width, height, dpi_).ellipse;
  unique_hrgn region(CreateRoundRectRgn(0, 0, width, height, ellipse, ellipse));
  // The window owns its region from now on.
  if (SetWindowRgn(hwnd(), region.get(), TRUE)) region.release();
}

LRESULT CALLBACK frmTip::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return win32::Guarded([&] { return Dispatch(hwnd, msg, wp, lp); },
                        [&] { return DefWindowProcW(hwnd, msg, wp, lp); });
}

LRESULT frmTip::Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* form = static_cast<frmTip*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    form->hwnd_.reset(hwnd);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<frmTip*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->hwnd_.release();
    form->txtTip_.release();
    // Only a shown balloon keeps the program alive; one that never showed ends nothing.
    if (form->selfOwned_) {
      delete form;
      if (--shownForms == 0) PostQuitMessage(0);
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  return form->HandleMessage(msg, wp, lp);
}

LRESULT frmTip::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  const HWND hwnd = hwnd_.get();
  const POINT pt{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  switch (msg) {
    case WM_CREATE:
      // Load() tells why.
      loadFailure_ = OnLoad();
      return loadFailure_ ? -1 : 0;
    case WM_DESTROY:
      // The system destroyed the tool tip with its owner, before this message.
      toolTip_.release();
      accessible_.Disconnect();
      return 0;
    case WM_GETOBJECT:
      if (const LRESULT object = accessible_.OnGetObject(wp, lp)) return object;
      return DefWindowProcW(hwnd, msg, wp, lp);
    case WM_SIZE:
      OnResize();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT paints every pixel
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_LBUTTONDOWN: {
      const Source source = HitTest(pt);
      captured_ = source;
      SetCapture(hwnd);
      Raise(source, Event::MouseDown, balloon::kLeftButton);
      return 0;
    }
    case WM_LBUTTONUP: {
      if (!captured_) return 0;
      const Source source = *captured_;
      captured_.reset();
      ReleaseCapture();
      // A click is a press and a release on the same control; released over another window
      // (or the message area) it is none.
      POINT screen = pt;
      ClientToScreen(hwnd, &screen);
      if (Raise(source, Event::MouseUp, balloon::kLeftButton) && WindowFromPoint(screen) == hwnd &&
          HitTest(pt) == source) {
        Raise(source, Event::Click, balloon::kLeftButton);
      }
      return 0;
    }
    case WM_RBUTTONDOWN:
      Raise(HitTest(pt), Event::MouseDown, 2);
      return 0;
    case WM_RBUTTONUP:
      Raise(HitTest(pt), Event::MouseUp, 2);
      return 0;
    case WM_MBUTTONDOWN:
      Raise(HitTest(pt), Event::MouseDown, 4);
      return 0;
    case WM_MBUTTONUP:
      Raise(HitTest(pt), Event::MouseUp, 4);
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away mid-press: no release will come, so show the released look.
      if (captured_ && reinterpret_cast<HWND>(lp) != hwnd) {
        captured_.reset();
        closePicture_ = closeUp_.get();
        Invalidate(imgX_.rect);
      }
      return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // A high-contrast theme switched on or off, or the system's colours changed.
      ApplyColours();
      return 0;
    case WM_DPICHANGED:
      // A change of scale, or of monitor: the same balloon in twips, drawn for the new DPI. The
      // rectangle Windows suggests keeps the top left; a balloon keeps its place in the stack.
      ApplyDpi(HIWORD(wp));
      return 0;
    case WM_TIMER:
      if (wp == kPointerTimer) FollowPointer();
      if (wp == kAutoCloseTimer) {
        // The pointer may have come since the last look.
        FollowPointer();
        if (autoClose_ && !autoClose_->Held()) Raise(Source::Timer, Event::Tick, 0);
      }
      return 0;
    case kHideMessage:
      HideBalloon();
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void frmTip::LoadForDpi() {
  tpp_ = TwipsPerPixelAt(dpi_);
  titleFont_ = MakeFont(titleFace_, balloon::design::kTitlePointsX100,
                        balloon::design::kTitleWeight, ANSI_CHARSET, dpi_);
  closeFont_ =
      MakeFont(std::wstring(balloon::design::kCloseFace), balloon::design::kClosePointsX100,
               balloon::design::kCloseWeight, SYMBOL_CHARSET, dpi_);
  // Pictures drawn for the size they are shown at; the boxes' sizes do not depend on the form's.
  const auto boxes = balloon::ComputeLayout(0, 0, dpi_);
  const bool pressed = closePicture_ && closePicture_ == closeDown_.get();
  closeSize_ = balloon::PictureSize(boxes.imgX.width);
  const auto* ids = kCloseBitmaps[0];
  for (size_t i = 0; i < std::size(balloon::kPictureSizes); ++i) {
    if (balloon::kPictureSizes[i] == closeSize_) ids = kCloseBitmaps[i];
  }
  closeUp_.reset(LoadBitmapOfSize(ids[0]));
  closeDown_.reset(LoadBitmapOfSize(ids[1]));
  closePicture_ = pressed ? closeDown_.get() : closeUp_.get();
  iconSize_ = balloon::PictureSize(boxes.imgDisplayIcon.width);
  for (int i = 0; i < 3; ++i) {
    imgIconXP_[i].reset(LoadIconOfSize(IDI_NEWER_INFO + i, iconSize_));
    imgIcon_[i].reset(LoadIconOfSize(IDI_CLASSIC_INFO + i, iconSize_));
  }
}

void frmTip::ApplyDpi(int dpi) {
  if (dpi == dpi_ || dpi <= 0) return;
  RECT shown;
  GetWindowRect(hwnd(), &shown);
  const auto areas = AreasOf(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST));
  const int from = std::exchange(dpi_, dpi);
  LoadForDpi();
  // Its size in twips stays; the resize lays the controls out for the new DPI.
  const auto place =
      balloon::Rescaled(FromRECT(shown), balloon::TwipsToPixels(widthTwips_, tpp_.x),
                        balloon::TwipsToPixels(heightTwips_, tpp_.y), areas.work, from, dpi);
  SetWindowPos(hwnd(), nullptr, place.left, place.top, place.width, place.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RoundCorners();
  // A rich-text file keeps the sizes it gives.
  if (messageFontSet_) ApplyMessageFont();
  InvalidateRect(hwnd(), nullptr, FALSE);
}

win32::Status frmTip::OnLoad() {
  const HWND hwnd = hwnd_.get();
  dpi_ = WindowDpi(hwnd);
  LoadForDpi();
  // The design state at this DPI.
  for (Windowless* control : {&lblTitle_, &imgDisplayIcon_, &imgX_, &lblX_, &imgX_Up_, &imgX_Dn_}) {
    control->rect = balloon::Scale(control->rect, dpi_);
  }

  const auto area = balloon::Scale(balloon::design::txtTip, dpi_);
  txtTip_.reset(CreateWindowExW(
      0, MSFTEDIT_CLASS, L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, area.left,
      area.top, area.width, area.height, hwnd, nullptr, Instance(), nullptr));
  if (!txtTip_) return win32::LastFailure(L"message area");
  // The area's procedure hands every message it does not take on to the rich-text class's own,
  // the same for every such control.
  const auto classProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(txtTip_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageAreaProc)));
  if (!classProc) return win32::LastFailure(L"message area");
  richEditProc = classProc;
  // Text that names no weight, the design's as a rich-text file's, is regular: the control's own
  // default is the system font's, bold under Wine.
  CHARFORMAT2W regular{};
  regular.cbSize = sizeof(regular);
  regular.dwMask = CFM_BOLD | CFM_WEIGHT;
  regular.wWeight = FW_NORMAL;
  SendMessageW(txtTip_.get(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&regular));
  StreamIn(balloon::design::kTipRtf.data(), balloon::design::kTipRtf.size(), SF_RTF);
  ApplyColours();
  RoundCorners();
  return {};
}

void frmTip::AddToolTip() {
  // Without the common controls the balloon works on, without its tool tip.
  if (toolTip_ || tipClass::LoadCommonControls()) return;
  toolTip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0, hwnd(),
                                 nullptr, Instance(), nullptr));
  if (!toolTip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = hwnd();
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(balloon::design::kCloseToolTip.data());
  SendMessageW(toolTip_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  UpdateToolRect();
}

void frmTip::OnResize() {
  RECT client;
  GetClientRect(hwnd(), &client);
  const auto layout = balloon::ComputeLayout(client.right, client.bottom, dpi_);
  const auto& area = layout.txtTip;
  if (txtTip_) {
    SetWindowPos(txtTip_.get(), nullptr, area.left, area.top, std::max(area.width, 0),
                 std::max(area.height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  lblX_.rect = layout.lblX;
  imgX_.rect = imgX_Dn_.rect = imgX_Up_.rect = layout.imgX;
  imgDisplayIcon_.rect = layout.imgDisplayIcon;
  lblTitle_.rect = layout.lblTitle;
  UpdateToolRect();
  // The strip and the border are painted from WM_PAINT, so that every repaint shows them.
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void frmTip::Paint(HDC target) const {
  RECT client;
  GetClientRect(hwnd(), &client);
  // Drawn off screen first, so the balloon never flickers through its background.
  unique_hdc dc(CreateCompatibleDC(target));
  unique_hbitmap canvas(CreateCompatibleBitmap(target, client.right, client.bottom));
  SelectGuard canvasGuard(dc.get(), canvas.get());

  const auto colours = balloon::ColoursFor(highContrast_);
  unique_hbrush back(CreateSolidBrush(ToColorRef(colours.back)));
  FillRect(dc.get(), &client, back.get());
  unique_hbrush strip(CreateSolidBrush(ToColorRef(colours.strip)));
  // The title strip is exactly the title label's rectangle.
  const RECT stripRect = ToRECT(lblTitle_.rect);
  FillRect(dc.get(), &stripRect, strip.get());
  {
    const auto shape = balloon::ComputeLayout(client.right, client.bottom, dpi_);
    unique_hpen pen(CreatePen(PS_SOLID, shape.pen, ToColorRef(colours.border)));
    SelectGuard penGuard(dc.get(), pen.get());
    SelectGuard brushGuard(dc.get(), GetStockObject(NULL_BRUSH));
    const RECT border = ToRECT(shape.border);
    RoundRect(dc.get(), border.left, border.top, border.right, border.bottom, shape.ellipse,
              shape.ellipse);
  }

  // Windowless controls, back to front.
  SetBkMode(dc.get(), TRANSPARENT);
  if (lblTitle_.visible) {
    SelectGuard fontGuard(dc.get(), titleFont_.get());
    SetTextColor(dc.get(), ToColorRef(colours.title));
    RECT r = ToRECT(lblTitle_.rect);
    DrawTextW(dc.get(), titleCaption_.c_str(), static_cast<int>(titleCaption_.size()), &r,
              DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  }
  // Pictures at their own size, centred where no size of them matches the control exactly.
  if (imgX_.visible && closePicture_) {
    unique_hdc source(CreateCompatibleDC(target));
    SelectGuard pictureGuard(source.get(), closePicture_);
    const auto at = balloon::Centred(imgX_.rect, closeSize_);
    BitBlt(dc.get(), at.left, at.top, at.width, at.height, source.get(), 0, 0, SRCCOPY);
  }
  if (imgDisplayIcon_.visible && displayIcon_) {
    const auto at = balloon::Centred(imgDisplayIcon_.rect, iconSize_);
    const int index = static_cast<int>(displayIcon_->role);
    const auto& holders = displayIcon_->style == balloon::IconStyle::Newer ? imgIconXP_ : imgIcon_;
    DrawIconEx(dc.get(), at.left, at.top, holders[index].get(), at.width, at.height, 0, nullptr,
               DI_NORMAL);
  }
  if (lblX_.visible) {
    SelectGuard fontGuard(dc.get(), closeFont_.get());
    SetTextColor(dc.get(), balloon::design::kCloseColour);
    RECT r = ToRECT(lblX_.rect);
    DrawTextW(dc.get(), balloon::design::kCloseGlyph.data(),
              static_cast<int>(balloon::design::kCloseGlyph.size()), &r,
              DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  BitBlt(target, 0, 0, client.right, client.bottom, dc.get(), 0, 0, SRCCOPY);
}

Source frmTip::HitTest(POINT pt) const {
  // Front to back; the hidden picture holders never take the mouse.
  if (lblX_.visible && Contains(lblX_.rect, pt)) return Source::LblX;
  if (imgDisplayIcon_.visible && Contains(imgDisplayIcon_.rect, pt)) return Source::DisplayIcon;
  if (imgX_.visible && Contains(imgX_.rect, pt)) return Source::ImgX;
  if (lblTitle_.visible && Contains(lblTitle_.rect, pt)) return Source::LblTitle;
  return Source::Form;
}

bool frmTip::Raise(Source source, Event event, int button) {
  switch (balloon::React(source, event, button, lblX_.visible)) {
    case Reaction::Hide:
      HideBalloon();
      return false;
    case Reaction::ShowPressed:
      closePicture_ = closeDown_.get();
      Invalidate(imgX_.rect);
      break;
    case Reaction::ShowReleased:
      closePicture_ = closeUp_.get();
      Invalidate(imgX_.rect);
      break;
    case Reaction::None:
      break;
  }
  return true;
}

LRESULT CALLBACK frmTip::MessageAreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return win32::Guarded(
      [&] {
        // The form is the area's parent; it is gone once the form is unloading.
        auto* form = reinterpret_cast<frmTip*>(GetWindowLongPtrW(GetParent(hwnd), GWLP_USERDATA));
        return form ? form->MessageAreaMessage(hwnd, msg, wp, lp)
                    : CallWindowProcW(richEditProc, hwnd, msg, wp, lp);
      },
      [&] { return CallWindowProcW(richEditProc, hwnd, msg, wp, lp); });
}

LRESULT frmTip::MessageAreaMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const auto hideIf = [this](Event event) {
    if (balloon::React(Source::TxtTip, event, balloon::kLeftButton, lblX_.visible) ==
        Reaction::Hide) {
      PostMessageW(hwnd_.get(), kHideMessage, 0, 0);
    }
  };
  switch (msg) {
    // The area only reports clicks: no caret, no selection, no focus taken from the user.
    case WM_LBUTTONDOWN:
      tipPressed_ = true;
      return 0;
    case WM_LBUTTONUP:
      if (std::exchange(tipPressed_, false)) hideIf(Event::Click);
      return 0;
    case WM_LBUTTONDBLCLK:
      tipPressed_ = false;
      hideIf(Event::DblClick);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
  }
  return CallWindowProcW(richEditProc, hwnd, msg, wp, lp);
}

void frmTip::Invalidate(const balloon::Rect& rect) const {
  const RECT r = ToRECT(rect);
  InvalidateRect(hwnd(), &r, FALSE);
}

void frmTip::StreamIn(const void* data, size_t size, UINT format) {
  MemoryStream stream{static_cast<const BYTE*>(data), size};
  EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, ReadMemory};
  SendMessageW(txtTip_.get(), EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
}

void frmTip::ApplyMessageFont() {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(cf);
  // Regular weight, as designed.
  cf.dwMask = CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_WEIGHT;
  cf.wWeight = FW_NORMAL;
  // Twips, which the rich-text control draws at the system's DPI: scaled, they come out as the
  // design's points at the balloon's own.
  const ScreenDc screen;
  const int system = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  cf.yHeight = MulDiv(balloon::design::kTipHalfPoints * 10, dpi_, system > 0 ? system : dpi_);
  lstrcpynW(cf.szFaceName, messageFace_.c_str(), LF_FACESIZE);
  SendMessageW(txtTip_.get(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(txtTip_.get(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
}

void frmTip::ApplyColours() {
  highContrast_ = HighContrast();
  SendMessageW(txtTip_.get(), EM_SETBKGNDCOLOR, 0,
               ToColorRef(balloon::ColoursFor(highContrast_).back));
  ColourMessage();
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void frmTip::ColourMessage() {
  // Outside a high-contrast theme the control's own colour, and a rich-text file's own colours,
  // are left alone; leaving one, the whole message takes the control's colour again.
  if (!highContrast_ && !messageColoured_) return;
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR;
  cf.dwEffects = highContrast_ ? 0 : CFE_AUTOCOLOR;
  cf.crTextColor = ToColorRef(balloon::ColoursFor(true).message);
  SendMessageW(txtTip_.get(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(txtTip_.get(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  messageColoured_ = highContrast_;
}

void frmTip::UpdateToolRect() {
  if (!toolTip_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = hwnd();
  tool.uId = 1;
  tool.rect = lblX_.visible ? ToRECT(lblX_.rect) : RECT{};
  SendMessageW(toolTip_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void frmTip::SetTitleCaption(const std::wstring& caption) {
  titleCaption_ = caption;
  Invalidate(lblTitle_.rect);
}

void frmTip::SetMessageText(const std::wstring& text) {
  // Streamed in as plain text: a message that happens to look like rich text stays text.
  // Its face and size follow with SetMessageFontFace, the step after the resize.
  StreamIn(text.data(), text.size() * sizeof(wchar_t), SF_TEXT | SF_UNICODE);
  ColourMessage();
}

win32::Status frmTip::LoadMessageFile(const std::wstring& path) {
  unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return win32::LastFailure(L"rich-text file");
  EDITSTREAM es{reinterpret_cast<DWORD_PTR>(file.get()), 0, ReadFileStream};
  SendMessageW(txtTip_.get(), EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
  if (es.dwError != 0) return win32::FailureOf(ERROR_READ_FAULT, L"rich-text file");
  ColourMessage();
  return {};
}

void frmTip::MoveTwips(std::int32_t left, std::int32_t top) {
  SetWindowPos(hwnd(), nullptr, balloon::TwipsToPixels(left, tpp_.x),
               balloon::TwipsToPixels(top, tpp_.y), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTip::ShowIconPicture(balloon::IconKind icon) {
  displayIcon_ = icon;
  Invalidate(imgDisplayIcon_.rect);
}

void frmTip::HideDisplayIcon() {
  imgDisplayIcon_.visible = false;
  Invalidate(imgDisplayIcon_.rect);
}

void frmTip::SetTitleLeft(int left) {
  lblTitle_.rect.left = left;
  InvalidateRect(hwnd(), nullptr, FALSE);
}

void frmTip::SetCloseVisible(bool visible) {
  imgX_.visible = lblX_.visible = visible;
  UpdateToolRect();
  Invalidate(imgX_.rect);
  Invalidate(lblX_.rect);
}

void frmTip::SetAutoClose(std::int32_t intervalMs, bool enabled) {
  if (enabled) {
    autoClose_.emplace(static_cast<std::uint32_t>(intervalMs), GetTickCount64());
    SetTimer(hwnd(), kAutoCloseTimer, static_cast<UINT>(intervalMs), nullptr);
    SetTimer(hwnd(), kPointerTimer, kPointerLookMs, nullptr);
  } else {
    autoClose_.reset();
    KillTimer(hwnd(), kAutoCloseTimer);
    KillTimer(hwnd(), kPointerTimer);
  }
}

void frmTip::FollowPointer() {
  const bool over = PointerOver();
  if (!autoClose_ || over == autoClose_->Held()) return;
  if (over) {
    autoClose_->Hold(GetTickCount64());
    KillTimer(hwnd(), kAutoCloseTimer);
  } else {
    SetTimer(hwnd(), kAutoCloseTimer, autoClose_->Release(GetTickCount64()), nullptr);
  }
}

bool frmTip::PointerOver() const {
  POINT pt;
  if (!IsWindowVisible(hwnd()) || !GetCursorPos(&pt)) return false;
  // What lies under the pointer, after the rounded shape and any window on top; the message
  // area and the close button's tool tip belong to the balloon.
  return GetAncestor(WindowFromPoint(pt), GA_ROOTOWNER) == hwnd();
}

void frmTip::SetWidthTwips(std::int32_t width) {
  widthTwips_ = width;
  RECT r;
  GetWindowRect(hwnd(), &r);
  SetWindowPos(hwnd(), nullptr, 0, 0, balloon::TwipsToPixels(width, tpp_.x), r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTip::SetHeightTwips(std::int32_t height) {
  heightTwips_ = height;
  RECT r;
  GetWindowRect(hwnd(), &r);
  SetWindowPos(hwnd(), nullptr, 0, 0, r.right - r.left, balloon::TwipsToPixels(height, tpp_.y),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmTip::SetMessageFontFace(const std::wstring& face) {
  messageFace_ = face;
  messageFontSet_ = true;
  ApplyMessageFont();
}

std::wstring frmTip::MessageText() const {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(txtTip_.get())) + 1, L'\0');
  text.resize(static_cast<size_t>(
      GetWindowTextW(txtTip_.get(), text.data(), static_cast<int>(text.size()))));
  return text;
}

void frmTip::SetCaption(const std::wstring& caption) {
  // The frameless window never draws its caption.
  SetWindowTextW(hwnd(), caption.c_str());
}

std::optional<RECT> frmTip::CloseButton() const {
  if (!imgX_.visible) return std::nullopt;
  return ToRECT(imgX_.rect);
}

void frmTip::PressClose() {
  // Not from inside the reader's call: the form's own procedure closes it, as after a click.
  PostMessageW(hwnd(), kHideMessage, 0, 0);
}

void frmTip::SetTitleFontFace(const std::wstring& face) {
  // Only the face changes; the label keeps its size, so the strip keeps its height.
  titleFace_ = face;
  titleFont_ = MakeFont(face, balloon::design::kTitlePointsX100, balloon::design::kTitleWeight,
                        ANSI_CHARSET, dpi_);
  Invalidate(lblTitle_.rect);
}
