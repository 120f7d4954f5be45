// What regsvr32 cannot register, end to end under Wine: type libraries through the system's
// type-library routines, and out-of-process servers that say they register themselves.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "pellory_support.h"
#include "support.h"

namespace {

using namespace e2e;

// The identity compiled into pellorytest.tlb.
const std::wstring kLibrary = L"TypeLib\\{6B1E2C3A-5D4F-4E8B-9A71-2C3D4E5F6A7B}";

// Wine records the library's path in its \\?\ form; Windows in the plain one. Both name it.
std::wstring Plain(std::wstring path) {
  if (path.starts_with(L"\\\\?\\")) path.erase(0, 4);
  return path;
}

TEST(OtherKinds, TypeLibrariesOfEitherPlatformRegisterAndUnregister) {
  for (const std::wstring platform : {L"win32", L"win64"}) {
    SCOPED_TRACE(Narrow(platform));
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kLibrary.c_str());
    const auto folder = FreshFolder(L"type lib " + platform);
    const auto library =
        CopyServer(L"pellorytest-" + platform + L".tlb", folder, L"Shades " + platform + L".TLB");

    // Given by a relative name, it is still registered by its full path.
    auto result = CloseBalloon(StartPellory(L"/register \"Shades " + platform + L".TLB\"", folder));
    EXPECT_EQ(result.text, L"Shades " + platform + L".TLB has been registered.");
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(DefaultValue(kLibrary + L"\\2.5"), L"Pellory test library");
    // The entry follows the library's own platform, whatever Pellory's bitness.
    const auto path = DefaultValue(kLibrary + L"\\2.5\\0\\" + platform);
    ASSERT_TRUE(path) << "no " << Narrow(platform) << " path under the library's key";
    EXPECT_EQ(Plain(*path), library);

    result = CloseBalloon(StartPellory(L"/unregister \"" + library + L"\""));
    EXPECT_EQ(result.text, L"Shades " + platform + L".TLB has been unregistered.");
    EXPECT_EQ(result.status, 0u);
    EXPECT_FALSE(KeyExists(kLibrary + L"\\2.5"));
  }

  const auto folder = FreshFolder(L"type lib again");
  const auto library = CopyServer(L"pellorytest-win32.tlb", folder, L"Shades.tlb");
  const auto result = CloseBalloon(StartPellory(L"/unregister " + library));
  EXPECT_EQ(result.text, L"Shades.tlb could not be unregistered: Library not registered.");
  EXPECT_EQ(result.status, 0x8002801Du);
}

TEST(OtherKinds, DamagedTypeLibrariesGiveAnErrorBalloon) {
  const auto folder = FreshFolder(L"badlib");
  std::ofstream((folder + L"\\junk.tlb").c_str(), std::ios::binary) << "not a type library";
  auto result = CloseBalloon(StartPellory(L"/register " + folder + L"\\junk.tlb"));
  EXPECT_EQ(result.text, L"junk.tlb could not be registered: Error loading type library/DLL.");
  EXPECT_EQ(result.status, 0x80029C4Au);

  // Cut short, it makes Wine's loader give up with a breakpoint: the second process ends and
  // the first still reports, with no crash dialog in between.
  std::ifstream whole((BinDir() + L"\\pellorytest-win32.tlb").c_str(), std::ios::binary);
  std::string head(200, '\0');
  whole.read(head.data(), static_cast<std::streamsize>(head.size()));
  std::ofstream((folder + L"\\cut.tlb").c_str(), std::ios::binary) << head;
  result = CloseBalloon(StartPellory(L"/register " + folder + L"\\cut.tlb"));
  EXPECT_EQ(result.text,
            L"cut.tlb could not be registered: the loader failed on it, so it may be damaged.");
  EXPECT_EQ(result.status, 0x80000003u);
}

TEST(OtherKinds, SelfRegisteringServerIsStartedWithItsSwitch) {
  const auto folder = FreshFolder(L"local server");
  const auto server = CopyServer(L"selfreg.exe", folder, L"my server.exe");
  // Given by a relative name, it is still started by its full path, and minimized.
  auto result = CloseBalloon(StartPellory(L"/register \"my server.exe\"", folder));
  EXPECT_EQ(result.text, L"my server.exe has been registered.");
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(LogOf(server), (std::vector<std::string>{"\"" + Narrow(server) + "\" /RegServer",
                                                     "show " + std::to_string(SW_SHOWMINIMIZED)}));

  // The marker counts in whatever language's table the file lists.
  const auto japanese = CopyServer(L"selfregja.exe", folder, L"japanese.exe");
  result = CloseBalloon(StartPellory(L"/unregister " + japanese));
  EXPECT_EQ(result.text, L"japanese.exe has been unregistered.");
  EXPECT_EQ(result.status, 0u);
  ASSERT_FALSE(LogOf(japanese).empty());
  EXPECT_EQ(LogOf(japanese)[0], "\"" + Narrow(japanese) + "\" /UnregServer");

  const auto failing = CopyServer(L"selfreg.exe", folder, L"failing.exe");
  result = CloseBalloon(StartPellory(L"/register \"" + failing + L"\""));
  EXPECT_EQ(result.text, L"failing.exe failed to register itself (exit code 7).");
  EXPECT_EQ(result.status, 7u);
}

TEST(OtherKinds, OtherProgramsAreNeverStarted) {
  const auto folder = FreshFolder(L"plainprogram");
  const auto plain = CopyServer(L"plainprogram.exe", folder, L"plain.exe");
  auto result = CloseBalloon(StartPellory(L"/register " + plain));
  EXPECT_EQ(result.text, L"plain.exe is not a self-registering server, so it was not started.");
  EXPECT_EQ(result.status, 1u);

  // Nor one without any version information.
  const auto bare = CopyServer(L"planted.exe", folder, L"bare.exe");
  result = CloseBalloon(StartPellory(L"/unregister " + bare));
  EXPECT_EQ(result.text, L"bare.exe is not a self-registering server, so it was not started.");
  EXPECT_EQ(GetFileAttributesW((bare + L".ran").c_str()), INVALID_FILE_ATTRIBUTES);

  result = CloseBalloon(StartPellory(L"/unregister " + folder + L"\\missing.exe"));
  EXPECT_TRUE(result.text.starts_with(L"missing.exe could not be read: ")) << Narrow(result.text);
  EXPECT_EQ(result.status, 1u);

  // The other switches stay regsvr32's, which loads an exe without running it.
  const auto server = CopyServer(L"selfreg.exe", folder, L"server.exe");
  result = CloseBalloon(StartPellory(L"/install " + server));
  EXPECT_NE(result.status, 0u);
  EXPECT_TRUE(LogOf(plain).empty()) << "a program without the marker was started";
  EXPECT_TRUE(LogOf(server).empty()) << "/install started the program";
}

}  // namespace
