// A platform for Pellory's start-up procedure that records what it is asked to do, shared by
// the unit tests and the fuzzer.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontend/modMain.h"

// A started program whose run ends as RUN says; waits and stops go into CALLS.
class FakeChild final : public modMain::Child {
 public:
  FakeChild(std::vector<std::wstring>& calls, modMain::ToolRun run) : calls_(calls), run_(run) {}
  modMain::ToolRun Wait(std::uint32_t timeoutMs) override {
    calls_.push_back(L"wait " + std::to_wstring(timeoutMs));
    return run_;
  }
  void Stop() override { calls_.push_back(L"stop"); }

 private:
  std::vector<std::wstring>& calls_;
  modMain::ToolRun run_;
};

class FakePlatform final : public modMain::Platform {
 public:
  void ShowBox(const std::wstring& text, modMain::BoxIcon icon) override {
    boxes.push_back({text, icon});
  }
  modMain::Started StartTool(const std::wstring& commandLine) override {
    calls.push_back(L"start " + commandLine);
    return Start(startError);
  }
  std::optional<std::wstring> FullPath(const std::wstring& path) override {
    if (noFullPath) return std::nullopt;
    return L"C:\\cwd\\" + path;
  }
  std::wstring OwnPath() override { return L"C:\\P\\Pellory.exe"; }
  std::wstring SystemText(std::uint32_t code) override {
    if (code == 0x80070005) return L"Access is denied.";
    if (code == 6) return L"The handle is invalid.";
    return code == 0x80000003 ? L"One or more arguments are invalid." : L"";
  }
  modMain::ServerCheck CheckServer(const std::wstring& fullPath) override {
    calls.push_back(L"check " + fullPath);
    return server;
  }
  modMain::Started StartProgram(const std::wstring& fullPath,
                                const std::wstring& commandLine) override {
    calls.push_back(L"start program " + fullPath + L" as " + commandLine);
    return Start(startError);
  }
  void PrepareBalloon() override { calls.push_back(L"prepare"); }
  modMain::ScreenTwips Screen() override { return {1024 * 15.0, 768 * 15.0}; }
  modMain::Token TokenKind() override { return token; }
  bool IsRelaunchedCopy() override { return relaunchedCopy; }
  std::wstring CurrentFolder() override { return L"C:\\cwd"; }
  modMain::Started StartElevated(const modMain::Relaunch& request) override {
    calls.push_back(L"elevate " + request.verb + L" " + request.program + L" [" +
                    request.arguments + L"] in " + request.folder);
    if (elevateError) return {nullptr, *elevateError};
    return Start({});
  }
  void ShowBalloon(const balloon::BalloonSpec& spec) override {
    if (balloonFails) throw std::runtime_error("no balloon");
    balloons.push_back(spec);
  }

  modMain::Started Start(const std::optional<std::wstring>& error) {
    if (error) return {nullptr, {2, *error}};
    return {std::make_unique<FakeChild>(calls, result), {}};
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
