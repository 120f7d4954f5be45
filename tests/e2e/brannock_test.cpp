// Brannock against Wine's real registry: what goes, what stays, and that it never speaks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support.h"

namespace {

using Entry = std::pair<std::wstring, std::wstring>;  // key path, and "" or one value of it

const std::vector<std::wstring> kListedKeys = {
    L"ocxfile\\shell\\Register\\command",
    L"ocxfile\\shell\\Unregister\\command",
    L"exefile\\shell\\Register\\command",
    L"exefile\\shell\\Unregister\\command",
    L"tlbfile\\shell\\Register\\command",
    L"tlbfile\\shell\\Unregister\\command",
    L"dllfile\\shell\\Register\\command",
    L"dllfile\\shell\\Unregister\\command",
    L"ocxfile\\shell\\Register",
    L"ocxfile\\shell\\Unregister",
    L"exefile\\shell\\Register",
    L"exefile\\shell\\Unregister",
    L"tlbfile\\shell\\Register",
    L"tlbfile\\shell\\Unregister",
    L"dllfile\\shell\\Register",
    L"dllfile\\shell\\Unregister",
    L"Applications\\Pellory.exe\\shell\\open\\command",
    L"Applications\\Pellory.exe\\shell\\open",
    L"Applications\\Pellory.exe\\shell",
    L"Applications\\Pellory.exe",
};
const std::vector<std::wstring> kTypes = {L"ocxfile", L"exefile", L"tlbfile", L"dllfile"};
// A verb of the file types that is not Brannock's.
const std::wstring kOtherVerb = L"BrannockTestKeep";

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return text;
}

// Every key and value below PATH, key paths in lower case as the registry compares them.
void Snapshot(HKEY parent, const std::wstring& name, const std::wstring& path,
              std::set<Entry>& entries) {
  e2e::UniqueHkey key;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return;
  const std::wstring lowerPath = Lower(path);
  entries.emplace(lowerPath, L"");
  DWORD values = 0, maxName = 0, maxData = 0;
  RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                   &maxName, &maxData, nullptr, nullptr);
  std::vector<wchar_t> valueName(maxName + 1);
  std::vector<BYTE> data(maxData + sizeof(wchar_t));
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameLength = static_cast<DWORD>(valueName.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    ASSERT_EQ(RegEnumValueW(key.get(), i, valueName.data(), &nameLength, nullptr, &type,
                            data.data(), &dataSize),
              ERROR_SUCCESS)
        << path;
    std::wstring value = std::wstring(valueName.data(), nameLength) + L"=";
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), dataSize / sizeof(wchar_t));
      value += text.substr(0, text.find(L'\0'));
    } else {
      value += L"type " + std::to_wstring(type) + L":";
      for (DWORD b = 0; b < dataSize; ++b) value += L" " + std::to_wstring(data[b]);
    }
    entries.emplace(lowerPath, value);
  }
  for (DWORD i = 0;; ++i) {
    wchar_t subName[256];
    DWORD subLength = ARRAYSIZE(subName);
    if (RegEnumKeyExW(key.get(), i, subName, &subLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    const std::wstring sub(subName, subLength);
    Snapshot(key.get(), sub, path + L"\\" + sub, entries);
  }
}

std::set<Entry> Snapshot() {
  std::set<Entry> entries;
  for (const std::wstring& root : kTypes) Snapshot(HKEY_CLASSES_ROOT, root, root, entries);
  Snapshot(HKEY_CLASSES_ROOT, L"Applications", L"Applications", entries);
  return entries;
}

// Names what one set holds and the other lacks, for a readable failure.
std::wstring Missing(const std::set<Entry>& from, const std::set<Entry>& in) {
  std::vector<Entry> missing;
  std::set_difference(from.begin(), from.end(), in.begin(), in.end(), std::back_inserter(missing));
  std::wstring text;
  for (const auto& [path, value] : missing) text += L"\n  " + path + L" " + value;
  return text;
}

class Brannock : public testing::Test {
 protected:
  void SetUp() override {
    program_ = e2e::BinDir() + L"\\Brannock.exe";
    ASSERT_NE(GetFileAttributesW(program_.c_str()), INVALID_FILE_ATTRIBUTES) << program_;
    RemoveTestKeys();
    for (const std::wstring& type : kTypes) {
      for (const std::wstring& path : {type, type + L"\\shell"}) {
        if (!e2e::KeyExists(path)) created_.push_back(path);
      }
    }
    if (!e2e::KeyExists(L"Applications")) created_.push_back(L"Applications");
  }

  void TearDown() override {
    RemoveTestKeys();
    // Deepest first, so that only what this test made goes.
    for (auto path = created_.rbegin(); path != created_.rend(); ++path) {
      RegDeleteTreeW(HKEY_CLASSES_ROOT, path->c_str());
    }
  }

  // What the installer would have made: each verb with its command, the Applications chain.
  static void CreateListedKeys() {
    for (const std::wstring& path : kListedKeys) {
      e2e::CreateKey(path, path.ends_with(L"command") ? L"RegSvr32 \"%1\"" : L"");
    }
  }

  // Runs Brannock once; it must end by itself and show no message box meanwhile.
  void RunSilently() const {
    const e2e::Process run = e2e::Start(program_);
    ASSERT_TRUE(run) << "could not start " << program_;
    if (const HWND box = e2e::WaitForWindow(run, L"#32770", 60000)) {
      wchar_t text[1024] = {};
      GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));
      FAIL() << "a message box appeared: " << std::wstring(text);
    }
    EXPECT_EQ(e2e::WaitExit(run, 0), std::optional<DWORD>(0)) << "did not end within 60 s";
  }

  // Brannock leaves everything but the keys it is expected to delete.
  static void ExpectOnlyGone(const std::set<Entry>& before,
                             const std::vector<std::wstring>& goneKeys) {
    std::set<Entry> expected = before;
    for (const std::wstring& key : goneKeys) {
      EXPECT_FALSE(e2e::KeyExists(key)) << key;
      std::erase_if(expected, [&](const Entry& e) { return e.first == Lower(key); });
    }
    const std::set<Entry> after = Snapshot();
    EXPECT_TRUE(after == expected) << "gone unexpectedly:" << Missing(expected, after)
                                   << "\nstill there:" << Missing(after, expected);
  }

  static void RemoveTestKeys() {
    for (const std::wstring& type : kTypes) {
      for (const std::wstring& verb :
           {std::wstring(L"Register"), std::wstring(L"Unregister"), kOtherVerb}) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (type + L"\\shell\\" + verb).c_str());
      }
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"Applications\\Pellory.exe");
  }

  std::wstring program_;
  std::vector<std::wstring> created_;  // keys this test made that were not there before
};

