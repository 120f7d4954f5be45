// The loader's search as the reason for a failure sees it, over a made-up file system: what is
// called missing, and what must never be.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "frontend/diagnosis.h"
#include "frontend/modMain.h"
#include "tests/unit/cases.h"

namespace {

using programFile::Image;

// A file as the case table writes it: folder, denied, damaged, or a library's machine, its imports
// (lib, lib!fn, lib!#N), ">" and its exports, with the marks clr, sxs and delay:lib among them.
diagnosis::Opened File(const std::wstring& what) {
  if (what == L"folder") return diagnosis::Folder{};
  if (what == L"denied") return win32::Failure{5, L"Access is denied."};
  if (what == L"damaged") return programFile::Problem::Damaged;
  Image image;
  image.library = true;
  bool exports = false;
  for (const auto& wide : Split(what, L" ")) {
    const std::string word(wide.begin(), wide.end()), lib = word.substr(0, word.find('!'));
    const auto fn = word.substr(std::min(word.size(), lib.size() + 1));
    if (word == "x64" || word == "x86" || word == "arm64") {
      image.machine = word == "x64"   ? programFile::kAmd64
                      : word == "x86" ? programFile::kI386
                                      : programFile::kArm64;
    } else if (word == ">" || word == "clr") {
      (word == ">" ? exports : image.clr) = true;
    } else if (word == "sxs") {
      image.manifest = "<assembly><dependency><dependentAssembly><assemblyIdentity name=\"VC\"/>";
    } else if (exports) {
      image.exports.push_back({word, static_cast<std::uint32_t>(image.exports.size() + 1), ""});
    } else {
      auto& into = word.starts_with("delay:") ? image.delayImports : image.imports;
      into.push_back({word.starts_with("delay:") ? lib.substr(6) : lib, {}});
      if (!fn.empty())
        into.back().functions.push_back(
            {fn[0] == '#' ? "" : fn,
             static_cast<std::uint16_t>(fn[0] == '#' ? std::stoi(fn.substr(1)) : 0), fn[0] == '#'});
    }
  }
  return image;
}

struct Fake final : diagnosis::System {
  std::map<std::wstring, diagnosis::Opened> files;
  std::vector<std::wstring> opened;
  bool apiSets = true;
  diagnosis::Opened Open(const std::wstring& path) override {
    opened.push_back(path);
    const auto file = files.find(path);
    return file == files.end() ? diagnosis::Opened(diagnosis::NotThere{}) : file->second;
  }
  std::vector<std::wstring> SearchFolders(std::uint16_t machine) override {
    return {machine == programFile::kI386 ? L"C:\\wow" : L"C:\\sys", L"C:\\win", L"C:\\cwd"};
  }
  bool IsKnownDll(const std::wstring& name) override { return name == L"kernel32.dll"; }
  std::uint16_t NativeMachine() override { return programFile::kAmd64; }
  std::uint16_t ToolMachine() override { return programFile::kAmd64; }
  bool ResolvesRuntimeApiSets() override { return apiSets; }
};

TEST(Diagnosis, NamesTheFirstCauseInTheLoadersOrderAndNothingTheLoaderFinds) {
  Fake system;
  for (const auto& c : Cases("diagnosis")) {
    SCOPED_TRACE(std::string(c[1].begin(), c[1].end()));
    if (c[0] == L"new") system = Fake();
    for (const auto& file : Split(c[1], L" ; ")) {
      const auto at = file.find(L'=');
      system.files[file.substr(0, at)] = File(file.substr(at + 1));
    }
    system.apiSets = c[2].find(L"noapisets") == c[2].npos;
    // The entry points of /register, or of /install.
    const auto& action = modMain::ActionTable()[c[2].find(L"install") == c[2].npos ? 0 : 3];
    const auto cause = diagnosis::Diagnose(system, L"C:\\app\\a.dll", action.Calls(),
                                           c[2].find(L"all") == c[2].npos);
    EXPECT_EQ(cause ? modMain::ExplainCause(*cause, L"a.dll") : L"", c[3]);
  }
  // A name alone is found where the loader looks; a 32-bit file's dependencies where its own twin
  // of the tool looks.
  EXPECT_EQ(diagnosis::FindByName(system, L"gone.dll"), std::nullopt);
  system.files[L"C:\\win\\b.dll"] = File(L"x64 > B");
  EXPECT_EQ(diagnosis::FindByName(system, L"b.dll"), L"C:\\win\\b.dll");
  EXPECT_NE(std::ranges::find(system.opened, L"C:\\wow\\gone.dll"), system.opened.end());
}

// Long names give way, the longest first, so that the whole stays on the balloon's two lines.
TEST(Diagnosis, LongNamesGiveWayTheLongestFirst) {
  diagnosis::Cause lacks{.kind = diagnosis::Cause::Kind::MissingFunction};
  lacks.chain = {L"", L"VendorFoundation64.dll"};
  lacks.function = L"CreateWidgetFactoryWithOptionsEx";
  lacks.foundAt = L"C:\\Program Files\\Vendor\\Product Suite\\bin\\VendorFoundation64.dll";
  EXPECT_EQ(modMain::ExplainCause(lacks, L"a.dll"),
            L"a.dll needs the function CreateWidge\u2026thOptionsEx from VendorFo\u2026on64.dll, "
            L"and C:\\Program Files\\Ven\u2026dation64.dll does not have it.");
}

}  // namespace
