// Test-only host of one balloon like Pellory's that stays until clicked, so that the driver can
// take its time with it. Arguments: [/noclose] [/rtf:FILE] (FILE without blanks) X Y (twips, as
// SetBalloon takes them) and the message; or /design alone: the form as loaded, without
// SetBalloon. When no form can be made, or SetBalloon fails, it says why in a box and ends with
// 1, showing nothing.
#include <windows.h>

#include <cwchar>
#include <string>

#include "balloon/frmTip.h"
#include "win32/system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  wchar_t* text = args;
  const auto option = [&text](const wchar_t* name) {
    const size_t n = std::wcslen(name);
    return std::wcsncmp(text, name, n) == 0 && (text += n, true);
  };
  const bool design = option(L"/design"), close = !option(L"/noclose ");
  std::wstring rtf;
  if (option(L"/rtf:")) text += rtf.assign(text, std::wcscspn(text, L" ")).size();
  const int x = std::wcstol(text, &text, 10), y = std::wcstol(text, &text, 10);
  const balloon::BalloonSpec spec{
      L"Pellory", *text ? text + 1 : text, x, y, L"i", close, 0, 1000, 5000, L"Tahoma", rtf};
  auto tip = frmTip::Load();
  if (!tip) {
    MessageBoxW(nullptr, tip.failure().text.c_str(), L"Pellory", MB_OK);
    return 1;
  }
  if (const auto failed = design ? win32::Status() : (*tip)->SetBalloon(spec)) {
    MessageBoxW(nullptr, failed->text.c_str(), L"Pellory", MB_OK);
    return 1;
  }
  frmTip::Show(std::move(*tip));
  win32::MessageLoop();
  return 0;
}
