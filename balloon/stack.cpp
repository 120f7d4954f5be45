#include "balloon/stack.h"

#include <iterator>
#include <vector>

#include "balloon/modBalloon.h"
#include "balloon/placement.h"
#include "win32/system.h"

namespace stack {
namespace {

// Shared by every Pellory of the session, either bitness.
constexpr wchar_t kPlacesMutex[] = L"Local\\Pellory.BalloonPlaces";
// A holder needs milliseconds; one that hangs must not keep the outcome from the user.
constexpr DWORD kPlacesWaitMs = 5000;

HANDLE CreatePlacesMutex() {
  // Medium: a sandboxed process at low integrity could otherwise hold it and make every Pellory
  // wait. An elevated one, of any administrator, still opens it.
  win32::SharedObjectSecurity security(win32::SharedObjectSecurity::Label::Medium);
  return CreateMutexExW(security.get(), kPlacesMutex, 0, SYNCHRONIZE);
}

struct Search {
  const wchar_t* className;
  std::vector<balloon::Rect> places;
};

BOOL CALLBACK CollectBalloon(HWND window, LPARAM param) noexcept {
  return win32::Guarded(
      [&] {
        auto& search = *reinterpret_cast<Search*>(param);
        wchar_t cls[64] = {};
        RECT r;
        if (IsWindowVisible(window) &&
            GetClassNameW(window, cls, static_cast<int>(std::size(cls))) &&
            lstrcmpW(cls, search.className) == 0 && GetWindowRect(window, &r)) {
          search.places.push_back(modBalloon::FromRECT(r));
        }
        return TRUE;
      },
      [] { return FALSE; });
}

}  // namespace

balloon::Rect PlaceAmongShown(HWND window, const wchar_t* className) {
  RECT alone;
  GetWindowRect(window, &alone);
  Search search{className, {}};
  EnumWindows(CollectBalloon, reinterpret_cast<LPARAM>(&search));
  // Measured in the work area of the monitor it appears on, clear of the taskbar.
  const auto areas = modBalloon::AreasOf(MonitorFromRect(&alone, MONITOR_DEFAULTTONEAREST));
  return balloon::PlaceBalloon(modBalloon::FromRECT(alone), areas.monitor, areas.work,
                               search.places);
}

PlacesLock::PlacesLock()
    : mutex_(CreatePlacesMutex()),
      owned_(mutex_.get(), mutex_ ? win32::WaitAnswering(mutex_.get(), kPlacesWaitMs, true)
                                  : win32::LastFailure()) {}

}  // namespace stack
