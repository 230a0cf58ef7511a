// The rule for drivers "of the same kind": other driver models built on the
// same main driver file, for the same platform and driver version. The
// installation updates such drivers (and their printers) together, because
// replacing the shared file changes them all.
#pragma once

#include "platform/win32.h"

class CSpoolerUtility {
 public:
  // TRUE exactly when the file-name parts of the two driver files are equal
  // and so are the platforms (both without regard to case), the versions are
  // equal, and the driver names differ (compared exactly: a driver is not of
  // its own kind, but a name that differs only in letter case is another
  // driver to the spooler's callers). Null arguments count as empty.
  [[nodiscard]] static BOOL kCheckSameKindDriver(LPCSTR pszDriverName1, DWORD dwVersion1, LPCSTR pszDriverFile1,
                                                 LPCSTR pszPlatform1, LPCSTR pszDriverName2, DWORD dwVersion2,
                                                 LPCSTR pszDriverFile2, LPCSTR pszPlatform2);
};
