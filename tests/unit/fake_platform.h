// A platform for Pellory's start-up procedure that records what it is asked to do and what the
// user is told, shared by the unit tests and the fuzzer. The words of its SETUP say how the
// world behaves: limited, standard (the token), copy (this is the copy with administrator
// rights), notoken (it cannot be read), exit=N, timeout, lost (how a started program ends),
// nostart, notself, unreadable, missing (the file is not there), insystem (it is in the system
// folder C:\sys too), notpe, arm64, noentry (what the file is, as the loader reads it), mapped
// (the current folder is on drive Z:, mapped to \\srv\share), declined, noelevate, nofull,
// noballoon, room=N (balloons in a column, 10 if not given), nolist (no list file can be written
// or read); shape tells the balloon's shape as well.
// In a selection a file's name tells its own fate: fail* fails (exit 5), gone* is not there,
// plain* is a program that does not register itself.
#pragma once

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/modMain.h"

class FakePlatform final : public modMain::Platform {
 public:
  explicit FakePlatform(const std::wstring& setup = L"") : setup_(L" " + setup + L" ") {}

  bool Has(const std::wstring& word) const { return setup_.find(L" " + word + L" ") != npos; }
  std::uint32_t Value(const std::wstring& key) const {
    const auto at = setup_.find(L" " + key + L"=");
    return at == npos ? 0 : std::stoul(setup_.substr(at + key.size() + 2), nullptr, 0);
  }

  void ShowBox(const std::wstring& text, modMain::BoxIcon icon) override {
    told.push_back((icon == modMain::BoxIcon::Error ? L"box x " : L"box i ") + text);
  }
  modMain::Started StartTool(const std::wstring& commandLine, const std::wstring&) override {
    return Start(L"start " + commandLine, Has(L"nostart"));
  }
  std::optional<std::wstring> FullPath(const std::wstring& path) override {
    if (Has(L"nofull")) return std::nullopt;
    return path.size() > 2 && path[1] == L':' && path[2] == L'\\' ? path
                                                                  : CurrentFolder() + L"\\" + path;
  }
  bool FileExists(const std::wstring& path) override {
    return !Has(L"missing") && path.find(L"\\gone") == npos;
  }
  std::wstring UniversalPath(const std::wstring& fullPath) override {
    return fullPath.starts_with(L"Z:") ? L"\\\\srv\\share" + fullPath.substr(2) : fullPath;
  }
  std::wstring OwnPath() override { return L"C:\\P\\Pellory.exe"; }
  std::wstring SystemText(std::uint32_t code) override {
    if (code == 0x80070005) return L"Access is denied.";
    if (code == 0x80070002) return L"The system cannot find the file specified.";
    return code == 0x80000003 ? L"One or more arguments are invalid." : L"";
  }
  modMain::ServerCheck CheckServer(const std::wstring& fullPath) override {
    Call(L"check " + fullPath);
    if (Has(L"unreadable")) return win32::Failure{5, L"Access denied."};
    return !Has(L"notself") && fullPath.find(L"\\plain") == npos;
  }
  modMain::Started StartProgram(const std::wstring& fullPath,
                                const std::wstring& commandLine) override {
    return Start(L"start program " + fullPath + L" as " + commandLine, Has(L"nostart"));
  }
  void PrepareBalloon() override { Call(L"prepare"); }
  modMain::ScreenTwips Screen() override { return {1024 * 15.0, 768 * 15.0}; }
  win32::Result<modMain::Token> TokenKind() override {
    using enum modMain::Token;
    if (Has(L"notoken")) return win32::Failure{5, L"Access denied."};
    return Has(L"limited") ? Limited : Has(L"standard") ? Standard : Full;
  }
  bool IsRelaunchedCopy() override { return Has(L"copy"); }
  std::wstring CurrentFolder() override { return Has(L"mapped") ? L"Z:\\cwd" : L"C:\\cwd"; }
  modMain::Started StartElevated(const modMain::Relaunch& r) override {
    const std::wstring call =
        L"elevate " + r.verb + L" " + r.program + L" [" + r.arguments + L"] in " + r.folder;
    if (Has(L"declined")) return Start(call, true, {modMain::kDeclined, L"Cancelled."});
    return Start(call, Has(L"noelevate"), {2, L"Not found."});
  }
  win32::Status ShowBalloon(const balloon::BalloonSpec& spec) override {
    if (Has(L"noballoon")) return win32::Failure{1400, L"no balloon"};
    told.push_back(spec.sIcon + L" " + spec.sText);
    std::wostringstream shape;
    shape << spec.sTitle << L" at " << spec.lPosX << L"," << spec.lPosY << L" " << spec.lWidth
          << L"x" << spec.lHeight << L" in " << spec.sFont << (spec.bShowClose ? L" closable" : L"")
          << L" for " << spec.lAutoCloseAfter << L" ms" << spec.sRTFFilename;
    if (Has(L"shape")) told.push_back(shape.str());
    return {};
  }

