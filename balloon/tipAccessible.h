// The balloon as screen readers see it: an alert named by its caption, with a close button
// they can press. oleacc and COM are loaded only when a reader first asks.
#pragma once

#include <windows.h>

#include <optional>

#include "win32/handle.h"

namespace balloon {

// What the accessible object asks of its form.
class AccessibleForm {
 public:
  virtual HWND Window() const = 0;
  // The close button in client pixels; nothing while it is hidden.
  virtual std::optional<RECT> CloseButton() const = 0;
  // Closes the balloon the way a click on the button does, once the caller has returned.
  virtual void PressClose() = 0;

 protected:
  ~AccessibleForm() = default;
};

class AccessibleObject;

// The form's one accessible object, made on the first WM_GETOBJECT for its client area.
class TipAccessible {
 public:
  // Out of line, where the object's type is complete.
  explicit TipAccessible(AccessibleForm& form);
  ~TipAccessible();
  TipAccessible(const TipAccessible&) = delete;
  TipAccessible& operator=(const TipAccessible&) = delete;

  // The answer to WM_GETOBJECT; 0 leaves the request to DefWindowProc.
  LRESULT OnGetObject(WPARAM wp, LPARAM lp);
  // The window is going: every reference a reader still holds fails from now on.
  void Disconnect();

 private:
  AccessibleForm& form_;
  win32::unique_com<AccessibleObject> object_;
};

}  // namespace balloon
