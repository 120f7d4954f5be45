// Points one import of a loaded module elsewhere, so that a test can watch or fail the calls a
// module makes to the system.
#pragma once

#include <windows.h>

#include <cstring>
#include <utility>

namespace e2e {

// Replaces MODULE's import of FUNCTION with REPLACEMENT; the function it called before, or
// nullptr when it imports no such function.
inline void (*ReplaceImport(HMODULE module, const char* function, void (*replacement)()))() {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
           base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
       library->Name; ++library) {
    auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; name->u1.AddressOfData; ++name, ++slot) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      const auto* named =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      if (std::strcmp(named->Name, function) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &old);
      return reinterpret_cast<void (*)()>(
          std::exchange(slot->u1.Function, reinterpret_cast<ULONG_PTR>(replacement)));
    }
  }
  return nullptr;
}

}  // namespace e2e
