// A minimal in-process COM server: one class, its factory, and self-registration under
// HKCR\CLSID and the ProgID Pellory.Sample. It shows what registering a real server leaves behind.
#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <atomic>
#include <new>
#include <string>

#include "win32/system.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// {1A4B2F75-D296-4C37-8646-A4B431AED98C}
constexpr CLSID kClsid = {
    0x1a4b2f75, 0xd296, 0x4c37, {0x86, 0x46, 0xa4, 0xb4, 0x31, 0xae, 0xd9, 0x8c}};
constexpr wchar_t kClsidText[] = L"{1A4B2F75-D296-4C37-8646-A4B431AED98C}";
constexpr wchar_t kProgId[] = L"Pellory.Sample";
constexpr wchar_t kFriendlyName[] = L"Pellory Sample Object";

// Live objects plus server locks; the DLL may unload only at zero.
std::atomic<long> g_users{0};

class SampleObject final : public IUnknown {
 public:
  SampleObject() { ++g_users; }
  ~SampleObject() { --g_users; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown)) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// Static lifetime: the factory is never deleted, so its counts only keep the server loaded.
class SampleFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++g_users; }
  STDMETHODIMP_(ULONG) Release() override { return --g_users; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) SampleObject;
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lock ? ++g_users : --g_users;
    return S_OK;
  }
};

SampleFactory g_factory;

std::wstring ModulePath() { return win32::ModulePath(reinterpret_cast<HMODULE>(&__ImageBase)); }

LSTATUS SetString(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
  win32::unique_hkey key;
  LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS DeleteTree(const std::wstring& subkey) {
  LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey.c_str());
  // Already gone is fine: regsvr32 /i /u unregisters twice.
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_users == 0 ? S_OK : S_FALSE; }

// The callers of the entry points are C: no exception may leave them.
STDAPI DllUnregisterServer() try {
  LSTATUS clsid = DeleteTree(std::wstring(L"CLSID\\") + kClsidText);
  LSTATUS progid = DeleteTree(kProgId);
  if (clsid != ERROR_SUCCESS || progid != ERROR_SUCCESS) return SELFREG_E_CLASS;
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
} catch (...) {
  return E_UNEXPECTED;
}

STDAPI DllRegisterServer() try {
  const std::wstring clsid = std::wstring(L"CLSID\\") + kClsidText;
  const std::wstring progid = kProgId;
  const LSTATUS results[] = {
      SetString(clsid, nullptr, kFriendlyName),
      SetString(clsid + L"\\InprocServer32", nullptr, ModulePath()),
      SetString(clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment"),
      SetString(clsid + L"\\ProgID", nullptr, progid),
      SetString(progid, nullptr, kFriendlyName),
      SetString(progid + L"\\CLSID", nullptr, kClsidText),
  };
  for (LSTATUS status : results) {
    if (status != ERROR_SUCCESS) {
      // Leave nothing half-registered behind.
      DllUnregisterServer();
      return SELFREG_E_CLASS;
    }
  }
  return S_OK;
} catch (const std::bad_alloc&) {
  return E_OUTOFMEMORY;
} catch (...) {
  return E_UNEXPECTED;
}

extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL bInstall, LPCWSTR) {
  return bInstall ? DllRegisterServer() : DllUnregisterServer();
}
