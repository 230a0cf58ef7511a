// The operations of the spooler information that change the system:
// registering a driver, a language monitor and a print processor, the
// defaults the installation needs, and stopping and restarting the spooler
// with the services that depend on it.
#include <cstdint>
#include <new>

#include "driverinfo/vexo_error.h"
#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/spooler_infomation.h"

namespace {

constexpr const char* kSpoolerServiceName = "Spooler";
constexpr const char* kDefaultPrintProcessor = "WinPrint";
constexpr const char* kDefaultPortName = "LPT1:";

// The directory ids whose files the spooler of Windows 2000 and later does
// not take as dependent files of a version-3 driver: print processors,
// monitors and colour profiles are installed in their own folders.
constexpr const char* kNotDependentDirIds[] = {"66001", "66002", "66003"};

// The pause after a new monitor, which the spooler loads in the background.
constexpr DWORD kMonitorSettleMs = 200;
// Waiting for a service: the step, the budget over the wait hint, and the
// hint assumed when a stopping service gives none.
constexpr DWORD kPollMs = 500;
constexpr DWORD kBrokenPipeSettleMs = 2000;
constexpr DWORD kStopHintDefaultMs = 20000;
constexpr DWORD kStartPauseMs = 100;
constexpr int kStartAttempts = 20;
// A service that ends its start with this exit code is given time and then
// looked at again by the next attempt.
constexpr DWORD kStartRetryExitCode = 12;
constexpr DWORD kStartRetrySettleMs = 3000;

using PFN_ADDPRINTERDRIVEREXA = BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD);

LPSTR textOrNull(const std::string& str) { return str.empty() ? nullptr : const_cast<LPSTR>(str.c_str()); }

// 100 ms more than one and a half wait hints, as a signed budget.
std::int64_t waitBudget(DWORD dwWaitHint) { return 100 + static_cast<std::int64_t>(dwWaitHint) * 3 / 2; }

void logTime(const char* pszFormat, DWORD dwValue) { kProgramLog().kWriteLogTime(pszFormat, dwValue); }

}  // namespace

