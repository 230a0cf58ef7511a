// The pre-install driver checks.
#include "install/driver_check.h"

#include "system/common_function.h"
#include "system/environment.h"
#include "system/program_log.h"
#include "system/text_utility.h"

namespace {

BOOL logExit(const char* pszFunction, BOOL bResult, int nExit, const char* pszReason = "") {
  kProgramLog().kWriteLog("CDriverCheck::%s() return %s (%d) LastError=%u %s\n", pszFunction,
                          bResult ? "TRUE" : "FALSE", nExit, GetLastError(), pszReason);
  return bResult;
}

// Seconds since 1970 of a FILETIME, whole seconds.
std::int64_t secondsOf(const FILETIME& ft) {
  const unsigned long long ull = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<std::int64_t>(ull / 10000000ULL) - 11644473600LL;
}

bool sameText(const std::string& a, const std::string& b) { return kIEquals(a, b); }

}  // namespace

CDriverCheck::CDriverCheck(CKV_SETUPApp& app) : m_app(app) {
  const CCandidateDriver& cde = m_app.m_CDE;
  const CPresentDriverList& lst = m_app.m_pSpoolerInfomation->kGetSameKindDriverList(
      cde.strDriverName.c_str(), cde.dwInfOSVersion, cde.strDriverFile.c_str(), cde.strPlatform.c_str(), TRUE, TRUE);
  m_lstDriver.assign(lst.begin(), lst.end());
  if (!m_lstDriver.empty()) kProgramLog().kWriteLog("OSREBOOT DRIVER UPDATE\n");
}

std::int64_t CDriverCheck::kGetInstalledFileTime(const std::string& strPath) {
  // File times are UTC, and so are the package's (the candidate list takes
  // them as they are): the two are compared in that one base, whatever the
  // zone the machine is set to.
  WIN32_FIND_DATAA data{};
  HANDLE hFind = FindFirstFileA(strPath.c_str(), &data);
  if (hFind != INVALID_HANDLE_VALUE) {
    FindClose(hFind);
    return secondsOf(data.ftLastWriteTime);
  }
  // A vanished file counts as dated 1 January 1990, local time.
  SYSTEMTIME st{};
  st.wYear = 1990;
  st.wMonth = 1;
  st.wDay = 1;
  FILETIME local{};
  FILETIME utc{};
  SystemTimeToFileTime(&st, &local);
  if (!LocalFileTimeToFileTime(&local, &utc)) utc = local;
  return secondsOf(utc);
}

BOOL CDriverCheck::kCheckVersionDown() {
  for (const CPresentDriver& r : m_lstDriver) {
    const std::string strPlatform = CEnvironment::kConvEnvToPlatform(r.strEnvironment);
    for (const CCandidateDriver& c : m_app.m_lstSetupCandidate) {
      if (!sameText(c.strDriverName, r.strName) || c.dwInfOSVersion != r.dwVersion ||
          !sameText(c.strPlatform, strPlatform)) {
        continue;
      }
      std::string strShort;
      if (!CCommonFunction::kGetShortPathName(r.strDriverPath.c_str(), strShort)) {
        // A driver file that has vanished cannot be shortened; it counts as
        // dated 1990 below, like one FindFirstFile cannot find.
        if (GetFileAttributesA(r.strDriverPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
          m_app.kDispErrorMessage("IDS_ERR_VERSIONDOWN", r.strDriverPath, "", MB_OK | MB_ICONEXCLAMATION);
          return logExit("kCheckVersionDown", FALSE, 1);
        }
        strShort = r.strDriverPath;
      }
      const std::int64_t tmInstalled = kGetInstalledFileTime(strShort);
      if (c.tmDriverFileTime < tmInstalled) {
        kProgramLog().kWriteLog("CDL.strDriverName=[%s]\n", c.strDriverName.c_str());
        m_app.kDispErrorMessage("IDS_ERR_VERSIONDOWN", c.strDriverName, "", MB_OK | MB_ICONEXCLAMATION);
        return logExit("kCheckVersionDown", FALSE, 2);
      }
    }
  }
  return logExit("kCheckVersionDown", TRUE, 3);
}

BOOL CDriverCheck::kCheckExistSameDriver() {
  if (!CEnvironment::kIsWin2k()) return logExit("kCheckExistSameDriver", TRUE, 2, "not win2k.");
  for (const CPresentDriver& r : m_lstDriver) {
    const std::string strPlatform = CEnvironment::kConvEnvToPlatform(r.strEnvironment);
    bool bFound = false;
    for (const CCandidateDriver& c : m_app.m_lstSetupCandidate) {
      if (sameText(c.strDriverName, r.strName) && c.dwInfOSVersion == r.dwVersion &&
          sameText(c.strPlatform, strPlatform)) {
        bFound = true;
        break;
      }
    }
    if (!bFound) {
      m_app.kDispErrorMessage("IDS_ERR_NOSAMEKINDDRIVER", r.strName, "", MB_OK | MB_ICONEXCLAMATION);
      return logExit("kCheckExistSameDriver", FALSE, 1, "No same kind driver.");
    }
  }
  return logExit("kCheckExistSameDriver", TRUE, 3);
}

BOOL CDriverCheck::kCheckOSRebootBefore() {
  if (!CEnvironment::kIsWin2k()) return logExit("kCheckOSRebootBefore", TRUE, 4, "not win2k.");
  int nExit = 0;
  if (CCommonFunction::kIsExistPendingUpgradesDriver(&m_app.m_CDE, m_app.m_pSpoolerInfomation->kGetPresentDriverList())) {
    nExit = 1;
  } else if (CCommonFunction::kIsFileUsingExceptSpooler(&m_app.m_CDE)) {
    nExit = 2;
  }
  if (nExit == 0) return logExit("kCheckOSRebootBefore", TRUE, 3);
  m_app.kDispErrorMessage("IDS_ERR_OSREBOOTCHECK", m_app.m_CDE.strDriverName, "", MB_OK | MB_ICONEXCLAMATION);
  m_app.m_bOSReboot = 1;
  return logExit("kCheckOSRebootBefore", FALSE, nExit,
                 nExit == 1 ? "Detect pending upgrade driver." : "Driver file is used by another process.");
}
