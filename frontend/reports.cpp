// Every text Pellory tells the user, and the words of the reasons a file failed.
#include "frontend/reports.h"

#include "frontend/programFile.h"

#include <algorithm>
#include <vector>

namespace modMain {
namespace {

constexpr std::wstring_view kLineBreak = L"\r\n";

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

std::wstring ExitCodeText(std::uint32_t code) {
  // Small codes read best in decimal; crash statuses are known by their hex form.
  if (code < 0x10000) return std::to_wstring(code);
  static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring text = L"0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kHex[(code >> shift) & 0xF];
  return text;
}

std::wstring TimeoutText(std::uint32_t timeoutMs, std::wstring_view consequence = {}) {
  return L" within " + std::to_wstring(timeoutMs / 1000) + L" seconds" + std::wstring(consequence) +
         L"; the outcome is unknown.";
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

std::wstring BalloonMessage(const CommandAction& action, const std::wstring& name) {
  return WithName(action.messageBefore, name, action.messageAfter);
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

namespace {

std::wstring ProcessorName(std::uint16_t machine) {
  switch (machine) {
    case programFile::kI386:
      return L"x86";
    case programFile::kAmd64:
      return L"x64";
    case programFile::kArm64:
      return L"ARM64";
    case programFile::kArmNt:
      return L"ARM";
    default:
      return L"another processor (machine " + ExitCodeText(machine) + L")";
  }
}

// A reason's words and names; the names are cut, the longest first, until the whole fits the
// balloon's two lines.
struct Piece {
  std::wstring text;
  bool name = false;
};
std::wstring Fit(std::vector<Piece> pieces) {
  constexpr std::size_t kRoom = 90, kLeast = 16;
  const auto size = [&] {
    std::size_t n = 0;
    for (const auto& piece : pieces) n += piece.text.size();
    return n;
  };
  for (std::size_t n = size(); n > kRoom; n = size()) {
    // The longest name gives way down to the next longest, or as far as the excess asks.
    std::size_t longest = pieces.size(), next = kLeast;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (!pieces[i].name) continue;
      const std::size_t length = pieces[i].text.size();
      if (longest == pieces.size() || length > pieces[longest].text.size()) {
        if (longest != pieces.size()) next = std::max(next, pieces[longest].text.size());
        longest = i;
      } else {
        next = std::max(next, length);
      }
    }
    if (longest == pieces.size()) break;
    auto& piece = pieces[longest];
    const std::size_t before = piece.text.size(), excess = n - kRoom;
    std::size_t room = before > excess ? std::max(next, before - excess) : next;
    if (room >= before) room = before - 1;
    piece.text = ShownName(piece.text, std::max(room, kLeast));
    // Cut as far as it goes: the others take the rest.
    if (piece.text.size() >= before || piece.text.size() <= kLeast + 1) piece.name = false;
  }
  std::wstring text;
  for (const auto& piece : pieces) text += piece.text;
  return text;
}

}  // namespace

std::wstring ExplainCause(const diagnosis::Cause& cause, const std::wstring& name) {
  using Kind = diagnosis::Cause::Kind;
  switch (cause.kind) {
    case Kind::NotThere:
      return WithName(L"", name, L" could not be loaded: there is no such file.");
    case Kind::Folder:
      return WithName(L"", name, L" could not be loaded: it is a folder, not a file.");
    case Kind::Unreadable:
      return WithName(L"", name, L" could not be read: " + cause.detail);
    case Kind::Empty:
      return WithName(L"", name, L" could not be loaded: the file is empty.");
    case Kind::NotProgramFile:
      return WithName(L"", name, L" could not be loaded: it is not a program file.");
    case Kind::Damaged:
      return WithName(L"", name, L" could not be loaded: the program file is damaged.");
    case Kind::OtherMachine: {
      const std::wstring windows =
          cause.native == programFile::kI386 ? L"32-bit" : ProcessorName(cause.native);
      return WithName(L"", name,
                      L" is built for " + ProcessorName(cause.machine) + L", which this " +
                          windows + L" Windows cannot run.");
    }
    case Kind::DotNet:
      return WithName(L"", name, L" is a .NET assembly: RegAsm registers it, RegSvr32 cannot.");
    case Kind::NoEntryPoint:
      return WithName(L"The entry point " + cause.detail + L" was not found in ", name, L".");
    case Kind::MissingLibrary: {
      const std::wstring& missing = cause.chain.back();
      const auto package = diagnosis::PackageOf(missing);
      if (!package.empty()) {
        return Fit(
            {{name, true},
             {L" needs " + std::wstring(package) + L" (" + ProcessorName(cause.machine) + L"): "},
             {missing, true},
             {L" is missing."}});
      }
      std::vector<Piece> pieces{{name, true}, {L" needs "}, {cause.chain.front(), true}};
      // A long chain keeps its two ends.
      if (cause.chain.size() > 2) pieces.push_back({L", which needs \u2026"});
      if (cause.chain.size() > 1)
        pieces.insert(pieces.end(), {{L", which needs "}, {missing, true}});
      pieces.insert(pieces.end(), {{L", and "}, {missing, true}, {L" is not on this computer."}});
      return Fit(std::move(pieces));
    }
    case Kind::MissingFunction: {
      std::vector<Piece> pieces{{name, true}, {L" needs "}};
      if (!cause.chain.front().empty())
        pieces.insert(pieces.end(), {{cause.chain.front(), true}, {L", which needs "}});
      pieces.insert(pieces.end(), {{L"the function "},
                                   {cause.function, true},
                                   {L" from "},
                                   {cause.chain.back(), true},
                                   {L", and "},
                                   {cause.foundAt, true},
                                   {L" does not have it."}});
      return Fit(std::move(pieces));
    }
  }
  return {};
}

Report DescribeRefusedServer(const std::wstring& name, win32::Result<bool> check) {
  if (!check) {
    return {WithName(L"", name, L" could not be read: " + check.failure().text),
            balloon::IconRole::Error};
  }
  return {WithName(L"", name, L" is not a self-registering server, so it was not started."),
          balloon::IconRole::Error};
}

std::wstring ToolFailure(const CommandAction& action, const std::wstring& name,
                         std::uint32_t status, const std::wstring&) {
  const std::wstring entry(action.entryPoints);
  switch (status) {
    case 1:
      return WithName(L"RegSvr32 rejected its arguments for ", name, L".");
    case 2:
      return WithName(L"OLE could not be started, so ", name, L" was not processed.");
    case 3:
      return WithName(L"", name,
                      L" could not be loaded (missing, or not a module for this system).");
    case 4:
      return WithName(L"The entry point " + entry + L" was not found in ", name, L".");
    case 5:
      return WithName(entry + L" in ", name, L" reported a failure.");
    default:
      return WithName(L"RegSvr32 failed on ", name,
                      L" with exit code " + ExitCodeText(status) + L".");
  }
}

// The type-library process's status is an HRESULT, or the code of an exception that ended it.
std::wstring LibraryFailure(const CommandAction& action, const std::wstring& name,
                            std::uint32_t status, const std::wstring& systemText) {
  // A crash code may share its number with an old HRESULT, so the loader's failure comes first.
  std::wstring why(LoaderFailureWords(status));
  if (why.empty()) why = systemText;
  if (why.empty()) why = LibraryErrorWords(status);
  if (why.empty()) why = L"error " + ExitCodeText(status) + L".";
  const std::wstring_view failed =
      action.unregisters ? L" could not be unregistered: " : L" could not be registered: ";
  return WithName(L"", name, std::wstring(failed) + why);
}

std::wstring ServerFailure(const CommandAction& action, const std::wstring& name,
                           std::uint32_t status, const std::wstring&) {
  const std::wstring_view failed =
      action.unregisters ? L" failed to unregister itself" : L" failed to register itself";
  return WithName(L"", name, std::wstring(failed) + L" (exit code " + ExitCodeText(status) + L").");
}

std::wstring TimedOutText(std::wstring_view before, const std::wstring& name,
                          std::wstring_view after, std::uint32_t timeoutMs, bool stopped) {
  return WithName(
      before, name,
      std::wstring(after) + TimeoutText(timeoutMs, stopped ? L" and was stopped" : L""));
}

std::wstring PathTooLongText(const CommandAction& action, const std::wstring& name) {
  return WithName(
      L"", name,
      L" was not " + std::wstring(action.done) + L": its path is too long for RegSvr32.");
}

std::wstring WaitFailedText(const std::wstring& name, const std::wstring& error) {
  return WithName(L"Waiting for the work on ", name,
                  L" failed, so the outcome is unknown: " + error);
}

std::wstring UnreachableText(const std::wstring& name, const std::wstring& detail) {
  return WithName(L"The administrator account cannot reach ", name, L": " + detail);
}

std::wstring NeedsAdministratorText(const CommandAction& action, const std::wstring& name) {
  return WithName(L"", name,
                  L" was not " + std::wstring(action.done) +
                      L" for all users: that needs administrator rights.");
}

std::wstring NotAFileText(const CommandAction& action, const std::wstring& name) {
  return WithName(L"", name,
                  L" was not " + std::wstring(action.done) +
                      L": it is not a file on a disk; copy it to a folder first.");
}

std::wstring UnusablePathText(const std::wstring& path) {
  return WithName(L"", path, L" was not processed: a path cannot be used so.");
}

std::wstring UnreadableListText(const win32::Result<std::wstring>& loaded) {
  return L"The list of files could not be read, so nothing was run: " +
         (loaded ? L"it is not a list of full paths." : loaded.failure().text);
}

std::wstring UnwrittenListText(const std::wstring& error) {
  return L"The list of files for Pellory with administrator rights could not be "
         L"written, so nothing was run: " +
         error;
}

std::wstring DeclinedText(const CommandAction& action, const std::wstring& name) {
  return WithName(
      L"", name,
      L" was not " + std::wstring(action.done) + L": administrator rights were not given.");
}

std::wstring SelectionDeclinedText(const CommandAction& action, std::size_t count) {
  return FilesText(count) + (count == 1 ? L" was not " : L" were not ") +
         std::wstring(action.done) + L": administrator rights were not given.";
}

std::wstring CopyLaunchFailureText(const std::wstring& error) {
  return LaunchFailureText(L"Pellory with administrator rights", error);
}

std::wstring CopyWaitFailedText(const std::wstring& subject, const std::wstring& error) {
  return L"Pellory with administrator rights was started on " + subject +
         L", but waiting for it failed, so its outcome is unknown: " + error;
}

std::wstring FilesText(std::size_t count) {
  return std::to_wstring(count) + (count == 1 ? L" file" : L" files");
}

std::wstring SucceededText(const CommandAction& action, std::size_t count) {
  return FilesText(count) + L" have been " + std::wstring(action.done) + L".";
}

std::wstring OverflowText(const CommandAction& action, std::size_t count) {
  return std::to_wstring(count) + (count == 1 ? L" more file was not " : L" more files were not ") +
         std::wstring(action.done) + L".";
}

}  // namespace modMain
