// What a program file (PE32 or PE32+) says about itself: its machine, its kind, the libraries and
// functions it imports, what it exports, a .NET header and its side-by-side manifest. The bytes
// are hostile: every offset and size is checked against them, the work is bounded, and nothing
// is allocated in proportion to a size the file merely claims.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace programFile {

// IMAGE_FILE_MACHINE_* values met in practice.
inline constexpr std::uint16_t kI386 = 0x014C;
inline constexpr std::uint16_t kAmd64 = 0x8664;
inline constexpr std::uint16_t kArm64 = 0xAA64;
inline constexpr std::uint16_t kArmNt = 0x01C4;

struct Function {
  std::string name;           // empty when imported by ordinal alone
  std::uint16_t ordinal = 0;  // the ordinal, when imported by it; else the hint
  bool byOrdinal = false;
  bool operator==(const Function&) const = default;
};

struct Library {
  std::string name;  // as the file writes it
  std::vector<Function> functions;
  bool operator==(const Library&) const = default;
};

struct Export {
  std::string name;           // empty for an export by ordinal only
  std::uint32_t ordinal = 0;  // biased, as an importer names it
  std::string forwarder;      // "LIB.Function" or "LIB.#N" when forwarded, else empty
  bool operator==(const Export&) const = default;
};

struct Image {
  std::uint16_t machine = 0;
  bool pe32Plus = false;
  bool library = false;  // a DLL, not a program
  std::vector<Library> imports;
  std::vector<Library> delayImports;  // not needed by the load itself
  std::vector<Export> exports;
  bool clr = false;      // a .NET assembly's header
  std::string manifest;  // the side-by-side manifest resource's text, if any
  bool operator==(const Image&) const = default;
};

// Why the bytes give no Image.
enum class Problem {
  Empty,           // no bytes at all
  NotProgramFile,  // no MZ and PE signature: a text file, a picture, a cut download's start
  Damaged,         // a program file whose headers or tables point outside it, or pass the limits
};

using Reading = std::variant<Image, Problem>;

// Reads the headers and tables of a program file held in BYTES.
Reading Read(std::span<const std::uint8_t> bytes);

// Limits that bound the work on any file. A file with more libraries, functions or exports is
// taken as damaged; a longer manifest or name (of a library, a function, a forwarder) is kept cut
// to its first bytes, and two names alike that far are taken for the same.
inline constexpr std::size_t kMaxLibraries = 1024;   // imports and delay imports together
inline constexpr std::size_t kMaxFunctions = 65536;  // over all libraries together
inline constexpr std::size_t kMaxExports = 65536;
inline constexpr std::size_t kMaxManifest = 65536;
inline constexpr std::size_t kMaxName = 1024;

// Whether EXPORTS offer NAME, or the ORDINAL, as an importer asks for it.
bool Offers(const std::vector<Export>& exports, const Function& function);

}  // namespace programFile
