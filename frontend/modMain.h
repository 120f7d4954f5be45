// Pellory's start-up procedure and its decisions: the command line, the action table, the
// handler table and the result balloon, whose words reports.h holds. The platform is reached only
// through Platform.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "balloon/tipDesign.h"
#include "frontend/action.h"
#include "frontend/diagnosis.h"
#include "frontend/reports.h"
#include "win32/result.h"

namespace modMain {

// The rows in the order they are tried, so that /installonly is not taken for /install.
std::span<const CommandAction> ActionTable();

struct RegistrationRequest {
  std::wstring path;  // as given, without its quotes
  std::wstring quotedPath;
  std::wstring name;
};

// A drive's path or a network path, which the loader takes as it is instead of searching.
bool IsFullPath(std::wstring_view path);
std::wstring QuotePath(std::wstring_view path);
std::wstring NameOf(std::wstring_view quotedPath);
std::wstring ToolCommandLine(const CommandAction& action, const RegistrationRequest& request);

std::wstring ServerCommandLine(const CommandAction& action, const std::wstring& fullPath);
std::wstring TypeLibraryCommandLine(const std::wstring& ownPath, const CommandAction& action,
                                    const std::wstring& fullPath);

// What the start-up procedure makes of the raw command line.
struct ShowUsage {};
struct UnknownArgument {};
struct MissingPath {
  const CommandAction* action;
};
struct QuoteInPath {
  std::wstring path;
};
struct SeparatorAtEnd {
  std::wstring path;
};
struct Registration {
  const CommandAction* action;
  RegistrationRequest request;
};
using Command = std::variant<ShowUsage, UnknownArgument, MissingPath, QuoteInPath, SeparatorAtEnd,
                             Registration>;
Command ParseCommandLine(std::wstring_view raw);

// Pellory's own second process, which loads a type library so that a damaged file cannot take
// the first one down with it. It shows nothing; its exit status is the routine's HRESULT.
struct TypeLibraryWork {
  bool unregister = false;
  std::wstring fullPath;
};
// Only the line the first process writes; anything else is no work of the second process.
std::optional<TypeLibraryWork> TypeLibraryWorkOf(std::wstring_view raw);

// A selection of files for one action, as the drop target takes it from File Explorer and as
// Pellory hands it to its copy with administrator rights: "/selection-register" and the list, or
// "@" and the file that holds the list when the line would grow too long.
struct Selection {
  const CommandAction* action = nullptr;
  std::vector<std::wstring> files;
  std::wstring listFile;
  // Items the file manager handed over that are no files on a disk or a share (in a compressed
  // folder, on a phone), by the names it shows: each is told, none run.
  std::vector<std::wstring> notFiles;
};
std::wstring SelectionSwitch(const CommandAction& action);
// The list as it travels: each full path quoted, one blank between.
std::wstring ListText(std::span<const std::wstring> files);
// Only lists of full paths, each quoted, holding no quote, not ending in a separator, one blank
// between; anything else is no list.
std::optional<std::vector<std::wstring>> ListOf(std::wstring_view text);
std::optional<Selection> SelectionOf(std::wstring_view raw);
// A longer list goes to the copy in a file; the copy reads no longer file.
inline constexpr std::size_t kListLineRoom = 8000;
inline constexpr std::size_t kListFileRoom = 1u << 24;

// The argument text after the program's own name, as the platform's Command$ gives it.
std::wstring_view ArgumentsOf(std::wstring_view fullCommandLine);

// How a run of the tool, or of another started program, ended as far as Pellory can tell.
struct ToolRun {
  enum class End { Exited, TimedOut } end = End::Exited;
  std::uint32_t exitCode = 0;
};
inline constexpr std::uint32_t kToolTimeoutMs = 30000;
// For Pellory's copy with administrator rights, which keeps its own time limits.
inline constexpr std::uint32_t kNoTimeout = 0xFFFFFFFF;

// Whether a program's version information declares it self-registering, or why it could not be
// read.
using ServerCheck = win32::Result<bool>;

using balloon::ScreenTwips;

enum class BoxIcon { Information, Error };

// What user account control made of the token Pellory runs with.
enum class Token {
  Full,      // elevated, or no user account control: nothing to ask for
  Limited,   // an administrator's, filtered: one prompt gives the rights
  Standard,  // a standard user's: the prompt asks for an administrator's name and password
};

// A program Pellory started, owned: it is waited for or stopped through this object alone.
class Child {
 public:
  virtual ~Child() = default;
  // Waits up to timeoutMs (kNoTimeout: as long as it runs) for its end, answering the window
  // system meanwhile; a failure when its end cannot be learned.
  virtual win32::Result<ToolRun> Wait(std::uint32_t timeoutMs) = 0;
  // Ends it; only ever Pellory's own second process.
  virtual void Stop() = 0;
};

// A started program, or why none could be started.
using Started = win32::Result<std::unique_ptr<Child>>;

// How a Pellory without administrator rights starts its copy with them.
struct Relaunch {
  std::wstring verb;
  std::wstring program;
  std::wstring arguments;  // the switch and the full path, mapped drives as network paths
  std::wstring folder;
};
// ERROR_CANCELLED: the user declined the prompt; also the exit status then.
inline constexpr std::uint32_t kDeclined = 1223;

class Platform {
 public:
  virtual void ShowBox(const std::wstring& text, BoxIcon icon) = 0;
  // Starts the system's own tool, minimized, with this command line, on FILE.
  virtual Started StartTool(const std::wstring& commandLine, const std::wstring& file) = 0;
  // PATH as the system resolves it against the current folder; nothing if it cannot.
  virtual std::optional<std::wstring> FullPath(const std::wstring& path) = 0;
  // False only when the system says that the file or its folder is not there.
  virtual bool FileExists(const std::wstring& fullPath) = 0;
  // A full path on a mapped network drive as the network path that the drive stands for, which
  // a program with administrator rights still reaches; any other path as it is.
  virtual std::wstring UniversalPath(const std::wstring& fullPath) = 0;
  // This program's own full path.
  virtual std::wstring OwnPath() = 0;
  // The system's words for an error code or HRESULT; empty if it has none.
  virtual std::wstring SystemText(std::uint32_t code) = 0;
  // Whether the program declares itself self-registering in its version information.
  virtual ServerCheck CheckServer(const std::wstring& fullPath) = 0;
  // Starts a program by its full path, minimized, in place of the tool.
  virtual Started StartProgram(const std::wstring& fullPath, const std::wstring& commandLine) = 0;
  // Loads the balloon, hidden, so that it is ready the moment the started program ends.
  virtual void PrepareBalloon() = 0;
  virtual ScreenTwips Screen() = 0;
  // What user account control made of this process's token, or why it cannot be told.
  virtual win32::Result<Token> TokenKind() = 0;
  // Whether this process is the copy a limited Pellory started for administrator rights.
  virtual bool IsRelaunchedCopy() = 0;
  virtual std::wstring CurrentFolder() = 0;
  // Starts REQUEST through the shell, marked so that the copy knows itself. A child whose
  // process the shell did not hand back fails its wait.
  virtual Started StartElevated(const Relaunch& request) = 0;
  // Why no balloon could be shown; the outcome then goes into a box.
  virtual win32::Status ShowBalloon(const balloon::BalloonSpec& spec) = 0;
  // The files as the system's loader finds them, to tell why one cannot be registered.
  virtual diagnosis::System& Loader() = 0;
  // How many balloons stand in one column of the stack.
  virtual std::size_t BalloonRoom() = 0;
  // A list too long for a command line, in a file only the user and administrators can write:
  // its full path; then read by the copy, and removed by the first Pellory after the copy ends.
  virtual win32::Result<std::wstring> SaveList(const std::wstring& text) = 0;
  virtual win32::Result<std::wstring> LoadList(const std::wstring& fullPath) = 0;
  virtual void RemoveList(const std::wstring& fullPath) = 0;

