// Pellory's start-up procedure and its decisions: the command line, the action table, the
// tool command line and the result balloon. The platform is reached only through Platform.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "balloon/tipDesign.h"

namespace modMain {

struct CommandAction {
  std::wstring_view switchText;
  std::wstring_view toolSwitches;
  std::wstring_view messageBefore;  // the balloon reads messageBefore + NAME + messageAfter
  std::wstring_view messageAfter;
  std::wstring_view entryPoints;  // what the tool calls, for failure reports
};

// The rows in the order they are tried, so that /installonly is not taken for /install.
std::span<const CommandAction> ActionTable();

struct RegistrationRequest {
  std::wstring quotedPath;
  std::wstring name;
};

std::wstring QuotePath(std::wstring_view path);
std::wstring NameOf(std::wstring_view quotedPath);
std::wstring ToolCommandLine(const CommandAction& action, const RegistrationRequest& request);
std::wstring BalloonMessage(const CommandAction& action, const std::wstring& name);

// What the start-up procedure makes of the raw command line.
struct ShowUsage {};
struct UnknownArgument {};
struct MissingPath {
  const CommandAction* action;
};
struct QuoteInPath {
  std::wstring path;
};
struct SeparatorAtEnd {
  std::wstring path;
};
struct Registration {
  const CommandAction* action;
  RegistrationRequest request;
};
using Command = std::variant<ShowUsage, UnknownArgument, MissingPath, QuoteInPath, SeparatorAtEnd,
                             Registration>;
Command ParseCommandLine(std::wstring_view raw);

// The argument text after the program's own name, as the platform's Command$ gives it.
std::wstring_view ArgumentsOf(std::wstring_view fullCommandLine);

std::wstring UsageText();
std::wstring UnknownArgumentText();
std::wstring MissingPathText(const CommandAction& action);
std::wstring QuoteInPathText(std::wstring_view path);
std::wstring SeparatorAtEndText(std::wstring_view path);

// NAME as the balloon shows it: a long one is cut in the middle, keeping its end and extension,
// so that the message's own words stay within the balloon's two lines.
std::wstring ShownName(const std::wstring& name);

// How a run of the tool ended.
struct ToolRun {
  enum class End { Exited, TimedOut } end = End::Exited;
  std::uint32_t exitCode = 0;
};
inline constexpr std::uint32_t kToolTimeoutMs = 30000;

struct Report {
  std::wstring text;
  std::wstring icon;  // an sIcon code
};
Report DescribeOutcome(const CommandAction& action, const std::wstring& name, const ToolRun& run);
std::wstring LaunchFailureText(const std::wstring& error);

struct ScreenTwips {
  double width = 0;
  double height = 0;
};
balloon::BalloonSpec MakeBalloonSpec(const Report& report, ScreenTwips screen);

enum class BoxIcon { Information, Error };

class Platform {
 public:
  virtual void ShowBox(const std::wstring& text, BoxIcon icon) = 0;
  // Starts the tool by its own full path with this command line; why not, if it cannot.
  virtual std::optional<std::wstring> StartTool(const std::wstring& commandLine) = 0;
  // Loads the balloon, hidden, so that it is ready the moment the tool ends.
  virtual void PrepareBalloon() = 0;
  // Waits up to timeoutMs for the started tool, answering the window system meanwhile.
  virtual ToolRun WaitForTool(std::uint32_t timeoutMs) = 0;
  virtual ScreenTwips Screen() = 0;
  // Throws when no balloon can be shown; the outcome then goes into a box.
  virtual void ShowBalloon(const balloon::BalloonSpec& spec) = 0;

 protected:
  ~Platform() = default;
};

struct Outcome {
  bool balloonShown = false;
  int exitStatus = 0;  // once the balloon is gone
};
Outcome Main(std::wstring_view rawCommandLine, Platform& platform);

}  // namespace modMain
