// The balloon form: a frameless, rounded, topmost window with a title strip, an icon, a close
// button and a rich-text message area, which closes itself on its timer or on a click.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "balloon/messageArea.h"
#include "balloon/modBalloon.h"
#include "balloon/tipAccessible.h"
#include "balloon/tipDesign.h"
#include "balloon/tipPictures.h"

class frmTip final : private balloon::TipForm, private balloon::AccessibleForm {
 public:
  // Loads the form in its design state, hidden.
  static win32::Result<std::unique_ptr<frmTip>> Load();
  ~frmTip();
  frmTip(const frmTip&) = delete;
  frmTip& operator=(const frmTip&) = delete;

  win32::Status SetBalloon(const balloon::BalloonSpec& spec) {
    return balloon::SetBalloon(*this, spec);
  }
  // Shows the balloon without modality or activation and announces it to screen readers; from
  // now on its window owns it.
  static win32::Status Show(std::unique_ptr<frmTip> form);
  // Unloads the form: every closing path ends here.
  void HideBalloon();
  void RoundCorners() override;

  HWND hwnd() const { return hwnd_.get(); }
  // Balloons shown and not yet unloaded; the message loop ends when the last one unloads.
  static int ShownCount();

 private:
  frmTip() = default;
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) noexcept;
  static LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  win32::Status OnLoad();
  // Twips, fonts and pictures for the DPI of the balloon's monitor.
  void LoadForDpi();
  void ApplyDpi(int dpi);
  void OnResize();
  void Paint(HDC dc) const;
  balloon::Source HitTest(POINT pt) const;
  // Applies the event table; false once the form is gone.
  bool Raise(balloon::Source source, balloon::Event event, int button);
  void Invalidate(const balloon::Rect& rect) const;
  // Takes the colours that now apply, the design's or a high-contrast theme's, and redraws.
  void ApplyColours();
  // The close button's place for its tool tip; empty while it is hidden.
  RECT CloseToolRect() const;
  // Holds the auto-close delay while the pointer is over the balloon, and lets it run on after.
  void FollowPointer();
  bool PointerOver() const;

  // TipForm: what SetBalloon changes.
  void SetTitleCaption(const std::wstring& caption) override;
  void SetMessageText(const std::wstring& text) override { messageArea_.SetText(text); }
  win32::Status LoadMessageFile(const std::wstring& path) override {
    return messageArea_.LoadRichTextFile(path);
  }
  void MoveTwips(std::int32_t left, std::int32_t top) override;
  void ShowIconPicture(balloon::IconKind icon) override;
  void HideDisplayIcon() override;
  int DisplayIconLeft() const override { return imgDisplayIcon_.rect.left; }
  void SetTitleLeft(int left) override;
  void SetCloseVisible(bool visible) override;
  void SetAutoClose(std::int32_t intervalMs, bool enabled) override;
  void SetWidthTwips(std::int32_t width) override;
  void SetHeightTwips(std::int32_t height) override;
  void SetFormFontFace(const std::wstring& face) override { formFace_ = face; }
  void SetMessageFontFace(const std::wstring& face) override { messageArea_.SetFontFace(face); }
  void SetTitleFontFace(const std::wstring& face) override;
  std::wstring MessageText() const override { return messageArea_.Text(); }
  void SetCaption(const std::wstring& caption) override;

  // AccessibleForm: what screen readers ask.
  HWND Window() const override { return hwnd(); }
  std::optional<RECT> CloseButton() const override;
  void PressClose() override;

  struct Windowless {
    balloon::Rect rect;
    bool visible;
  };

  win32::unique_hwnd hwnd_;
  balloon::MessageArea messageArea_;
  balloon::CloseToolTip closeTip_;
  int dpi_ = balloon::kDesignDpi;
  modBalloon::TwipsPerPixel tpp_{15, 15};
  // The outer size as SetBalloon gave it, kept when the DPI changes.
  std::int32_t widthTwips_ = balloon::design::kClientWidth * 15;
  std::int32_t heightTwips_ = balloon::design::kClientHeight * 15;
  bool selfOwned_ = false;

  Windowless lblTitle_{balloon::design::lblTitle, true};
  std::wstring titleCaption_{balloon::design::kTitleCaption};
  std::wstring titleFace_{balloon::design::kTitleFace};
  Windowless imgDisplayIcon_{balloon::design::imgDisplayIcon, true};
  std::optional<balloon::IconKind> displayIcon_;  // whose holder's picture is shown
  Windowless imgX_{balloon::design::imgX, true};
  HBITMAP closePicture_ = nullptr;  // imgX_Up's or imgX_Dn's bitmap
  Windowless lblX_{balloon::design::lblX, true};
  Windowless imgX_Up_{balloon::design::imgX_Up, false};
  Windowless imgX_Dn_{balloon::design::imgX_Dn, false};
  std::wstring formFace_;
  bool highContrast_ = false;
  balloon::TipPictures pictures_;

  std::optional<balloon::Source> captured_;           // where the left button went down
  std::optional<balloon::AutoCloseClock> autoClose_;  // none: it stays until clicked
  win32::Status loadFailure_;                         // why WM_CREATE failed
  balloon::TipAccessible accessible_{*this};
};
