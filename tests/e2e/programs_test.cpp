// Both programs as files: Windows programs with their manifest, icon and version block.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include "support.h"

namespace {

TEST(Programs, AreWindowsProgramsWithManifestAndVersionBlock) {
  for (const std::wstring name : {L"Pellory", L"Brannock"}) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    const std::wstring program = e2e::BinDir() + L"\\" + name + L".exe";
    // A GUI program reports its subsystem version in the high word; a console one reports 0.
    const DWORD_PTR type = SHGetFileInfoW(program.c_str(), 0, nullptr, 0, SHGFI_EXETYPE);
    EXPECT_EQ(LOWORD(type), IMAGE_NT_SIGNATURE & 0xFFFF);
    EXPECT_NE(HIWORD(type), 0);

    e2e::UniqueHmodule image(LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(image);
    EXPECT_NE(FindResourceW(image.get(), MAKEINTRESOURCEW(1), RT_MANIFEST), nullptr);

    EXPECT_EQ(e2e::FileVersion(program), L"1.0.0.1");
    EXPECT_EQ(e2e::VersionString(program, L"FileVersion"), L"1.00.0001");
    EXPECT_EQ(e2e::VersionString(program, L"ProductVersion"), L"1.00.0001");
    EXPECT_EQ(e2e::VersionString(program, L"ProductName"), name);
    EXPECT_EQ(e2e::VersionString(program, L"InternalName"), name);
    EXPECT_EQ(e2e::VersionString(program, L"OriginalFilename"), name + L".exe");
    EXPECT_TRUE(e2e::VersionString(program, L"FileDescription").has_value());
  }
  // Pellory's own icon comes first, so the file manager shows it.
  e2e::UniqueHmodule pellory(LoadLibraryExW((e2e::BinDir() + L"\\Pellory.exe").c_str(), nullptr,
                                            LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(pellory);
  EXPECT_NE(FindResourceW(pellory.get(), MAKEINTRESOURCEW(1), RT_GROUP_ICON), nullptr);
}

}  // namespace
