#include "frontend/modMain.h"
#include "tests/unit/fake_platform.h"

#include <gtest/gtest.h>

#include <vector>

using namespace modMain;

namespace {

Registration AsRegistration(const Command& command) {
  const auto* registration = std::get_if<Registration>(&command);
  if (!registration) throw std::runtime_error("not a registration");
  return *registration;
}

TEST(CommandLine, EachSwitchBuildsItsToolLineAndMessage) {
  struct Case {
    std::wstring_view line, tool, message;
  };
  const Case cases[] = {
      {L"/register C:\\x\\a.ocx", L"RegSvr32 \"C:\\x\\a.ocx\" /s", L"a.ocx has been registered."},
      {L"/unregister C:\\x\\a.ocx", L"RegSvr32 \"C:\\x\\a.ocx\" /s /u",
       L"a.ocx has been unregistered."},
      {L"/install C:\\x\\a.ocx", L"RegSvr32 \"C:\\x\\a.ocx\" /s /i",
       L"DllInstall and DllRegisterServer has been run on a.ocx."},
      {L"/uninstall C:\\x\\a.ocx", L"RegSvr32 \"C:\\x\\a.ocx\" /s /i /u",
       L"DllUninstall has been run on a.ocx."},
      {L"/installonly C:\\x\\a.ocx", L"RegSvr32 \"C:\\x\\a.ocx\" /s /i /n",
       L"DllInstall has been run on a.ocx."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
    const auto r = AsRegistration(ParseCommandLine(c.line));
    EXPECT_EQ(ToolCommandLine(*r.action, r.request), c.tool);
    EXPECT_EQ(BalloonMessage(*r.action, r.request.name), c.message);
  }
}

TEST(CommandLine, PathsAreQuotedOnceAndNameHoldsNoQuote) {
  struct Case {
    std::wstring_view line, quoted, name;
  };
  const Case cases[] = {
      {L"/register \"C:\\Program Files\\x\\a b.dll\"", L"\"C:\\Program Files\\x\\a b.dll\"",
       L"a b.dll"},
      {L"/register \"C:\\x\\a.dll", L"\"C:\\x\\a.dll\"", L"a.dll"},
      {L"/register a.dll", L"\"a.dll\"", L"a.dll"},
      {L"/register \"a.dll\"", L"\"a.dll\"", L"a.dll"},
      {L"/register \\\\server\\share\\b.ocx", L"\"\\\\server\\share\\b.ocx\"", L"b.ocx"},
      {L"/register C:/x/c.dll", L"\"C:/x/c.dll\"", L"c.dll"},
      {L"/register C:\\\u00e9t\u00e9\\\u00fc.dll", L"\"C:\\\u00e9t\u00e9\\\u00fc.dll\"",
       L"\u00fc.dll"},
      // Blanks and tabs around the path, as batch files leave them, are no part of it; inside
      // its quotes they are.
      {L"/register  C:\\x\\a.dll \t", L"\"C:\\x\\a.dll\"", L"a.dll"},
      {L"/register\t\"C:\\x\\a.dll\" ", L"\"C:\\x\\a.dll\"", L"a.dll"},
      {L"/register \" a.dll \"", L"\" a.dll \"", L" a.dll "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
    const auto r = AsRegistration(ParseCommandLine(c.line));
    EXPECT_EQ(r.request.quotedPath, c.quoted);
    EXPECT_EQ(r.request.name, c.name);
  }
}

TEST(CommandLine, InstallOnlyIsNotTakenForInstall) {
  const auto r = AsRegistration(ParseCommandLine(L"/installonly x.dll"));
  EXPECT_EQ(r.action->switchText, L"/installonly");
  EXPECT_EQ(r.action->toolSwitches, L" /s /i /n");
}

TEST(CommandLine, RefusedLinesLaunchNothing) {
  EXPECT_TRUE(std::holds_alternative<ShowUsage>(ParseCommandLine(L"")));
  for (auto line : {L"/REGISTER x.dll", L"-register x.dll", L"register x.dll", L"/registered x.dll",
                    L"/uninstallx", L" /register x.dll", L"x.dll"}) {
    SCOPED_TRACE(std::wstring_view(line).size());
    EXPECT_TRUE(std::holds_alternative<UnknownArgument>(ParseCommandLine(line)));
  }
  for (auto line : {L"/register", L"/register ", L"/unregister \"\"", L"/install \"",
                    L"/register  \t ", L"/register \" \""}) {
    const auto command = ParseCommandLine(line);
    ASSERT_TRUE(std::holds_alternative<MissingPath>(command));
  }
  EXPECT_EQ(std::get<MissingPath>(ParseCommandLine(L"/uninstall")).action->switchText,
            L"/uninstall");
  for (auto line :
       {L"/register a.dll\" /u \"b", L"/register \"C:\\a\"b.dll\" ", L"/register a\"b.dll"}) {
    const auto command = ParseCommandLine(line);
    ASSERT_TRUE(std::holds_alternative<QuoteInPath>(command));
  }
  EXPECT_EQ(std::get<QuoteInPath>(ParseCommandLine(L"/register \ta.dll\" /u \"b ")).path,
            L"a.dll\" /u \"b");
  // "C:\dir\" would reach the tool as C:\dir" followed by the switches inside one argument.
  for (auto line : {L"/register C:\\dir\\", L"/unregister \"C:\\dir\\\\\"", L"/install \\",
                    L"/register C:/dir/"}) {
    EXPECT_TRUE(std::holds_alternative<SeparatorAtEnd>(ParseCommandLine(line)));
  }
}

TEST(CommandLine, ArgumentsFollowTheProgramName) {
  EXPECT_EQ(ArgumentsOf(L"\"C:\\Program Files\\P\\Pellory.exe\" /register x"), L"/register x");
  EXPECT_EQ(ArgumentsOf(L"Pellory.exe   /register x "), L"/register x ");
  EXPECT_EQ(ArgumentsOf(L"Pellory.exe"), L"");
  EXPECT_EQ(ArgumentsOf(L"\"Pellory.exe\""), L"");
  EXPECT_EQ(ArgumentsOf(L""), L"");
}

TEST(Texts, LongNamesAreCutInTheMiddleKeepingTheirEnd) {
  const std::wstring fits(40, L'n');
  EXPECT_EQ(ShownName(fits), fits);
  const std::wstring name = std::wstring(300, L'n') + L"_library.dll";
  EXPECT_EQ(ShownName(name), std::wstring(28, L'n') + L"\u2026_library.dll");
  EXPECT_EQ(ShownName(name, 24), std::wstring(12, L'n') + L"\u2026_library.dll");
  // A character outside the basic plane is never split.
  const std::wstring pairs = std::wstring(27, L'a') + L"\xD83D\xDE00" + std::wstring(20, L'b') +
                             L"\xD83D\xDE00" + std::wstring(11, L'c');
  EXPECT_EQ(ShownName(pairs), std::wstring(27, L'a') + L"\u2026" + std::wstring(11, L'c'));

  // Long words leave the name less room, so that they stay within the balloon's two lines; the
  // name's end is always shown.
  const auto& install = ActionTable()[3];
  const auto missing =
      Describe(HandlerFor(install, name), install, name, {ToolRun::End::Exited, 4}, L"");
  EXPECT_EQ(missing.text, L"The entry point DllRegisterServer or DllInstall was not found in " +
                              std::wstring(18, L'n') + L"\u2026_library.dll.");
  const auto unreadable =
      DescribeRefusedServer(name, {ServerCheck::Kind::Unreadable, std::wstring(90, L'w')});
  EXPECT_EQ(unreadable.text, std::wstring(12, L'n') + L"\u2026_library.dll could not be read: " +
                                 std::wstring(90, L'w'));
  EXPECT_EQ(BalloonMessage(ActionTable()[0], name), ShownName(name) + L" has been registered.");
}

TEST(Texts, UsageAndUnknownArgumentBoxes) {
  const std::wstring lines =
      L"\r\n\"/register <path>\": Registers a file."
      L"\r\n\"/unregister <path>\": Unregisters a file."
      L"\r\n\"/install <path>\" (advanced): Runs DllInstall on the file."
      L"\r\n\"/uninstall <path>\" (advanced): Runs DllUninstall on the file."
      L"\r\n\"/installonly <path>\" (advanced): Runs DllInstall on the file but doesn't "
      L"register it.";
  EXPECT_EQ(UsageText(), L"Pellory Commands:" + lines);
  EXPECT_EQ(UnknownArgumentText(),
            L"You specified an unknown argument. The valid arguments are:" + lines);
}

TEST(Outcome, ExitCodesAreReportedInPlainWords) {
  const auto& reg = ActionTable()[0];
  const auto& inst = ActionTable()[3];
  using End = ToolRun::End;
  using enum balloon::IconRole;
  struct Case {
    const CommandAction& action;
    ToolRun run;
    std::wstring_view text;
    balloon::IconRole icon;
  };
  const Case cases[] = {
      {reg, {End::Exited, 0}, L"a.dll has been registered.", Information},
      {reg, {End::Exited, 1}, L"RegSvr32 rejected its arguments for a.dll.", Error},
      {reg, {End::Exited, 2}, L"OLE could not be started, so a.dll was not processed.", Error},
      {reg,
       {End::Exited, 3},
       L"a.dll could not be loaded (missing, or not a module for this system).",
       Error},
      {reg, {End::Exited, 4}, L"The entry point DllRegisterServer was not found in a.dll.", Error},
      {inst,
       {End::Exited, 5},
       L"DllRegisterServer or DllInstall in a.dll reported a failure.",
       Error},
      {reg, {End::Exited, 7}, L"RegSvr32 failed on a.dll with exit code 7.", Error},
      {reg,
       {End::Exited, 0xC0000005},
       L"RegSvr32 failed on a.dll with exit code 0xC0000005.",
       Error},
      {reg,
       {End::TimedOut, 0},
       L"RegSvr32 did not finish on a.dll within 30 seconds; the outcome is unknown.",
       Warning},
  };
  for (const auto& c : cases) {
    const auto report = Describe(HandlerFor(c.action, L"a.dll"), c.action, L"a.dll", c.run, L"");
    EXPECT_EQ(report.text, c.text);
    EXPECT_EQ(report.icon, c.icon);
  }
}

TEST(Outcome, BalloonSpecSitsOnTheBottomRight) {
  using balloon::IconRole;
  const auto spec = MakeBalloonSpec({L"m", IconRole::Information}, {1024 * 15.0, 768 * 15.0});
  EXPECT_EQ(spec.sTitle, L"Pellory");
  EXPECT_EQ(spec.sText, L"m");
  EXPECT_EQ(spec.lPosX, 15360 - 5100);
  EXPECT_EQ(spec.lPosY, 11520 - 1000);
  EXPECT_EQ(spec.sIcon, L"i");
  EXPECT_TRUE(spec.bShowClose);
  EXPECT_EQ(spec.lAutoCloseAfter, 2500);
  // Failures and unknown outcomes stay longer, to be read.
  for (const auto icon : {IconRole::Error, IconRole::Warning})
    EXPECT_EQ(MakeBalloonSpec({L"m", icon}, {}).lAutoCloseAfter, 8000);
  EXPECT_EQ(spec.lHeight, 1000);
  EXPECT_EQ(spec.lWidth, 5000);
  EXPECT_EQ(spec.sFont, L"Tahoma");
  EXPECT_EQ(spec.sRTFFilename, L"");
  // At 120 DPI twips per pixel are 12, and whole twips are passed on.
  const auto hi = MakeBalloonSpec({L"m", IconRole::Information}, {1366 * 12.0, 768 * 12.0});
  EXPECT_EQ(hi.lPosX, 16392 - 5100);
}

TEST(StartUp, BadLinesShowOneBoxAndLaunchNothing) {
  struct Case {
    std::wstring_view line;
    BoxIcon icon;
    int status;
    std::wstring_view starts;
  };
  const Case cases[] = {
      {L"", BoxIcon::Information, 0, L"Pellory Commands:"},
      {L"/REGISTER x.dll", BoxIcon::Information, 1, L"You specified an unknown argument."},
      {L"/register", BoxIcon::Information, 1, L"You did not specify a file after /register."},
      {L"/register a.dll\" /u \"b", BoxIcon::Error, 1, L"A file path cannot hold a double quote"},
      {L"/register C:\\dir\\", BoxIcon::Error, 1,
       L"A file path cannot end with a backslash or a slash"},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    platform.token = Token::Limited;  // nor do they ask for administrator rights
    const auto outcome = modMain::Run(c.line, platform);
    EXPECT_FALSE(outcome.balloonShown);
    EXPECT_EQ(outcome.exitStatus, c.status);
    EXPECT_TRUE(platform.calls.empty()) << "something was launched";
    EXPECT_TRUE(platform.balloons.empty());
    ASSERT_EQ(platform.boxes.size(), 1u);
    EXPECT_EQ(platform.boxes[0].icon, c.icon);
    EXPECT_TRUE(platform.boxes[0].text.starts_with(c.starts));
  }
}

TEST(StartUp, RegistrationWaitsForTheToolAndReportsItsOutcome) {
  FakePlatform ok;
  auto outcome = modMain::Run(L"/unregister C:\\x\\a.ocx", ok);
  // The balloon is loaded while the tool runs, and shown only once it has ended.
  const std::vector<std::wstring> expected{L"start RegSvr32 \"C:\\x\\a.ocx\" /s /u", L"prepare",
                                           L"wait 30000"};
  EXPECT_EQ(ok.calls, expected);
  ASSERT_EQ(ok.balloons.size(), 1u);
  EXPECT_EQ(ok.balloons[0].sText, L"a.ocx has been unregistered.");
  EXPECT_EQ(ok.balloons[0].sIcon, L"i");
  EXPECT_TRUE(outcome.balloonShown);
  EXPECT_EQ(outcome.exitStatus, 0);
  EXPECT_TRUE(ok.boxes.empty());

  FakePlatform failed;
  failed.result = {ToolRun::End::Exited, 5};
  outcome = modMain::Run(L"/register a.dll", failed);
  ASSERT_EQ(failed.balloons.size(), 1u);
  EXPECT_EQ(failed.balloons[0].sIcon, L"x");
  EXPECT_EQ(outcome.exitStatus, 5);

  FakePlatform hung;
  hung.result = {ToolRun::End::TimedOut, 0};
  outcome = modMain::Run(L"/register a.dll", hung);
  ASSERT_EQ(hung.balloons.size(), 1u);
  EXPECT_EQ(hung.balloons[0].sIcon, L"!");
  EXPECT_EQ(outcome.exitStatus, 1);

  // No balloon to be had: the outcome still reaches the user, in a box.
  FakePlatform noBalloon;
  noBalloon.result = {ToolRun::End::Exited, 4};
  noBalloon.balloonFails = true;
  outcome = modMain::Run(L"/register a.dll", noBalloon);
  EXPECT_FALSE(outcome.balloonShown);
  EXPECT_EQ(outcome.exitStatus, 4);
  ASSERT_EQ(noBalloon.boxes.size(), 1u);
  EXPECT_EQ(noBalloon.boxes[0].text, L"The entry point DllRegisterServer was not found in a.dll.");
  EXPECT_EQ(noBalloon.boxes[0].icon, BoxIcon::Error);

  FakePlatform missing;
  missing.startError = L"C:\\windows\\system32\\regsvr32.exe: gone";
  outcome = modMain::Run(L"/register a.dll", missing);
  EXPECT_FALSE(outcome.balloonShown);
  EXPECT_TRUE(missing.balloons.empty());
  EXPECT_EQ(missing.calls.size(), 1u) << "waited for a tool that never started";
  ASSERT_EQ(missing.boxes.size(), 1u);
  EXPECT_EQ(missing.boxes[0].icon, BoxIcon::Error);
  EXPECT_NE(missing.boxes[0].text.find(L"regsvr32.exe: gone"), std::wstring::npos);
}

TEST(StartUp, OnlyALimitedTokenAsksOnceForACopyWithAdministratorRights) {
  using End = ToolRun::End;
  struct Case {
    Token token;
    std::wstring_view line;
    ToolRun run;
    std::wstring told;
    std::uint32_t status;
    std::optional<StartFailure> startFailure = {};
    bool copy = false;
  };
  const std::wstring failed = L"DllRegisterServer in a.ocx reported a failure.";
  const std::wstring_view needs = L" for all users: that needs administrator rights.";
  const std::wstring hint = L"a.ocx was not registered" + std::wstring(needs);
  const Case cases[] = {
      // The copy tells the outcome; the first one passes its status on.
      {Token::Limited, L"/register  C:\\x\\a b.ocx ", {End::Exited, 5}, L"", 5},
      {Token::Limited, L"/register a.ocx", {End::Exited, 5}, failed, 5, {}, true},
      {Token::Full, L"/register a.ocx", {End::Exited, 5}, failed, 5},
      {Token::Standard, L"/register a.ocx", {End::Exited, 5}, hint, 5},
      {Token::Standard,
       L"/register a.ocx",
       {End::Exited, 4},
       L"The entry point DllRegisterServer was not found in a.ocx.",
       4},
      {Token::Standard,
       L"/unregister a.tlb",
       {End::Exited, 0x8002801C},
       L"a.tlb was not unregistered" + std::wstring(needs),
       0x8002801C},
      {Token::Standard,
       L"/register s.exe",
       {End::Exited, 0x80070005},
       L"s.exe was not registered" + std::wstring(needs),
       0x80070005},
      {Token::Limited,
       L"/uninstall a.ocx",
       {},
       L"a.ocx was not uninstalled: administrator rights were not given.",
       kDeclined,
       StartFailure{kDeclined, L"Cancelled."}},
      {Token::Limited,
       L"/register a.ocx",
       {},
       L"Pellory with administrator rights could not be started, so nothing was registered or "
       L"unregistered.\r\n\r\nNot found.",
       1,
       StartFailure{2, L"Not found."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
    FakePlatform platform;
    platform.token = c.token;
    platform.relaunchedCopy = c.copy;
    platform.result = c.run;
    platform.elevateError = c.startFailure;
    const auto outcome = modMain::Run(c.line, platform);
    // Exactly the text it was given, in the same folder; then only the wait, however long.
    std::vector<std::wstring> relaunch{L"elevate runas C:\\P\\Pellory.exe [" +
                                       std::wstring(c.line) + L"] in C:\\cwd"};
    if (!c.startFailure) relaunch.push_back(L"wait " + std::to_wstring(kNoTimeout));
    EXPECT_EQ(platform.calls == relaunch, c.token == Token::Limited && !c.copy);
    std::wstring told;
    for (const auto& balloon : platform.balloons) told += balloon.sText + balloon.sIcon;
    for (const auto& box : platform.boxes) told += box.text;
    EXPECT_EQ(told, c.told + (platform.balloons.empty() ? L"" : L"x"));
    EXPECT_EQ(outcome.exitStatus, static_cast<int>(c.status));
  }
}

TEST(OtherKinds, OnlyRegisterAndUnregisterOfTypeLibrariesAndProgramsBypassTheTool) {
  using Kind = Handler::Kind;
  struct Case {
    std::wstring_view line;
    Kind kind;
  };
  const Case cases[] = {
      {L"/register C:\\x\\a.tlb", Kind::TypeLibrary},
      {L"/unregister \"C:\\x\\A.TLB\"", Kind::TypeLibrary},
      {L"/register C:\\x\\s.Exe", Kind::Server},
      // Windows opens s.exe for this name.
      {L"/unregister \"C:\\x\\s.exe. \"", Kind::Server},
      {L"/install C:\\x\\a.tlb", Kind::Tool},
      {L"/uninstall C:\\x\\s.exe", Kind::Tool},
      {L"/installonly C:\\x\\s.exe", Kind::Tool},
      {L"/register C:\\x\\a.tlb.dll", Kind::Tool},
      {L"/register C:\\x.exe\\a.ocx", Kind::Tool},
      {L"/register C:\\x\\atlb", Kind::Tool},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.line.begin(), c.line.end()));
    const auto r = AsRegistration(ParseCommandLine(c.line));
    EXPECT_EQ(HandlerFor(*r.action, r.request.path).kind, c.kind);
  }
}

TEST(OtherKinds, TypeLibrariesAreLoadedInASecondPelloryProcess) {
  FakePlatform ok;
  auto outcome = modMain::Run(L"/unregister \"lib\\a.tlb\"", ok);
  const std::vector<std::wstring> calls{
      L"start program C:\\P\\Pellory.exe as \"C:\\P\\Pellory.exe\" /typelib-unregister "
      L"\"C:\\cwd\\lib\\a.tlb\"",
      L"prepare", L"wait 30000"};
  EXPECT_EQ(ok.calls, calls);
  ASSERT_EQ(ok.balloons.size(), 1u);
  EXPECT_EQ(ok.balloons[0].sText, L"a.tlb has been unregistered.");
  EXPECT_EQ(ok.balloons[0].sIcon, L"i");
  EXPECT_EQ(outcome.exitStatus, 0);

  // The second process takes its file and direction from the line the first one writes.
  const auto second = TypeLibraryWorkOf(L"/typelib-register \"C:\\x y\\a.tlb\"");
  ASSERT_TRUE(second.has_value());
  EXPECT_FALSE(second->unregister);
  EXPECT_EQ(second->fullPath, L"C:\\x y\\a.tlb");

  // A loader's crash first (0x80000003 is also an old HRESULT with system words of its own), then
  // the system's words, then ours for the usual errors, then the number.
  struct Case {
    std::wstring_view line;
    ToolRun run;
    std::wstring_view text, icon;
  };
  using End = ToolRun::End;
  const Case cases[] = {
      {L"/register a.tlb",
       {End::Exited, 0x80070005},
       L"a.tlb could not be registered: Access is denied.",
       L"x"},
      {L"/register a.tlb",
       {End::Exited, 0x80029C4A},
       L"a.tlb could not be registered: Error loading type library/DLL.",
       L"x"},
      {L"/unregister a.tlb",
       {End::Exited, 0x8002801D},
       L"a.tlb could not be unregistered: Library not registered.",
       L"x"},
      {L"/register a.tlb",
       {End::Exited, 0x80000003},
       L"a.tlb could not be registered: the loader failed on it, so it may be damaged.",
       L"x"},
      {L"/register a.tlb",
       {End::Exited, 0x80020009},
       L"a.tlb could not be registered: error 0x80020009.",
       L"x"},
      {L"/register a.tlb",
       {End::TimedOut, 0},
       L"a.tlb did not finish loading within 30 seconds and was stopped; the outcome is unknown.",
       L"!"},
      {L"/register a.tlb",
       {End::Failed, 0, 6},
       L"Waiting for the work on a.tlb failed, so the outcome is unknown: The handle is invalid.",
       L"!"},
  };
  for (const auto& c : cases) {
    FakePlatform failed;
    failed.result = c.run;
    outcome = modMain::Run(c.line, failed);
    ASSERT_EQ(failed.balloons.size(), 1u);
    EXPECT_EQ(failed.balloons[0].sText, c.text);
    EXPECT_EQ(failed.balloons[0].sIcon, c.icon);
    EXPECT_EQ(outcome.exitStatus, c.run.end == End::Exited ? static_cast<int>(c.run.exitCode) : 1);
    // A second process that hangs, or is lost track of, is ours to stop; the tool and servers
    // are not.
    EXPECT_EQ(failed.calls.back() == L"stop", c.run.end != End::Exited);
  }

  // Only the line the first process writes is taken for an internal one: a full path of a type
  // library, which the loader cannot go and search for.
  for (const auto line :
       {L"/typelib-register", L"/typelib-register ", L"/typelib-register \"\"",
        L"/typelib-registerx C:\\a.tlb", L"/typelib-register a.tlb", L"/typelib-register C:a.tlb",
        L"/typelib-register C:\\x\\a.dll", L"/typelib-unregister \"C:\\a\"b.tlb\""}) {
    EXPECT_FALSE(TypeLibraryWorkOf(line).has_value());
    EXPECT_TRUE(std::holds_alternative<UnknownArgument>(ParseCommandLine(line)));
  }
  EXPECT_TRUE(TypeLibraryWorkOf(L"/typelib-unregister \\\\server\\share\\a.TLB")->unregister);
}

TEST(OtherKinds, AnUnresolvablePathGoesToTheToolAsTyped) {
  FakePlatform unresolved;
  unresolved.noFullPath = true;
  modMain::Run(L"/register a.exe", unresolved);
  const std::vector<std::wstring> calls{L"start RegSvr32 \"a.exe\" /s", L"prepare", L"wait 30000"};
  EXPECT_EQ(unresolved.calls, calls);
}

TEST(OtherKinds, OnlyAProgramThatRegistersItselfIsStarted) {
  FakePlatform ok;
  auto outcome = modMain::Run(L"/unregister bin\\s.exe", ok);
  const std::vector<std::wstring> calls{
      L"check C:\\cwd\\bin\\s.exe",
      L"start program C:\\cwd\\bin\\s.exe as \"C:\\cwd\\bin\\s.exe\" /UnregServer", L"prepare",
      L"wait 30000"};
  EXPECT_EQ(ok.calls, calls);
  ASSERT_EQ(ok.balloons.size(), 1u);
  EXPECT_EQ(ok.balloons[0].sText, L"s.exe has been unregistered.");
  EXPECT_EQ(outcome.exitStatus, 0);

  struct Case {
    ServerCheck check;
    ToolRun run;
    std::wstring_view text, icon;
    int status;
  };
  using Kind = ServerCheck::Kind;
  const Case cases[] = {
      {{Kind::NotSelfRegistering, {}},
       {},
       L"s.exe is not a self-registering server, so it was not started.",
       L"x",
       1},
      {{Kind::Unreadable, L"Access denied."},
       {},
       L"s.exe could not be read: Access denied.",
       L"x",
       1},
      {{Kind::SelfRegistering, {}},
       {ToolRun::End::Exited, 7},
       L"s.exe failed to register itself (exit code 7).",
       L"x",
       7},
      {{Kind::SelfRegistering, {}},
       {ToolRun::End::TimedOut, 0},
       L"s.exe did not finish within 30 seconds; the outcome is unknown.",
       L"!",
       1},
  };
  for (const auto& c : cases) {
    FakePlatform platform;
    platform.server = c.check;
    platform.result = c.run;
    outcome = modMain::Run(L"/register s.exe", platform);
    EXPECT_EQ(platform.calls.size() > 1, c.check.kind == Kind::SelfRegistering);
    ASSERT_EQ(platform.balloons.size(), 1u);
    EXPECT_EQ(platform.balloons[0].sText, c.text);
    EXPECT_EQ(platform.balloons[0].sIcon, c.icon);
    EXPECT_EQ(outcome.exitStatus, c.status);
  }

  FakePlatform missing;
  missing.startError = L"C:\\cwd\\s.exe: bad image";
  outcome = modMain::Run(L"/register s.exe", missing);
  EXPECT_TRUE(missing.balloons.empty());
  ASSERT_EQ(missing.boxes.size(), 1u);
  EXPECT_TRUE(missing.boxes[0].text.starts_with(L"s.exe could not be started, so nothing was"));
  EXPECT_EQ(outcome.exitStatus, 1);
}

}  // namespace
