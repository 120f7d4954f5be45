#include "frontend/programFile.h"

#include <algorithm>
#include <array>
#include <optional>

namespace programFile {
namespace {

constexpr std::size_t kMaxSections = 96;           // as Windows' loader
constexpr std::size_t kMaxResourceEntries = 4096;  // looked at in one walk for the manifest
constexpr std::uint16_t kDllFlag = 0x2000;         // IMAGE_FILE_DLL
constexpr std::uint16_t kManifestType = 24;        // RT_MANIFEST
constexpr std::uint32_t kResourceSubdirectory = 0x80000000;

enum Directory {
  kExports = 0,
  kImports = 1,
  kResources = 2,
  kSecurity = 4,
  kDelay = 13,
  kClr = 14
};

// Thrown where a header or a table the file declares lies outside it; Read answers Damaged.
struct OutsideTheFile {};

// The file's bytes; every read is checked against their end, in 64-bit arithmetic.
class Bytes {
 public:
  explicit Bytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t size() const { return bytes_.size(); }
  bool Has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= bytes_.size() && count <= bytes_.size() - offset;
  }
  // The little-endian number of WIDTH bytes at OFFSET.
  std::uint64_t Number(std::uint64_t offset, unsigned width) const {
    if (!Has(offset, width)) throw OutsideTheFile{};
    std::uint64_t value = 0;
    for (unsigned i = width; i-- > 0;) value = value << 8 | bytes_[offset + i];
    return value;
  }
  std::uint16_t U16(std::uint64_t offset) const {
    return static_cast<std::uint16_t>(Number(offset, 2));
  }
  std::uint32_t U32(std::uint64_t offset) const {
    return static_cast<std::uint32_t>(Number(offset, 4));
  }
  std::span<const std::uint8_t> Span(std::uint64_t offset, std::uint64_t count) const {
    if (!Has(offset, count)) throw OutsideTheFile{};
    return bytes_.subspan(offset, count);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

struct Section {
  std::uint64_t rva = 0;
  std::uint64_t inFile = 0;  // how many of its bytes the file holds, from its start
  std::uint64_t inMemory = 0;
  std::uint64_t offset = 0;
};

// Where an RVA's bytes are in the file, and how many follow it there in the same section.
struct Place {
  std::uint64_t offset = 0;
  std::uint64_t count = 0;
};

struct Entry {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;
  bool present() const { return rva != 0 && size != 0; }
};

// The headers of a PE file and the reading of its tables at their RVAs.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::optional<Problem> ReadHeaders(Image& image);
  void ReadImports(Image& image);
  void ReadDelayImports(Image& image);
  void ReadExports(Image& image);
  void ReadManifest(Image& image);
  void ReadClr(Image& image) const;

 private:
  bool Present(Directory d) const { return dirs_[d].present(); }
  Place Where(std::uint64_t rva) const;
  std::uint64_t At(std::uint64_t rva, std::uint64_t count) const;
  std::uint16_t U16At(std::uint64_t rva) const { return bytes_.U16(At(rva, 2)); }
  std::string Text(std::uint64_t rva) const;
  std::uint64_t Rva(std::uint64_t address, std::uint64_t base) const;
  void ReadFunctions(std::uint64_t rva, std::uint64_t base, Library& library);
  std::optional<std::string> ManifestIn(std::uint64_t directory, int level, std::size_t& budget);

  Bytes bytes_;
  bool pe32Plus_ = false;
  std::uint64_t imageBase_ = 0;
  std::uint64_t headers_ = 0;  // SizeOfHeaders
  std::vector<Section> sections_;
  std::array<Entry, 16> dirs_{};
  std::size_t libraries_ = 0;  // imports and delay imports together, against the limits
  std::size_t functions_ = 0;
};

std::optional<Problem> Reader::ReadHeaders(Image& image) {
  if (bytes_.size() < 0x40 || bytes_.U16(0) != 0x5A4D) return Problem::NotProgramFile;  // "MZ"
  const std::uint64_t pe = bytes_.U32(0x3C);
  if (!bytes_.Has(pe, 4) || bytes_.U32(pe) != 0x00004550) return Problem::NotProgramFile;
  const std::uint64_t header = pe + 4;
  image.machine = bytes_.U16(header);
  const std::uint16_t sectionCount = bytes_.U16(header + 2);
  const std::uint16_t optionalSize = bytes_.U16(header + 16);
  image.library = (bytes_.U16(header + 18) & kDllFlag) != 0;
  const std::uint64_t optional = header + 20;
  const std::uint16_t magic = bytes_.U16(optional);
  if (magic != 0x10B && magic != 0x20B) return Problem::NotProgramFile;
  image.pe32Plus = pe32Plus_ = magic == 0x20B;

  imageBase_ = pe32Plus_ ? bytes_.Number(optional + 24, 8) : bytes_.U32(optional + 28);
  headers_ = bytes_.U32(optional + 60);
  const std::uint64_t fixed = pe32Plus_ ? 112 : 96;  // where the data directories start
  if (optionalSize < fixed || headers_ > bytes_.size()) throw OutsideTheFile{};
  const std::uint64_t dirCount = std::min<std::uint64_t>(
      {bytes_.U32(optional + fixed - 4), dirs_.size(), (optionalSize - fixed) / 8});
  for (std::uint64_t i = 0; i < dirCount; ++i)
    dirs_[i] = {bytes_.U32(optional + fixed + 8 * i), bytes_.U32(optional + fixed + 8 * i + 4)};

  // Each section's bytes must all be in the file, as the loader maps them whole: a cut download
  // ends here.
  if (sectionCount > kMaxSections) throw OutsideTheFile{};
  const std::uint64_t table = optional + optionalSize;
  for (std::uint64_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t at = table + 40 * i;
    const std::uint32_t virtualSize = bytes_.U32(at + 8), rawSize = bytes_.U32(at + 16);
    Section section{bytes_.U32(at + 12), rawSize, virtualSize ? virtualSize : rawSize,
                    bytes_.U32(at + 20)};
    if (!bytes_.Has(section.offset, rawSize)) throw OutsideTheFile{};
    section.inFile = std::min(section.inFile, section.inMemory);
    sections_.push_back(section);
  }
  // The signature is at a file offset, not an RVA; one cut off marks a cut download too.
  if (Present(kSecurity) && !bytes_.Has(dirs_[kSecurity].rva, dirs_[kSecurity].size))
    throw OutsideTheFile{};
  return std::nullopt;
}

Place Reader::Where(std::uint64_t rva) const {
  for (const Section& s : sections_) {
    if (rva < s.rva || rva - s.rva >= s.inMemory) continue;
    // Past the file's part the section is zeros in memory, which no table is meant to be.
    if (rva - s.rva >= s.inFile) throw OutsideTheFile{};
    return {s.offset + (rva - s.rva), s.inFile - (rva - s.rva)};
  }
  if (rva < headers_) return {rva, headers_ - rva};
  throw OutsideTheFile{};
}

// The file offset of the COUNT bytes at RVA.
std::uint64_t Reader::At(std::uint64_t rva, std::uint64_t count) const {
  const Place place = Where(rva);
  if (count > place.count) throw OutsideTheFile{};
  return place.offset;
}

// The NUL-ended text at RVA, cut at kMaxName bytes: a longer name is compared by its start.
std::string Reader::Text(std::uint64_t rva) const {
  const Place place = Where(rva);
  const auto text = bytes_.Span(place.offset, std::min<std::uint64_t>(place.count, kMaxName));
  const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
  if (end == text.end() && text.size() < kMaxName) throw OutsideTheFile{};  // no end in the file
  return {text.begin(), end};
}

// The RVA of ADDRESS, which holds a virtual address when BASE is not zero.
std::uint64_t Reader::Rva(std::uint64_t address, std::uint64_t base) const {
  if (address < base || address - base > 0xFFFFFFFF) throw OutsideTheFile{};
  return address - base;
}

// The functions named by the thunks at RVA, up to a zero one; BASE as for Rva.
void Reader::ReadFunctions(std::uint64_t rva, std::uint64_t base, Library& library) {
  const unsigned width = pe32Plus_ ? 8 : 4;
  const std::uint64_t byOrdinal = std::uint64_t{1} << (8 * width - 1);
  for (std::uint64_t at = rva;; at += width) {
    const std::uint64_t thunk = bytes_.Number(At(at, width), width);
    if (thunk == 0) return;
    if (++functions_ > kMaxFunctions) throw OutsideTheFile{};
    if (thunk & byOrdinal) {
      library.functions.push_back({"", static_cast<std::uint16_t>(thunk), true});
    } else {
      const std::uint64_t named = Rva(thunk, base);
      library.functions.push_back({Text(named + 2), U16At(named), false});
    }
  }
}

void Reader::ReadImports(Image& image) {
  if (!Present(kImports)) return;
  // Read as the loader reads them: up to a descriptor without a name or an address table.
  for (std::uint64_t at = dirs_[kImports].rva;; at += 20) {
    const std::uint64_t offset = At(at, 20);
    const std::uint32_t names = bytes_.U32(offset), name = bytes_.U32(offset + 12),
                        slots = bytes_.U32(offset + 16);
    if (name == 0 || slots == 0) return;
    if (++libraries_ > kMaxLibraries) throw OutsideTheFile{};
    Library& library = image.imports.emplace_back(Library{Text(name), {}});
    ReadFunctions(names ? names : slots, 0, library);
  }
}

void Reader::ReadDelayImports(Image& image) {
  if (!Present(kDelay)) return;
  // Nothing walks these at load: they end with the directory or a descriptor without a name.
  const std::uint64_t first = dirs_[kDelay].rva, end = first + dirs_[kDelay].size;
  for (std::uint64_t at = first; end - at >= 32; at += 32) {
    const std::uint64_t offset = At(at, 32);
    const std::uint32_t attributes = bytes_.U32(offset), name = bytes_.U32(offset + 4),
                        names = bytes_.U32(offset + 16);
    if (name == 0) return;
    if (++libraries_ > kMaxLibraries) throw OutsideTheFile{};
    // The first form, without attribute bit 0, holds virtual addresses.
    const std::uint64_t base = (attributes & 1) ? 0 : imageBase_;
    Library& library = image.delayImports.emplace_back(Library{Text(Rva(name, base)), {}});
    if (names != 0) ReadFunctions(Rva(names, base), base, library);
  }
}

void Reader::ReadExports(Image& image) {
  if (!Present(kExports)) return;
  const Entry dir = dirs_[kExports];
  const std::uint64_t table = At(dir.rva, 40);
  const std::uint32_t base = bytes_.U32(table + 16), count = bytes_.U32(table + 20),
                      nameCount = bytes_.U32(table + 24);
  if (count > kMaxExports || nameCount > kMaxExports) throw OutsideTheFile{};
  // The tables are checked whole before any entry is kept, so their claimed sizes are real.
  const std::uint64_t addresses = count ? At(bytes_.U32(table + 28), 4ull * count) : 0;
  const std::uint64_t names = nameCount ? At(bytes_.U32(table + 32), 4ull * nameCount) : 0;
  const std::uint64_t ordinals = nameCount ? At(bytes_.U32(table + 36), 2ull * nameCount) : 0;

  // An address inside the export directory is a forwarder's "LIB.Function" text.
  const auto add = [&](std::string name, std::uint32_t index) {
    if (image.exports.size() == kMaxExports) throw OutsideTheFile{};
    const std::uint32_t rva = bytes_.U32(addresses + 4ull * index);
    const bool forwarded = rva >= dir.rva && rva - dir.rva < dir.size;
    image.exports.push_back({std::move(name), base + index, forwarded ? Text(rva) : ""});
  };
  std::vector<bool> named(count);
  for (std::uint64_t i = 0; i < nameCount; ++i) {
    const std::uint16_t index = bytes_.U16(ordinals + 2 * i);
    if (index >= count) throw OutsideTheFile{};
    named[index] = true;
    add(Text(bytes_.U32(names + 4 * i)), index);
  }
  // Then those exported by ordinal only; a zero address is an unused ordinal.
  for (std::uint32_t i = 0; i < count; ++i)
    if (!named[i] && bytes_.U32(addresses + 4ull * i) != 0) add("", i);
}

// The first manifest's text below the resource directory at DIRECTORY (an offset from the
// resource section's start), LEVEL 0 being the types, 1 the names, 2 the languages.
std::optional<std::string> Reader::ManifestIn(std::uint64_t directory, int level,
                                              std::size_t& budget) {
  const std::uint64_t root = dirs_[kResources].rva;
  const std::uint64_t header = At(root + directory, 16);
  const std::uint64_t count = std::uint64_t{bytes_.U16(header + 12)} + bytes_.U16(header + 14);
  if (count == 0) return std::nullopt;
  const std::uint64_t entries = At(root + directory + 16, 8 * count);
  for (std::uint64_t i = 0; i < count; ++i) {
    if (budget-- == 0) throw OutsideTheFile{};
    const std::uint32_t id = bytes_.U32(entries + 8 * i), place = bytes_.U32(entries + 8 * i + 4);
    const bool subdirectory = (place & kResourceSubdirectory) != 0;
    if (level == 0 && id != kManifestType) continue;
    if (level < 2 && subdirectory) {
      if (auto text = ManifestIn(place & ~kResourceSubdirectory, level + 1, budget)) return text;
    } else if (level == 2 && !subdirectory) {
      const std::uint64_t data = At(root + place, 16);
      const std::uint32_t size = bytes_.U32(data + 4);
      const auto text =
          bytes_.Span(At(bytes_.U32(data), size), std::min<std::uint64_t>(size, kMaxManifest));
      return std::string(text.begin(), text.end());
    }
  }
  return std::nullopt;
}

void Reader::ReadClr(Image& image) const {
  if (!Present(kClr)) return;
  At(dirs_[kClr].rva, dirs_[kClr].size);
  image.clr = true;
}

void Reader::ReadManifest(Image& image) {
  if (!Present(kResources)) return;
  std::size_t budget = kMaxResourceEntries;
  image.manifest = ManifestIn(0, 0, budget).value_or("");
}

}  // namespace

Reading Read(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return Problem::Empty;
  try {
    Image image;
    Reader reader(bytes);
    if (const auto problem = reader.ReadHeaders(image)) return *problem;
    reader.ReadImports(image);
    reader.ReadDelayImports(image);
    reader.ReadExports(image);
    reader.ReadManifest(image);
    reader.ReadClr(image);
    return image;
  } catch (const OutsideTheFile&) {
    return Problem::Damaged;
  }
}

bool Offers(const std::vector<Export>& exports, const Function& function) {
  return std::any_of(exports.begin(), exports.end(), [&](const Export& e) {
    return function.byOrdinal ? e.ordinal == function.ordinal
                              : !e.name.empty() && e.name == function.name;
  });
}

}  // namespace programFile
