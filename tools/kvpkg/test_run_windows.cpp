// kvpkg test on Windows: the cases run on simulated machines, which only the
// native build has.
#include "test_command.h"

bool kvpkgRunTestCases(const KvpkgTestOptions&, KvpkgTestRun*, int* pnExit, std::string* pstrError) {
  *pnExit = kTestExitMachine;
  *pstrError = "the cases run on simulated machines: use the native build's kvpkg (kvpkg --merge works here)";
  return false;
}