  // Each file as the setup says; a file that is there is an x64 library with every entry point.
  struct Files final : diagnosis::System {
    explicit Files(FakePlatform& owner) : p(owner) {}
    diagnosis::Opened Open(const std::wstring& path) override {
      if (p.Has(L"missing") || path.find(L"\\gone") != npos ||
          (path.starts_with(L"C:\\sys\\") && !p.Has(L"insystem")))
        return diagnosis::NotThere{};
      if (p.Has(L"notpe")) return programFile::Problem::NotProgramFile;
      if (p.Has(L"unreachable")) return win32::Failure{53, L"The network path was not found."};
      programFile::Image image;
      image.machine = p.Has(L"arm64") ? programFile::kArm64 : programFile::kAmd64;
      image.library = true;
      for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllInstall"})
        if (!p.Has(L"noentry")) image.exports.emplace_back().name = name;
      return image;
    }
    std::vector<std::wstring> SearchFolders(std::uint16_t) override { return {L"C:\\sys"}; }
    bool IsKnownDll(const std::wstring&) override { return false; }
    std::uint16_t NativeMachine() override { return programFile::kAmd64; }
    std::uint16_t ToolMachine() override { return programFile::kAmd64; }
    bool ResolvesRuntimeApiSets() override { return true; }
    FakePlatform& p;
  } files{*this};
  diagnosis::System& Loader() override { return files; }
  std::size_t BalloonRoom() override { return Value(L"room") ? Value(L"room") : 10; }
  win32::Result<std::wstring> SaveList(const std::wstring& text) override {
    Call(L"save list of " + std::to_wstring(text.size()));
    if (Has(L"nolist")) return win32::Failure{5, L"Access denied."};
    return std::wstring(L"C:\\t\\list");
  }
  win32::Result<std::wstring> LoadList(const std::wstring& path) override {
    Call(L"load " + path);
    if (Has(L"nolist")) return win32::Failure{5, L"Access denied."};
    return std::wstring(LR"("C:\a.dll" "C:\fail.dll")");
  }
  void RemoveList(const std::wstring& path) override { Call(L"remove " + path); }

  std::wstring calls;              // " | " between
  std::vector<std::wstring> told;  // balloons as "ICON TEXT", boxes as "box ICON TEXT"

 private:
  static constexpr auto npos = std::wstring::npos;

  void Call(const std::wstring& what) { calls += (calls.empty() ? L"" : L" | ") + what; }

  // A program whose run ends as the setup says; waits and stops go into CALLS.
  struct Child final : modMain::Child {
    Child(FakePlatform& owner, bool failing) : p(owner), fails(failing) {}
    win32::Result<modMain::ToolRun> Wait(std::uint32_t timeoutMs) override {
      p.Call(L"wait " + std::to_wstring(timeoutMs));
      using enum modMain::ToolRun::End;
      if (p.Has(L"lost")) return win32::Failure{6, L"The handle is invalid."};
      return modMain::ToolRun{p.Has(L"timeout") ? TimedOut : Exited, fails ? 5 : p.Value(L"exit")};
    }
    void Stop() override { p.Call(L"stop"); }
    FakePlatform& p;
    bool fails;
  };

  modMain::Started Start(const std::wstring& call, bool fails, win32::Failure why = {2, L"gone"}) {
    Call(call);
    if (fails) return why;
    return std::unique_ptr<modMain::Child>(
        std::make_unique<Child>(*this, call.find(L"\\fail") != npos));
  }

  std::wstring setup_;
};
