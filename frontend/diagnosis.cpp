#include "frontend/diagnosis.h"

#include <algorithm>
#include <map>
#include <set>
#include <type_traits>

namespace diagnosis {
namespace {

using programFile::Image;

// Deeper chains than this are left undecided; so is a walk over more files.
constexpr int kMaxDepth = 16;
constexpr std::size_t kMaxFiles = 256;

// Lower case the way the loader compares names: ASCII letters only.
template <class Text>
std::wstring Lower(const Text& name) {
  std::wstring out;
  for (const auto c : name) {
    const auto u = static_cast<wchar_t>(static_cast<std::make_unsigned_t<decltype(c)>>(c));
    out += u >= L'A' && u <= L'Z' ? static_cast<wchar_t>(u + (L'a' - L'A')) : u;
  }
  return out;
}

std::wstring Wide(std::string_view text) {
  return {text.begin(), text.end()};  // the loader's names are ASCII
}

bool Runs(std::uint16_t native, std::uint16_t machine) {
  using namespace programFile;
  if (native == 0 || machine == native) return true;
  // WOW64 runs x86 on either 64-bit Windows; Windows on ARM emulates x64 and runs old ARM code.
  if ((native == kAmd64 || native == kArm64) && machine == kI386) return true;
  return native == kArm64 && (machine == kAmd64 || machine == kArmNt);
}

// Names the loader resolves through the API-set schema rather than as files.
bool IsApiSet(const std::wstring& name) {
  return name.starts_with(L"api-ms-win-") || name.starts_with(L"ext-ms-win-");
}

bool NamesAssemblies(const std::string& manifest) {
  std::string lower(manifest);
  std::ranges::transform(lower, lower.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
  });
  return lower.find("dependentassembly") != std::string::npos;
}

std::wstring FolderOf(const std::wstring& path) {
  const auto at = path.find_last_of(L"\\/");
  return at == std::wstring::npos ? L"." : path.substr(0, at);
}

class Walk {
 public:
  Walk(System& system, const std::wstring& root, std::uint16_t machine)
      : system_(system), machine_(machine) {
    folders_.push_back(FolderOf(root));
    for (auto& folder : system.SearchFolders(machine)) folders_.push_back(std::move(folder));
  }

  // The first missing library under IMPORTER, in the loader's order; a function that a found
  // library lacks is kept in firstLack_ meanwhile.
  std::optional<Cause> Missing(const Image& importer, const std::wstring& importerName,
                               std::vector<std::wstring>& chain) {
    if (static_cast<int>(chain.size()) >= kMaxDepth) return std::nullopt;
    for (const auto& library : importer.imports) {
      const std::wstring name = Lower(library.name);
      const auto* found = Locate(name, Wide(library.name));
      if (!found) {
        // Side-by-side assemblies named in the manifest live in WinSxS, beyond this search.
        if (!NamesAssemblies(importer.manifest)) {
          chain.push_back(Wide(library.name));
          return Cause{.kind = Cause::Kind::MissingLibrary, .chain = chain};
        }
        continue;
      }
      if (!found->image) continue;
      if (!firstLack_) NoteLack(importerName, library, *found);
      if (!walked_.insert(name).second) continue;
      chain.push_back(Wide(library.name));
      if (auto cause = Missing(*found->image, Wide(library.name), chain)) return cause;
      chain.pop_back();
    }
    return std::nullopt;
  }

  // A library that imports the file back is not walked again.
  void Enter(const std::wstring& name) { walked_.insert(name); }

  std::optional<Cause> firstLack_;

 private:
  struct Found {
    std::wstring path;
    std::optional<Image> image;  // none: found, but nothing to read in it
  };

  // Where the loader would take NAME from; nullptr when it is nowhere it looks.
  const Found* Locate(const std::wstring& name, const std::wstring& written) {
    if (const auto known = found_.find(name); known != found_.end()) return &known->second;
    if (IsApiSet(name) &&
        (!name.starts_with(L"api-ms-win-crt-") || system_.ResolvesRuntimeApiSets())) {
      return &(found_[name] = Found{name, std::nullopt});
    }
    if (found_.size() >= kMaxFiles) return &(found_[name] = Found{name, std::nullopt});
    const bool known = system_.IsKnownDll(name);
    for (std::size_t i = known ? 1 : 0; i < folders_.size(); ++i) {
      std::wstring path = folders_[i] + L"\\" + written;
      Opened opened = system_.Open(path);
      if (std::holds_alternative<NotThere>(opened) || std::holds_alternative<Folder>(opened)) {
        if (known) break;  // the system folder alone
        continue;
      }
      auto* image = std::get_if<Image>(&opened);
      // A file of another processor, or one that cannot be read, leaves the search undecided;
      // so does one that shares its name with a system library, which the loader may prefer.
      const bool readable = image && image->machine == machine_ && !image->exports.empty() &&
                            (i == 1 || !ShadowsSystem(written));
      return &(found_[name] = Found{std::move(path),
                                    readable ? std::optional(std::move(*image)) : std::nullopt});
    }
    // A known DLL is there on every Windows; its absence says more of this reading than of it.
    if (known) return &(found_[name] = Found{name, std::nullopt});
    return nullptr;
  }

