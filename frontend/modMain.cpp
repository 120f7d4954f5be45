#include "frontend/modMain.h"

#include "frontend/paths.h"
#include "frontend/reports.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace modMain {
namespace {

constexpr std::array<CommandAction, 5> kActions{{
    {L"/register",
     L" /s",
     L"",
     L" has been registered.",
     L"DllRegisterServer",
     L"/RegServer",
     false,
     L"registered",
     {L"DllRegisterServer"}},
    {L"/unregister",
     L" /s /u",
     L"",
     L" has been unregistered.",
     L"DllUnregisterServer",
     L"/UnregServer",
     true,
     L"unregistered",
     {L"DllUnregisterServer"}},
    {L"/installonly",
     L" /s /i /n",
     L"DllInstall has been run on ",
     L".",
     L"DllInstall",
     L"",
     false,
     L"installed",
     {L"DllInstall"}},
    {L"/install",
     L" /s /i",
     L"DllInstall and DllRegisterServer has been run on ",
     L".",
     L"DllRegisterServer or DllInstall",
     L"",
     false,
     L"installed",
     {L"DllRegisterServer", L"DllInstall"}},
    {L"/uninstall",
     L" /s /i /u",
     L"DllUninstall has been run on ",
     L".",
     L"DllInstall or DllUnregisterServer",
     L"",
     true,
     L"uninstalled",
     {L"DllInstall", L"DllUnregisterServer"}},
}};

constexpr wchar_t kQuote = L'"';
constexpr std::wstring_view kTypeLibraryRegister = L"/typelib-register";
constexpr std::wstring_view kTypeLibraryUnregister = L"/typelib-unregister";

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

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

}  // namespace

std::span<const CommandAction> ActionTable() { return kActions; }

bool IsFullPath(std::wstring_view path) {
  return (path.size() > 3 && path[1] == L':' && path[2] == L'\\') || path.starts_with(L"\\\\");
}

std::vector<std::wstring_view> CommandAction::Calls() const {
  std::vector<std::wstring_view> entries;
  for (const auto entry : calls)
    if (!entry.empty()) entries.push_back(entry);
  return entries;
}

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

std::wstring ServerCommandLine(const CommandAction& action, const std::wstring& fullPath) {
  return QuotePath(fullPath) + L" " + std::wstring(action.serverSwitch);
}

std::wstring TypeLibraryCommandLine(const std::wstring& ownPath, const CommandAction& action,
                                    const std::wstring& fullPath) {
  return QuotePath(ownPath) + L" " +
         std::wstring(action.unregisters ? kTypeLibraryUnregister : kTypeLibraryRegister) + L" " +
         QuotePath(fullPath);
}

std::optional<TypeLibraryWork> TypeLibraryWorkOf(std::wstring_view raw) {
  for (const auto internal : {kTypeLibraryRegister, kTypeLibraryUnregister}) {
    if (!raw.starts_with(internal) || raw.size() <= internal.size() + 1) continue;
    if (raw[internal.size()] != L' ') continue;
    // Only the form the first process writes: a full path of a type library, which the loader
    // takes as it is instead of searching for it.
    const auto inner = Unquoted(raw.substr(internal.size() + 1));
    if (!IsFullPath(inner) || !HasExtension(inner, L".tlb") ||
        inner.find(kQuote) != std::wstring_view::npos) {
      return std::nullopt;
    }
    return TypeLibraryWork{internal == kTypeLibraryUnregister, std::wstring(inner)};
  }
  return std::nullopt;
}

std::wstring SelectionSwitch(const CommandAction& action) {
  return L"/selection-" + std::wstring(action.switchText.substr(1));
}

std::wstring ListText(std::span<const std::wstring> files) {
  std::wstring text;
  for (const auto& file : files) text += (text.empty() ? L"" : L" ") + QuotePath(file);
  return text;
}

std::optional<std::vector<std::wstring>> ListOf(std::wstring_view text) {
  std::vector<std::wstring> files;
  while (!text.empty()) {
    if (text.front() != kQuote) return std::nullopt;
    const auto close = text.find(kQuote, 1);
    if (close == std::wstring_view::npos) return std::nullopt;
    const auto inner = text.substr(1, close - 1);
    if (!IsFullPath(inner) || inner.back() == L'\\' || inner.back() == L'/') return std::nullopt;
    files.emplace_back(inner);
    text.remove_prefix(close + 1);
    // One blank between two paths, none after the last.
    if (text.empty()) break;
    if (text.size() < 2 || text.front() != L' ') return std::nullopt;
    text.remove_prefix(1);
  }
  if (files.empty()) return std::nullopt;
  return files;
}

