// Apart from the rest of the plumbing, so that only the programs that share named objects import
// what it needs.
#include "win32/system.h"
// After windows.h, which it needs.
#include <sddl.h>

namespace win32 {

SharedObjectSecurity::SharedObjectSecurity(Label label) {
  // SYNCHRONIZE for authenticated users; everything for the system and administrators. A mutex's
  // SYNCHRONIZE counts as executing it, so only "no execute up" keeps a lower process from
  // waiting on a medium one.
  const std::wstring access = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;AU)";
  PSECURITY_DESCRIPTOR made = nullptr;
  if (!SecurityLibrary() ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(
          (access + (label == Label::Medium ? L"S:(ML;;NWNRNX;;;ME)" : L"S:(ML;;NW;;;LW)")).c_str(),
          SDDL_REVISION_1, &made, nullptr)) {
    return;
  }
  descriptor_.reset(made);
  attributes_ = {sizeof(attributes_), made, FALSE};
}

}  // namespace win32
