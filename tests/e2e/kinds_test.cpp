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

struct Result {
  std::wstring text;
  std::optional<DWORD> status;
};

// Runs Pellory to its balloon, in DIR if given, and closes the balloon.
Result RunToBalloon(const std::wstring& args, const std::wstring& dir = {}) {
  auto pellory = Start(BinDir() + L"\\Pellory.exe", args, dir);
  EXPECT_TRUE(pellory) << "Pellory.exe did not start";
  const HWND balloon = ExpectBalloon(pellory);
  Result result{MessageText(balloon), {}};
  ClickForm(balloon);
  result.status = WaitExit(pellory, 10000);
  return result;
}

// Wine records the library's path in its \\?\ form; Windows in the plain one. Both name it.
std::wstring Plain(std::wstring path) {
  if (path.starts_with(L"\\\\?\\")) path.erase(0, 4);
  return path;
}

TEST(OtherKinds, TypeLibraryRegistersAndUnregisters) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kLibrary.c_str());
  const auto folder = FreshFolder(L"typelib");
  const auto library = CopyServer(L"pellorytest.tlb", folder, L"Shades.TLB");
  const std::wstring platform = sizeof(void*) == 8 ? L"win64" : L"win32";

  auto result = RunToBalloon(L"/register " + library);
  EXPECT_EQ(result.text, L"Shades.TLB has been registered.");
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(DefaultValue(kLibrary + L"\\2.5"), L"Pellory test library");
  const auto path = DefaultValue(kLibrary + L"\\2.5\\0\\" + platform);
  ASSERT_TRUE(path) << "no " << Narrow(platform) << " path under the library's key";
  EXPECT_EQ(Plain(*path), library);

  result = RunToBalloon(L"/unregister \"" + library + L"\"");
  EXPECT_EQ(result.text, L"Shades.TLB has been unregistered.");
  EXPECT_EQ(result.status, 0u);
  EXPECT_FALSE(KeyExists(kLibrary + L"\\2.5"));

  result = RunToBalloon(L"/unregister " + library);
  EXPECT_EQ(result.text, L"Shades.TLB could not be unregistered: Library not registered.");
  EXPECT_EQ(result.status, 0x8002801Du);
}

TEST(OtherKinds, DamagedTypeLibrariesGiveAnErrorBalloon) {
  const auto folder = FreshFolder(L"badlib");
  std::ofstream((folder + L"\\junk.tlb").c_str(), std::ios::binary) << "not a type library";
  auto result = RunToBalloon(L"/register " + folder + L"\\junk.tlb");
  EXPECT_EQ(result.text, L"junk.tlb could not be registered: Error loading type library/DLL.");
  EXPECT_EQ(result.status, 0x80029C4Au);

  // Cut short, it makes Wine's loader give up with a breakpoint: the second process ends and
  // the first still reports, with no crash dialog in between.
  std::ifstream whole((BinDir() + L"\\pellorytest.tlb").c_str(), std::ios::binary);
  std::string head(200, '\0');
  whole.read(head.data(), static_cast<std::streamsize>(head.size()));
  std::ofstream((folder + L"\\cut.tlb").c_str(), std::ios::binary) << head;
  result = RunToBalloon(L"/register " + folder + L"\\cut.tlb");
  EXPECT_TRUE(result.text.starts_with(L"cut.tlb could not be registered: ")) << Narrow(result.text);
  EXPECT_TRUE(result.status && *result.status != 0u);
}

TEST(OtherKinds, SelfRegisteringServerIsStartedWithItsSwitch) {
  const auto folder = FreshFolder(L"localserver");
  const auto server = CopyServer(L"selfreg.exe", folder, L"server.exe");
  // Given by a relative name, it is still started by its full path, and minimized.
  auto result = RunToBalloon(L"/register server.exe", folder);
  EXPECT_EQ(result.text, L"server.exe has been registered.");
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(LogOf(server), (std::vector<std::string>{"\"" + Narrow(server) + "\" /RegServer",
                                                     "show " + std::to_string(SW_SHOWMINIMIZED)}));

  DeleteFileW((server + L".log").c_str());
  result = RunToBalloon(L"/unregister " + server);
  EXPECT_EQ(result.text, L"server.exe has been unregistered.");
  EXPECT_EQ(result.status, 0u);
  ASSERT_FALSE(LogOf(server).empty());
  EXPECT_EQ(LogOf(server)[0], "\"" + Narrow(server) + "\" /UnregServer");

  const auto failing = CopyServer(L"selfreg.exe", folder, L"failing.exe");
  result = RunToBalloon(L"/register " + failing);
  EXPECT_EQ(result.text, L"failing.exe failed to register itself (exit code 7).");
  EXPECT_EQ(result.status, 7u);
}

TEST(OtherKinds, OtherProgramsAreNeverStarted) {
  const auto folder = FreshFolder(L"plainprogram");
  const auto plain = CopyServer(L"plainprogram.exe", folder, L"plain.exe");
  auto result = RunToBalloon(L"/register " + plain);
  EXPECT_EQ(result.text, L"plain.exe is not a self-registering server, so it was not started.");
  EXPECT_EQ(result.status, 1u);

  result = RunToBalloon(L"/unregister " + folder + L"\\missing.exe");
  EXPECT_TRUE(result.text.starts_with(L"missing.exe could not be read: ")) << Narrow(result.text);
  EXPECT_EQ(result.status, 1u);

  // The other switches stay regsvr32's, which loads an exe without running it.
  const auto server = CopyServer(L"selfreg.exe", folder, L"server.exe");
  result = RunToBalloon(L"/install " + server);
  EXPECT_NE(result.status, 0u);
  EXPECT_TRUE(LogOf(plain).empty()) << "a program without the marker was started";
  EXPECT_TRUE(LogOf(server).empty()) << "/install started the program";
}

}  // namespace
