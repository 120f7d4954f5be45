#include "frontend/modMain.h"
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
    EXPECT_EQ(platform.calls, Split(c[2], L" | "));
    auto told = Split(c[3], L" | ");
    if (told.size() == 1 && told[0].ends_with(L"...") && platform.told.size() == 1 &&
        platform.told[0].starts_with(told[0].substr(0, told[0].size() - 3))) {
      told = platform.told;
    }
    EXPECT_EQ(platform.told, told);
    EXPECT_EQ(outcome.balloonShown, !told.empty() && !told[0].starts_with(L"box"));
    EXPECT_EQ(outcome.exitStatus, static_cast<int>(std::stoul(c[4], nullptr, 0)));
  }
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
