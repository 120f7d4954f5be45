#include "frontend/modMain.h"

#include <algorithm>
#include <array>
#include <exception>

namespace modMain {
namespace {

constexpr std::array<CommandAction, 5> kActions{{
    {L"/register", L" /s", L"", L" has been registered.", L"DllRegisterServer", L"/RegServer",
     false, L"registered"},
    {L"/unregister", L" /s /u", L"", L" has been unregistered.", L"DllUnregisterServer",
     L"/UnregServer", true, L"unregistered"},
    {L"/installonly", L" /s /i /n", L"DllInstall has been run on ", L".", L"DllInstall", L"", false,
     L"installed"},
    {L"/install", L" /s /i", L"DllInstall and DllRegisterServer has been run on ", L".",
     L"DllRegisterServer or DllInstall", L"", false, L"installed"},
    {L"/uninstall", L" /s /i /u", L"DllUninstall has been run on ", L".",
     L"DllInstall or DllUnregisterServer", L"", true, L"uninstalled"},
}};

constexpr wchar_t kQuote = L'"';
constexpr std::wstring_view kTypeLibraryRegister = L"/typelib-register";
constexpr std::wstring_view kTypeLibraryUnregister = L"/typelib-unregister";
constexpr std::wstring_view kLineBreak = L"\r\n";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Lines 2 to 6 of the usage text, each preceded by a line break.
std::wstring SwitchLines() {
  static constexpr std::wstring_view kLines[] = {
      L"\"/register <path>\": Registers a file.",
      L"\"/unregister <path>\": Unregisters a file.",
      L"\"/install <path>\" (advanced): Runs DllInstall on the file.",
      L"\"/uninstall <path>\" (advanced): Runs DllUninstall on the file.",
      L"\"/installonly <path>\" (advanced): Runs DllInstall on the file but doesn't register it.",
  };
  std::wstring text;
  for (auto line : kLines) {
    text += kLineBreak;
    text += line;
  }
  return text;
}

// TEXT without the blanks and tabs at its two ends.
std::wstring_view Trimmed(std::wstring_view text) {
  const auto first = text.find_first_not_of(L" \t");
  if (first == std::wstring_view::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// The path without the quotes that may stand at its two ends.
std::wstring_view Unquoted(std::wstring_view path) {
  if (!path.empty() && path.front() == kQuote) path.remove_prefix(1);
  if (!path.empty() && path.back() == kQuote) path.remove_suffix(1);
  return path;
}

std::wstring ExitCodeText(std::uint32_t code) {
  // Small codes read best in decimal; crash statuses are known by their hex form.
  if (code < 0x10000) return std::to_wstring(code);
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring text = L"0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kHex[(code >> shift) & 0xF];
  return text;
}

std::wstring TimeoutText(std::wstring_view consequence = {}) {
  return L" within " + std::to_wstring(kToolTimeoutMs / 1000) + L" seconds" +
         std::wstring(consequence) + L"; the outcome is unknown.";
}

// Whether PATH names a file of this extension, as Windows opens it: trailing dots and blanks
// of a name are dropped, and case does not matter.
bool HasExtension(std::wstring_view path, std::wstring_view extension) {
  const auto end = path.find_last_not_of(L". ");
  path = path.substr(0, end == std::wstring_view::npos ? 0 : end + 1);
  if (path.size() < extension.size()) return false;
  const auto tail = path.substr(path.size() - extension.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const wchar_t c = tail[i] >= L'A' && tail[i] <= L'Z' ? tail[i] + (L'a' - L'A') : tail[i];
    if (c != extension[i]) return false;
  }
  return true;
}

// Words for the exceptions that end a loader which trips over a damaged file.
std::wstring_view LoaderFailureWords(std::uint32_t code) {
  switch (code) {
    case 0x80000003:  // a breakpoint, Wine's way of giving up on a type library
    case 0xC0000005:
    case 0xC00000FD:
    case 0xC0000409:
      return L"the loader failed on it, so it may be damaged.";
    default:
      return L"";
  }
}

// Words the system may lack for the type-library errors met most often.
std::wstring_view LibraryErrorWords(std::uint32_t code) {
  switch (code) {
    case 0x80029C4A:
      return L"Error loading type library/DLL.";
    case 0x8002801D:
      return L"Library not registered.";
    case 0x8002801C:
      return L"Error accessing the OLE registry.";
    case 0x80028019:
      return L"Old format or invalid type library.";
    default:
      return L"";
  }
}

// BEFORE + NAME + AFTER, with NAME cut to what the balloon's two lines leave of room beside the
// message's own words, so that those stay in sight.
std::wstring WithName(std::wstring_view before, const std::wstring& name, std::wstring_view after) {
  constexpr std::size_t kLineRoom = 96, kLeastNameRoom = 24;
  const std::size_t words = before.size() + after.size();
  const std::size_t room =
      words + kLeastNameRoom >= kLineRoom ? kLeastNameRoom : std::min(kLineRoom - words, kNameRoom);
  return std::wstring(before) + ShownName(name, room) + std::wstring(after);
}

}  // namespace

std::span<const CommandAction> ActionTable() { return kActions; }

std::wstring QuotePath(std::wstring_view path) {
  std::wstring quoted(path);
  if (quoted.empty() || quoted.front() != kQuote) quoted.insert(quoted.begin(), kQuote);
  if (quoted.size() < 2 || quoted.back() != kQuote) quoted.push_back(kQuote);
  return quoted;
}

std::wstring NameOf(std::wstring_view quotedPath) {
  // Windows takes a forward slash for a separator as well.
  const auto lastPiece = quotedPath.substr(quotedPath.find_last_of(L"\\/") + 1);
  return std::wstring(Unquoted(lastPiece));
}

std::wstring ToolCommandLine(const CommandAction& action, const RegistrationRequest& request) {
  return L"RegSvr32 " + request.quotedPath + std::wstring(action.toolSwitches);
}

Handler HandlerFor(const CommandAction& action, std::wstring_view path) {
  if (action.serverSwitch.empty()) return Handler::Tool;
  if (HasExtension(path, L".tlb")) return Handler::TypeLibrary;
  if (HasExtension(path, L".exe")) return Handler::Server;
  return Handler::Tool;
}

std::wstring ServerCommandLine(const CommandAction& action, const std::wstring& fullPath) {
  return QuotePath(fullPath) + L" " + std::wstring(action.serverSwitch);
}

std::wstring TypeLibraryCommandLine(const std::wstring& ownPath, const CommandAction& action,
                                    const std::wstring& fullPath) {
  return QuotePath(ownPath) + L" " +
         std::wstring(action.unregisters ? kTypeLibraryUnregister : kTypeLibraryRegister) + L" " +
         QuotePath(fullPath);
}

std::wstring BalloonMessage(const CommandAction& action, const std::wstring& name) {
  return WithName(action.messageBefore, name, action.messageAfter);
}

std::optional<TypeLibraryWork> TypeLibraryWorkOf(std::wstring_view raw) {
  for (const auto internal : {kTypeLibraryRegister, kTypeLibraryUnregister}) {
    if (!raw.starts_with(internal) || raw.size() <= internal.size() + 1) continue;
    if (raw[internal.size()] != L' ') continue;
    // Only the form the first process writes: a full path of a type library, which the loader
    // takes as it is instead of searching for it.
    const auto inner = Unquoted(raw.substr(internal.size() + 1));
    const bool full =
        (inner.size() > 3 && inner[1] == L':' && inner[2] == L'\\') || inner.starts_with(L"\\\\");
    if (!full || !HasExtension(inner, L".tlb") || inner.find(kQuote) != std::wstring_view::npos) {
      return std::nullopt;
    }
    return TypeLibraryWork{internal == kTypeLibraryUnregister, std::wstring(inner)};
  }
  return std::nullopt;
}

Command ParseCommandLine(std::wstring_view raw) {
  if (raw.empty()) return ShowUsage{};
  for (const auto& action : kActions) {
    const auto length = action.switchText.size();
    if (!raw.starts_with(action.switchText)) continue;
    // "/registered x" is not "/register" of "ed x".
    if (raw.size() > length && !IsBlank(raw[length])) continue;
    // Blanks around the path are no part of it: batch files and loops often leave some.
    const auto path = Trimmed(raw.substr(length));
    const auto inner = Unquoted(path);
    if (inner.find_first_not_of(L" \t") == std::wstring_view::npos) return MissingPath{&action};
    // A quote inside would end the tool's argument early and let the rest pass as switches.
    if (inner.find(kQuote) != std::wstring_view::npos) return QuoteInPath{std::wstring(path)};
    // A path ending in a separator names a folder; a backslash there would also escape the
    // closing quote, and the switches after it with it.
    if (inner.back() == L'\\' || inner.back() == L'/') return SeparatorAtEnd{std::wstring(path)};
    Registration registration{&action, {std::wstring(inner), QuotePath(path), {}}};
    registration.request.name = NameOf(registration.request.quotedPath);
    return registration;
  }
  return UnknownArgument{};
}

std::wstring_view ArgumentsOf(std::wstring_view full) {
  std::size_t i = 0;
  if (!full.empty() && full.front() == kQuote) {
    i = full.find(kQuote, 1);
    i = i == std::wstring_view::npos ? full.size() : i + 1;
  }
  while (i < full.size() && !IsBlank(full[i])) ++i;
  while (i < full.size() && IsBlank(full[i])) ++i;
  return full.substr(i);
}

std::wstring UsageText() { return L"Pellory Commands:" + SwitchLines(); }

std::wstring UnknownArgumentText() {
  return L"You specified an unknown argument. The valid arguments are:" + SwitchLines();
}

std::wstring MissingPathText(const CommandAction& action) {
  return L"You did not specify a file after " + std::wstring(action.switchText) +
         L". The valid arguments are:" + SwitchLines();
}

std::wstring QuoteInPathText(std::wstring_view path) {
  return L"A file path cannot hold a double quote inside it, so nothing was run for:" +
         std::wstring(kLineBreak) + std::wstring(path);
}

std::wstring SeparatorAtEndText(std::wstring_view path) {
  return L"A file path cannot end with a backslash or a slash, so nothing was run for:" +
         std::wstring(kLineBreak) + std::wstring(path);
}

std::wstring ShownName(const std::wstring& name, std::size_t room) {
  if (name.size() <= room) return name;
  // The end holds the extension, which tells the kind of file.
  const std::size_t keepTail = std::min<std::size_t>(12, room / 2);
  const auto isLowSurrogate = [](wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
  // Never between the two halves of a surrogate pair.
  std::size_t head = room - keepTail, tail = name.size() - keepTail;
  if (isLowSurrogate(name[head])) --head;
  if (isLowSurrogate(name[tail])) ++tail;
  return name.substr(0, head) + L"\u2026" + name.substr(tail);
}

std::wstring LaunchFailureText(const std::wstring& program, const std::wstring& error) {
  return program + L" could not be started, so nothing was registered or unregistered." +
         std::wstring(kLineBreak) + std::wstring(kLineBreak) + error;
}

Report DescribeOutcome(const CommandAction& action, const std::wstring& name, const ToolRun& run) {
  const std::wstring entry(action.entryPoints);
  if (run.end == ToolRun::End::TimedOut) {
    return {WithName(L"RegSvr32 did not finish on ", name, TimeoutText()), L"!"};
  }
  switch (run.exitCode) {
    case 0:
      return {BalloonMessage(action, name), L"i"};
    case 1:
      return {WithName(L"RegSvr32 rejected its arguments for ", name, L"."), L"x"};
    case 2:
      return {WithName(L"OLE could not be started, so ", name, L" was not processed."), L"x"};
    case 3:
      return {
          WithName(L"", name, L" could not be loaded (missing, or not a module for this system)."),
          L"x"};
    case 4:
      return {WithName(L"The entry point " + entry + L" was not found in ", name, L"."), L"x"};
    case 5:
      return {WithName(entry + L" in ", name, L" reported a failure."), L"x"};
    default:
      return {WithName(L"RegSvr32 failed on ", name,
                       L" with exit code " + ExitCodeText(run.exitCode) + L"."),
              L"x"};
  }
}

Report DescribeLibraryOutcome(const CommandAction& action, const std::wstring& name,
                              const ToolRun& run, const std::wstring& systemText) {
  if (run.end == ToolRun::End::TimedOut) {
    return {WithName(L"", name, L" did not finish loading" + TimeoutText(L" and was stopped")),
            L"!"};
  }
  if (run.exitCode == 0) return {BalloonMessage(action, name), L"i"};
  // A crash code may share its number with an old HRESULT, so the loader's failure comes first.
  std::wstring why(LoaderFailureWords(run.exitCode));
  if (why.empty()) why = systemText;
  if (why.empty()) why = LibraryErrorWords(run.exitCode);
  if (why.empty()) why = L"error " + ExitCodeText(run.exitCode) + L".";
  const std::wstring_view failed =
      action.unregisters ? L" could not be unregistered: " : L" could not be registered: ";
  return {WithName(L"", name, std::wstring(failed) + why), L"x"};
}

Report DescribeLostRun(const std::wstring& name, const ToolRun& run,
                       const std::wstring& systemText) {
  const std::wstring why =
      systemText.empty() ? L"error " + ExitCodeText(run.error) + L"." : systemText;
  return {
      WithName(L"Waiting for the work on ", name, L" failed, so the outcome is unknown: " + why),
      L"!"};
}

Report DescribeRefusedServer(const std::wstring& name, const ServerCheck& check) {
  if (check.kind == ServerCheck::Kind::Unreadable) {
    return {WithName(L"", name, L" could not be read: " + check.error), L"x"};
  }
  return {WithName(L"", name, L" is not a self-registering server, so it was not started."), L"x"};
}

Report DescribeServerOutcome(const CommandAction& action, const std::wstring& name,
                             const ToolRun& run) {
  if (run.end == ToolRun::End::TimedOut) {
    return {WithName(L"", name, L" did not finish" + TimeoutText()), L"!"};
  }
  if (run.exitCode == 0) return {BalloonMessage(action, name), L"i"};
  const std::wstring_view failed =
      action.unregisters ? L" failed to unregister itself" : L" failed to register itself";
  return {WithName(L"", name,
                   std::wstring(failed) + L" (exit code " + ExitCodeText(run.exitCode) + L")."),
          L"x"};
}

balloon::BalloonSpec MakeBalloonSpec(const Report& report, ScreenTwips screen) {
  balloon::BalloonSpec spec;
  spec.sTitle = L"Pellory";
  spec.sText = report.text;
  // 5000 wide plus a margin of 100; 1000 high, so the bottom edge meets the screen's.
  spec.lPosX = balloon::RoundHalfEven(screen.width - 5100);
  spec.lPosY = balloon::RoundHalfEven(screen.height - 1000);
  spec.sIcon = report.icon;
  spec.bShowClose = true;
  // A failure, or an outcome nobody knows, is the report the user most needs time to read.
  spec.lAutoCloseAfter = report.icon == L"i" ? 2500 : 8000;
  spec.lHeight = 1000;
  spec.lWidth = 5000;
  spec.sFont = L"Tahoma";
  spec.sRTFFilename.clear();
  return spec;
}

namespace {

// Scripts learn the outcome too: the program's own status when it failed.
int StatusOf(const ToolRun& run) {
  if (run.end != ToolRun::End::Exited) return 1;
  return static_cast<int>(run.exitCode);
}

Outcome Tell(Platform& platform, const Report& report, int status) {
  try {
    platform.ShowBalloon(MakeBalloonSpec(report, platform.Screen()));
  } catch (const std::exception&) {
    // The work is done: its outcome is told even when no balloon can be shown.
    platform.ShowBox(report.text, report.icon == L"i" ? BoxIcon::Information : BoxIcon::Error);
    return {false, status};
  }
  return {true, status};
}

// Whether a failure looks like a registry that refused to be written.
bool DeniedAccess(Handler handler, const ToolRun& run) {
  if (run.end != ToolRun::End::Exited) return false;
  // regsvr32 says only that the entry point failed; the others pass on E_ACCESSDENIED or
  // TYPE_E_REGISTRYACCESS.
  if (handler == Handler::Tool) return run.exitCode == 5;
  return run.exitCode == 0x80070005 || run.exitCode == 0x8002801C;
}

// A limited token: the copy with administrator rights does the work and shows the one balloon.
Outcome RunElevated(std::wstring_view rawCommandLine, const Registration& registration,
                    Platform& platform) {
  const Relaunch request{L"runas", platform.OwnPath(), std::wstring(rawCommandLine),
                         platform.CurrentFolder()};
  const Started copy = platform.StartElevated(request);
  if (!copy.child) {
    const StartFailure& failure = copy.failure;
    if (failure.code == kDeclined) {
      const std::wstring why = L" was not " + std::wstring(registration.action->done) +
                               L": administrator rights were not given.";
      return Tell(platform, {WithName(L"", registration.request.name, why), L"x"},
                  static_cast<int>(kDeclined));
    }
    platform.ShowBox(LaunchFailureText(L"Pellory with administrator rights", failure.text),
                     BoxIcon::Error);
    return {false, 1};
  }
  return {false, StatusOf(copy.child->Wait(kNoTimeout))};
}

}  // namespace

Outcome Main(std::wstring_view rawCommandLine, Platform& platform) {
  const Command command = ParseCommandLine(rawCommandLine);
  if (std::holds_alternative<ShowUsage>(command)) {
    platform.ShowBox(UsageText(), BoxIcon::Information);
    return {false, 0};
  }
  if (std::holds_alternative<UnknownArgument>(command)) {
    platform.ShowBox(UnknownArgumentText(), BoxIcon::Information);
    return {false, 1};
  }
  if (const auto* missing = std::get_if<MissingPath>(&command)) {
    platform.ShowBox(MissingPathText(*missing->action), BoxIcon::Information);
    return {false, 1};
  }
  if (const auto* quoted = std::get_if<QuoteInPath>(&command)) {
    platform.ShowBox(QuoteInPathText(quoted->path), BoxIcon::Error);
    return {false, 1};
  }
  if (const auto* backslash = std::get_if<SeparatorAtEnd>(&command)) {
    platform.ShowBox(SeparatorAtEndText(backslash->path), BoxIcon::Error);
    return {false, 1};
  }
  const auto& registration = std::get<Registration>(command);
  const Token token = platform.TokenKind();
  // Only once: under Wine, for one, the copy's token is limited again.
  if (token == Token::Limited && !platform.IsRelaunchedCopy()) {
    return RunElevated(rawCommandLine, registration, platform);
  }
  const auto& action = *registration.action;
  const auto& request = registration.request;
  const std::wstring& name = request.name;
  // Routed by the file the system will open; a path it cannot resolve goes to regsvr32 as typed.
  const auto resolved =
      action.serverSwitch.empty() ? std::nullopt : platform.FullPath(request.path);
  const Handler handler = resolved ? HandlerFor(action, *resolved) : Handler::Tool;
  const std::wstring file = resolved.value_or(request.path);
  if (handler == Handler::Server) {
    // Any other program would take the switch for its own and, likely, open its window.
    const ServerCheck check = platform.CheckServer(file);
    if (check.kind != ServerCheck::Kind::SelfRegistering) {
      return Tell(platform, DescribeRefusedServer(name, check), 1);
    }
  }

  Started started;
  std::wstring program;
  switch (handler) {
    case Handler::Tool:
      program = L"RegSvr32";
      started = platform.StartTool(ToolCommandLine(action, request));
      break;
    case Handler::TypeLibrary: {
      program = L"Pellory's type-library process";
      const std::wstring self = platform.OwnPath();
      started = platform.StartProgram(self, TypeLibraryCommandLine(self, action, file));
      break;
    }
    case Handler::Server:
      program = name;
      started = platform.StartProgram(file, ServerCommandLine(action, file));
      break;
  }
  if (!started.child) {
    platform.ShowBox(LaunchFailureText(program, started.failure.text), BoxIcon::Error);
    return {false, 1};
  }
  // The balloon loads while the work goes on, so the result shows as soon as it ends.
  platform.PrepareBalloon();
  const ToolRun run = started.child->Wait(kToolTimeoutMs);
  // Our own process, whose outcome nobody knows: stopped, so that it changes nothing once the
  // balloon has spoken.
  if (handler == Handler::TypeLibrary && run.end != ToolRun::End::Exited) started.child->Stop();
  Report report;
  if (run.end == ToolRun::End::Failed) {
    report = DescribeLostRun(name, run, platform.SystemText(run.error));
  } else if (handler == Handler::TypeLibrary) {
    const std::wstring systemText =
        run.end == ToolRun::End::Exited ? platform.SystemText(run.exitCode) : std::wstring();
    report = DescribeLibraryOutcome(action, name, run, systemText);
  } else if (handler == Handler::Server) {
    report = DescribeServerOutcome(action, name, run);
  } else {
    report = DescribeOutcome(action, name, run);
  }
  // A standard user learns why; the words of the failure give way to it, for the balloon's room.
  if (token == Token::Standard && DeniedAccess(handler, run)) {
    report.text = WithName(L"", name,
                           L" was not " + std::wstring(action.done) +
                               L" for all users: that needs administrator rights.");
  }
  return Tell(platform, report, StatusOf(run));
}

}  // namespace modMain
