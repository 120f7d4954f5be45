// The Win32 half of the stack of balloons: the lock every Pellory of the session holds while it
// places its balloon, and the places the balloons on the screen take.
#pragma once

#include <windows.h>

#include "balloon/tipDesign.h"
#include "win32/handle.h"

namespace stack {

// Held from reading the places taken until a balloon is shown, so that processes started
// together never pick the same one. A holder that died leaves it abandoned, which is ours then;
// after a hung one the place is chosen all the same, at worst shared. Only the right to wait is
// asked for, which the lock grants every Pellory of the session, elevated or not, and no process
// below medium integrity. While it waits,
// messages other programs send are answered (one that broadcasts must not hang on us); posted
// ones wait, so that nothing happens to the hidden balloon before it is shown.
class PlacesLock {
 public:
  PlacesLock();

 private:
  win32::unique_handle_k mutex_;
  win32::MutexOwnership owned_;
};

// Where the hidden balloon WINDOW goes among the visible windows of class CLASSNAME, of any
// process, in the work area of its monitor: read from the screen, so that nothing a crashed one
// left behind can count.
balloon::Rect PlaceAmongShown(HWND window, const wchar_t* className);

}  // namespace stack
