// Registers the sample server with the system's regsvr32, creates its object through COM, and
// checks that unregistering leaves nothing behind.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "tests/e2e/imports.h"
#include "win32/system.h"

namespace {

constexpr CLSID kClsid = {
    0x1a4b2f75, 0xd296, 0x4c37, {0x86, 0x46, 0xa4, 0xb4, 0x31, 0xae, 0xd9, 0x8c}};
const std::wstring kClsidKey = L"CLSID\\{1A4B2F75-D296-4C37-8646-A4B431AED98C}";

std::wstring ServerPath() {
  const std::wstring path = win32::ModulePath();
  return path.substr(0, path.find_last_of(L'\\') + 1) + L"PellorySample.dll";
}

// Runs regsvr32 with the given switches on the sample and returns its exit code.
DWORD RegSvr32(const std::wstring& switches) {
  std::wstring cmd = L"regsvr32.exe " + switches + L" \"" + ServerPath() + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                      &pi)) {
    ADD_FAILURE() << "cannot start: " << cmd;
    return ~0u;
  }
  const win32::unique_handle_k process(pi.hProcess), thread(pi.hThread);
  if (WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.get(), 1);
    ADD_FAILURE() << "timed out: " << cmd;
    return ~0u;
  }
  DWORD code = ~0u;
  GetExitCodeProcess(process.get(), &code);
  return code;
}

std::optional<std::wstring> ReadString(const std::wstring& key, const wchar_t* name) {
  wchar_t buf[1024];
  DWORD size = sizeof buf;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  return std::wstring(buf);
}

template <class T>
using com_ptr = win32::unique_com<T>;

bool KeyExists(const std::wstring& key) {
  win32::unique_hkey h;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, h.put()) == ERROR_SUCCESS;
}

void ExpectRegistered() {
  auto server = ReadString(kClsidKey + L"\\InprocServer32", nullptr);
  ASSERT_TRUE(server.has_value()) << "no InprocServer32 key";
  EXPECT_EQ(CompareStringOrdinal(server->c_str(), -1, ServerPath().c_str(), -1, TRUE), CSTR_EQUAL)
      << *server;
  EXPECT_EQ(ReadString(kClsidKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  EXPECT_EQ(ReadString(L"Pellory.Sample\\CLSID", nullptr),
            L"{1A4B2F75-D296-4C37-8646-A4B431AED98C}");

  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  CLSID clsid{};
  EXPECT_HRESULT_SUCCEEDED(CLSIDFromProgID(L"Pellory.Sample", &clsid));
  EXPECT_TRUE(IsEqualCLSID(clsid, kClsid));
  {
    void* raw = nullptr;
    EXPECT_HRESULT_SUCCEEDED(
        CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &raw));
    com_ptr<IUnknown> object(static_cast<IUnknown*>(raw));
    EXPECT_TRUE(object);

    // Aggregation is refused rather than silently ignored.
    raw = nullptr;
    EXPECT_HRESULT_SUCCEEDED(
        CoGetClassObject(kClsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, &raw));
    com_ptr<IClassFactory> factory(static_cast<IClassFactory*>(raw));
    if (factory) {
      raw = nullptr;
      EXPECT_EQ(factory->CreateInstance(object.get(), IID_IUnknown, &raw), CLASS_E_NOAGGREGATION);
      EXPECT_EQ(raw, nullptr);
    }
  }
  CoUninitialize();
}

void ExpectUnregistered() {
  EXPECT_FALSE(KeyExists(kClsidKey));
  EXPECT_FALSE(KeyExists(L"Pellory.Sample"));
}

// Registered and unregistered with each pair of switches, DllInstall's too; a second unregister
// finds nothing to remove and still succeeds.
TEST(SampleServer, RegisterCreateUnregister) {
  for (const auto& [in, out] : {std::pair(L"/s", L"/s /u"), std::pair(L"/s /i", L"/s /i /u"),
                                std::pair(L"/s /i /n", L"/s /u")}) {
    ASSERT_EQ(RegSvr32(in), 0u);
    ExpectRegistered();
    ASSERT_EQ(RegSvr32(out), 0u);
    ExpectUnregistered();
  }
  EXPECT_EQ(RegSvr32(L"/s /u"), 0u);
}

int allocationsToFail = 0;
void* Allocate(size_t size) {
  if (allocationsToFail == 0) return std::malloc(size);
  --allocationsToFail;
  return nullptr;
}

// Its callers are C: no exception may leave an entry point.
TEST(SampleServer, OutOfMemoryIsAnErrorCodeNotAnException) {
  const win32::unique_hmodule dll(LoadLibraryW(ServerPath().c_str()));
  ASSERT_TRUE(dll);
  e2e::ReplaceImport(dll.get(), "malloc", reinterpret_cast<void (*)()>(&Allocate));
  for (const char* entry : {"DllRegisterServer", "DllUnregisterServer"}) {
    allocationsToFail = 1;
    const auto call = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void (*)()>(GetProcAddress(dll.get(), entry)));
    EXPECT_EQ(call(), E_OUTOFMEMORY) << entry;
  }
}

}  // namespace

// The programs link with -municode, so the entry is wmain rather than gtest_main's main.
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
