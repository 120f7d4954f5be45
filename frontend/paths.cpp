#include "frontend/paths.h"

namespace paths {
namespace {

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

constexpr std::size_t kMaxPath = 260;

}  // namespace

bool InFolder(std::wstring_view path, std::wstring_view folder) {
  if (folder.empty() || path.size() <= folder.size() || path[folder.size()] != L'\\') return false;
  for (std::size_t i = 0; i < folder.size(); ++i)
    if (Lower(path[i]) != Lower(folder[i])) return false;
  return true;
}

std::wstring Reachable(const std::wstring& path, const Folders& folders) {
  if (folders.wow64 && InFolder(path, folders.system)) {
    return Reachable(folders.windows + L"\\Sysnative" + path.substr(folders.system.size()),
                     {folders.system, folders.windows, false});
  }
  if (path.size() < kMaxPath || path.starts_with(L"\\\\?\\")) return path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

std::wstring ToolFolder(const std::wstring& file, const Folders& folders) {
  if (folders.wow64 && InFolder(file, folders.system)) return folders.windows + L"\\Sysnative";
  return folders.system;
}

std::wstring ThroughSubst(const std::wstring& path, std::wstring_view device) {
  constexpr std::wstring_view kPrefix = L"\\??\\", kUnc = L"UNC\\";
  if (path.size() < 2 || path[1] != L':' || !device.starts_with(kPrefix)) return path;
  device.remove_prefix(kPrefix.size());
  while (device.ends_with(L'\\')) device.remove_suffix(1);
  // A drive for a share stands for its network path, which every account can name.
  const std::wstring target = device.starts_with(kUnc)
                                  ? L"\\\\" + std::wstring(device.substr(kUnc.size()))
                                  : std::wstring(device);
  return target + path.substr(2);
}

}  // namespace paths
