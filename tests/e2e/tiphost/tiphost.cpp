// Test-only host of one balloon, configured from its command line so that the driver can try
// what Pellory never asks for (no close button, no timer, other icons, a rich-text file).
// Arguments: key=value pairs separated by '|': title, text, x, y, icon, close, auto, h, w, font,
// rtf. Positions and sizes are twips, as SetBalloon takes them.
#include <windows.h>

#include <string>

#include "balloon/frmTip.h"
#include "win32/system.h"

namespace {

balloon::BalloonSpec ParseSpec(std::wstring_view args) {
  balloon::BalloonSpec spec;
  while (!args.empty()) {
    const auto end = std::min(args.find(L'|'), args.size());
    const auto pair = args.substr(0, end);
    args.remove_prefix(std::min(end + 1, args.size()));
    const auto eq = pair.find(L'=');
    if (eq == std::wstring_view::npos) continue;
    const auto key = pair.substr(0, eq);
    const std::wstring value(pair.substr(eq + 1));
    if (key == L"title") spec.sTitle = value;
    if (key == L"text") spec.sText = value;
    if (key == L"x") spec.lPosX = std::stoi(value);
    if (key == L"y") spec.lPosY = std::stoi(value);
    if (key == L"icon") spec.sIcon = value;
    if (key == L"close") spec.bShowClose = value == L"1";
    if (key == L"auto") spec.lAutoCloseAfter = std::stoi(value);
    if (key == L"h") spec.lHeight = std::stoi(value);
    if (key == L"w") spec.lWidth = std::stoi(value);
    if (key == L"font") spec.sFont = value;
    if (key == L"rtf") spec.sRTFFilename = value;
  }
  return spec;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  auto tip = frmTip::Load();
  tip->SetBalloon(ParseSpec(args));
  frmTip::Show(std::move(tip));
  win32::MessageLoop();
  return 0;
}
