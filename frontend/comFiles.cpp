#include "frontend/comFiles.h"

#include <oleauto.h>

#include <memory>
#include <vector>

#include "win32/system.h"

namespace comFiles {
namespace {

using win32::SystemLibrary;

const SystemLibrary& OleAut() {
  static const SystemLibrary library(L"oleaut32.dll");
  return library;
}

const SystemLibrary& Version() {
  static const SystemLibrary library(L"version.dll");
  return library;
}

}  // namespace

std::wstring Explain(std::uint32_t code) {
  std::wstring message = win32::SystemMessage(code);
  if (message.empty()) return L"Error " + std::to_wstring(code) + L".";
  // Some texts name the file as %1, which only the caller could fill in.
  for (auto at = message.find(L"%1"); at != std::wstring::npos; at = message.find(L"%1", at)) {
    message.replace(at, 2, L"the file");
  }
  return message;
}

win32::Status RegisterTypeLibrary(const std::wstring& fullPath, bool unregister) {
  const auto& oleaut = OleAut();
  const auto load = oleaut.Bind<decltype(::LoadTypeLibEx)>("LoadTypeLibEx");
  const auto unregisterLibrary = oleaut.Bind<decltype(::UnRegisterTypeLib)>("UnRegisterTypeLib");
  const auto registeredPath =
      oleaut.Bind<decltype(::QueryPathOfRegTypeLib)>("QueryPathOfRegTypeLib");
  const auto freeString = oleaut.Bind<decltype(::SysFreeString)>("SysFreeString");
  if (!load) return load.failure();
  if (!unregisterLibrary) return unregisterLibrary.failure();
  if (!registeredPath) return registeredPath.failure();
  if (!freeString) return freeString.failure();

  ITypeLib* raw = nullptr;
  HRESULT hr = (*load)(fullPath.c_str(), unregister ? REGKIND_NONE : REGKIND_REGISTER, &raw);
  const win32::unique_com<ITypeLib> library(raw);
  if (FAILED(hr)) return win32::FailureOf(static_cast<std::uint32_t>(hr));
  if (!unregister) return {};

  // Unregistered by the identity the file itself carries.
  TLIBATTR* attributes = nullptr;
  hr = library->GetLibAttr(&attributes);
  if (FAILED(hr)) return win32::FailureOf(static_cast<std::uint32_t>(hr));
  const TLIBATTR identity = *attributes;
  library->ReleaseTLibAttr(attributes);
  hr = (*unregisterLibrary)(identity.guid, identity.wMajorVerNum, identity.wMinorVerNum,
                            identity.lcid, identity.syskind);
  if (SUCCEEDED(hr)) return {};
  // For a library that was never registered Wine answers a bare "parameter is incorrect"; say
  // what is the matter instead.
  BSTR path = nullptr;
  const HRESULT query = (*registeredPath)(identity.guid, identity.wMajorVerNum,
                                          identity.wMinorVerNum, identity.lcid, &path);
  (*freeString)(path);
  return win32::FailureOf(
      static_cast<std::uint32_t>(query == TYPE_E_LIBNOTREGISTERED ? query : hr));
}

modMain::ServerCheck CheckServer(const std::wstring& fullPath) {
  const auto unreadable = [](DWORD error) { return win32::Failure{error, Explain(error)}; };
  const auto& version = Version();
  const auto size = version.Bind<decltype(::GetFileVersionInfoSizeW)>("GetFileVersionInfoSizeW");
  const auto read = version.Bind<decltype(::GetFileVersionInfoW)>("GetFileVersionInfoW");
  const auto query = version.Bind<decltype(::VerQueryValueW)>("VerQueryValueW");
  if (!size) return size.failure();
  if (!read) return read.failure();
  if (!query) return query.failure();

  // Read as data: nothing of the program runs.
  DWORD ignored = 0;
  const DWORD bytes = (*size)(fullPath.c_str(), &ignored);
  if (bytes == 0) {
    const DWORD error = GetLastError();
    // No version information at all is an answer, not a failure to read.
    if (error == ERROR_RESOURCE_DATA_NOT_FOUND || error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
        error == ERROR_RESOURCE_NAME_NOT_FOUND) {
      return false;
    }
    return unreadable(error);
  }
  std::vector<unsigned char> block(bytes);
  if (!(*read)(fullPath.c_str(), 0, bytes, block.data())) {
    return unreadable(GetLastError());
  }

  // The marker may stand in the string table of any language the file lists, or in one of the
  // usual English ones, which some files fail to list.
  std::vector<DWORD> tables;
  void* data = nullptr;
  UINT length = 0;
  if ((*query)(block.data(), L"\\VarFileInfo\\Translation", &data, &length)) {
    const auto* pairs = static_cast<const WORD*>(data);
    for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
      tables.push_back(static_cast<DWORD>(pairs[i]) << 16 | pairs[i + 1]);
    }
  }
  for (const DWORD english : {0x040904B0u, 0x040904E4u, 0x04090000u}) tables.push_back(english);
  for (const DWORD table : tables) {
    std::wstring key = L"\\StringFileInfo\\";
    for (int shift = 28; shift >= 0; shift -= 4) key += L"0123456789ABCDEF"[(table >> shift) & 0xF];
    key += L"\\OLESelfRegister";
    if ((*query)(block.data(), key.c_str(), &data, &length)) return true;
  }
  return false;
}

}  // namespace comFiles
