// A row of Pellory's action table: the start-up procedure reads its switches, the reports its
// words, so both take it from here.
#pragma once

#include <array>
#include <string_view>
#include <vector>

namespace modMain {

struct CommandAction {
  std::wstring_view switchText;
  std::wstring_view toolSwitches;
  std::wstring_view messageBefore;  // the balloon reads messageBefore + NAME + messageAfter
  std::wstring_view messageAfter;
  std::wstring_view entryPoints;  // what the tool calls, for failure reports
  // What a self-registering program is started with; empty where only regsvr32 serves.
  std::wstring_view serverSwitch;
  bool unregisters;
  std::wstring_view done;  // what the file was, in a report of what was not done
  // The entry points the tool calls, in its order; the second may be empty.
  std::array<std::wstring_view, 2> calls;
  std::vector<std::wstring_view> Calls() const;
};

}  // namespace modMain
