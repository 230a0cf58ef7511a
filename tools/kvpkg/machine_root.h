// The machine kvpkg analyses on.
#pragma once

#include <string>

// Chooses the simulated machine (its root folder) before the first system
// call. An empty root keeps the default machine. A root that holds no
// machine is refused unless `create` asks for one. On Windows there is no
// machine to choose: a root is refused with the reason.
bool kvpkgUseMachineRoot(const std::string& strRoot, bool bCreate, std::string* pstrError);

// Judges for another system: a scratch machine of that release, edition and
// architecture (each empty: as the chosen machine is), removed again by
// kvpkgDropScratchMachine. `pstrNote` receives what was adjusted (a release
// without a 64-bit edition is x86). Refuses releases and combinations
// Windows never shipped, and on Windows, where the analysis runs on the
// computer itself.
bool kvpkgUseScratchMachine(const std::string& strOs, bool bServer, const std::string& strArch,
                            std::string* pstrNote, std::string* pstrError);
void kvpkgDropScratchMachine();
