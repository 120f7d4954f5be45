// libFuzzer target over the reader of program files. A broken invariant aborts with the line that
// broke it, so that libFuzzer keeps the input.
#include <cstdio>
#include <cstdlib>

#include "frontend/programFile.h"

namespace {

using namespace programFile;

#define CHECK(c) ((c) ? void() : (std::fprintf(stderr, "invariant broken: %s\n", #c), std::abort()))

void CheckName(const std::string& name) {
  CHECK(name.size() <= kMaxName && name.find('\0') == std::string::npos);
}

// An Image stays within the limits, whatever the bytes claim.
void CheckBounds(const Image& image) {
  CHECK(image.imports.size() + image.delayImports.size() <= kMaxLibraries);
  std::size_t functions = 0;
  for (const auto* libraries : {&image.imports, &image.delayImports}) {
    for (const Library& library : *libraries) {
      CheckName(library.name);
      functions += library.functions.size();
      for (const Function& function : library.functions) {
        CheckName(function.name);
        CHECK(!function.byOrdinal || function.name.empty());
      }
    }
  }
  CHECK(functions <= kMaxFunctions);
  CHECK(image.exports.size() <= kMaxExports && image.manifest.size() <= kMaxManifest);
  for (const Export& e : image.exports) {
    CheckName(e.name);
    CheckName(e.forwarder);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  const Reading reading = Read(bytes);
  CHECK(Read(bytes) == reading);  // the same bytes, the same answer
  const auto* problem = std::get_if<Problem>(&reading);
  CHECK((problem && *problem == Problem::Empty) == (size == 0));
  const auto* image = std::get_if<Image>(&reading);
  if (image) CheckBounds(*image);

  // Every read is checked against the file's end, so bytes added after it change nothing, and a
  // cut either gives the same Image or none: never one with parts silently missing.
  std::vector<std::uint8_t> longer(data, data + size);
  longer.resize(size + 64, 0xFF);
  if (image) CHECK(Read(longer) == reading);
  for (std::size_t cut : {size / 2, size - size / 8}) {
    const Reading shorter = Read(bytes.first(cut));
    CHECK(!std::holds_alternative<Image>(shorter) || shorter == reading);
  }
  return 0;
}
