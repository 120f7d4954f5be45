#include "frontend/programFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/unit/cases.h"
#include "tests/unit/programFileEdit.h"

using namespace programFile;
namespace fs = std::filesystem;

namespace {

const fs::path kSeeds = fs::path(PELLORY_SOURCE_DIR) / "tests/fuzz/programFile-corpus";

std::vector<std::uint8_t> Load(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string Reason(const Reading& reading) {
  if (std::holds_alternative<Image>(reading)) return "an image";
  constexpr const char* kNames[] = {"Empty", "NotProgramFile", "Damaged"};
  return kNames[static_cast<int>(std::get<Problem>(reading))];
}

// What objdump -p shows, written alike for both: the kind, each import, each export.
std::vector<std::string> Described(const Image& image) {
  std::vector<std::string> lines{(image.pe32Plus ? "PE32+ " : "PE32 ") +
                                 std::to_string(image.machine) + (image.library ? " dll" : "")};
  for (const Library& library : image.imports) {
    std::string line = "import " + library.name + ":";
    for (const Function& f : library.functions)
      line += f.byOrdinal ? " #" + std::to_string(f.ordinal)
                          : " " + f.name + "/" + std::to_string(f.ordinal);
    lines.push_back(line);
  }
  std::vector<std::string> exports;
  for (const Export& e : image.exports)
    exports.push_back("export " + e.name + "@" + std::to_string(e.ordinal) + " " + e.forwarder);
  std::sort(exports.begin(), exports.end());
  lines.insert(lines.end(), exports.begin(), exports.end());
  return lines;
}

// The same from objdump's text (binutils 2.40, which shows no delay imports).
std::vector<std::string> ObjdumpDescribed(const std::string& objdump, const fs::path& file) {
  std::istringstream text(Output(objdump + " -p '" + file.string() + "'"));
  std::vector<std::string> lines{""}, exports;
  std::map<std::uint32_t, std::string> addresses;  // forwarders by biased ordinal, else ""
  std::vector<std::pair<std::string, std::uint32_t>> names;
  std::uint32_t base = 0;
  bool inLibrary = false, inNames = false;
  for (std::string line; std::getline(text, line);) {
    std::istringstream words(line);
    std::string first, second, third;
    words >> first >> second >> third;
    if (line.ends_with("file format pei-x86-64") || line.ends_with("file format pei-i386")) {
      lines[0] = line.ends_with("x86-64") ? "PE32+ 34404" : "PE32 332";
    } else if (first == "Characteristics" && (std::stoul(second, nullptr, 16) & 0x2000)) {
      lines[0] += " dll";
    } else if (first == "DLL" && second == "Name:") {
      lines.push_back("import " + third + ":");
      inLibrary = true;
    } else if (inLibrary && !first.empty() && first != "vma:") {
      // vma (the thunk's value for an ordinal), hint or ordinal, name or <none>
      lines.back() += third == "<none>"
                          ? " #" + std::to_string(std::stoull(first, nullptr, 16) & 0xFFFF)
                          : " " + third + "/" + second;
    } else if (line.starts_with("Export Address Table -- Ordinal Base ")) {
      base = std::stoul(line.substr(line.rfind(' ')));
    } else if (const auto at = line.find("+base["); at != std::string::npos) {
      const auto arrow = line.find("Forwarder RVA -- ");
      addresses[std::stoul(line.substr(at + 6))] =
          arrow == std::string::npos ? "" : line.substr(arrow + 17);
    } else if (first == "[Ordinal/Name") {
      inNames = true;
    } else if (inNames && line.starts_with("\t[")) {
      names.emplace_back(third.empty() ? second : third, base + std::stoul(line.substr(2)));
    } else if (first.empty()) {
      inLibrary = inNames = false;
    }
  }
  for (const auto& [name, ordinal] : names)
    exports.push_back("export " + name + "@" + std::to_string(ordinal) + " " + addresses[ordinal]);
  for (const auto& [ordinal, forwarder] : addresses) {
    const auto named = [&](const auto& n) { return n.second == ordinal; };
    if (std::none_of(names.begin(), names.end(), named))
      exports.push_back("export @" + std::to_string(ordinal) + " " + forwarder);
  }
  std::sort(exports.begin(), exports.end());
  lines.insert(lines.end(), exports.begin(), exports.end());
  return lines;
}

// Every program file of both Windows builds, and the whole seeds, with the objdump of their
// bitness.
std::vector<std::pair<fs::path, std::string>> ProgramFiles() {
  std::vector<std::pair<fs::path, std::string>> files;
  for (const auto& [folder, bits] : {std::pair{"x86_64", "64"}, std::pair{"i686", "32"}}) {
    const std::string objdump = folder + std::string("-w64-mingw32-objdump");
    const std::size_t before = files.size();
    std::error_code missing;
    for (const auto& entry :
         fs::directory_iterator(fs::path(PELLORY_SOURCE_DIR) / "build" / folder / "bin", missing))
      if (entry.path().extension() == ".exe" || entry.path().extension() == ".dll")
        files.emplace_back(entry.path(), objdump);
    EXPECT_GT(files.size(), before + 5)
        << "no program files in " << folder
        << ": build the mingw presets first (cmake --build --preset mingw-x86_64, then mingw-i686)";
    for (const auto& seed : fs::directory_iterator(kSeeds)) {
      const std::string name = seed.path().stem().string();
      if (name.starts_with("seed" + std::string(bits)) && !name.ends_with("-cut"))
        files.emplace_back(seed.path(), objdump);
    }
  }
  return files;
}

TEST(ProgramFile, AgreesWithObjdumpOnEveryProgramFileOfTheBuild) {
  // Pellory's own manifest is read as written in the source.
  const auto manifest = Load(fs::path(PELLORY_SOURCE_DIR) / "cmake/app.manifest");
  for (const auto& [file, objdump] : ProgramFiles()) {
    SCOPED_TRACE(file.string());
    const Reading reading = Read(Load(file));
    ASSERT_TRUE(std::holds_alternative<Image>(reading)) << Reason(reading);
    const auto ours = Described(std::get<Image>(reading));
    const auto theirs = ObjdumpDescribed(objdump, file);
    EXPECT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i)
      EXPECT_EQ(ours[i], theirs[i]);
    EXPECT_TRUE(file.filename() != "Pellory.exe" ||
                std::get<Image>(reading).manifest == std::string(manifest.begin(), manifest.end()))
        << "the manifest is not the one written";
  }
}

// What objdump does not show, for the table: delay imports, the .NET header, the manifest.
std::string Rest(const Reading& reading) {
  if (!std::holds_alternative<Image>(reading)) return Reason(reading);
  const Image& image = std::get<Image>(reading);
  std::string rest;
  for (const Library& library : image.delayImports) {
    rest += " delay " + library.name + "(";
    for (const Function& f : library.functions)
      rest += (f.byOrdinal ? "#" + std::to_string(f.ordinal) : f.name) + ",";
    rest.back() = ')';
  }
  if (image.clr) rest += " clr";
  if (!image.manifest.empty()) rest += " manifest " + std::to_string(image.manifest.size());
  return rest.empty() ? "" : rest.substr(1);
}

TEST(ProgramFile, ReadsWhatObjdumpDoesNotShowAndRefusesDamage) {
  for (const auto& c : Cases("programFile")) {
    const std::string file(c[0].begin(), c[0].end()), changes(c[1].begin(), c[1].end());
    SCOPED_TRACE(file + " " + changes);
    std::vector<std::uint8_t> bytes =
        file.empty() ? std::vector<std::uint8_t>{} : Load(kSeeds / file);
    ASSERT_TRUE(file.empty() || !bytes.empty());
    for (const std::wstring& change : Split(c[1], L" "))
      EditProgramFile(bytes, std::string(change.begin(), change.end()));
    EXPECT_EQ(Rest(Read(bytes)), std::string(c[2].begin(), c[2].end()));
  }
}

}  // namespace
