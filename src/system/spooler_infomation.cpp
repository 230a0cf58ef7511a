// The present lists: what the spooler holds, copied, and the questions the
// wizard asks of it.
#include "system/spooler_infomation.h"

#include <cstring>
#include <new>
#include <set>

#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"

namespace {

// A driver reports version 1024 for a driver of the 95 family on some
// systems; everything else in the program calls that version 0.
constexpr DWORD kWin9xReportedVersion = 1024;

constexpr const char* kSpoolerServiceName = "Spooler";
constexpr const char* kTemplatePortName = "LPT1:";
// The longest share name kept, in bytes of the ANSI code page.
constexpr int kShareNameBytes = 256;

std::string copyText(LPCSTR psz) { return psz ? psz : ""; }

BOOL equalsNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The device mode with its driver-private part, but only when the whole of
// it lies in the spooler's buffer: a record that claims more is cut to
// nothing rather than read past the buffer's end.
std::vector<BYTE> copyDevMode(const DEVMODEA* pDevMode, const std::vector<BYTE>& vecBuffer) {
  if (!pDevMode) return {};
  const BYTE* const pBegin = vecBuffer.data();
  const BYTE* const pEnd = pBegin + vecBuffer.size();
  const BYTE* const p = reinterpret_cast<const BYTE*>(pDevMode);
  if (p < pBegin || p + offsetof(DEVMODEA, dmDriverExtra) + sizeof(WORD) > pEnd) return {};
  const size_t cbSize = static_cast<size_t>(pDevMode->dmSize) + pDevMode->dmDriverExtra;
  if (cbSize == 0 || cbSize > static_cast<size_t>(pEnd - p)) {
    kProgramLog().kWriteLog("CSpoolerInfomation device mode of %u bytes lies outside the answer; not kept\n",
                            static_cast<DWORD>(cbSize));
    return {};
  }
  return std::vector<BYTE>(p, p + cbSize);
}

CPresentPrinter printerRecord(const PRINTER_INFO_2A& info, const std::vector<BYTE>& vecBuffer) {
  CPresentPrinter printer;
  printer.strServerName = copyText(info.pServerName);
  printer.strPrinterName = copyText(info.pPrinterName);
  printer.strShareName = copyText(info.pShareName);
  printer.strPortName = copyText(info.pPortName);
  printer.strDriverName = copyText(info.pDriverName);
  printer.strComment = copyText(info.pComment);
  printer.strLocation = copyText(info.pLocation);
  printer.vecDevMode = copyDevMode(info.pDevMode, vecBuffer);
  printer.strSepFile = copyText(info.pSepFile);
  printer.strPrintProcessor = copyText(info.pPrintProcessor);
  printer.strDatatype = copyText(info.pDatatype);
  printer.strParameters = copyText(info.pParameters);
  printer.dwAttributes = info.Attributes;
  printer.dwPriority = info.Priority;
  printer.dwDefaultPriority = info.DefaultPriority;
  printer.dwStartTime = info.StartTime;
  printer.dwUntilTime = info.UntilTime;
  printer.dwStatus = info.Status;
  printer.dwJobs = info.cJobs;
  printer.dwAveragePPM = info.AveragePPM;
  return printer;
}

using PFN_NETSHAREENUM = NET_API_STATUS(WINAPI*)(LMSTR, DWORD, LPBYTE*, DWORD, LPDWORD, LPDWORD, LPDWORD);
using PFN_NETAPIBUFFERFREE = NET_API_STATUS(WINAPI*)(LPVOID);

}  // namespace

BOOL CSpoolerInfomation::kCheckSpoolerStatus() const {
  CDetailLog& log = kProgramLog();
  CServiceHandleOwner manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager.kGet()) {
    log.kWriteLog("CSpoolerInfomation::kCheckSpoolerStatus() return FALSE (2) LastError=%u OpenSCManager\n",
                  GetLastError());
    return FALSE;
  }
  CServiceHandleOwner spooler(OpenServiceA(manager.kGet(), kSpoolerServiceName, SERVICE_ALL_ACCESS));
  if (!spooler.kGet()) {
    log.kWriteLog("CSpoolerInfomation::kCheckSpoolerStatus() return FALSE (3) LastError=%u OpenService\n",
                  GetLastError());
    return FALSE;
  }
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(spooler.kGet(), &status) || status.dwCurrentState != SERVICE_RUNNING) {
    log.kWriteLog("CSpoolerInfomation::kCheckSpoolerStatus() return FALSE (4) LastError=%u dwCurrentState=[%u]\n",
                  GetLastError(), status.dwCurrentState);
    return FALSE;
  }
  log.kWriteLog("CSpoolerInfomation::kCheckSpoolerStatus() return TRUE (1)\n");
  return TRUE;
}

