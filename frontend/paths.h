// How a full path reaches the file the user chose, whoever opens it: a 32-bit Pellory on 64-bit
// Windows, a path longer than MAX_PATH, a drive made by SUBST that the elevated copy lacks.
#pragma once

#include <string>
#include <string_view>

namespace paths {

// The folders that decide it: the system folder and the Windows folder, and whether this is a
// 32-bit process on 64-bit Windows, whose view of the system folder is redirected.
struct Folders {
  std::wstring system;
  std::wstring windows;
  bool wow64 = false;
};

// Whether PATH lies in FOLDER, whose case does not matter.
bool InFolder(std::wstring_view path, std::wstring_view folder);

// PATH as this process opens the very file: a path into the redirected system folder through
// its Sysnative alias, one of MAX_PATH or more in its \\?\ form.
std::wstring Reachable(const std::wstring& path, const Folders& folders);

// The folder of the regsvr32 to start on FILE: the 64-bit one for a path into the system folder
// that a 32-bit one would see redirected, else this process's own system folder.
std::wstring ToolFolder(const std::wstring& file, const Folders& folders);

// PATH on a drive made by SUBST as the path it stands for; DEVICE is what the system says the
// drive is ("\??\C:\work" for a substituted one). Any other path as it is.
std::wstring ThroughSubst(const std::wstring& path, std::wstring_view device);

// The longest path regsvr32 can load: it is not aware of long paths.
inline constexpr std::size_t kToolPathRoom = 259;

}  // namespace paths
