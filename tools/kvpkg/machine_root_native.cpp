// In the native build the simulated machine is named by KVSIM_ROOT, which
// winsim reads on its first call.
#include <cstdlib>

#include "machine_root.h"

bool kvpkgUseMachineRoot(const char* pszRoot) { return ::setenv("KVSIM_ROOT", pszRoot, 1) == 0; }
