// libFuzzer target over Pellory's command line: parsing, quoting, NAME and the whole start-up
// decision behind a recording platform. Every input must keep the invariants below; a broken
// one aborts with the line that broke it, so that libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/modMain.h"
#include "tests/unit/fake_platform.h"

namespace {

using namespace modMain;

[[noreturn]] void Fail(const char* what, const std::wstring& line) {
  std::fprintf(stderr, "invariant broken: %s\nline (%zu characters): ", what, line.size());
  for (const wchar_t c : line) {
    if (c >= 0x20 && c < 0x7F) {
      std::fputc(static_cast<int>(c), stderr);
    } else {
      std::fprintf(stderr, "\\x{%X}", static_cast<unsigned>(c));
    }
  }
  std::fputc('\n', stderr);
  std::abort();
}

#define CHECK(condition, line) \
  if (!(condition)) Fail(#condition, line)

// Bytes as UTF-16 code units: one byte each, and 0xFF followed by two bytes for any other unit.
// A command line ends at its first zero, so it never holds one.
std::wstring Decode(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) {
    wchar_t c = data[i];
    if (data[i] == 0xFF && i + 2 < size) {
      c = static_cast<wchar_t>(data[i + 1] | data[i + 2] << 8);
      i += 2;
    }
    if (c != 0) text.push_back(c);
  }
  return text;
}

// The arguments a Windows program's C runtime (or CommandLineToArgvW) makes of a command line.
std::vector<std::wstring> SplitArguments(std::wstring_view line) {
  std::vector<std::wstring> args;
  std::size_t i = 0;
  for (;;) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i == line.size()) return args;
    std::wstring arg;
    bool quoted = false;
    while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
      std::size_t slashes = 0;
      while (i < line.size() && line[i] == L'\\') ++slashes, ++i;
      if (i < line.size() && line[i] == L'"') {
        arg.append(slashes / 2, L'\\');
        if (slashes % 2) {
          arg.push_back(L'"');
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        arg.append(slashes, L'\\');
        if (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
          arg.push_back(line[i++]);
        }
      }
    }
    args.push_back(std::move(arg));
  }
}

bool Blank(wchar_t c) { return c == L' ' || c == L'\t'; }

// What every report shows of NAME however long: its end, with the extension.
std::wstring NameEnd(const std::wstring& name) {
  return name.substr(name.size() - std::min<std::size_t>(name.size(), 11));
}

// What the tool may do: each ending and the statuses that have their own words; nothing set
// stands for a tool that cannot be started.
struct ToolCase {
  ToolRun run;
  std::optional<std::wstring> startError;
};
const std::vector<ToolCase>& ToolCases() {
  using End = ToolRun::End;
  static const std::vector<ToolCase> cases = {
      {{End::Exited, 0}, {}},   {{End::Exited, 1}, {}},    {{End::Exited, 3}, {}},
      {{End::Exited, 5}, {}},   {{End::Exited, 7}, {}},    {{End::Exited, 0xC0000005}, {}},
      {{End::TimedOut, 0}, {}}, {{End::Failed, 0, 6}, {}}, {{}, L"no tool"},
  };
  return cases;
}

// A line that is refused launches nothing, shows one box and gives its status.
void CheckRefused(const std::wstring& line, const std::wstring& text, BoxIcon icon, int status) {
  FakePlatform platform;
  platform.token = Token::Limited;  // which makes no difference to it
  const Outcome outcome = Run(line, platform);
  CHECK(platform.calls.empty(), line);
  CHECK(platform.balloons.empty(), line);
  CHECK(platform.boxes.size() == 1, line);
  CHECK(platform.boxes[0].text == text, line);
  CHECK(platform.boxes[0].icon == icon, line);
  CHECK(!outcome.balloonShown && outcome.exitStatus == status, line);
}