std::optional<Selection> SelectionOf(std::wstring_view raw) {
  for (const auto& action : kActions) {
    const std::wstring internal = SelectionSwitch(action) + L" ";
    if (!raw.starts_with(internal)) continue;
    const auto rest = raw.substr(internal.size());
    if (rest.starts_with(L'@')) {
      auto file = ListOf(rest.substr(1));
      if (!file || file->size() != 1) return std::nullopt;
      return Selection{&action, {}, std::move(file->front()), {}};
    }
    auto files = ListOf(rest);
    if (!files) return std::nullopt;
    return Selection{&action, std::move(*files), {}, {}};
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

namespace {

// A registry that refused to be written: E_ACCESSDENIED or TYPE_E_REGISTRYACCESS, as Pellory's
// type-library process and servers pass them on.
constexpr std::uint32_t kDenied[] = {0x80070005, 0x8002801C};
// regsvr32's status when the entry point failed, which is all it says.
constexpr std::uint32_t kToolEntryFailed = 5;
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), as the type-library loader reports a missing file.
constexpr std::uint32_t kFileNotFound = 0x80070002;

// Tried in order; the last takes every file.
constexpr Handler kHandlers[] = {
    {.kind = Handler::Kind::TypeLibrary,
     .extension = L".tlb",
     .program = L"Pellory's type-library process",
     .mustRegisterItself = false,
     .mayBeStopped = true,
     .start =
         [](Platform& platform, const CommandAction& action, const RegistrationRequest&,
            const std::wstring& file) {
           const std::wstring self = platform.OwnPath();
           return platform.StartProgram(self, TypeLibraryCommandLine(self, action, file));
         },
     .timedOutBefore = L"",
     .timedOutAfter = L" did not finish loading",
     .failed = LibraryFailure},
    // Any other program would take the switch for its own and, likely, open its window.
    {.kind = Handler::Kind::Server,
     .extension = L".exe",
     .program = L"",
     .mustRegisterItself = true,
     .mayBeStopped = false,
     .start =
         [](Platform& platform, const CommandAction& action, const RegistrationRequest&,
            const std::wstring& file) {
           return platform.StartProgram(file, ServerCommandLine(action, file));
         },
     .timedOutBefore = L"",
     .timedOutAfter = L" did not finish",
     .failed = ServerFailure},
    // The path as typed: a path the system cannot resolve is the tool's to report.
    {.kind = Handler::Kind::Tool,
     .extension = L"",
     .program = L"RegSvr32",
     .mustRegisterItself = false,
     .mayBeStopped = false,
     .start =
         [](Platform& platform, const CommandAction& action, const RegistrationRequest& request,
            const std::wstring& file) {
           return platform.StartTool(ToolCommandLine(action, request), file);
         },
     .timedOutBefore = L"RegSvr32 did not finish on ",
     .timedOutAfter = L"",
     .failed = ToolFailure},
};

}  // namespace

const Handler& HandlerFor(const CommandAction& action, std::wstring_view path) {
  // Only register and unregister have a way other than regsvr32's.
  const auto takes = [&](const Handler& handler) {
    return handler.extension.empty() ||
           (!action.serverSwitch.empty() && HasExtension(path, handler.extension));
  };
  return *std::find_if(std::begin(kHandlers), std::end(kHandlers), takes);
}

Report Describe(const Handler& handler, const CommandAction& action, const std::wstring& name,
                const ToolRun& run, const std::wstring& systemText) {
  using balloon::IconRole;
  switch (run.end) {
    case ToolRun::End::TimedOut:
      return {TimedOutText(handler.timedOutBefore, name, handler.timedOutAfter, kToolTimeoutMs,
                           handler.mayBeStopped),
              IconRole::Warning};
    case ToolRun::End::Exited:
      break;
  }
  if (run.exitCode == 0) return {BalloonMessage(action, name), IconRole::Information};
  return {handler.failed(action, name, run.exitCode, systemText), IconRole::Error};
}

namespace {

std::optional<diagnosis::Cause> Diagnose(Platform& platform, const CommandAction& action,
                                         const std::wstring& file, bool sureOnly) {
  const auto entries = action.Calls();
  return diagnosis::Diagnose(platform.Loader(), file, entries, sureOnly);
}

// Scripts learn the outcome too: the program's own status when it failed.
int StatusOf(const ToolRun& run) {
  if (run.end != ToolRun::End::Exited) return 1;
  return static_cast<int>(run.exitCode);
}

bool TellOne(Platform& platform, const Report& report) {
  if (platform.ShowBalloon(balloon::MakeBalloonSpec(report.text, report.icon, platform.Screen()))) {
    // The work is done: its outcome is told even when no balloon can be shown.
    platform.ShowBox(report.text, report.icon == balloon::IconRole::Information
                                      ? BoxIcon::Information
                                      : BoxIcon::Error);
    return false;
  }
  return true;
}

Outcome Tell(Platform& platform, const Report& report, int status) {
  return {TellOne(platform, report), status};
}

// Whether a failure looks like a registry that refused to be written.
bool DeniedAccess(const Handler& handler, const ToolRun& run) {
  if (run.end != ToolRun::End::Exited) return false;
  if (handler.kind == Handler::Kind::Tool) return run.exitCode == kToolEntryFailed;
  return std::ranges::find(kDenied, run.exitCode) != std::end(kDenied);
}

// No administrator rights: the copy that has them does the work and shows the balloons. It gets
// full paths, and a mapped drive as its network path, since a program with administrator rights
// does not see the drives the user mapped. SUBJECT names the work in a box; DECLINED is told when
// the user declines.
Outcome RunElevated(Platform& platform, const std::wstring& arguments, const std::wstring& subject,
                    const std::wstring& declined) {
  const Relaunch request{L"runas", platform.OwnPath(), arguments,
                         platform.UniversalPath(platform.CurrentFolder())};
  Started copy = platform.StartElevated(request);
  if (!copy) {
    const win32::Failure& failure = copy.failure();
    if (failure.code == win32::FromWin32(kDeclined)) {
      return Tell(platform, {declined, balloon::IconRole::Error}, static_cast<int>(kDeclined));
    }
    platform.ShowBox(CopyLaunchFailureText(failure.text), BoxIcon::Error);
    return {false, 1};
  }
  const auto run = (*copy)->Wait(kNoTimeout);
  if (!run) {
    // The copy may have told its outcome; this one cannot, and says so rather than nothing.
    platform.ShowBox(CopyWaitFailedText(subject, run.failure().text), BoxIcon::Error);
    return {false, 1};
  }
  return {false, StatusOf(*run)};
}

// What the token allows, and whether to ask for more rights: only once (under Wine, for one, the
// copy's token is limited again). A token that cannot be read asks too: the copy then has what
// rights there are to be had.
struct Rights {
  Token token;
  bool ask;
};
Rights RightsOf(Platform& platform) {
  const auto token = platform.TokenKind();
  return {token.value_or(Token::Full),
          (!token || *token != Token::Full) && !platform.IsRelaunchedCopy()};
}

// A file whose checks passed: who takes it, and the path the system resolves.
struct Ready {
  const Handler* handler;
  std::optional<std::wstring> resolved;
  std::wstring file;
};
// A file's end: its report and exit status; a box when its worker could not be started.
struct Ended {
  Report report;
  int status = 0;
  bool box = false;
};

// What needs no rights is decided before any prompt: the prompt is only for work that runs.
// BEFOREPROMPT: a prompt follows, so a file that surely cannot be registered is refused here.
std::variant<Ready, Ended> Check(Platform& platform, const CommandAction& action,
                                 const RegistrationRequest& request, bool beforePrompt) {
  const std::wstring& name = request.name;
  // Routed by the file the system will open; a path it cannot resolve goes to regsvr32 as typed.
  auto resolved = platform.FullPath(request.path);
  const Handler& handler = HandlerFor(
      action, resolved && !action.serverSwitch.empty() ? std::wstring_view(*resolved) : L"");
  // A name alone is the tool's loader's to find, not the current folder's.
  if (handler.kind == Handler::Kind::Tool &&
      request.path.find_first_of(L"\\/:") == std::wstring::npos) {
    if (auto found = diagnosis::FindByName(platform.Loader(), request.path)) resolved = found;
  }
  std::wstring file = resolved.value_or(request.path);
  if (handler.mustRegisterItself) {
    ServerCheck check = platform.CheckServer(file);
    if (!check || !*check) return Ended{DescribeRefusedServer(name, check), 1};
  }
  // regsvr32 knows no long paths: such a file is refused with its reason, and no prompt for it.
  if (handler.kind == Handler::Kind::Tool && resolved && file.size() > paths::kToolPathRoom &&
      platform.FileExists(file)) {
    return Ended{{PathTooLongText(action, name), balloon::IconRole::Error}, 3};
  }
  if (beforePrompt) {
    if (resolved && handler.kind == Handler::Kind::Tool) {
      if (const auto cause = Diagnose(platform, action, file, true)) {
        return Ended{{ExplainCause(*cause, name), balloon::IconRole::Error},
                     cause->loadFails() ? 3 : 4};
      }
    }
    if (resolved && !platform.FileExists(file)) {
      // As regsvr32 or the type-library loader would have said it, with rights or without.
      const bool tool = handler.kind == Handler::Kind::Tool;
      const ToolRun missing{ToolRun::End::Exited, tool ? 3u : kFileNotFound};
      return Ended{Describe(handler, action, name, missing,
                            tool ? std::wstring() : platform.SystemText(kFileNotFound)),
                   StatusOf(missing)};
    }
  }
  return Ready{&handler, std::move(resolved), std::move(file)};
}

// The work on one file, waited for. PREPARE: the balloon loads while it goes on, so the result
// shows as soon as it ends.
Ended Perform(Platform& platform, const CommandAction& action, const RegistrationRequest& request,
              const Ready& ready, Token token, bool prepare) {
  const Handler& handler = *ready.handler;
  const std::wstring& name = request.name;
  Started started = handler.start(platform, action, request, ready.file);
  if (!started) {
    const std::wstring program = handler.program.empty() ? name : std::wstring(handler.program);
    return {
        {LaunchFailureText(program, started.failure().text), balloon::IconRole::Error}, 1, true};
  }
  if (prepare) platform.PrepareBalloon();
  const auto waited = (*started)->Wait(kToolTimeoutMs);
  if (handler.mayBeStopped && !(waited && waited->end == ToolRun::End::Exited)) (*started)->Stop();
  if (!waited) {
    return {{WaitFailedText(name, waited.failure().text), balloon::IconRole::Warning}, 1};
  }
  const ToolRun& run = *waited;
  const bool exited = run.end == ToolRun::End::Exited;
  const std::wstring systemText =
      exited && run.exitCode != 0 ? platform.SystemText(run.exitCode) : std::wstring();
  Report report = Describe(handler, action, name, run, systemText);
  // The tool's own words stop at "could not be loaded" or "not found"; the reason says more.
  if (handler.kind == Handler::Kind::Tool && ready.resolved && exited &&
      (run.exitCode == 3 || run.exitCode == 4)) {
    if (const auto cause = Diagnose(platform, action, ready.file, false)) {
      report.text = ExplainCause(*cause, name);
      // The copy runs as an administrator, who may not reach a share the user reaches.
      if (cause->kind == diagnosis::Cause::Kind::Unreadable && platform.IsRelaunchedCopy()) {
        report.text = UnreachableText(name, cause->detail);
      }
    }
  }
  // A standard user learns why; the words of the failure give way to it, for the balloon's room.
  if (token == Token::Standard && DeniedAccess(handler, run)) {
    report.text = NeedsAdministratorText(action, name);
  }
  return {report, StatusOf(run)};
}

// Refused by the parser; only a path that never comes from a file manager or from Pellory.
Ended Unusable(const std::wstring& path) {
  return {{UnusablePathText(path), balloon::IconRole::Error}, 1};
}

// An item that no program can load from where it is; a copy in a folder can be.
Ended NotAFile(const CommandAction& action, const std::wstring& name) {
  return {{NotAFileText(action, name), balloon::IconRole::Error}, 1};
}

}  // namespace

Outcome Run(std::wstring_view rawCommandLine, Platform& platform) {
  if (auto selection = SelectionOf(rawCommandLine)) {
    if (selection->listFile.empty())
      return RunSelection(*selection->action, selection->files, platform);
    auto text = platform.LoadList(selection->listFile);
    const auto files = text ? ListOf(*text) : std::nullopt;
    if (!files) {
      platform.ShowBox(UnreadableListText(text), BoxIcon::Error);
      return {false, 1};
    }
    return RunSelection(*selection->action, *files, platform);
  }
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
  const auto& action = *registration.action;
  const auto& request = registration.request;
  const auto [token, ask] = RightsOf(platform);
  const auto checked = Check(platform, action, request, ask);
  if (const auto* refused = std::get_if<Ended>(&checked)) {
    return Tell(platform, refused->report, refused->status);
  }
  if (ask) {
    return RunElevated(platform,
                       std::wstring(action.switchText) + L" " +
                           QuotePath(platform.UniversalPath(std::get<Ready>(checked).file)),
                       request.name, DeclinedText(action, request.name));
  }
  const Ended ended = Perform(platform, action, request, std::get<Ready>(checked), token, true);
  if (ended.box) {
    platform.ShowBox(ended.report.text, BoxIcon::Error);
    return {false, 1};
  }
  return Tell(platform, ended.report, ended.status);
}

Outcome RunSelection(const CommandAction& action, std::span<const std::wstring> paths,
                     Platform& platform, std::span<const std::wstring> notFiles) {
  if (paths.size() == 1 && notFiles.empty()) {
    return Run(std::wstring(action.switchText) + L" " + QuotePath(paths.front()), platform);
  }
  const auto [token, ask] = RightsOf(platform);
  // Failures in the given order; the first one's status is the run's.
  std::vector<Ended> failures;
  for (const auto& name : notFiles) failures.push_back(NotAFile(action, name));
  std::vector<std::pair<RegistrationRequest, Ready>> work;
  for (const auto& path : paths) {
    const Command command =
        ParseCommandLine(std::wstring(action.switchText) + L" " + QuotePath(path));
    const auto* registration = std::get_if<Registration>(&command);
    if (!registration) {
      failures.push_back(Unusable(path));
      continue;
    }
    auto checked = Check(platform, action, registration->request, ask);
    if (auto* refused = std::get_if<Ended>(&checked)) {
      failures.push_back(std::move(*refused));
    } else {
      work.emplace_back(registration->request, std::move(std::get<Ready>(checked)));
    }
  }
  Outcome outcome;
  std::size_t succeeded = 0;
  std::wstring lastName;
  if (ask && !work.empty()) {
    // One prompt for all that remain; the copy tells their outcomes.
    std::vector<std::wstring> files;
    for (const auto& item : work) files.push_back(platform.UniversalPath(item.second.file));
    std::wstring arguments = SelectionSwitch(action) + L" " + ListText(files);
    std::optional<std::wstring> listFile;
    if (arguments.size() > kListLineRoom) {
      auto saved = platform.SaveList(ListText(files));
      if (!saved) {
        platform.ShowBox(UnwrittenListText(saved.failure().text), BoxIcon::Error);
        return {false, 1};
      }
      listFile = *saved;
      arguments = SelectionSwitch(action) + L" @" + QuotePath(*listFile);
    }
    outcome = RunElevated(platform, arguments, FilesText(files.size()),
                          SelectionDeclinedText(action, files.size()));
    if (listFile) platform.RemoveList(*listFile);
  } else {
    for (std::size_t i = 0; i < work.size(); ++i) {
      const auto& [request, ready] = work[i];
      Ended ended = Perform(platform, action, request, ready, token, i + 1 == work.size());
      if (ended.status == 0 && !ended.box) {
        ++succeeded;
        lastName = request.name;
      } else {
        failures.push_back(std::move(ended));
      }
    }
  }
  if (!failures.empty() && outcome.exitStatus == 0) outcome.exitStatus = failures.front().status;
  // One balloon for the successes, one for each failure while the first column holds them, and
  // one that counts the rest.
  if (succeeded == 1) {
    outcome.balloonShown |= TellOne(platform, {BalloonMessage(action, lastName)});
  } else if (succeeded > 1) {
    outcome.balloonShown |= TellOne(platform, {SucceededText(action, succeeded)});
  }
  const std::size_t room = std::max<std::size_t>(platform.BalloonRoom(), 2) - (succeeded ? 1 : 0);
  const std::size_t shown = failures.size() <= room ? failures.size() : room - 1;
  for (std::size_t i = 0; i < shown; ++i)
    outcome.balloonShown |= TellOne(platform, failures[i].report);
  if (shown < failures.size()) {
    const std::size_t rest = failures.size() - shown;
    outcome.balloonShown |=
        TellOne(platform, {OverflowText(action, rest), balloon::IconRole::Error});
  }
  return outcome;
}

}  // namespace modMain
