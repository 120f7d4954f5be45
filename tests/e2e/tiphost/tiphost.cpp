// Test-only host of one balloon like Pellory's that stays until clicked, so that the driver can
// take its time with it. Arguments: [/noclose] [/rtf:FILE] (FILE without blanks) X Y (twips, as
// SetBalloon takes them) and the message; or /design alone: the form as loaded, without
// SetBalloon.
// Ends with the number of the form's DestroyWindow calls that failed: the system destroys the
// tool tip with its owner, and the form must not try again. When no form can be made, it says
// why twice in a box: a second try must meet the same cause as the first. When SetBalloon
// fails, it says why in a box and ends with 1, showing nothing.
#include <windows.h>

#include <cwchar>
#include <string>

#include "balloon/frmTip.h"
#include "tests/e2e/imports.h"
#include "win32/system.h"

namespace {
decltype(&DestroyWindow) destroyWindow = nullptr;
int failedDestroys = 0;
BOOL WINAPI WatchedDestroy(HWND window) { return destroyWindow(window) || (++failedDestroys, 0); }
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  destroyWindow = reinterpret_cast<decltype(destroyWindow)>(e2e::ReplaceImport(
      GetModuleHandleW(nullptr), "DestroyWindow", reinterpret_cast<void (*)()>(&WatchedDestroy)));
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
  std::wstring failures;
  if (!tip) {
    failures = tip.failure().text + L"\n";
    tip = frmTip::Load();
  }
  if (!tip) {
    MessageBoxW(nullptr, (failures + tip.failure().text + L"\n").c_str(), L"Pellory", MB_OK);
    return 1;
  }
  if (const auto failed = design ? win32::Status() : (*tip)->SetBalloon(spec)) {
    MessageBoxW(nullptr, failed->text.c_str(), L"Pellory", MB_OK);
    return 1;
  }
  frmTip::Show(std::move(*tip));
  win32::MessageLoop();
  return failedDestroys;
}