DWORD CSpoolerInfomation::kAddPrinterDriver(const CCandidateDriver& driver, DWORD dwFileCopyFlags) const {
  CDetailLog& log = kProgramLog();
  const std::string strEnvironment = CEnvironment::kConvPlatformToEnv(driver.strPlatform, driver.dwInfOSVersion);
  const std::string& strMonitor =
      !driver.strDrvInstLanguageMonitor.empty() ? driver.strDrvInstLanguageMonitor : driver.strLanguageMonitorName;
  const BOOL bWin2k = CEnvironment::kIsWin2k();

  // The dependent files, each with its terminator, and one more at the end.
  std::string strDependent;
  if (driver.pDriverFileList) {
    for (const CDriverFile& file : *driver.pDriverFileList) {
      bool bLeftOut = false;
      if (bWin2k && driver.dwInfOSVersion == 3) {
        for (const char* pszDirId : kNotDependentDirIds) bLeftOut = bLeftOut || lstrcmpiA(file.strDirId.c_str(), pszDirId) == 0;
      }
      if (bLeftOut) {
        log.kWriteLog("File %s not include DependentFiles. strDestDirNo[%s]\n", file.strFileName.c_str(),
                      file.strDirId.c_str());
        continue;
      }
      log.kWriteLogLevel1("Dependent File [%s]\n", file.strFileName.c_str());
      strDependent += file.strFileName;
      strDependent += '\0';
    }
  }
  strDependent += '\0';

  if (!bWin2k) {
    DRIVER_INFO_3A di3{};
    di3.cVersion = driver.dwInfOSVersion;
    di3.pName = textOrNull(driver.strDriverName);
    di3.pEnvironment = textOrNull(strEnvironment);
    di3.pDriverPath = textOrNull(driver.strDriverFile);
    di3.pDataFile = textOrNull(driver.strDataFile);
    di3.pConfigFile = textOrNull(driver.strConfigFile);
    di3.pHelpFile = textOrNull(driver.strHelpFile);
    di3.pDependentFiles = strDependent.data();
    di3.pMonitorName = textOrNull(strMonitor);
    di3.pDefaultDataType = textOrNull(driver.strDefaultDataType);
    if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&di3))) {
      const DWORD dwError = GetLastError();
      if (dwError != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
        logTime("AddPrinterDriver Error = [%u]\n", dwError);
        log.kWriteLog("  DI3.pName=[%s]\n  DI3.cVersion=[%d]\n", driver.strDriverName.c_str(),
                      static_cast<int>(driver.dwInfOSVersion));
        log.kWriteLog("CSpoolerInfomation::kAddPrinterDriver() return VEXOERR_ADDDRIVERERR (4) LastError=%u\n",
                      dwError);
        return VEXOERR_ADDDRIVERERR;
      }
    }
    kProgramLog().kWriteLogTime("AddPrinterDriver Success\n");
    return VEXOERR_SUCCESS;
  }

  CModuleOwner spooler(LoadLibraryA("winspool.drv"));
  if (!spooler.kGet()) {
    log.kWriteLog("CSpoolerInfomation::kAddPrinterDriver() return VEXOERR_ADDDRIVERERR (1) LastError=%u\n",
                  GetLastError());
    return VEXOERR_ADDDRIVERERR;
  }
  const auto pfnAddDriver =
      kProcAs<PFN_ADDPRINTERDRIVEREXA>(GetProcAddress(spooler.kGet(), "AddPrinterDriverExA"));
  if (!pfnAddDriver) {
    log.kWriteLog("CSpoolerInfomation::kAddPrinterDriver() return VEXOERR_ADDDRIVERERR (2) LastError=%u\n",
                  GetLastError());
    return VEXOERR_ADDDRIVERERR;
  }
  m_SpoolerFunction.kOnlyEnumPrinterDrivers();
  DRIVER_INFO_6A di6{};
  di6.cVersion = driver.dwInfOSVersion;
  di6.pName = textOrNull(driver.strDriverName);
  di6.pEnvironment = textOrNull(strEnvironment);
  di6.pDriverPath = textOrNull(driver.strDriverFile);
  di6.pDataFile = textOrNull(driver.strDataFile);
  di6.pConfigFile = textOrNull(driver.strConfigFile);
  di6.pHelpFile = textOrNull(driver.strHelpFile);
  di6.pDependentFiles = strDependent.data();
  di6.pMonitorName = textOrNull(strMonitor);
  di6.pDefaultDataType = textOrNull(driver.strDefaultDataType);
  di6.pszMfgName = textOrNull(driver.strOEMManufacturer);
  di6.pszOEMUrl = textOrNull(driver.strOEMUrl);
  di6.pszHardwareID = textOrNull(driver.strHardwareID);
  if (!pfnAddDriver(nullptr, 6, reinterpret_cast<LPBYTE>(&di6), dwFileCopyFlags)) {
    const DWORD dwError = GetLastError();
    if (dwError != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
      logTime("AddPrinterDriverEx Error = [%u]\n", dwError);
      log.kWriteLog("  DI6.pName=[%s]\n  DI6.cVersion=[%d]\n", driver.strDriverName.c_str(),
                    static_cast<int>(driver.dwInfOSVersion));
      log.kWriteLog("CSpoolerInfomation::kAddPrinterDriver() return VEXOERR_ADDDRIVERERR (3) LastError=%u\n",
                    dwError);
      return VEXOERR_ADDDRIVERERR;
    }
    logTime("AddPrinterDriverEx Already Installed [%u]\n", dwError);
  } else {
    kProgramLog().kWriteLogTime("AddPrinterDriverEx Success\n");
  }
  log.kWriteLog("CSpoolerInfomation::kAddPrinterDriver() return VEXOERR_SUCCESS (5) [%s]\n",
                driver.strDriverName.c_str());
  return VEXOERR_SUCCESS;
}

