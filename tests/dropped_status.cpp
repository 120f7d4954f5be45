// Must not build: the dropped-status test compiles it and looks for the compiler's refusal.
#include "win32/result.h"

win32::Status Work();
void Drop() { Work(); }