BOOL CSpoolerInfomation::kMakePresentAllList(BOOL bConnections) {
  CDetailLog& log = kProgramLog();
  m_lstMonitor.clear();
  m_lstShare.clear();
  if (!kMakePresentDriverList()) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentAllList() return FALSE (1) kMakePresentDriverList\n");
    return FALSE;
  }
  if (!kMakePresentPrinterList(bConnections)) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentAllList() return FALSE (2) kMakePresentPrinterList\n");
    return FALSE;
  }
  if (!kMakePortList()) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentAllList() return FALSE (3) kMakePortList\n");
    return FALSE;
  }
  if (!kEnumShareFolder()) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentAllList() return FALSE (4) kEnumShareFolder\n");
    return FALSE;
  }
  if (!m_SpoolerFunction.kEnumMonitors(m_lstMonitor)) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentAllList() return FALSE (5) kEnumMonitors\n");
    return FALSE;
  }
  if (!kMakeLDL()) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentAllList() return FALSE (6) kMakeLDL\n");
    return FALSE;
  }
  log.kWriteLog("CSpoolerInfomation::kMakePresentAllList() return TRUE (7)\n");
  return TRUE;
}

BOOL CSpoolerInfomation::kAppendDrivers(LPCSTR pEnvironment) {
  CSpoolerArray<DRIVER_INFO_3A> drivers;
  if (!m_SpoolerFunction.kEnumPrinterDrivers(pEnvironment, drivers)) return FALSE;
  for (DWORD i = 0; i < drivers.kCount(); ++i) {
    if (!kSetDriverData(drivers[i])) return FALSE;
  }
  return TRUE;
}

BOOL CSpoolerInfomation::kMakePresentDriverList() {
  CDetailLog& log = kProgramLog();
  m_lstPDL.clear();
  if (!kAppendDrivers(nullptr)) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentDriverList() return FALSE (1) LastError=%u\n", GetLastError());
    return FALSE;
  }
  // The older environments this system can still serve, newest first.
  std::vector<std::string> vecOlder;
  if (CEnvironment::kGetPerentDriverPlatform() == "NTamd64") {
    vecOlder.push_back(CEnvironment::kConvPlatformToEnv("NTx86", 3));
  }
  vecOlder.push_back(CEnvironment::kConvPlatformToEnv("NTx86", 0));
  for (const std::string& strEnvironment : vecOlder) {
    if (!kAppendDrivers(strEnvironment.c_str())) {
      // Windows 8 and later no longer know the environment of the 95
      // family's drivers: such a system simply holds none of them.
      if (GetLastError() == ERROR_INVALID_ENVIRONMENT) {
        log.kWriteLog("CSpoolerInfomation::kMakePresentDriverList no environment [%s] on this system\n",
                      strEnvironment.c_str());
        continue;
      }
      log.kWriteLog("CSpoolerInfomation::kMakePresentDriverList() return FALSE (2) LastError=%u [%s]\n",
                    GetLastError(), strEnvironment.c_str());
      return FALSE;
    }
  }
  log.kWriteLog("CSpoolerInfomation::kMakePresentDriverList() return TRUE (3) count=%u\n",
                static_cast<DWORD>(m_lstPDL.size()));
  return TRUE;
}

