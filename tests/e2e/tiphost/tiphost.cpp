// Test-only host of one balloon like Pellory's that stays until clicked, so that the driver can
// take its time with it. Arguments: [/noclose] [/nomemory] [/rtf:FILE] (FILE without blanks) X Y
// (twips, as SetBalloon takes them) and the message; or /design alone: the form as loaded,
// without SetBalloon. When no form can be made, or SetBalloon fails, it says why in a box and
// ends with 1, showing nothing.
// It watches the balloon's calls and ends with the sum of what it saw amiss: 2 the balloons' lock
// without its medium label, 4 the screen-reader alert raised inside the lock, 8 (with /nomemory,
// where the allocation after the first standard accessible object fails) that object still
// held. While the event kHighContrast exists it says that a high-contrast theme is on, which
// Wine cannot switch on.
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <oleacc.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
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
bool failNextNew = false;
IAccessible* firstStandard = nullptr;

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
// reading, writing and executing (SYNCHRONIZE is the execute right of a mutex).
bool MediumLabelled() {
  const win32::unique_handle_k lock(OpenMutexW(READ_CONTROL, FALSE, kLock));
  win32::unique_handle<PSECURITY_DESCRIPTOR, &win32::FreeLocal> descriptor;
  PACL sacl = nullptr;
  void* ace = nullptr;
  BYTE medium[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(medium);
  if (!lock ||
      GetSecurityInfo(lock.get(), SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION, nullptr, nullptr,
                      nullptr, &sacl, descriptor.put()) ||
      !sacl || !GetAce(sacl, 0, &ace) ||
      !CreateWellKnownSid(WinMediumLabelSid, nullptr, medium, &size))
    return false;
  const auto* label = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace);
  return label->Header.AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE &&
         label->Mask == (SYSTEM_MANDATORY_LABEL_NO_WRITE_UP | SYSTEM_MANDATORY_LABEL_NO_READ_UP |
                         SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP) &&
         EqualSid(const_cast<DWORD*>(&label->SidStart), medium);
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

decltype(&CreateStdAccessibleObject) createStandard;
HRESULT WINAPI WatchedCreateStandard(HWND window, LONG object, REFIID iid, void** out) {
  const HRESULT made = createStandard(window, object, iid, out);
  if (SUCCEEDED(made) && !firstStandard) {
    firstStandard = static_cast<IAccessible*>(*out);
    firstStandard->AddRef();
    failNextNew = true;
  }
  return made;
}

decltype(&GetProcAddress) getProcAddress;
FARPROC WINAPI WatchedGetProcAddress(HMODULE module, LPCSTR name) {
  const FARPROC found = getProcAddress(module, name);
  if (!found || IS_INTRESOURCE(name) || std::strcmp(name, "CreateStdAccessibleObject"))
    return found;
  // Through the generic function pointer type, which the compiler accepts as a cast source.
  createStandard = reinterpret_cast<decltype(createStandard)>(reinterpret_cast<void (*)()>(found));
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&WatchedCreateStandard));
}

}  // namespace

// As the default, but the one allocation /nomemory picks fails.
void* operator new(std::size_t size) {
  if (std::exchange(failNextNew, false)) throw std::bad_alloc();
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR args, int) {
  enumWindows = Watch("EnumWindows", &WatchedEnumWindows);
  notifyWinEvent = Watch("NotifyWinEvent", &WatchedNotifyWinEvent);
  systemParametersInfo = Watch("SystemParametersInfoW", &WatchedSystemParametersInfo);
  wchar_t* text = args;
  const auto option = [&text](const wchar_t* name) {
    const size_t n = std::wcslen(name);
    return std::wcsncmp(text, name, n) == 0 && (text += n, true);
  };
  const bool design = option(L"/design"), close = !option(L"/noclose ");
  if (option(L"/nomemory ")) getProcAddress = Watch("GetProcAddress", &WatchedGetProcAddress);
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
  if (firstStandard) {
    firstStandard->AddRef();
    if (firstStandard->Release() > 1) amiss |= 8;
    firstStandard->Release();
  }
  return amiss;
}