// Type libraries and self-registering programs: only register and unregister reach them, a
// type library goes to Pellory's second process, and a program is started only once it said it
// registers itself; both by their full path, as one argument.
void CheckOtherKind(const std::wstring& line, const CommandAction& action, Handler::Kind kind,
                    std::wstring_view inner, const std::wstring& name) {
  CHECK(!action.serverSwitch.empty(), line);
  FakePlatform probe;
  const std::wstring full = *probe.FullPath(std::wstring(inner));
  if (kind == Handler::Kind::TypeLibrary) {
    const std::wstring childLine = TypeLibraryCommandLine(probe.OwnPath(), action, full);
    const auto args = SplitArguments(childLine);
    CHECK(args.size() == 3 && args[2] == full, line);
    // The second process takes exactly this file, in the same direction.
    const std::wstring_view childArgs = ArgumentsOf(childLine);
    const auto work = TypeLibraryWorkOf(childArgs);
    CHECK(work && work->fullPath == full && work->unregister == action.unregisters, line);
    FakePlatform platform;
    platform.result = {ToolRun::End::Exited, 0x80029C4A};
    const Outcome outcome = Run(line, platform);
    CHECK(platform.calls.size() == 3, line);
    CHECK(platform.calls[0] == L"start program " + probe.OwnPath() + L" as " + childLine, line);
    CHECK(platform.balloons.size() == 1 && platform.balloons[0].sIcon == L"x", line);
    CHECK(outcome.exitStatus == static_cast<int>(0x80029C4A), line);
    return;
  }
  const std::wstring serverLine = ServerCommandLine(action, full);
  CHECK(SplitArguments(serverLine) ==
            (std::vector<std::wstring>{full, std::wstring(action.serverSwitch)}),
        line);
  for (const auto kind : {ServerCheck::Kind::SelfRegistering, ServerCheck::Kind::NotSelfRegistering,
                          ServerCheck::Kind::Unreadable}) {
    FakePlatform platform;
    platform.server.kind = kind;
    const Outcome outcome = Run(line, platform);
    CHECK(!platform.calls.empty() && platform.calls[0] == L"check " + full, line);
    const bool started = platform.calls.size() > 1;
    CHECK(started == (kind == ServerCheck::Kind::SelfRegistering), line);
    if (started) CHECK(platform.calls[1] == L"start program " + full + L" as " + serverLine, line);
    CHECK(platform.balloons.size() == 1, line);
    CHECK(platform.balloons[0].sText.find(NameEnd(name)) != std::wstring::npos, line);
    CHECK(outcome.exitStatus == (started ? 0 : 1), line);
  }
}

