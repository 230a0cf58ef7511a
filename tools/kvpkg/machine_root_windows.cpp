// On Windows the analysis runs on the computer itself.
#include "machine_root.h"

bool kvpkgUseMachineRoot(const std::string& strRoot, bool, std::string* pstrError) {
  if (strRoot.empty()) return true;
  *pstrError = "--root names a simulated machine; this Windows build analyses on the computer itself";
  return false;
}

bool kvpkgUseScratchMachine(const std::string&, bool, const std::string&, std::string*, std::string* pstrError) {
  *pstrError = "--os, --server and --arch need the native build; this Windows build judges for the computer itself";
  return false;
}

void kvpkgDropScratchMachine() {}