DWORD CSpoolerInfomation::kAddMonitor(const CCandidateDriver& driver) const {
  CDetailLog& log = kProgramLog();
  if (driver.strLanguageMonitorName.empty()) {
    log.kWriteLog("CSpoolerInfomation::kAddMonitor() return VEXOERR_SUCCESS (1) no language monitor\n");
    return VEXOERR_SUCCESS;
  }
  std::string strEnvironment = CEnvironment::kGetEnvironment();
  MONITOR_INFO_2A info{};
  info.pName = const_cast<LPSTR>(driver.strLanguageMonitorName.c_str());
  info.pEnvironment = textOrNull(strEnvironment);
  info.pDLLName = textOrNull(driver.strLanguageMonitorDLL);
  if (!AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
    const DWORD dwError = GetLastError();
    if (dwError != ERROR_ALREADY_EXISTS && dwError != ERROR_PRINT_MONITOR_ALREADY_INSTALLED &&
        dwError != ERROR_PRINT_MONITOR_IN_USE) {
      logTime("AddMonitor Error = [%u]\n", dwError);
      log.kWriteLog("CSpoolerInfomation::kAddMonitor() return VEXOERR_ADDMONITORERR (2) [%s]\n",
                    driver.strLanguageMonitorName.c_str());
      return VEXOERR_ADDMONITORERR;
    }
    logTime("AddMonitor Already Installed [%u]\n", dwError);
  } else {
    kProgramLog().kWriteLogTime("AddMonitor Success \n");
  }
  Sleep(kMonitorSettleMs);
  log.kWriteLog("CSpoolerInfomation::kAddMonitor() return VEXOERR_SUCCESS (3) [%s]\n",
                driver.strLanguageMonitorName.c_str());
  return VEXOERR_SUCCESS;
}

namespace {

// The environment of the print-processor operations: the processors of this
// system's own kind.
std::string printProcessorEnvironment() { return CEnvironment::kIsAMD64() ? "Windows x64" : "Windows NT x86"; }

}  // namespace

BOOL CSpoolerInfomation::kAddPrintProcessor(const std::string& strName, const std::string& strDll) const {
  CDetailLog& log = kProgramLog();
  if (!CEnvironment::kIsWin2k() || strName.empty() || strDll.empty()) {
    log.kWriteLog("CSpoolerInfomation::kAddPrintProcessor() return TRUE (1) nothing to add [%s][%s]\n",
                  strName.c_str(), strDll.c_str());
    return TRUE;
  }
  std::string strEnvironment = printProcessorEnvironment();
  std::string strDllName = strDll;
  std::string strProcessor = strName;
  if (!AddPrintProcessorA(nullptr, strEnvironment.data(), strDllName.data(), strProcessor.data())) {
    const DWORD dwError = GetLastError();
    if (dwError != ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED) {
      logTime("AddPrintProcessor Error = [%u]\n", dwError);
      log.kWriteLog("CSpoolerInfomation::kAddPrintProcessor() return FALSE (2) [%s][%s]\n", strName.c_str(),
                    strDll.c_str());
      return FALSE;
    }
    kProgramLog().kWriteLogTime("AddPrintProcessor Already Installed\n");
  } else {
    kProgramLog().kWriteLogTime("AddPrintProcessor Success\n");
  }
  log.kWriteLog("CSpoolerInfomation::kAddPrintProcessor() return TRUE (3) [%s]\n", strName.c_str());
  return TRUE;
}