void CheckRegistration(const std::wstring& line, const CommandAction& action,
                       std::wstring_view inner) {
  const Command command = ParseCommandLine(line);
  const auto* registration = std::get_if<Registration>(&command);
  CHECK(registration != nullptr, line);
  CHECK(registration->action == &action, line);

  const std::wstring& quoted = registration->request.quotedPath;
  CHECK(quoted.size() >= 2 && quoted.front() == L'"' && quoted.back() == L'"', line);
  CHECK(quoted.find(L'"', 1) == quoted.size() - 1, line);
  CHECK(std::wstring_view(quoted).substr(1, quoted.size() - 2) == inner, line);

  // NAME is the last piece of the path: never empty, no quote, no backslash or slash.
  const std::wstring& name = registration->request.name;
  CHECK(!name.empty() && name.find_first_of(L"\"\\/") == std::wstring::npos, line);
  CHECK(name == inner.substr(inner.find_last_of(L"\\/") + 1), line);

  // A limited token asks for a copy of Pellory with exactly this argument text, and only that.
  FakePlatform limited;
  limited.token = Token::Limited;
  Run(line, limited);
  CHECK(limited.calls.size() == 2 && limited.calls[0] == L"elevate runas " + limited.OwnPath() +
                                                             L" [" + line + L"] in C:\\cwd",
        line);

  const Handler::Kind kind = HandlerFor(action, inner).kind;
  if (kind != Handler::Kind::Tool) {
    CheckOtherKind(line, action, kind, inner, name);
    return;
  }
  // The tool must receive exactly the path as one argument, then the action's own switches.
  const std::wstring toolLine = ToolCommandLine(action, registration->request);
  std::vector<std::wstring> expected = {L"RegSvr32", std::wstring(inner)};
  for (auto& sw : SplitArguments(action.toolSwitches)) expected.push_back(sw);
  CHECK(SplitArguments(toolLine) == expected, line);

  for (const ToolCase& tool : ToolCases()) {
    FakePlatform platform;
    platform.result = tool.run;
    platform.startError = tool.startError;
    const Outcome outcome = Run(line, platform);
    const ToolRun& run = tool.run;
    if (tool.startError) {
      CHECK(platform.calls == std::vector<std::wstring>{L"start " + toolLine}, line);
      CHECK(platform.balloons.empty() && platform.boxes.size() == 1, line);
      CHECK(platform.boxes[0].icon == BoxIcon::Error && outcome.exitStatus == 1, line);
      continue;
    }
    const std::vector<std::wstring> calls{L"start " + toolLine, L"prepare",
                                          L"wait " + std::to_wstring(kToolTimeoutMs)};
    CHECK(platform.calls == calls, line);
    CHECK(platform.boxes.empty() && platform.balloons.size() == 1, line);
    const balloon::BalloonSpec& shown = platform.balloons[0];
    // Every report names the file, and only a real success says so with the information icon.
    CHECK(shown.sText.find(NameEnd(name)) != std::wstring::npos, line);
    const bool success = run.end == ToolRun::End::Exited && run.exitCode == 0;
    CHECK((shown.sIcon == L"i") == success, line);
    CHECK(outcome.balloonShown, line);
    CHECK(outcome.exitStatus == (success                           ? 0
                                 : run.end == ToolRun::End::Exited ? static_cast<int>(run.exitCode)
                                                                   : 1),
          line);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring line = Decode(data, size);

  // The argument text survives the program's name in front of it, bar leading blanks.
  const std::wstring trimmed = line.substr(std::min(line.find_first_not_of(L" \t"), line.size()));
  CHECK(ArgumentsOf(L"\"C:\\Program Files\\P\\Pellory.exe\" " + line) == trimmed, line);
  CHECK(ArgumentsOf(L"Pellory.exe\t" + line) == trimmed, line);
  const std::wstring_view args = ArgumentsOf(line);
  CHECK(line.ends_with(args) && (args.empty() || !Blank(args.front())), line);

  if (line.empty()) {
    CheckRefused(line, UsageText(), BoxIcon::Information, 0);
    return 0;
  }
  // Pellory's second process: its switch, then a path that cannot end the argument early.
  if (const auto work = TypeLibraryWorkOf(line)) {
    const std::wstring_view internal =
        work->unregister ? L"/typelib-unregister " : L"/typelib-register ";
    CHECK(line.starts_with(internal) && work->fullPath.find(L'"') == std::wstring::npos, line);
    return 0;
  }
  // A switch counts only when a blank, a tab or the end follows it; then at most one can match.
  const CommandAction* match = nullptr;
  for (const auto& action : ActionTable()) {
    const auto n = action.switchText.size();
    if (line.starts_with(action.switchText) && (line.size() == n || Blank(line[n]))) {
      CHECK(match == nullptr, line);
      match = &action;
    }
  }
  if (!match) {
    CheckRefused(line, UnknownArgumentText(), BoxIcon::Information, 1);
    return 0;
  }
  // Blanks and tabs around the path are dropped.
  std::wstring_view path = std::wstring_view(line).substr(match->switchText.size());
  while (!path.empty() && Blank(path.front())) path.remove_prefix(1);
  while (!path.empty() && Blank(path.back())) path.remove_suffix(1);
  std::wstring_view inner = path;
  if (!inner.empty() && inner.front() == L'"') inner.remove_prefix(1);
  if (!inner.empty() && inner.back() == L'"') inner.remove_suffix(1);
  if (inner.find_first_not_of(L" \t") == std::wstring_view::npos) {
    CheckRefused(line, MissingPathText(*match), BoxIcon::Information, 1);
  } else if (inner.find(L'"') != std::wstring_view::npos) {
    CheckRefused(line, QuoteInPathText(path), BoxIcon::Error, 1);
  } else if (inner.back() == L'\\' || inner.back() == L'/') {
    CheckRefused(line, SeparatorAtEndText(path), BoxIcon::Error, 1);
  } else {
    CheckRegistration(line, *match, inner);
  }
  return 0;
}