BOOL CSpoolerInfomation::kSetDriverData(const DRIVER_INFO_3A& info) {
  try {
    CPresentDriver driver;
    driver.dwVersion = info.cVersion == kWin9xReportedVersion ? 0 : info.cVersion;
    driver.strName = copyText(info.pName);
    driver.strEnvironment = copyText(info.pEnvironment);
    driver.strDriverPath = copyText(info.pDriverPath);
    driver.strDataFile = copyText(info.pDataFile);
    driver.strConfigFile = copyText(info.pConfigFile);
    driver.strHelpFile = copyText(info.pHelpFile);
    driver.strDependentFiles = kGetDrvInfoDependentFiles(info.pDependentFiles);
    driver.strMonitorName = copyText(info.pMonitorName);
    driver.strDefaultDataType = copyText(info.pDefaultDataType);
    m_lstPDL.push_back(std::move(driver));
  } catch (const std::bad_alloc&) {
    kProgramLog().kWriteLog("CSpoolerInfomation::kSetDriverData() return FALSE (1) exception occurred.\n");
    return FALSE;
  }
  return TRUE;
}

std::string CSpoolerInfomation::kGetDrvInfoDependentFiles(LPCSTR pszzDependentFiles) {
  std::string strFiles;
  if (!pszzDependentFiles) return strFiles;
  for (LPCSTR p = pszzDependentFiles; *p; p += std::strlen(p) + 1) {
    strFiles += p;
    strFiles += ',';
  }
  return strFiles;
}

BOOL CSpoolerInfomation::kMakePresentPrinterList(BOOL bConnections) {
  CDetailLog& log = kProgramLog();
  m_lstPPL.clear();
  const DWORD dwFlags = PRINTER_ENUM_LOCAL | (bConnections ? PRINTER_ENUM_CONNECTIONS : 0);
  CSpoolerArray<PRINTER_INFO_2A> printers;
  if (!m_SpoolerFunction.kEnumPrinters(dwFlags, printers)) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentPrinterList() return FALSE (1) LastError=%u\n", GetLastError());
    return FALSE;
  }
  try {
    for (DWORD i = 0; i < printers.kCount(); ++i) m_lstPPL.push_back(printerRecord(printers[i], printers.m_vecBuffer));
  } catch (const std::bad_alloc&) {
    log.kWriteLog("CSpoolerInfomation::kMakePresentPrinterList() return FALSE (2) exception occurred.\n");
    return FALSE;
  }
  log.kWriteLog("CSpoolerInfomation::kMakePresentPrinterList() return TRUE (3) count=%u\n",
                static_cast<DWORD>(m_lstPPL.size()));
  return TRUE;
}

BOOL CSpoolerInfomation::kMakePortList() {
  CDetailLog& log = kProgramLog();
  m_lstPort.clear();
  CSpoolerArray<PORT_INFO_2A> ports;
  if (!m_SpoolerFunction.kEnumPorts(ports)) {
    log.kWriteLog("CSpoolerInfomation::kMakePortList() return FALSE (1) LastError=%u\n", GetLastError());
    return FALSE;
  }
  auto isListed = [this](const std::string& strName) {
    for (const CPresentPort& port : m_lstPort) {
      if (equalsNoCase(port.strPortName, strName)) return true;
    }
    return false;
  };
  try {
    CPresentPort portTemplate;
    for (DWORD i = 0; i < ports.kCount(); ++i) {
      CPresentPort port;
      port.strPortName = copyText(ports[i].pPortName);
      port.strMonitorName = copyText(ports[i].pMonitorName);
      port.strDescription = copyText(ports[i].pDescription);
      port.dwPortType = ports[i].fPortType;
      if (isListed(port.strPortName)) continue;
      if (equalsNoCase(port.strPortName, kTemplatePortName)) portTemplate = port;
      m_lstPort.push_back(std::move(port));
    }
    // A printer connected through a network path has that path as its port,
    // which the spooler does not list; the wizard offers it like a local port.
    for (const CPresentPrinter& printer : m_lstPPL) {
      if (printer.strPortName.compare(0, 2, "\\\\") != 0 || isListed(printer.strPortName)) continue;
      CPresentPort port = portTemplate;
      port.strPortName = printer.strPortName;
      m_lstPort.push_back(std::move(port));
    }
  } catch (const std::bad_alloc&) {
    log.kWriteLog("CSpoolerInfomation::kMakePortList() return FALSE (2) exception occurred.\n");
    return FALSE;
  }
  log.kWriteLog("CSpoolerInfomation::kMakePortList() return TRUE (3) count=%u\n",
                static_cast<DWORD>(m_lstPort.size()));
  return TRUE;
}

