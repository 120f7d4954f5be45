// What Pellory tells the user, in a box or a balloon, and the words for why a file failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "balloon/tipDesign.h"
#include "frontend/action.h"
#include "frontend/diagnosis.h"
#include "win32/result.h"

namespace modMain {

struct Report {
  std::wstring text;
  balloon::IconRole icon = balloon::IconRole::Information;
};

std::wstring UsageText();
std::wstring UnknownArgumentText();
std::wstring MissingPathText(const CommandAction& action);
std::wstring QuoteInPathText(std::wstring_view path);
std::wstring SeparatorAtEndText(std::wstring_view path);

// NAME as the balloon shows it: one longer than ROOM is cut in the middle, keeping its end and
// extension, so that the message's own words stay within the balloon's two lines. Reports give
// NAME less room when their own words are long.
inline constexpr std::size_t kNameRoom = 40;
std::wstring ShownName(const std::wstring& name, std::size_t room = kNameRoom);

std::wstring BalloonMessage(const CommandAction& action, const std::wstring& name);
// "N file" or "N files".
std::wstring FilesText(std::size_t count);

// PROGRAM is what could not be started: RegSvr32, Pellory's type-library process or a server.
std::wstring LaunchFailureText(const std::wstring& program, const std::wstring& error);

// What keeps the tool from loading NAME or calling its entry point, in words the user can act on.
std::wstring ExplainCause(const diagnosis::Cause& cause, const std::wstring& name);

// Why a program was not started; only for a program that does not register itself, or whose
// version information could not be read. CHECK is what its version information declared.
Report DescribeRefusedServer(const std::wstring& name, win32::Result<bool> check);

// A worker's failure exit status, for the handler table: regsvr32's, the type-library process's
// (an HRESULT, or the code of an exception that ended it) and a self-registering program's.
// systemText is the system's words for that status, empty if it has none.
std::wstring ToolFailure(const CommandAction& action, const std::wstring& name,
                         std::uint32_t status, const std::wstring& systemText);
std::wstring LibraryFailure(const CommandAction& action, const std::wstring& name,
                            std::uint32_t status, const std::wstring& systemText);
std::wstring ServerFailure(const CommandAction& action, const std::wstring& name,
                           std::uint32_t status, const std::wstring& systemText);
// A worker that did not end within TIMEOUTMS: BEFORE + NAME + AFTER, then the time; STOPPED: it
// was ended.
std::wstring TimedOutText(std::wstring_view before, const std::wstring& name,
                          std::wstring_view after, std::uint32_t timeoutMs, bool stopped);

std::wstring PathTooLongText(const CommandAction& action, const std::wstring& name);
std::wstring WaitFailedText(const std::wstring& name, const std::wstring& error);
// The copy with administrator rights could not read NAME; DETAIL says why.
std::wstring UnreachableText(const std::wstring& name, const std::wstring& detail);
// To a standard user, in place of a failure that looks like a registry refusing to be written.
std::wstring NeedsAdministratorText(const CommandAction& action, const std::wstring& name);
// An item that no program can load from where it is; a copy in a folder can be.
std::wstring NotAFileText(const CommandAction& action, const std::wstring& name);
std::wstring UnusablePathText(const std::wstring& path);

// LOADED: the text of the list file, which holds no list, or why it could not be read.
std::wstring UnreadableListText(const win32::Result<std::wstring>& loaded);
std::wstring UnwrittenListText(const std::wstring& error);
std::wstring DeclinedText(const CommandAction& action, const std::wstring& name);
std::wstring SelectionDeclinedText(const CommandAction& action, std::size_t count);
std::wstring CopyLaunchFailureText(const std::wstring& error);
// SUBJECT names the work: a file's name, or how many files.
std::wstring CopyWaitFailedText(const std::wstring& subject, const std::wstring& error);
// What a selection tells of the files that succeeded together, and of the failures that found
// no room in the column.
std::wstring SucceededText(const CommandAction& action, std::size_t count);
std::wstring OverflowText(const CommandAction& action, std::size_t count);

}  // namespace modMain