TEST_F(Brannock, DeletesExactlyTheListedKeysAndASecondRunFindsNothing) {
  ASSERT_NO_FATAL_FAILURE(CreateListedKeys());
  const std::set<Entry> before = Snapshot();

  ASSERT_NO_FATAL_FAILURE(RunSilently());
  ExpectOnlyGone(before, kListedKeys);
  for (const std::wstring& type : kTypes) EXPECT_TRUE(e2e::KeyExists(type + L"\\shell")) << type;
  EXPECT_TRUE(e2e::KeyExists(L"Applications"));

  ASSERT_NO_FATAL_FAILURE(RunSilently());
  ExpectOnlyGone(before, kListedKeys);
}

TEST_F(Brannock, LeavesOtherVerbsAndKeysThatAreNotEmpty) {
  ASSERT_NO_FATAL_FAILURE(CreateListedKeys());
  for (const std::wstring& type : kTypes) {
    e2e::CreateKey(type + L"\\shell\\" + kOtherVerb + L"\\command", L"keep.exe \"%1\"");
    e2e::CreateKey(type + L"\\shell\\" + kOtherVerb, L"Keep");
  }
  // A verb key holding more than its command, and an Applications entry holding more than
  // its shell chain, must stay, though what is listed beneath them goes.
  e2e::CreateKey(L"ocxfile\\shell\\Register\\ddeexec", L"[open]");
  e2e::CreateKey(L"Applications\\Pellory.exe\\SupportedTypes");
  const std::set<Entry> before = Snapshot();

  ASSERT_NO_FATAL_FAILURE(RunSilently());
  std::vector<std::wstring> gone = kListedKeys;
  std::erase(gone, L"ocxfile\\shell\\Register");
  std::erase(gone, L"Applications\\Pellory.exe");
  ExpectOnlyGone(before, gone);
}

}  // namespace
