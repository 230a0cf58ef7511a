// On Windows the analysis runs on the computer itself.
#include "machine_root.h"

bool kvpkgUseMachineRoot(const char*) { return false; }