BOOL CSpoolerInfomation::kGetPrintProcessors(CNameList& lstProcessor) const {
  CNameList lstFound;
  const std::string strEnvironment = printProcessorEnvironment();
  if (!m_SpoolerFunction.kEnumPrintProcessors(lstFound, strEnvironment.c_str())) {
    kProgramLog().kWriteLog("CSpoolerInfomation::kGetPrintProcessors() return FALSE (1)\n");
    return FALSE;
  }
  lstProcessor.swap(lstFound);
  kProgramLog().kWriteLog("CSpoolerInfomation::kGetPrintProcessors() return TRUE (2) count=%u\n",
                          static_cast<DWORD>(lstProcessor.size()));
  return TRUE;
}

BOOL CSpoolerInfomation::kGetDefaultPrintProcessor(std::string& strProcessor) const {
  CDetailLog& log = kProgramLog();
  CNameList lstProcessor;
  if (!m_SpoolerFunction.kEnumPrintProcessors(lstProcessor)) {
    log.kWriteLog("CSpoolerInfomation::kGetDefaultPrintProcessor() return FALSE (1)\n");
    return FALSE;
  }
  if (lstProcessor.empty()) {
    log.kWriteLog("CSpoolerInfomation::kGetDefaultPrintProcessor() return FALSE (2) no print processor\n");
    return FALSE;
  }
  for (const std::string& strName : lstProcessor) {
    if (lstrcmpiA(strName.c_str(), kDefaultPrintProcessor) == 0) {
      strProcessor = strName;
      log.kWriteLog("CSpoolerInfomation::kGetDefaultPrintProcessor() return TRUE (3) [%s]\n", strProcessor.c_str());
      return TRUE;
    }
  }
  strProcessor = lstProcessor.front();
  log.kWriteLog("CSpoolerInfomation::kGetDefaultPrintProcessor() return TRUE (4) [%s]\n", strProcessor.c_str());
  return TRUE;
}

BOOL CSpoolerInfomation::kGetDefaultPort(std::string& strPort) const {
  strPort.clear();
  for (const CPresentPort& port : m_lstPort) {
    if (lstrcmpiA(port.strPortName.c_str(), kDefaultPortName) == 0) {
      strPort = kDefaultPortName;
      break;
    }
  }
  if (strPort.empty() && !m_lstPort.empty()) strPort = m_lstPort.front().strPortName;
  kProgramLog().kWriteLog("CSpoolerInfomation::kGetDefaultPort() return %s [%s]\n", strPort.empty() ? "FALSE" : "TRUE",
                          strPort.c_str());
  return strPort.empty() ? FALSE : TRUE;
}

BOOL CSpoolerInfomation::kWaitForStop(SC_HANDLE hService, SERVICE_STATUS& status) const {
  std::int64_t nBudget = waitBudget(status.dwWaitHint ? status.dwWaitHint : kStopHintDefaultMs);
  while (nBudget > 0) {
    if (status.dwCurrentState == SERVICE_STOPPED) return TRUE;
    Sleep(kPollMs);
    nBudget -= kPollMs;
    if (!QueryServiceStatus(hService, &status)) return FALSE;
  }
  // The state is looked at only while the budget lasts: the answer queried
  // with the budget spent came too late, even when it says stopped.
  return FALSE;
}

void CSpoolerInfomation::kRememberStopped(const std::string& strName, const std::string& strDisplayName) {
  m_lstRestartService.push_front(strName);
  m_lstRestartDisplayName.push_front(strDisplayName);
}

