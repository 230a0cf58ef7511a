// The machine kvpkg analyses on.
#pragma once

// Chooses the simulated machine (its root folder) before the first system
// call. Returns false where there is no machine to choose: on Windows the
// analysis always runs on the computer itself.
bool kvpkgUseMachineRoot(const char* pszRoot);
