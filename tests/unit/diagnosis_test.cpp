// The loader's search as the reason for a failure sees it, over a made-up file system: what is
// called missing, and what must never be.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "frontend/diagnosis.h"
#include "frontend/modMain.h"

namespace {

using programFile::Image;

// A library of MACHINE importing "lib!fn", "lib!#N" or "lib" alone, exporting EXPORTS.
Image Dll(std::vector<std::string> imports,
          std::vector<std::string> exports = {"DllRegisterServer"},
          std::uint16_t machine = programFile::kAmd64) {
  Image image;
  image.machine = machine, image.library = true;
  for (const auto& import : imports) {
    const auto bang = import.find('!');
    image.imports.push_back({import.substr(0, bang), {}});
    if (bang == std::string::npos) continue;
    const bool byOrdinal = import[bang + 1] == '#';
    const int ordinal = byOrdinal ? std::stoi(import.substr(bang + 2)) : 0;
    image.imports.back().functions.push_back(
        {byOrdinal ? "" : import.substr(bang + 1), static_cast<std::uint16_t>(ordinal), byOrdinal});
  }
  for (const auto& name : exports)
    image.exports.push_back({name, static_cast<std::uint32_t>(image.exports.size() + 1), ""});
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

constexpr std::wstring_view kRegister[] = {L"DllRegisterServer"};

// The reason for C:\app\a.dll, in the user's words; empty when none is found.
std::wstring Why(Fake& system, bool sureOnly = true,
                 std::span<const std::wstring_view> entries = kRegister) {
  const auto cause = diagnosis::Diagnose(system, L"C:\\app\\a.dll", entries, sureOnly);
  return cause ? modMain::ExplainCause(*cause, L"a.dll") : L"";
}

TEST(Diagnosis, NamesTheMissingLibraryWithItsChainAndWhatBringsIt) {
  Fake system;
  system.files[L"C:\\app\\a.dll"] = Dll({"kernel32.dll!Sleep", "b.dll!B"});
  system.files[L"C:\\sys\\kernel32.dll"] = Dll({}, {"Sleep"});
  EXPECT_EQ(Why(system), L"a.dll needs b.dll, and b.dll is not on this computer.");
  // Found in the file's own folder, then the system folder of its bitness, the Windows folder...
  system.files[L"C:\\win\\b.dll"] = Dll({"c.dll"}, {"B"});
  EXPECT_EQ(diagnosis::FindByName(system, L"b.dll"), L"C:\\win\\b.dll");  // a name alone too
  EXPECT_EQ(Why(system),
            L"a.dll needs b.dll, which needs c.dll, and c.dll is not on this computer.");
  system.files[L"C:\\cwd\\c.dll"] = Dll({"d.dll!D"}, {"C"});
  EXPECT_EQ(Why(system),
            L"a.dll needs b.dll, which needs \u2026, which needs d.dll, and d.dll is "
            L"not on this computer.");
  // The runtimes users most often lack are named with what brings them.
  system.files[L"C:\\cwd\\c.dll"] = Dll({"VCRUNTIME140.dll!memset"}, {"C"});
  EXPECT_EQ(Why(system),
            L"a.dll needs the Visual C++ Redistributable (x64): VCRUNTIME140.dll is missing.");
  system.files[L"C:\\app\\VCRUNTIME140.dll"] = Dll({"a.dll"}, {"memset"});  // a loop back
  EXPECT_EQ(Why(system), L"");
  // A file of another bitness is skipped by the search, not taken.
  system.files[L"C:\\wow\\b.dll"] = Dll({}, {"B"}, programFile::kI386);
  EXPECT_EQ(Why(system), L"");
}

TEST(Diagnosis, NamesTheFunctionThatAFoundLibraryLacks) {
  Fake system;
  system.files[L"C:\\app\\a.dll"] = Dll({"b.dll!Old", "b.dll!#7", "c.dll!New"});
  system.files[L"C:\\app\\b.dll"] = Dll({}, {"Old", "x", "y", "z", "w", "v", "u"});
  system.files[L"C:\\sys\\c.dll"] = Dll({}, {"Older"});
  EXPECT_EQ(Why(system),
            L"a.dll needs the function New from c.dll, and C:\\sys\\c.dll does not have it.");
  // A missing library comes first, wherever it lies in the walk.
  system.files[L"C:\\sys\\c.dll"] = Dll({"d.dll"}, {"New"});
  EXPECT_EQ(Why(system),
            L"a.dll needs c.dll, which needs d.dll, and d.dll is not on this computer.");
  system.files[L"C:\\sys\\d.dll"] = Dll({"b.dll!#9"}, {"D"});
  EXPECT_EQ(Why(system),
            L"a.dll needs d.dll, which needs the function #9 from b.dll, and "
            L"C:\\app\\b.dll does not have it.");
  // Long names give way, the longest first, so that the whole stays on the balloon's two lines.
  diagnosis::Cause lacks{.kind = diagnosis::Cause::Kind::MissingFunction};
  lacks.chain = {L"", L"VendorFoundation64.dll"};
  lacks.function = L"CreateWidgetFactoryWithOptionsEx";
  lacks.foundAt = L"C:\\Program Files\\Vendor\\Product Suite\\bin\\VendorFoundation64.dll";
  EXPECT_EQ(modMain::ExplainCause(lacks, L"a.dll"),
            L"a.dll needs the function CreateWidge\u2026thOptionsEx from VendorFo\u2026on64.dll, "
            L"and C:\\Program Files\\Ven\u2026dation64.dll does not have it.");
}

TEST(Diagnosis, CallsNothingMissingThatTheLoaderFindsOtherwise) {
  Fake system;
  auto a = Dll({"api-ms-win-core-synch-l1-2-0.dll!X", "api-ms-win-crt-runtime-l1-1-0.dll",
                "kernel32.dll!Nothing"});
  a.delayImports = Dll({"delayed.dll"}).imports;  // not needed by the load
  system.files[L"C:\\app\\a.dll"] = a;
  // A known DLL is the system folder's alone, and not checked further when it is not there.
  system.files[L"C:\\app\\kernel32.dll"] = Dll({}, {"Sleep"});
  EXPECT_EQ(Why(system), L"");
  // A copy beside the file of a library the system folder holds too may not be the one loaded.
  std::get<Image>(system.files[L"C:\\app\\a.dll"])
      .imports.push_back(Dll({"user32.dll!Draw"}).imports[0]);
  system.files[L"C:\\app\\user32.dll"] = Dll({}, {"Other"});
  system.files[L"C:\\sys\\user32.dll"] = Dll({}, {"Draw"});
  EXPECT_EQ(Why(system), L"");
  // Before Windows 10 the C runtime's API sets are files of their own, brought by an update.
  system.apiSets = false;
  EXPECT_EQ(Why(system),
            L"a.dll needs the Universal C Runtime (KB2999226) (x64): "
            L"api-ms-win-c\u2026-l1-1-0.dll is missing.");
  // Side-by-side assemblies named in the manifest live where this search does not look.
  std::get<Image>(system.files[L"C:\\app\\a.dll"]).manifest =
      "<assembly><dependency><dependentAssembly><assemblyIdentity name=\"Microsoft.VC90.CRT\"/>";
  EXPECT_EQ(Why(system), L"");
}

TEST(Diagnosis, TellsWhatTheFileItselfIs) {
  Fake system;
  EXPECT_EQ(Why(system), L"a.dll could not be loaded: there is no such file.");
  system.files[L"C:\\app\\a.dll"] = diagnosis::Folder{};
  EXPECT_EQ(Why(system), L"a.dll could not be loaded: it is a folder, not a file.");
  system.files[L"C:\\app\\a.dll"] = win32::Failure{5, L"Access is denied."};
  EXPECT_EQ(Why(system), L"") << "administrator rights may read it";
  EXPECT_EQ(Why(system, false), L"a.dll could not be read: Access is denied.");
  system.files[L"C:\\app\\a.dll"] = programFile::Problem::Damaged;
  EXPECT_EQ(Why(system), L"a.dll could not be loaded: the program file is damaged.");
  system.files[L"C:\\app\\a.dll"] = Dll({"gone.dll"}, {"DllRegisterServer"}, programFile::kArm64);
  EXPECT_EQ(Why(system), L"a.dll is built for ARM64, which this x64 Windows cannot run.");
  system.files[L"C:\\app\\a.dll"] = Dll({"gone.dll"}, {}, programFile::kI386);
  EXPECT_EQ(Why(system), L"The entry point DllRegisterServer was not found in a.dll.");
  std::get<Image>(system.files[L"C:\\app\\a.dll"]).clr = true;
  EXPECT_EQ(Why(system), L"a.dll is a .NET assembly: RegAsm registers it, RegSvr32 cannot.");
  // The one the action needs: /install calls DllInstall too.
  const auto& install = modMain::ActionTable()[3];
  ASSERT_EQ(install.switchText, L"/install");
  system.files[L"C:\\app\\a.dll"] = Dll({});
  EXPECT_EQ(Why(system, true, install.Calls()),
            L"The entry point DllInstall was not found in a.dll.");
  // The 32-bit file's dependencies are searched where its own twin of the tool looks.
  system.files[L"C:\\app\\a.dll"] = Dll({"gone.dll"}, {"DllRegisterServer"}, programFile::kI386);
  EXPECT_EQ(Why(system), L"a.dll needs gone.dll, and gone.dll is not on this computer.");
  EXPECT_EQ(system.opened.back(), L"C:\\cwd\\gone.dll");
  EXPECT_NE(std::ranges::find(system.opened, L"C:\\wow\\gone.dll"), system.opened.end());
}

}  // namespace
