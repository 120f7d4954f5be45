// How a path reaches the file the user chose from a 32-bit Pellory, by a long path, or through a
// drive that only the user's session has.
#include <gtest/gtest.h>

#include "frontend/paths.h"

namespace {

TEST(Paths, ReachTheFileTheUserChose) {
  const paths::Folders wow64{L"C:\\Windows\\system32", L"C:\\Windows", true};
  paths::Folders native = wow64;
  native.wow64 = false;
  // A 32-bit process sees SysWOW64 behind the system folder's name; Sysnative is the real one.
  EXPECT_EQ(paths::Reachable(L"C:\\WINDOWS\\System32\\x.dll", wow64),
            L"C:\\Windows\\Sysnative\\x.dll");
  EXPECT_EQ(paths::Reachable(L"C:\\Windows\\System32\\x.dll", native),
            L"C:\\Windows\\System32\\x.dll");
  EXPECT_EQ(paths::Reachable(L"C:\\Windows\\System32x\\x.dll", wow64),
            L"C:\\Windows\\System32x\\x.dll");
  EXPECT_EQ(paths::ToolFolder(L"c:\\windows\\system32\\sub\\x.dll", wow64),
            L"C:\\Windows\\Sysnative");
  EXPECT_EQ(paths::ToolFolder(L"C:\\x.dll", wow64), L"C:\\Windows\\system32");
  EXPECT_EQ(paths::ToolFolder(L"C:\\Windows\\System32\\x.dll", native), L"C:\\Windows\\system32");
  // MAX_PATH or more: the \\?\ form, for a share too.
  const std::wstring longName(260, L'x');
  EXPECT_EQ(paths::Reachable(L"C:\\" + longName, native), L"\\\\?\\C:\\" + longName);
  EXPECT_EQ(paths::Reachable(L"\\\\srv\\s\\" + longName, native),
            L"\\\\?\\UNC\\srv\\s\\" + longName);
  EXPECT_EQ(paths::Reachable(L"\\\\?\\C:\\" + longName, native), L"\\\\?\\C:\\" + longName);
  // A drive made by SUBST, which the elevated copy lacks, as what it stands for.
  EXPECT_EQ(paths::ThroughSubst(L"S:\\a.dll", L"\\??\\C:\\work\\"), L"C:\\work\\a.dll");
  EXPECT_EQ(paths::ThroughSubst(L"S:\\a.dll", L"\\??\\UNC\\srv\\share"), L"\\\\srv\\share\\a.dll");
  EXPECT_EQ(paths::ThroughSubst(L"C:\\a.dll", L"\\Device\\HarddiskVolume2"), L"C:\\a.dll");
}

}  // namespace
