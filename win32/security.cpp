// Apart from the rest of the plumbing, so that only the programs that share named objects import
// what it needs.
#include "win32/system.h"
// After windows.h, which it needs.
#include <sddl.h>

namespace win32 {

SharedObjectSecurity::SharedObjectSecurity() {
  // SYNCHRONIZE for authenticated users; everything for the system and administrators; a low
  // label that forbids lower processes no more than writing.
  PSECURITY_DESCRIPTOR made = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;AU)S:(ML;;NW;;;LW)", SDDL_REVISION_1, &made,
          nullptr)) {
    return;
  }
  descriptor_.reset(made);
  attributes_ = {sizeof(attributes_), made, FALSE};
}

}  // namespace win32
