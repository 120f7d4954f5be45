#include "screen.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace e2e {
namespace {

// Wine's own way to run a Unix program from a Windows one; not part of any Windows.
using SpawnFn = LONG(WINAPI*)(char* const argv[], int wait);
using UnixNameFn = char*(CDECL*)(LPCWSTR dosName);

template <class Fn>
Fn WineExport(const wchar_t* module, const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(module), name)));
}

bool RunImport(const std::string& target) {
  static const auto spawn = WineExport<SpawnFn>(L"ntdll.dll", "__wine_unix_spawnvp");
  if (!spawn) return false;
  std::string program = "/usr/bin/import", window = "-window", root = "root", depth = "-depth",
              eight = "8";
  std::string out = target;
  char* const argv[] = {program.data(), window.data(), root.data(), depth.data(),
                        eight.data(),   out.data(),    nullptr};
  return spawn(argv, 1) == 0;
}

std::optional<std::string> UnixPath(const std::wstring& path) {
  static const auto toUnix = WineExport<UnixNameFn>(L"kernel32.dll", "wine_get_unix_file_name");
  if (!toUnix) return std::nullopt;
  char* name = toUnix(path.c_str());
  if (!name) return std::nullopt;
  std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

std::wstring TempFile(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

}  // namespace

Rgb Screenshot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
  const auto* p = &pixels_[(static_cast<size_t>(y) * width_ + x) * 3];
  return {p[0], p[1], p[2]};
}

std::optional<Screenshot> CaptureScreen() {
  const std::wstring file = TempFile(L"pellory-screen.ppm");
  const auto unixFile = UnixPath(file);
  if (!unixFile || !RunImport("ppm:" + *unixFile)) return std::nullopt;
  std::ifstream in(file.c_str(), std::ios::binary);
  std::string magic;
  int width = 0, height = 0, max = 0;
  in >> magic >> width >> height >> max;
  in.get();
  if (magic != "P6" || width <= 0 || height <= 0 || max != 255) return std::nullopt;
  std::vector<std::uint8_t> pixels(static_cast<size_t>(width) * height * 3);
  in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
  if (!in) return std::nullopt;
  return Screenshot(width, height, std::move(pixels));
}

bool SaveScreenPng(const std::wstring& path) {
  const auto unixFile = UnixPath(path);
  return unixFile && RunImport("png:" + *unixFile);
}

bool Near(Rgb a, Rgb b, int tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
         std::abs(a.b - b.b) <= tolerance;
}

std::string Describe(Rgb c) {
  return "(" + std::to_string(c.r) + ", " + std::to_string(c.g) + ", " + std::to_string(c.b) + ")";
}

}  // namespace e2e