  void NoteLack(const std::wstring& importerName, const programFile::Library& library,
                const Found& found) {
    for (const auto& function : library.functions) {
      if (programFile::Offers(found.image->exports, function)) continue;
      firstLack_ = Cause{
          .kind = Cause::Kind::MissingFunction,
          .chain = {importerName, Wide(library.name)},
          .function =
              function.byOrdinal ? L"#" + std::to_wstring(function.ordinal) : Wide(function.name),
          .foundAt = found.path,
      };
      return;
    }
  }

  bool ShadowsSystem(const std::wstring& written) {
    return std::holds_alternative<Image>(system_.Open(folders_[1] + L"\\" + written));
  }

  System& system_;
  std::uint16_t machine_;
  std::vector<std::wstring> folders_;
  std::map<std::wstring, Found> found_;
  std::set<std::wstring> walked_;
};

}  // namespace

std::optional<Cause> Diagnose(System& system, const std::wstring& fullPath,
                              std::span<const std::wstring_view> entries, bool sureOnly) {
  using Kind = Cause::Kind;
  Opened opened = system.Open(fullPath);
  if (std::holds_alternative<NotThere>(opened)) return Cause{Kind::NotThere};
  if (std::holds_alternative<Folder>(opened)) return Cause{Kind::Folder};
  if (const auto* failure = std::get_if<win32::Failure>(&opened)) {
    // Administrator rights may read what this account cannot.
    if (sureOnly) return std::nullopt;
    return Cause{.kind = Kind::Unreadable, .detail = failure->text};
  }
  if (const auto* problem = std::get_if<programFile::Problem>(&opened)) {
    switch (*problem) {
      case programFile::Problem::Empty:
        return Cause{Kind::Empty};
      case programFile::Problem::NotProgramFile:
        return Cause{Kind::NotProgramFile};
      case programFile::Problem::Damaged:
        return Cause{Kind::Damaged};
    }
  }
  const Image& image = std::get<Image>(opened);
  const std::uint16_t native = system.NativeMachine();
  if (!Runs(native, image.machine)) {
    return Cause{.kind = Kind::OtherMachine, .machine = image.machine, .native = native};
  }
  for (const auto entry : entries) {
    programFile::Function wanted;
    wanted.name.assign(entry.begin(), entry.end());
    if (programFile::Offers(image.exports, wanted)) continue;
    // An assembly without the entry point is .NET's to register; with one, it may be mixed code.
    if (image.clr) return Cause{Kind::DotNet};
    return Cause{.kind = Kind::NoEntryPoint, .detail = std::wstring(entry)};
  }
  // A program loaded as a library has its imports left alone.
  if (!image.library) return std::nullopt;
  Walk walk(system, fullPath, image.machine);
  walk.Enter(Lower(fullPath.substr(fullPath.find_last_of(L"\\/") + 1)));
  std::vector<std::wstring> chain;
  if (auto missing = walk.Missing(image, L"", chain)) {
    missing->machine = image.machine;  // which build of a runtime to install
    return missing;
  }
  return walk.firstLack_;
}

std::optional<std::wstring> FindByName(System& system, const std::wstring& name) {
  for (const auto& folder : system.SearchFolders(system.ToolMachine())) {
    std::wstring path = folder + L"\\" + name;
    const Opened opened = system.Open(path);
    if (!std::holds_alternative<NotThere>(opened) && !std::holds_alternative<Folder>(opened)) {
      return path;
    }
  }
  return std::nullopt;
}

std::wstring_view PackageOf(std::wstring_view library) {
  struct Runtime {
    std::wstring_view name, package;
  };
#define RUNTIME(name, package) {L"" name, L"" package},
  static constexpr Runtime kRuntimes[] = {
#include "frontend/runtimes.def"
  };
#undef RUNTIME
  std::wstring name = Lower(library);
  if (name.ends_with(L".dll")) name.resize(name.size() - 4);
  for (const auto& runtime : kRuntimes) {
    const bool prefix = runtime.name.ends_with(L'*');
    const auto stem = prefix ? runtime.name.substr(0, runtime.name.size() - 1) : runtime.name;
    if (prefix ? name.starts_with(stem) : name == stem) return runtime.package;
  }
  return {};
}

}  // namespace diagnosis
