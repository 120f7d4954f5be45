// Pellory as File Explorer's drop target for its verbs: an out-of-process COM server, started by
// COM with -Embedding, that takes a whole selection in one Drop.
#pragma once

#include <optional>
#include <string_view>

#include "frontend/modMain.h"

namespace dropTarget {

// One class a verb, so that the drop says which action it asks for.
inline constexpr wchar_t kRegisterClass[] = L"{D5DCB7E5-E10E-4255-BEF6-D9E38743244F}";
inline constexpr wchar_t kUnregisterClass[] = L"{CDA53A79-4AE9-46B4-A89A-D3F142BB5D55}";

// Whether COM started this process to serve its classes.
inline bool IsEmbedding(std::wstring_view arguments) {
  return arguments == L"-Embedding" || arguments == L"/Embedding";
}

// Serves both classes until the first Drop, or a minute without one: its action and files.
std::optional<modMain::Selection> Receive();

}  // namespace dropTarget
