// The same-kind rule.
#include "system/spooler_utility.h"

#include <cstring>
#include <string>

#include "system/common_function.h"
#include "system/program_log.h"

namespace {

const char* text(LPCSTR psz) { return psz ? psz : ""; }

std::string fileNamePart(LPCSTR pszPath) {
  std::string strName;
  (void)CCommonFunction::kStdAfxGetPathElement(text(pszPath), PATH_ELEMENT_FILE_NAME, strName);
  return strName;
}

}  // namespace

BOOL CSpoolerUtility::kCheckSameKindDriver(LPCSTR pszDriverName1, DWORD dwVersion1, LPCSTR pszDriverFile1,
                                           LPCSTR pszPlatform1, LPCSTR pszDriverName2, DWORD dwVersion2,
                                           LPCSTR pszDriverFile2, LPCSTR pszPlatform2) {
  int nExit = 0;
  if (lstrcmpiA(fileNamePart(pszDriverFile1).c_str(), fileNamePart(pszDriverFile2).c_str()) != 0) {
    nExit = 1;
  } else if (lstrcmpiA(text(pszPlatform1), text(pszPlatform2)) != 0) {
    nExit = 2;
  } else if (dwVersion1 != dwVersion2) {
    nExit = 3;
  } else if (std::strcmp(text(pszDriverName1), text(pszDriverName2)) == 0) {
    nExit = 4;
  }
  CDetailLog& log = kProgramLog();
  if (nExit != 0) {
    log.kWriteLogLevel99(
        "CSpoolerUtility::kCheckSameKindDriver() return FALSE (%d) [%s][%u][%s][%s] [%s][%u][%s][%s]\n", nExit,
        text(pszDriverName1), dwVersion1, text(pszDriverFile1), text(pszPlatform1), text(pszDriverName2), dwVersion2,
        text(pszDriverFile2), text(pszPlatform2));
    return FALSE;
  }
  log.kWriteLogLevel1("CSpoolerUtility::kCheckSameKindDriver() return TRUE (5) [%s] [%s]\n", text(pszDriverName1),
                      text(pszDriverName2));
  return TRUE;
}
