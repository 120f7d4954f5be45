#include "frontend/loaderFiles.h"

#include <windows.h>

#include <span>

#include "win32/handle.h"
#include "win32/system.h"

namespace {

using diagnosis::Opened;

// Whether this is a 32-bit process on 64-bit Windows, and the two machines.
struct Machines {
  std::uint16_t process = 0;  // 0: not under WOW64
  std::uint16_t native = 0;
};

Machines Query() {
  using IsWow64Process2Fn = BOOL WINAPI(HANDLE, USHORT*, USHORT*);
  // Windows 10 1511 and later; older ones tell the processor only.
  if (const auto query = reinterpret_cast<IsWow64Process2Fn*>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")))) {
    USHORT process = 0, native = 0;
    if (query(GetCurrentProcess(), &process, &native)) return {process, native};
  }
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
      return {sizeof(void*) == 4 ? programFile::kI386 : std::uint16_t{0}, programFile::kAmd64};
    case PROCESSOR_ARCHITECTURE_ARM64:
      return {sizeof(void*) == 4 ? programFile::kI386 : std::uint16_t{0}, programFile::kArm64};
    case PROCESSOR_ARCHITECTURE_INTEL:
      return {0, programFile::kI386};
    default:
      return {};
  }
}

const Machines& Here() {
  static const Machines machines = Query();
  return machines;
}

std::wstring Folder(UINT(WINAPI* get)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH];
  const UINT n = get(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(folder, n) : std::wstring();
}

}  // namespace

const paths::Folders& HereFolders() {
  static const paths::Folders folders{win32::SystemFolder(), Folder(GetWindowsDirectoryW),
                                      Here().process != 0};
  return folders;
}

Opened LoaderFiles::Open(const std::wstring& fullPath) {
  const std::wstring path = paths::Reachable(fullPath, HereFolders());
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    switch (error) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND:
      case ERROR_INVALID_NAME:
      case ERROR_INVALID_DRIVE:
        return diagnosis::NotThere{};
      default:
        // A share this account cannot reach is no missing file.
        return win32::FailureOf(error);
    }
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return diagnosis::Folder{};
  // Nobody may write the file while it is mapped: a shrinking file would fault the reading.
  const win32::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !GetFileSizeEx(file.get(), &size)) return win32::LastFailure();
  if (size.QuadPart == 0) return programFile::Problem::Empty;
  if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX / 2) {
    return win32::FailureOf(ERROR_FILE_TOO_LARGE);
  }
  const win32::unique_handle_k mapping(
      CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping) return win32::LastFailure();
  const win32::unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view) return win32::LastFailure();
  const std::span bytes(static_cast<const std::uint8_t*>(view.get()),
                        static_cast<std::size_t>(size.QuadPart));
  return std::visit([](auto&& reading) -> Opened { return std::move(reading); },
                    programFile::Read(bytes));
}

std::vector<std::wstring> LoaderFiles::SearchFolders(std::uint16_t machine) {
  std::vector<std::wstring> folders;
  const std::wstring windows = Folder(GetWindowsDirectoryW);
  const bool native64 =
      Here().native == programFile::kAmd64 || Here().native == programFile::kArm64;
  if (machine == programFile::kI386 && native64) {
    folders.push_back(Folder(GetSystemWow64DirectoryW));
  } else {
    folders.push_back(win32::SystemFolder());
  }
  folders.push_back(windows);
  folders.push_back(win32::GrownText([](wchar_t* folder, DWORD size) {
                      return GetCurrentDirectoryW(size, folder);
                    }).value_or(L""));
  const std::wstring path = win32::GrownText([](wchar_t* text, DWORD size) {
                              return GetEnvironmentVariableW(L"PATH", text, size);
                            }).value_or(L"");
  std::wstring_view list(path);
  while (!list.empty()) {
    const auto end = list.find(L';');
    std::wstring_view folder = list.substr(0, end);
    list = end == std::wstring_view::npos ? std::wstring_view() : list.substr(end + 1);
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') {
      folder = folder.substr(1, folder.size() - 2);
    }
    while (folder.size() > 3 && folder.back() == L'\\') folder.remove_suffix(1);
    if (!folder.empty()) folders.emplace_back(folder);
  }
  for (auto& folder : folders)
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folders;
}

bool LoaderFiles::IsKnownDll(const std::wstring& name) {
  if (!knownDlls_) {
    knownDlls_.emplace();
    win32::unique_hkey key;
    if (win32::SecurityLibrary() &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KnownDLLs", 0,
                      KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS) {
      for (DWORD i = 0; i < 1024; ++i) {
        wchar_t valueName[256], data[MAX_PATH];
        DWORD nameSize = 256, dataSize = sizeof(data), type = 0;
        if (RegEnumValueW(key.get(), i, valueName, &nameSize, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &dataSize) != ERROR_SUCCESS) {
          break;
        }
        if (type != REG_SZ || dataSize < sizeof(wchar_t)) continue;
        std::wstring dll(data, dataSize / sizeof(wchar_t));
        while (!dll.empty() && dll.back() == L'\0') dll.pop_back();
        for (auto& c : dll)
          if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
        knownDlls_->insert(dll);
      }
    }
  }
  return knownDlls_->contains(name);
}

std::uint16_t LoaderFiles::NativeMachine() { return Here().native; }

std::uint16_t LoaderFiles::ToolMachine() {
  return Here().process != 0 ? Here().process : Here().native;
}

bool LoaderFiles::ResolvesRuntimeApiSets() {
  using RtlGetVersionFn = LONG WINAPI(OSVERSIONINFOW*);
  // GetVersionEx answers what the manifest declares; the kernel tells the truth.
  const auto getVersion = reinterpret_cast<RtlGetVersionFn*>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  return getVersion && getVersion(&version) == 0 && version.dwMajorVersion >= 10;
}
