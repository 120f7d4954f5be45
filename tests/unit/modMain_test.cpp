#include "tests/unit/cases.h"
#include "tests/unit/fake_platform.h"

#include <gtest/gtest.h>

using namespace modMain;

namespace {

TEST(Pellory, EachLineLaunchesWhatItShouldAndTellsTheOutcome) {
  for (const auto& c : Cases("run")) {
    SCOPED_TRACE(testing::Message() << c[0] << " [" << c[1] << "]");
    FakePlatform platform(c[1]);
    const Outcome outcome = modMain::Run(c[0], platform);
    EXPECT_EQ(platform.calls, c[2]);
    auto& told = platform.told;  // one report, of which "..." may end the expected start
    if (c[3].ends_with(L"...") && told.size() == 1)
      told[0] = told[0].substr(0, c[3].size() - 3) + L"...";
    EXPECT_EQ(told, Split(c[3], L" | "));
    EXPECT_EQ(outcome.balloonShown, !c[3].empty() && !c[3].starts_with(L"box"));
    EXPECT_EQ(outcome.exitStatus, static_cast<int>(std::stoul(c[4], nullptr, 0)));
  }
}

// Items of a selection that are no files are told, not run; the file with them still runs.
TEST(Pellory, ASelectionTellsItemsThatAreNoFiles) {
  FakePlatform platform;
  const std::wstring files[] = {L"C:\\x\\a.dll"}, notFiles[] = {L"b.dll"};
  const Outcome outcome = RunSelection(ActionTable().front(), files, platform, notFiles);
  EXPECT_EQ(platform.told, (std::vector<std::wstring>{
                               L"i a.dll has been registered.",
                               L"x b.dll was not registered: it is not a file on a disk; copy it "
                               L"to a folder first."}));
  EXPECT_EQ(outcome.exitStatus, 1);
}

TEST(Pellory, ReadsTheProgramsOwnLines) {
  for (const auto& c : Cases("lines")) {
    const auto work = TypeLibraryWorkOf(c[1]);
    const std::wstring typeLibrary =
        work ? (work->unregister ? L"unregister " : L"register ") + work->fullPath : L"";
    EXPECT_EQ(c[0] == L"arguments" ? std::wstring(ArgumentsOf(c[1])) : typeLibrary, c[2]) << c[1];
  }
}

}  // namespace
