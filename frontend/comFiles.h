// The Win32 side of registering what regsvr32 cannot: type libraries and self-registering
// programs. The system DLLs they need are loaded only when such a file comes along, so that
// every other run starts as quickly as before.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "frontend/modMain.h"

namespace comFiles {

// The system's words for a Win32 error code or an HRESULT, for a message box or a report: never
// empty, and with no placeholder left in it.
std::wstring Explain(std::uint32_t code);

// Loads the type library and registers or unregisters it, here and now; a failure's code is the
// HRESULT. Only in Pellory's second process, since a damaged file can make the system's loader
// crash.
win32::Status RegisterTypeLibrary(const std::wstring& fullPath, bool unregister);
modMain::ServerCheck CheckServer(const std::wstring& fullPath);

}  // namespace comFiles
