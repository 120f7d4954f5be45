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

// Meant for Pellory's second process: a loader that trips over a damaged file ends it, with the
// exception's code as its exit status, instead of stopping at the system's crash dialog.
std::uint32_t RegisterTypeLibrary(const std::wstring& fullPath, bool unregister);
modMain::ServerCheck CheckServer(const std::wstring& fullPath);

}  // namespace comFiles
