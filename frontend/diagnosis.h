// Why the system's loader would refuse a file, found the way the loader meets it: the file
// itself, its processor, its kind, the entry point the action needs, then its dependencies as
// the loader searches for them. Where a reading cannot decide, it finds nothing rather than
// something wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "frontend/programFile.h"
#include "win32/result.h"

namespace diagnosis {

struct NotThere {};
struct Folder {};
// A file as the system gives it: not there, a folder, unreadable (why), no program file or a
// damaged one, or what its headers say.
using Opened =
    std::variant<NotThere, Folder, win32::Failure, programFile::Problem, programFile::Image>;

// The little of the system that the search needs.
class System {
 public:
  virtual Opened Open(const std::wstring& fullPath) = 0;
  // Where the loader looks for a dependency of a file of MACHINE, after the file's own folder:
  // the system folder of that bitness first, then the Windows folder, the current folder and
  // PATH. Without trailing backslashes.
  virtual std::vector<std::wstring> SearchFolders(std::uint16_t machine) = 0;
  // Whether NAME (lower case) is one of the known DLLs, always taken from the system folder.
  virtual bool IsKnownDll(const std::wstring& name) = 0;
  // The machine of this Windows itself, and that of the regsvr32 Pellory starts.
  virtual std::uint16_t NativeMachine() = 0;
  virtual std::uint16_t ToolMachine() = 0;
  // Windows 10 and later resolve the C runtime's API-set names without a file.
  virtual bool ResolvesRuntimeApiSets() = 0;

 protected:
  ~System() = default;
};

struct Cause {
  enum class Kind {
    NotThere,
    Folder,
    Unreadable,
    Empty,
    NotProgramFile,
    Damaged,
    OtherMachine,
    DotNet,
    NoEntryPoint,
    MissingLibrary,
    MissingFunction,
  } kind = Kind::NotThere;
  std::wstring detail{};      // Unreadable: the system's words; NoEntryPoint: the entry point
  std::uint16_t machine = 0;  // OtherMachine: the file's
  std::uint16_t native = 0;   // OtherMachine: this Windows'
  // MissingLibrary: the libraries from the file's dependency to the missing one, in order.
  // MissingFunction: the importer (empty: the file itself) and the library that lacks it.
  std::vector<std::wstring> chain{};
  std::wstring function{};  // MissingFunction: its name, or "#N" for an ordinal
  std::wstring foundAt{};   // MissingFunction: the library's full path
  // Whether the loader refuses the file for it (status 3); else regsvr32 does (status 4).
  bool loadFails() const { return kind != Kind::NoEntryPoint && kind != Kind::DotNet; }
};

// The first cause that keeps FULLPATH from being loaded and given to ENTRIES (in the order they
// are called). sureOnly: only what certainly stops the work, for a decision before any prompt.
std::optional<Cause> Diagnose(System& system, const std::wstring& fullPath,
                              std::span<const std::wstring_view> entries, bool sureOnly);

// Where the tool's loader finds a file given by NAME alone: its own system folder, the Windows
// folder, the current folder, then PATH.
std::optional<std::wstring> FindByName(System& system, const std::wstring& name);

// What brings a library that users most often lack, or nothing: "the Visual C++ Redistributable"
// and the like, without the processor.
std::wstring_view PackageOf(std::wstring_view library);

}  // namespace diagnosis
