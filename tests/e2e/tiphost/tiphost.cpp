// Test-only host of one balloon like Pellory's that stays until clicked, so that the driver can
// take its time with it. Arguments: [/noclose] [/rtf:FILE] (FILE without blanks) X Y (twips, as
// SetBalloon takes them) and the message. When no form can be made, or SetBalloon or showing it
// fails, it says why in a box and ends with 1. It watches the balloon's calls and ends with the sum
// of what it saw amiss: 2 the balloons' lock without its medium label, 4 the screen-reader alert
// raised inside the lock. While the event kHighContrast exists it says that a high-contrast theme
// is on, which Wine cannot switch on.
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>

#include <cwchar>
#include <string>
#include <thread>
#include <utility>

#include "balloon/frmTip.h"
#include "tests/e2e/imports.h"
#include "win32/system.h"

namespace {

constexpr wchar_t kLock[] = L"Local\\Pellory.BalloonPlaces";
constexpr wchar_t kHighContrast[] = L"Local\\Pellory test high contrast";
int amiss = 0;

template <class F>
F* Watch(const char* name, F* watcher) {
  return reinterpret_cast<F*>(
      e2e::ReplaceImport(GetModuleHandleW(nullptr), name, reinterpret_cast<void (*)()>(watcher)));
}

// Whether another thread could take the lock now.
bool LockHeld() {
  const win32::unique_handle_k lock(OpenMutexW(SYNCHRONIZE, FALSE, kLock));
  DWORD waited = WAIT_FAILED;
  if (lock) std::thread([&] { waited = WaitForSingleObject(lock.get(), 0); }).join();
  return waited == WAIT_TIMEOUT;
}

// A low-integrity process must not even wait on the lock: a medium label, lower processes denied
// writing, reading and executing (7; SYNCHRONIZE is the execute right of a mutex).
bool MediumLabelled() {
  const win32::unique_handle_k lock(OpenMutexW(READ_CONTROL, FALSE, kLock));
  win32::unique_handle<PSECURITY_DESCRIPTOR, &win32::FreeLocal> descriptor;
  PACL sacl = nullptr;
  SYSTEM_MANDATORY_LABEL_ACE* label = nullptr;
  return lock &&
         !GetSecurityInfo(lock.get(), SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr,
                          nullptr, nullptr, &sacl, descriptor.put()) &&
         sacl && GetAce(sacl, 0, reinterpret_cast<void**>(&label)) && label->Mask == 7 &&
         *GetSidSubAuthority(&label->SidStart, 0) == SECURITY_MANDATORY_MEDIUM_RID;
}

decltype(&EnumWindows) enumWindows;
BOOL WINAPI WatchedEnumWindows(WNDENUMPROC proc, LPARAM param) {
  if (LockHeld() && !MediumLabelled()) amiss |= 2;  // the places are read inside the lock
  return enumWindows(proc, param);
}

decltype(&NotifyWinEvent) notifyWinEvent;
void WINAPI WatchedNotifyWinEvent(DWORD event, HWND window, LONG object, LONG child) {
  if (event == EVENT_SYSTEM_ALERT && LockHeld()) amiss |= 4;
  notifyWinEvent(event, window, object, child);
}

decltype(&SystemParametersInfoW) systemParametersInfo;
BOOL WINAPI WatchedSystemParametersInfo(UINT action, UINT number, void* value, UINT ini) {
  const win32::unique_handle_k on(OpenEventW(SYNCHRONIZE, FALSE, kHighContrast));
  if (action != SPI_GETHIGHCONTRAST || !on) return systemParametersInfo(action, number, value, ini);
  static_cast<HIGHCONTRASTW*>(value)->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
  return TRUE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  enumWindows = Watch("EnumWindows", &WatchedEnumWindows);
  notifyWinEvent = Watch("NotifyWinEvent", &WatchedNotifyWinEvent);
  systemParametersInfo = Watch("SystemParametersInfoW", &WatchedSystemParametersInfo);
  wchar_t* text = args;
  const auto option = [&text](const wchar_t* name) {
    const size_t n = std::wcslen(name);
    return std::wcsncmp(text, name, n) == 0 && (text += n, true);
  };
  const bool close = !option(L"/noclose ");
  std::wstring rtf;
  if (option(L"/rtf:")) text += rtf.assign(text, std::wcscspn(text, L" ")).size();
  const int x = std::wcstol(text, &text, 10), y = std::wcstol(text, &text, 10);
  const balloon::BalloonSpec spec{
      L"Pellory", *text ? text + 1 : text, x, y, L"i", close, 0, 1000, 5000, L"Tahoma", rtf};
  auto tip = frmTip::Load();
  auto failed = !tip ? tip.failure() : (*tip)->SetBalloon(spec);
  if (!failed) failed = frmTip::Show(std::move(*tip));
  if (failed) {
    MessageBoxW(nullptr, failed->text.c_str(), L"Pellory", MB_OK);
    return 1;
  }
  win32::MessageLoop();
  return amiss;
}
