// The Win32 side of the loader's search: files mapped and read as program files, the folders it
// searches, the known DLLs and the machine this Windows runs.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "frontend/diagnosis.h"
#include "frontend/paths.h"

// This process's system and Windows folders, and whether it runs under WOW64.
const paths::Folders& HereFolders();

class LoaderFiles final : public diagnosis::System {
 public:
  diagnosis::Opened Open(const std::wstring& fullPath) override;
  std::vector<std::wstring> SearchFolders(std::uint16_t machine) override;
  bool IsKnownDll(const std::wstring& name) override;
  std::uint16_t NativeMachine() override;
  std::uint16_t ToolMachine() override;
  bool ResolvesRuntimeApiSets() override;

 private:
  std::optional<std::set<std::wstring>> knownDlls_;
};