void CSpoolerInfomation::kStopSpoolerService() {
  CDetailLog& log = kProgramLog();
  if (CEnvironment::kIsWin9x()) {
    log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (1) no services on this system\n");
    return;
  }
  CServiceHandleOwner manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager.kGet()) {
    log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (2) OpenSCManager LastError=%u\n", GetLastError());
    return;
  }
  CServiceHandleOwner spooler(OpenServiceA(manager.kGet(), kSpoolerServiceName, SERVICE_ALL_ACCESS));
  if (!spooler.kGet()) {
    log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (3) OpenService LastError=%u\n", GetLastError());
    return;
  }
  m_lstRestartService.clear();
  m_lstRestartDisplayName.clear();

  try {
    // The running services that depend on the spooler, in the order in
    // which they can be stopped.
    DWORD cbNeeded = 0;
    DWORD dwCount = 0;
    std::vector<BYTE> vecDependents;
    if (!EnumDependentServicesA(spooler.kGet(), SERVICE_ACTIVE, nullptr, 0, &cbNeeded, &dwCount)) {
      if (GetLastError() != ERROR_MORE_DATA) {
        log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (4) EnumDependentServices LastError=%u\n",
                      GetLastError());
        return;
      }
      vecDependents.assign(cbNeeded, 0);
      if (!EnumDependentServicesA(spooler.kGet(), SERVICE_ACTIVE,
                                  reinterpret_cast<LPENUM_SERVICE_STATUSA>(vecDependents.data()), cbNeeded, &cbNeeded,
                                  &dwCount)) {
        log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (5) EnumDependentServices LastError=%u\n",
                      GetLastError());
        return;
      }
    }
    const auto* pDependents = reinterpret_cast<const ENUM_SERVICE_STATUSA*>(vecDependents.data());
    for (DWORD i = 0; i < dwCount; ++i) {
      const std::string strName = pDependents[i].lpServiceName ? pDependents[i].lpServiceName : "";
      const std::string strDisplay = pDependents[i].lpDisplayName ? pDependents[i].lpDisplayName : "";
      CServiceHandleOwner dependent(OpenServiceA(manager.kGet(), strName.c_str(), SERVICE_ALL_ACCESS));
      SERVICE_STATUS status{};
      if (!dependent.kGet() || !ControlService(dependent.kGet(), SERVICE_CONTROL_STOP, &status) ||
          !kWaitForStop(dependent.kGet(), status)) {
        log.kWriteLog("can not stop Service. [%s] dwCurrentState=[%d]\n", strName.c_str(),
                      static_cast<int>(status.dwCurrentState));
        log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (6) LastError=%u\n", GetLastError());
        return;
      }
      kRememberStopped(strName, strDisplay);
      log.kWriteLog("Service stopped. [%s]\n", strName.c_str());
    }

    // The spooler's display name, for the messages of the restart.
    std::string strSpoolerDisplay;
    if (!QueryServiceConfigA(spooler.kGet(), nullptr, 0, &cbNeeded) && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      std::vector<BYTE> vecConfig(cbNeeded);
      auto* pConfig = reinterpret_cast<LPQUERY_SERVICE_CONFIGA>(vecConfig.data());
      if (QueryServiceConfigA(spooler.kGet(), pConfig, cbNeeded, &cbNeeded) && pConfig->lpDisplayName) {
        strSpoolerDisplay = pConfig->lpDisplayName;
      }
    }
    if (strSpoolerDisplay.empty()) {
      log.kWriteLog("CSpoolerInfomation::kStopSpoolerService QueryServiceConfig LastError=%u\n", GetLastError());
    }

    SERVICE_STATUS status{};
    BOOL bStopped = FALSE;
    if (!ControlService(spooler.kGet(), SERVICE_CONTROL_STOP, &status)) {
      const DWORD dwError = GetLastError();
      if (dwError != ERROR_BROKEN_PIPE) {
        log.kWriteLog("can not stop Service. [%s] dwCurrentState=[%d]\n", kSpoolerServiceName,
                      static_cast<int>(status.dwCurrentState));
        log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (7) LastError=%u\n", dwError);
        return;
      }
      // The spooler ends its side of the pipe as it exits: it has stopped,
      // only the answer was lost.
      Sleep(kBrokenPipeSettleMs);
      bStopped = TRUE;
    } else {
      bStopped = kWaitForStop(spooler.kGet(), status);
    }
    if (!bStopped) {
      log.kWriteLog("can not stop Service. [%s] dwCurrentState=[%d]\n", kSpoolerServiceName,
                    static_cast<int>(status.dwCurrentState));
      log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (8)\n");
      return;
    }
    kRememberStopped(kSpoolerServiceName, strSpoolerDisplay);
  } catch (const std::bad_alloc&) {
    log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (9) exception occurred.\n");
    return;
  }
  log.kWriteLog("CSpoolerInfomation::kStopSpoolerService() end (10) stopped=%u\n",
                static_cast<DWORD>(m_lstRestartService.size()));
}

