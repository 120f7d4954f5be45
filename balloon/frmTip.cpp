#include "balloon/frmTip.h"

#include <utility>

#include "balloon/placement.h"
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
// A reader's press of the close button closes the balloon from the form's own procedure.
constexpr UINT kHideMessage = WM_APP + 1;
int shownForms = 0;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

bool Contains(const balloon::Rect& r, POINT pt) {
  return pt.x >= r.left && pt.x < r.left + r.width && pt.y >= r.top && pt.y < r.top + r.height;
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
  closeTip_.Destroy();
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
    self->closeTip_.Add(hwnd, self->CloseToolRect());
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

LRESULT CALLBACK frmTip::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
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
    form->messageArea_.Release();
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
      closeTip_.Release();
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
        closePicture_ = pictures_.closeUp.get();
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
    case balloon::kMessageAreaEvent:
      if (balloon::React(Source::TxtTip, static_cast<Event>(wp), balloon::kLeftButton,
                         lblX_.visible) == Reaction::Hide) {
        HideBalloon();
      }
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

void frmTip::LoadForDpi() {
  tpp_ = TwipsPerPixelAt(dpi_);
  const bool pressed = closePicture_ && closePicture_ == pictures_.closeDown.get();
  pictures_.Load(titleFace_, dpi_);
  closePicture_ = pressed ? pictures_.closeDown.get() : pictures_.closeUp.get();
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
  messageArea_.SetDpi(dpi);
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

  if (auto failed = messageArea_.Create(hwnd, balloon::Scale(balloon::design::txtTip, dpi_), dpi_))
    return failed;
  ApplyColours();
  RoundCorners();
  return {};
}

void frmTip::OnResize() {
  RECT client;
  GetClientRect(hwnd(), &client);
  const auto layout = balloon::ComputeLayout(client.right, client.bottom, dpi_);
  messageArea_.Move(layout.txtTip);
  lblX_.rect = layout.lblX;
  imgX_.rect = imgX_Dn_.rect = imgX_Up_.rect = layout.imgX;
  imgDisplayIcon_.rect = layout.imgDisplayIcon;
  lblTitle_.rect = layout.lblTitle;
  closeTip_.Move(CloseToolRect());
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
    SelectGuard fontGuard(dc.get(), pictures_.titleFont.get());
    SetTextColor(dc.get(), ToColorRef(colours.title));
    RECT r = ToRECT(lblTitle_.rect);
    DrawTextW(dc.get(), titleCaption_.c_str(), static_cast<int>(titleCaption_.size()), &r,
              DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  }
  // Pictures at their own size, centred where no size of them matches the control exactly.
  if (imgX_.visible && closePicture_) {
    unique_hdc source(CreateCompatibleDC(target));
    SelectGuard pictureGuard(source.get(), closePicture_);
    const auto at = balloon::Centred(imgX_.rect, pictures_.closeSize);
    BitBlt(dc.get(), at.left, at.top, at.width, at.height, source.get(), 0, 0, SRCCOPY);
  }
  if (imgDisplayIcon_.visible && displayIcon_) {
    const auto at = balloon::Centred(imgDisplayIcon_.rect, pictures_.iconSize);
    DrawIconEx(dc.get(), at.left, at.top, pictures_.Icon(*displayIcon_), at.width, at.height, 0,
               nullptr, DI_NORMAL);
  }
  if (lblX_.visible) {
    SelectGuard fontGuard(dc.get(), pictures_.closeFont.get());
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
      closePicture_ = pictures_.closeDown.get();
      Invalidate(imgX_.rect);
      break;
    case Reaction::ShowReleased:
      closePicture_ = pictures_.closeUp.get();
      Invalidate(imgX_.rect);
      break;
    case Reaction::None:
      break;
  }
  return true;
}

void frmTip::Invalidate(const balloon::Rect& rect) const {
  const RECT r = ToRECT(rect);
  InvalidateRect(hwnd(), &r, FALSE);
}

void frmTip::ApplyColours() {
  highContrast_ = HighContrast();
  messageArea_.SetColours(highContrast_);
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

RECT frmTip::CloseToolRect() const { return lblX_.visible ? ToRECT(lblX_.rect) : RECT{}; }

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

std::optional<RECT> frmTip::CloseButton() const {
  if (!imgX_.visible) return std::nullopt;
  return ToRECT(imgX_.rect);
}

void frmTip::PressClose() {
  // Not from inside the reader's call: the form's own procedure closes it, as after a click.
  PostMessageW(hwnd(), kHideMessage, 0, 0);
}
