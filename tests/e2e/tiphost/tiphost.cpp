// Test-only host of one balloon like Pellory's that stays until clicked, so that the driver can
// take its time with it. Arguments: X Y (twips, as SetBalloon takes them) and the message.
#include <windows.h>

#include <cwchar>

#include "balloon/frmTip.h"
#include "win32/system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  balloon::BalloonSpec spec{L"Pellory", L"", 0, 0, L"i", true, 0, 1000, 5000, L"Tahoma", L""};
  wchar_t* text = args;
  spec.lPosX = std::wcstol(text, &text, 10);
  spec.lPosY = std::wcstol(text, &text, 10);
  spec.sText = *text ? text + 1 : text;
  auto tip = frmTip::Load();
  tip->SetBalloon(spec);
  frmTip::Show(std::move(tip));
  win32::MessageLoop();
  return 0;
}