 protected:
  ~Platform() = default;
};

// Who does the work: regsvr32 serves in-process servers only, so type libraries and
// self-registering programs are registered and unregistered by other means.
struct Handler {
  enum class Kind { Tool, TypeLibrary, Server } kind;
  // The files it takes under /register and /unregister; empty: every other file, and every file
  // under the other actions.
  std::wstring_view extension;
  // What could not be started, in the box that says so; empty: the file itself.
  std::wstring_view program;
  // Started only when its version information says that it registers itself.
  bool mustRegisterItself;
  // Pellory's own: stopped when its outcome is unknown, so that it changes nothing once the
  // balloon has spoken.
  bool mayBeStopped;
  // Starts it on FILE, the path as the system resolves it, with its command line.
  Started (*start)(Platform& platform, const CommandAction& action,
                   const RegistrationRequest& request, const std::wstring& file);
  // Its report when it did not finish in time: before + NAME + after, then the time.
  std::wstring_view timedOutBefore;
  std::wstring_view timedOutAfter;
  // Its report of a failure exit status; systemText is the system's words for that status,
  // empty if it has none.
  std::wstring (*failed)(const CommandAction& action, const std::wstring& name,
                         std::uint32_t status, const std::wstring& systemText);
};
const Handler& HandlerFor(const CommandAction& action, std::wstring_view path);
// systemText is the system's words for the run's exit status; empty if it has none.
Report Describe(const Handler& handler, const CommandAction& action, const std::wstring& name,
                const ToolRun& run, const std::wstring& systemText);

struct Outcome {
  bool balloonShown = false;
  int exitStatus = 0;  // once the balloon is gone
};
// The start-up procedure: all that a run of Pellory does with its command line.
Outcome Run(std::wstring_view rawCommandLine, Platform& platform);
// Several files in one run: each checked first, then one prompt for all that remain, the work one
// file after another in the given order, then one balloon for the successes and one for each
// failure, as many as one column holds. One file runs as its command line would. NOT_FILES are
// told first, as failures.
Outcome RunSelection(const CommandAction& action, std::span<const std::wstring> paths,
                     Platform& platform, std::span<const std::wstring> notFiles = {});

}  // namespace modMain
