#include "balloon/messageArea.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

#include "balloon/modBalloon.h"
#include "balloon/tipClass.h"
#include "win32/system.h"

using namespace modBalloon;

namespace balloon {

namespace {

// Set on the area's window between a press and its release.
constexpr wchar_t kPressed[] = L"Pellory.MessageAreaPressed";
WNDPROC richEditProc = nullptr;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

struct MemoryStream {
  const BYTE* data;
  size_t size;
  size_t offset = 0;
};

// The rich-text control's stream callbacks; anything but 0 ends the stream.
DWORD CALLBACK ReadMemory(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) noexcept {
  return win32::Guarded(
      [&]() -> DWORD {
        auto* stream = reinterpret_cast<MemoryStream*>(cookie);
        const size_t n = std::min(static_cast<size_t>(wanted), stream->size - stream->offset);
        std::copy_n(stream->data + stream->offset, n, buffer);
        stream->offset += n;
        *got = static_cast<LONG>(n);
        return 0;
      },
      []() -> DWORD { return 1; });
}

DWORD CALLBACK ReadFileStream(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) noexcept {
  return win32::Guarded(
      [&]() -> DWORD {
        DWORD read = 0;
        const BOOL ok = ReadFile(reinterpret_cast<HANDLE>(cookie), buffer,
                                 static_cast<DWORD>(wanted), &read, nullptr);
        *got = static_cast<LONG>(read);
        return ok ? 0 : 1;
      },
      []() -> DWORD { return 1; });
}

LRESULT AreaMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  const auto tell = [hwnd](Event event) {
    PostMessageW(GetParent(hwnd), kMessageAreaEvent, static_cast<WPARAM>(event), 0);
  };
  switch (msg) {
    // The area only reports clicks: no caret, no selection, no focus taken from the user.
    case WM_LBUTTONDOWN:
      SetPropW(hwnd, kPressed, reinterpret_cast<HANDLE>(1));
      return 0;
    case WM_LBUTTONUP:
      if (RemovePropW(hwnd, kPressed)) tell(Event::Click);
      return 0;
    case WM_LBUTTONDBLCLK:
      RemovePropW(hwnd, kPressed);
      tell(Event::DblClick);
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
    case WM_NCDESTROY:
      RemovePropW(hwnd, kPressed);
      break;
  }
  return CallWindowProcW(richEditProc, hwnd, msg, wp, lp);
}

LRESULT CALLBACK AreaProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept {
  return win32::Guarded([&] { return AreaMessage(hwnd, msg, wp, lp); },
                        [&] { return CallWindowProcW(richEditProc, hwnd, msg, wp, lp); });
}

}  // namespace

win32::Status MessageArea::Create(HWND parent, const Rect& area, int dpi) {
  dpi_ = dpi;
  window_.reset(CreateWindowExW(
      0, MSFTEDIT_CLASS, L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, area.left,
      area.top, area.width, area.height, parent, nullptr, Instance(), nullptr));
  if (!window_) return win32::LastFailure(L"message area");
  // The area's procedure hands every message it does not take on to the rich-text class's own,
  // the same for every such control.
  const auto classProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window_.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AreaProc)));
  if (!classProc) return win32::LastFailure(L"message area");
  richEditProc = classProc;
  // Text that names no weight, the design's as a rich-text file's, is regular: the control's own
  // default is the system font's, bold under Wine.
  CHARFORMAT2W regular{};
  regular.cbSize = sizeof(regular);
  regular.dwMask = CFM_BOLD | CFM_WEIGHT;
  regular.wWeight = FW_NORMAL;
  SendMessageW(window_.get(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&regular));
  StreamIn(design::kTipRtf.data(), design::kTipRtf.size(), SF_RTF);
  return {};
}

void MessageArea::Move(const Rect& area) {
  if (!window_) return;
  SetWindowPos(window_.get(), nullptr, area.left, area.top, std::max(area.width, 0),
               std::max(area.height, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void MessageArea::StreamIn(const void* data, size_t size, UINT format) {
  MemoryStream stream{static_cast<const BYTE*>(data), size};
  EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, ReadMemory};
  SendMessageW(window_.get(), EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
}

void MessageArea::SetText(const std::wstring& text) {
  // Its face and size follow with SetFontFace, the step after the resize.
  StreamIn(text.data(), text.size() * sizeof(wchar_t), SF_TEXT | SF_UNICODE);
  ColourText();
}

win32::Status MessageArea::LoadRichTextFile(const std::wstring& path) {
  win32::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return win32::LastFailure(L"rich-text file");
  EDITSTREAM es{reinterpret_cast<DWORD_PTR>(file.get()), 0, ReadFileStream};
  SendMessageW(window_.get(), EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
  if (es.dwError != 0) return win32::FailureOf(ERROR_READ_FAULT, L"rich-text file");
  ColourText();
  return {};
}

std::wstring MessageArea::Text() const {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window_.get())) + 1, L'\0');
  text.resize(static_cast<size_t>(
      GetWindowTextW(window_.get(), text.data(), static_cast<int>(text.size()))));
  return text;
}

void MessageArea::SetFontFace(const std::wstring& face) {
  face_ = face;
  fontSet_ = true;
  ApplyFont();
}

void MessageArea::SetDpi(int dpi) {
  dpi_ = dpi;
  // A rich-text file keeps the sizes it gives.
  if (fontSet_) ApplyFont();
}

void MessageArea::ApplyFont() {
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(cf);
  // Regular weight, as designed.
  cf.dwMask = CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_WEIGHT;
  cf.wWeight = FW_NORMAL;
  // Twips, which the rich-text control draws at the system's DPI: scaled, they come out as the
  // design's points at the balloon's own.
  const win32::ScreenDc screen;
  const int system = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  cf.yHeight = MulDiv(design::kTipHalfPoints * 10, dpi_, system > 0 ? system : dpi_);
  lstrcpynW(cf.szFaceName, face_.c_str(), LF_FACESIZE);
  SendMessageW(window_.get(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(window_.get(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
}

void MessageArea::SetColours(bool highContrast) {
  highContrast_ = highContrast;
  SendMessageW(window_.get(), EM_SETBKGNDCOLOR, 0, ToColorRef(ColoursFor(highContrast_).back));
  ColourText();
}

void MessageArea::ColourText() {
  // Outside a high-contrast theme the control's own colour, and a rich-text file's own colours,
  // are left alone; leaving one, the whole message takes the control's colour again.
  if (!highContrast_ && !coloured_) return;
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof(cf);
  cf.dwMask = CFM_COLOR;
  cf.dwEffects = highContrast_ ? 0 : CFE_AUTOCOLOR;
  cf.crTextColor = ToColorRef(ColoursFor(true).message);
  SendMessageW(window_.get(), EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&cf));
  SendMessageW(window_.get(), EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
  coloured_ = highContrast_;
}

void CloseToolTip::Add(HWND owner, const RECT& button) {
  if (window_ || tipClass::LoadCommonControls()) return;
  owner_ = owner;
  window_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0, owner, nullptr,
                                Instance(), nullptr));
  if (!window_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = owner;
  tool.uId = 1;
  tool.lpszText = const_cast<wchar_t*>(design::kCloseToolTip.data());
  SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  Move(button);
}

void CloseToolTip::Move(const RECT& button) {
  if (!window_) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = owner_;
  tool.uId = 1;
  tool.rect = button;
  SendMessageW(window_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace balloon
