// A platform for Pellory's start-up procedure that records what it is asked to do, shared by
// the unit tests and the fuzzer.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontend/modMain.h"

class FakePlatform final : public modMain::Platform {
 public:
  void ShowBox(const std::wstring& text, modMain::BoxIcon icon) override {
    boxes.push_back({text, icon});
  }
  std::optional<std::wstring> StartTool(const std::wstring& commandLine) override {
    calls.push_back(L"start " + commandLine);
    return startError;
  }
  std::optional<std::wstring> FullPath(const std::wstring& path) override {
    if (noFullPath) return std::nullopt;
    return L"C:\\cwd\\" + path;
  }
  std::wstring OwnPath() override { return L"C:\\P\\Pellory.exe"; }
  std::wstring SystemText(std::uint32_t code) override {
    if (code == 0x80070005) return L"Access is denied.";
    return code == 0x80000003 ? L"One or more arguments are invalid." : L"";
  }
  std::uint32_t RegisterTypeLibrary(const std::wstring& fullPath, bool unregister) override {
    calls.push_back((unregister ? L"unregister library " : L"register library ") + fullPath);
    return result.exitCode;
  }
  modMain::ServerCheck CheckServer(const std::wstring& fullPath) override {
    calls.push_back(L"check " + fullPath);
    return server;
  }
  std::optional<std::wstring> StartProgram(const std::wstring& fullPath,
                                           const std::wstring& commandLine) override {
    calls.push_back(L"start program " + fullPath + L" as " + commandLine);
    return startError;
  }
  void PrepareBalloon() override { calls.push_back(L"prepare"); }
  modMain::ToolRun WaitForTool(std::uint32_t timeoutMs) override {
    calls.push_back(L"wait " + std::to_wstring(timeoutMs));
    return result;
  }
  void StopProgram() override { calls.push_back(L"stop"); }
  modMain::ScreenTwips Screen() override { return {1024 * 15.0, 768 * 15.0}; }
  modMain::Token TokenKind() override { return token; }
  bool IsRelaunchedCopy() override { return relaunchedCopy; }
  std::wstring CurrentFolder() override { return L"C:\\cwd"; }
  std::optional<modMain::StartFailure> StartElevated(const modMain::Relaunch& request) override {
    calls.push_back(L"elevate " + request.verb + L" " + request.program + L" [" +
                    request.arguments + L"] in " + request.folder);
    return elevateError;
  }
  void ShowBalloon(const balloon::BalloonSpec& spec) override {
    if (balloonFails) throw std::runtime_error("no balloon");
    balloons.push_back(spec);
  }

  struct Box {
    std::wstring text;
    modMain::BoxIcon icon;
  };
  std::vector<Box> boxes;
  std::vector<std::wstring> calls;
  std::vector<balloon::BalloonSpec> balloons;
  modMain::ToolRun result;
  std::optional<std::wstring> startError;  // set: the tool or server cannot be started
  modMain::ServerCheck server{modMain::ServerCheck::Kind::SelfRegistering, {}};
  bool balloonFails = false;
  bool noFullPath = false;
  modMain::Token token = modMain::Token::Full;
  bool relaunchedCopy = false;
  std::optional<modMain::StartFailure> elevateError;  // set: the copy cannot be started
};