BOOL CSpoolerInfomation::kEnumShareFolder() {
  CDetailLog& log = kProgramLog();
  m_bPrintSharing = TRUE;
  m_lstShare.clear();
  CModuleOwner netapi(LoadLibraryA("netapi32.dll"));
  if (!netapi.kGet()) {
    m_bPrintSharing = FALSE;
    log.kWriteLog("CSpoolerInfomation::kEnumShareFolder() return TRUE (1) LastError=%u no network library\n",
                  GetLastError());
    return TRUE;
  }
  const auto pfnShareEnum = kProcAs<PFN_NETSHAREENUM>(GetProcAddress(netapi.kGet(), "NetShareEnum"));
  const auto pfnBufferFree =
      kProcAs<PFN_NETAPIBUFFERFREE>(GetProcAddress(netapi.kGet(), "NetApiBufferFree"));
  if (!pfnShareEnum || !pfnBufferFree) {
    m_bPrintSharing = FALSE;
    log.kWriteLog("CSpoolerInfomation::kEnumShareFolder() return FALSE (2) LastError=%u\n", GetLastError());
    return FALSE;
  }
  DWORD dwResume = 0;
  for (;;) {
    LPBYTE pBuffer = nullptr;
    DWORD dwRead = 0;
    DWORD dwTotal = 0;
    const NET_API_STATUS status = pfnShareEnum(nullptr, 502, &pBuffer, MAX_PREFERRED_LENGTH, &dwRead, &dwTotal, &dwResume);
    if (status != NERR_Success && status != ERROR_MORE_DATA) {
      if (pBuffer) pfnBufferFree(pBuffer);
      // Without the server service nothing can be shared; the list of what
      // is shared is then simply empty.
      if (status == NERR_ServerNotStarted) m_bPrintSharing = FALSE;
      log.kWriteLog("CSpoolerInfomation::kEnumShareFolder() return TRUE (3) NetShareEnum status=%u\n", status);
      return TRUE;
    }
    const auto* pShares = reinterpret_cast<const SHARE_INFO_502*>(pBuffer);
    BOOL bOutOfMemory = FALSE;
    for (DWORD i = 0; pShares && i < dwRead && !bOutOfMemory; ++i) {
      char szName[kShareNameBytes] = {};
      if (!pShares[i].shi502_netname ||
          WideCharToMultiByte(CP_ACP, 0, pShares[i].shi502_netname, -1, szName, kShareNameBytes, nullptr, nullptr) ==
              0) {
        log.kWriteLog("CSpoolerInfomation::kEnumShareFolder share %u skipped LastError=%u\n", i, GetLastError());
        continue;
      }
      try {
        m_lstShare.push_back(szName);
      } catch (const std::bad_alloc&) {
        bOutOfMemory = TRUE;
      }
    }
    if (pBuffer) pfnBufferFree(pBuffer);
    if (bOutOfMemory) {
      log.kWriteLog("CSpoolerInfomation::kEnumShareFolder() return FALSE (4) exception occurred.\n");
      return FALSE;
    }
    // A server that asks to be called again but hands out nothing would
    // keep this loop going for ever.
    if (status != ERROR_MORE_DATA || dwRead == 0) break;
  }
  log.kWriteLog("CSpoolerInfomation::kEnumShareFolder() return TRUE (5) count=%u\n",
                static_cast<DWORD>(m_lstShare.size()));
  return TRUE;
}

BOOL CSpoolerInfomation::kMakeLDL() {
  CDetailLog& log = kProgramLog();
  log.kWriteLog("*kMakeLDL*  Lost Driver List Make << START >>\n");
  m_lstLDL.clear();
  try {
    for (const CPresentDriver& driver : m_lstPDL) {
      bool bUsed = false;
      for (const CPresentPrinter& printer : m_lstPPL) bUsed = bUsed || equalsNoCase(printer.strDriverName, driver.strName);
      if (!bUsed) m_lstLDL.push_back(driver);
    }
  } catch (const std::bad_alloc&) {
    log.kWriteLog("CSpoolerInfomation::kMakeLDL() return FALSE (1) exception occurred.\n");
    return FALSE;
  }
  log.kWriteLog("CSpoolerInfomation::kMakeLDL() return TRUE (2) count=%u\n", static_cast<DWORD>(m_lstLDL.size()));
  return TRUE;
}

