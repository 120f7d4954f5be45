// The balloon's two child windows: the message area, a read-only rich-text control that only
// reports clicks, with its text, font and colours; and the close button's tool tip.
#pragma once

#include <windows.h>

#include <string>

#include "balloon/tipDesign.h"
#include "win32/handle.h"

namespace balloon {

// Posted to the balloon for a click in its message area, the Event in wParam: the balloon closes
// from its own procedure, never from inside the rich-text control's.
inline constexpr UINT kMessageAreaEvent = WM_APP + 2;

class MessageArea {
 public:
  // The control in PARENT at AREA with the design's word, or why it could not be made.
  win32::Status Create(HWND parent, const Rect& area, int dpi);
  // Its window went with the balloon's.
  void Release() { window_.release(); }
  void Move(const Rect& area);
  // Plain text: a message that happens to look like rich text stays text.
  void SetText(const std::wstring& text);
  win32::Status LoadRichTextFile(const std::wstring& path);
  std::wstring Text() const;
  // The face of a plain message, at the design's size; kept through a change of DPI.
  void SetFontFace(const std::wstring& face);
  void SetDpi(int dpi);
  // The design's colours, or a high-contrast theme's.
  void SetColours(bool highContrast);

 private:
  void StreamIn(const void* data, size_t size, UINT format);
  void ApplyFont();
  void ColourText();

  win32::unique_hwnd window_;
  int dpi_ = kDesignDpi;
  std::wstring face_{design::kTipFace};
  bool fontSet_ = false;  // by SetFontFace: a plain-text message
  bool highContrast_ = false;
  bool coloured_ = false;  // the whole message in a high-contrast theme's colour
};

class CloseToolTip {
 public:
  // Made once the balloon is shown: the common controls load for it alone. Without them the
  // balloon works on, without its tool tip.
  void Add(HWND owner, const RECT& button);
  // The close button's place; an empty rectangle while it is hidden.
  void Move(const RECT& button);
  // Its window went with its owner's.
  void Release() { window_.release(); }
  void Destroy() { window_.reset(); }

 private:
  win32::unique_hwnd window_;
  HWND owner_ = nullptr;
};

}  // namespace balloon