BOOL CSpoolerInfomation::kStartOneService(SC_HANDLE hManager, const std::string& strName, BOOL& bStarted,
                                          int& nExit) const {
  CDetailLog& log = kProgramLog();
  bStarted = FALSE;
  Sleep(kStartPauseMs);
  CServiceHandleOwner service(OpenServiceA(hManager, strName.c_str(), SERVICE_ALL_ACCESS));
  if (!service.kGet()) {
    log.kWriteLog("OpenService Error [%s] LastError=%u\n", strName.c_str(), GetLastError());
    nExit = 2;
    return FALSE;
  }
  for (int nAttempt = 0; nAttempt < kStartAttempts && !bStarted; ++nAttempt) {
    if (!StartServiceA(service.kGet(), 0, nullptr)) {
      const DWORD dwError = GetLastError();
      if (dwError == ERROR_SERVICE_ALREADY_RUNNING) {
        bStarted = TRUE;
        break;
      }
      log.kWriteLog("StartService Error [%s] LastError=%u\n", strName.c_str(), dwError);
      nExit = 3;
      return FALSE;
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.kGet(), &status)) continue;
    std::int64_t nBudget = waitBudget(status.dwWaitHint);
    while (nBudget > 0) {
      if (status.dwCurrentState == SERVICE_RUNNING) {
        bStarted = TRUE;
        break;
      }
      if (status.dwWin32ExitCode == kStartRetryExitCode) {
        Sleep(kStartRetrySettleMs);
        break;
      }
      if (status.dwWin32ExitCode != 0) {
        log.kWriteLog("Service start failed [%s] dwWin32ExitCode=%u\n", strName.c_str(), status.dwWin32ExitCode);
        nExit = 4;
        return FALSE;
      }
      Sleep(kPollMs);
      nBudget -= kPollMs;
      if (!QueryServiceStatus(service.kGet(), &status)) break;
    }
  }
  return TRUE;
}

BOOL CSpoolerInfomation::kStartSpoolerService() {
  CDetailLog& log = kProgramLog();
  if (CEnvironment::kIsWin9x()) {
    log.kWriteLog("CSpoolerInfomation::kStartSpoolerService() return TRUE (1) no services on this system\n");
    return TRUE;
  }
  CServiceHandleOwner manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager.kGet()) {
    log.kWriteLog("CSpoolerInfomation::kStartSpoolerService() return FALSE (2) OpenSCManager LastError=%u\n",
                  GetLastError());
    return FALSE;
  }
  BOOL bResult = TRUE;
  for (const std::string& strName : m_lstRestartService) {
    BOOL bStarted = FALSE;
    int nExit = 0;
    if (!kStartOneService(manager.kGet(), strName, bStarted, nExit)) {
      log.kWriteLog("CSpoolerInfomation::kStartSpoolerService() return FALSE (%d) [%s]\n", nExit, strName.c_str());
      return FALSE;
    }
    if (!bStarted) {
      log.kWriteLog("Service did not start. [%s]\n", strName.c_str());
      bResult = FALSE;
      continue;
    }
    log.kWriteLog("Service started. [%s]\n", strName.c_str());
  }
  log.kWriteLog("CSpoolerInfomation::kStartSpoolerService() return %s (5)\n", bResult ? "TRUE" : "FALSE");
  return bResult;
}