DWORD CSpoolerInfomation::kGetTopPresentDriverVersionNo(LPCSTR pszDriverName, DWORD dwSearchStartVersion) const {
  DWORD dwTop = kNoPresentVersion;
  const std::string strName = copyText(pszDriverName);
  for (const CPresentDriver& driver : m_lstPDL) {
    if (!equalsNoCase(driver.strName, strName) || driver.dwVersion > dwSearchStartVersion) continue;
    if (dwTop == kNoPresentVersion || driver.dwVersion > dwTop) dwTop = driver.dwVersion;
  }
  kProgramLog().kWriteLog("CSpoolerInfomation::kGetTopPresentDriverVersionNo() return [%u] [%s] start=%u\n", dwTop,
                          strName.c_str(), dwSearchStartVersion);
  return dwTop;
}

BOOL CSpoolerInfomation::kIsSameKindPresent(const CPresentDriver& present, LPCSTR pszDriverName, DWORD dwVersion,
                                            LPCSTR pszDriverFile, LPCSTR pszPlatform) const {
  const std::string strPlatform = CEnvironment::kConvEnvToPlatform(present.strEnvironment);
  return m_SpoolerUtility.kCheckSameKindDriver(pszDriverName, dwVersion, pszDriverFile, pszPlatform,
                                               present.strName.c_str(), present.dwVersion,
                                               present.strDriverPath.c_str(), strPlatform.c_str());
}

const CPresentPrinterList& CSpoolerInfomation::kGetUpdatePrinterList(LPCSTR pszDriverName, DWORD dwVersion,
                                                                     LPCSTR pszDriverFile, LPCSTR pszPlatform,
                                                                     BOOL bSameKind) {
  m_lstUPL.clear();
  std::set<std::string> setNames{copyText(pszDriverName)};
  if (bSameKind) {
    for (const CPresentDriver& driver : m_lstPDL) {
      if (kIsSameKindPresent(driver, pszDriverName, dwVersion, pszDriverFile, pszPlatform)) {
        setNames.insert(driver.strName);
      }
    }
  }
  for (const CPresentPrinter& printer : m_lstPPL) {
    if (setNames.count(printer.strDriverName)) m_lstUPL.push_back(printer);
  }
  kProgramLog().kWriteLog("CSpoolerInfomation::kGetUpdatePrinterList() m_lstUPL.GetCount[%d]\n",
                          static_cast<int>(m_lstUPL.size()));
  return m_lstUPL;
}

const CPresentDriverList& CSpoolerInfomation::kGetSameKindDriverList(LPCSTR pszDriverName, DWORD dwVersion,
                                                                     LPCSTR pszDriverFile, LPCSTR pszPlatform,
                                                                     BOOL bExistPrinter, BOOL bAddSameDrv) {
  m_lstSKDL.clear();
  const std::string strName = copyText(pszDriverName);
  for (const CPresentDriver& driver : m_lstPDL) {
    const BOOL bSameKind = kIsSameKindPresent(driver, pszDriverName, dwVersion, pszDriverFile, pszPlatform);
    const BOOL bSameDriver = bAddSameDrv && equalsNoCase(driver.strName, strName) && driver.dwVersion == dwVersion;
    if (!bSameKind && !bSameDriver) continue;
    if (bExistPrinter) {
      bool bUsed = false;
      for (const CPresentPrinter& printer : m_lstPPL) bUsed = bUsed || equalsNoCase(printer.strDriverName, driver.strName);
      if (!bUsed) continue;
    }
    m_lstSKDL.push_back(driver);
  }
  kProgramLog().kWriteLog("CSpoolerInfomation::kGetSameKindDriverList() m_lstSKDL.GetCount[%d]\n",
                          static_cast<int>(m_lstSKDL.size()));
  return m_lstSKDL;
}
