// libFuzzer target over Pellory's command line: parsing, quoting, NAME and the whole start-up
// decision behind the recording platform. A broken invariant aborts with the line that broke
// it, so that libFuzzer keeps the input.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "frontend/paths.h"
#include "tests/unit/fake_platform.h"

namespace {

using namespace modMain;

// libFuzzer keeps the input that aborts, and shows it.
#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "invariant broken: %s\n", #c), std::abort()))

bool Blank(wchar_t c) { return c == L' ' || c == L'\t'; }

void CheckRegistration(const std::wstring& line, const Registration& registration) {
  const CommandAction& action = *registration.action;
  const std::wstring& inner = registration.request.path;
  // Quoted as it is, the path travels whole: it holds no quote and ends in no backslash.
  CHECK(inner.find(L'"') == std::wstring::npos && !inner.ends_with(L'\\') &&
        registration.request.quotedPath == L"\"" + inner + L"\"");
  // NAME is the last piece of the path: never empty, so no quote, backslash or slash.
  const std::wstring& name = registration.request.name;
  CHECK(!name.empty() && name == inner.substr(inner.find_last_of(L"\\/") + 1));

  // The fake resolves a path against C:\cwd unless it starts with a drive and a backslash.
  const bool absolute = inner.size() > 2 && inner[1] == L':' && inner[2] == L'\\';
  const std::wstring full = (absolute ? L"" : L"C:\\cwd\\") + inner;

  // regsvr32 cannot load a file by a long path: it is refused before any prompt.
  const Handler::Kind kind = HandlerFor(action, full).kind;
  FakePlatform limited(L"limited");
  Run(line, limited);
  if (kind == Handler::Kind::Tool && full.size() > paths::kToolPathRoom) {
    CHECK(limited.calls.empty() && limited.told.size() == 1 &&
          limited.told[0].ends_with(L"its path is too long for RegSvr32."));
    return;
  }

  // Without rights, a copy of Pellory is asked for first, with a line that it reads as the same
  // action on the full path (a mapped drive's network path); the call's form is the unit table's.
  const auto open = limited.calls.find(L'[', limited.calls.find(L"elevate "));
  const auto close = limited.calls.rfind(L"] in ");
  CHECK(open != std::wstring::npos && close != std::wstring::npos);
  const Command copy = ParseCommandLine(limited.calls.substr(open + 1, close - open - 1));
  const auto* again = std::get_if<Registration>(&copy);
  CHECK(again && again->action == &action && again->request.path == limited.UniversalPath(full));

  // Whoever does the work gets the full path quoted whole (the tool the path as typed), and is
  // started with that line; the type-library process takes back exactly that file, in the same
  // direction. The lines' exact form is the unit table's.
  const std::wstring start =
      kind == Handler::Kind::TypeLibrary
          ? TypeLibraryCommandLine(L"C:\\P\\Pellory.exe", action, full)
          : (kind == Handler::Kind::Server ? ServerCommandLine(action, full)
                                           : ToolCommandLine(action, registration.request));
  if (kind == Handler::Kind::TypeLibrary) {
    const auto work = TypeLibraryWorkOf(ArgumentsOf(start));
    CHECK(work && work->fullPath == full && work->unregister == action.unregisters);
  } else {
    const std::wstring& path = kind == Handler::Kind::Server ? full : inner;
    CHECK(start.find(L"\"" + path + L"\" ") != std::wstring::npos);
  }

  // Started with that line, then the balloon prepared; what it says is the unit table's.
  FakePlatform platform;
  const Outcome outcome = Run(line, platform);
  CHECK(platform.calls.find(start + L" | prepare") != std::wstring::npos);
  CHECK(outcome.balloonShown && outcome.exitStatus == 0);
}

// A selection's line holds only full paths, quoted whole, and is exactly what Pellory writes for
// them: nothing of it is lost or added on its way to the copy. Without rights, the copy is asked
// for once, with no more files than the line holds.
void CheckSelection(const std::wstring& line, const Selection& selection) {
  const std::wstring head = SelectionSwitch(*selection.action) + L" ";
  if (!selection.listFile.empty()) {
    CHECK(selection.files.empty() && line == head + L"@" + QuotePath(selection.listFile));
    return;
  }
  for (const auto& file : selection.files) {
    CHECK(file.size() > 2 && file.find(L'"') == std::wstring::npos && !file.ends_with(L'\\') &&
          !file.ends_with(L'/'));
  }
  CHECK(line == head + ListText(selection.files));
  FakePlatform limited(L"limited");
  Run(line, limited);
  std::size_t prompts = 0;
  for (auto at = limited.calls.find(L"elevate "); at != std::wstring::npos;
       at = limited.calls.find(L"elevate ", at + 1))
    ++prompts;
  CHECK(prompts <= 1);
}

// One command line: a refused one launches nothing, asks for no rights and shows one box; an
// accepted one keeps its path whole on every way it travels. Which lines are refused, and why,
// is the unit table's.
void Check(const std::wstring& line) {
  // The argument text survives the program's name in front of it, bar leading blanks.
  const std::wstring trimmed = line.substr(std::min(line.find_first_not_of(L" \t"), line.size()));
  CHECK(ArgumentsOf(L"\"C:\\Program Files\\P\\Pellory.exe\" " + line) == trimmed);
  CHECK(ArgumentsOf(L"Pellory.exe\t" + line) == trimmed);
  const std::wstring_view args = ArgumentsOf(line);
  CHECK(line.ends_with(args) && (args.empty() || !Blank(args.front())));
  // Pellory's second process: its switch, then a path that cannot end the argument early.
  if (const auto work = TypeLibraryWorkOf(line)) {
    CHECK(line.starts_with(work->unregister ? L"/typelib-unregister " : L"/typelib-register ") &&
          work->fullPath.find(L'"') == std::wstring::npos);
  }
  if (const auto selection = SelectionOf(line)) return CheckSelection(line, *selection);
  const Command command = ParseCommandLine(line);
  if (const auto* registration = std::get_if<Registration>(&command))
    return CheckRegistration(line, *registration);
  FakePlatform platform(L"limited");
  const Outcome outcome = Run(line, platform);
  CHECK(platform.calls.empty() && !outcome.balloonShown && platform.told.size() == 1 &&
        platform.told[0].starts_with(L"box ") && outcome.exitStatus == (line.empty() ? 0 : 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Bytes as UTF-16 code units: one byte each, and 0xFF followed by two bytes for any other unit.
  // A command line ends at its first zero, so it never holds one.
  std::wstring line;
  for (std::size_t i = 0; i < size; ++i) {
    const bool wide = data[i] == 0xFF && i + 2 < size;
    const wchar_t c = wide ? static_cast<wchar_t>(data[i + 1] | data[i + 2] << 8) : data[i];
    i += wide ? 2 : 0;
    if (c != 0) line.push_back(c);
  }
  Check(line);
  return 0;
}
