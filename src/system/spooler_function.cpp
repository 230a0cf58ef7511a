// The spooler's enumeration calls with the two-call sizing.
#include "system/spooler_function.h"

#include <new>

#include "system/common_function.h"
#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"

namespace {

// How often the sizing is asked again when the spooler's lists grew between
// the question and the answer (another process added a printer meanwhile).
constexpr int kSizingRounds = 3;

using PFN_SETDEFAULTPRINTERA = BOOL(WINAPI*)(LPCSTR);

}  // namespace

template <class TCall>
BOOL CSpoolerFunction::kEnumerate(const char* pszFunction, const char* pszCall, TCall call,
                                  std::vector<BYTE>& vecBuffer, DWORD& dwCount) const {
  CDetailLog& log = kProgramLog();
  vecBuffer.clear();
  dwCount = 0;
  DWORD cbNeeded = 0;
  DWORD dwReturned = 0;
  if (!call(nullptr, 0, &cbNeeded, &dwReturned)) {
    const DWORD dwError = GetLastError();
    if (dwError != ERROR_INSUFFICIENT_BUFFER) {
      log.kWriteLog("CSpoolerFunction::%s %s Error 1: GetLastError[%u]\n", pszFunction, pszCall, dwError);
      SetLastError(dwError);
      return FALSE;
    }
  } else if (cbNeeded == 0) {
    // Nothing to enumerate: the spooler says so with success and no size.
    log.kWriteLogLevel1("CSpoolerFunction::%s return TRUE (1) count=0\n", pszFunction);
    return TRUE;
  }
  for (int nRound = 0; nRound < kSizingRounds; ++nRound) {
    try {
      vecBuffer.assign(cbNeeded, 0);
    } catch (const std::bad_alloc&) {
      log.kWriteLog("CSpoolerFunction::%s exception occurred. size=%u\n", pszFunction, cbNeeded);
      vecBuffer.clear();
      return FALSE;
    }
    DWORD cbAgain = 0;
    dwReturned = 0;
    if (call(vecBuffer.empty() ? nullptr : vecBuffer.data(), cbNeeded, &cbAgain, &dwReturned)) {
      dwCount = dwReturned;
      log.kWriteLogLevel1("CSpoolerFunction::%s return TRUE (2) count=%u\n", pszFunction, dwCount);
      return TRUE;
    }
    const DWORD dwError = GetLastError();
    if (dwError != ERROR_INSUFFICIENT_BUFFER || cbAgain <= cbNeeded) {
      log.kWriteLog("CSpoolerFunction::%s %s Error 2: GetLastError[%u]\n", pszFunction, pszCall, dwError);
      vecBuffer.clear();
      SetLastError(dwError);
      return FALSE;
    }
    cbNeeded = cbAgain;
  }
  log.kWriteLog("CSpoolerFunction::%s %s Error 2: GetLastError[%u] the list kept growing\n", pszFunction, pszCall,
                static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  vecBuffer.clear();
  return FALSE;
}

BOOL CSpoolerFunction::kEnumPrinterDrivers(LPCSTR pEnvironment, CSpoolerArray<DRIVER_INFO_3A>& result) const {
  return kEnumerate(
      "kEnumPrinterDrivers", "EnumPrinterDrivers",
      [&](LPBYTE pBuf, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
        return EnumPrinterDriversA(nullptr, const_cast<LPSTR>(pEnvironment), 3, pBuf, cbBuf, pcbNeeded, pcReturned);
      },
      result.m_vecBuffer, result.m_dwCount);
}

BOOL CSpoolerFunction::kEnumPrinters(DWORD dwFlags, CSpoolerArray<PRINTER_INFO_2A>& result) const {
  return kEnumerate(
      "kEnumPrinters", "EnumPrinters",
      [&](LPBYTE pBuf, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
        return EnumPrintersA(dwFlags, nullptr, 2, pBuf, cbBuf, pcbNeeded, pcReturned);
      },
      result.m_vecBuffer, result.m_dwCount);
}

BOOL CSpoolerFunction::kEnumPorts(CSpoolerArray<PORT_INFO_2A>& result) const {
  return kEnumerate(
      "kEnumPorts", "EnumPorts",
      [&](LPBYTE pBuf, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
        return EnumPortsA(nullptr, 2, pBuf, cbBuf, pcbNeeded, pcReturned);
      },
      result.m_vecBuffer, result.m_dwCount);
}

BOOL CSpoolerFunction::kEnumMonitors(std::list<std::string>& lstMonitor) const {
  CSpoolerArray<MONITOR_INFO_1A> monitors;
  if (!kEnumerate(
          "kEnumMonitors", "EnumMonitors",
          [&](LPBYTE pBuf, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
            return EnumMonitorsA(nullptr, 1, pBuf, cbBuf, pcbNeeded, pcReturned);
          },
          monitors.m_vecBuffer, monitors.m_dwCount)) {
    return FALSE;
  }
  try {
    for (DWORD i = 0; i < monitors.kCount(); ++i) lstMonitor.push_back(monitors[i].pName ? monitors[i].pName : "");
  } catch (const std::bad_alloc&) {
    kProgramLog().kWriteLog("CSpoolerFunction::kEnumMonitors exception occurred.\n");
    return FALSE;
  }
  return TRUE;
}

BOOL CSpoolerFunction::kEnumPrintProcessors(std::list<std::string>& lstProcessor, LPCSTR pEnvironment) const {
  CSpoolerArray<PRINTPROCESSOR_INFO_1A> processors;
  if (!kEnumerate(
          "kEnumPrintProcessors", "EnumPrintProcessors",
          [&](LPBYTE pBuf, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
            return EnumPrintProcessorsA(nullptr, const_cast<LPSTR>(pEnvironment), 1, pBuf, cbBuf, pcbNeeded,
                                        pcReturned);
          },
          processors.m_vecBuffer, processors.m_dwCount)) {
    return FALSE;
  }
  try {
    for (DWORD i = 0; i < processors.kCount(); ++i) {
      lstProcessor.push_back(processors[i].pName ? processors[i].pName : "");
    }
  } catch (const std::bad_alloc&) {
    kProgramLog().kWriteLog("CSpoolerFunction::kEnumPrintProcessors exception occurred.\n");
    return FALSE;
  }
  return TRUE;
}

void CSpoolerFunction::kOnlyEnumPrinterDrivers() const {
  DWORD cbNeeded = 0;
  DWORD dwReturned = 0;
  if (!EnumPrinterDriversA(nullptr, nullptr, 3, nullptr, 0, &cbNeeded, &dwReturned) &&
      GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    kProgramLog().kWriteLog("CSpoolerFunction::kOnlyEnumPrinterDrivers EnumPrinterDrivers Error: GetLastError[%u]\n",
                            GetLastError());
  }
}

BOOL CSpoolerFunction::kGetDriverDirectory(std::string& strDirectory) const {
  CDetailLog& log = kProgramLog();
  std::string strEnvironment = CEnvironment::kGetEnvironment();
  LPSTR pEnvironment = strEnvironment.empty() ? nullptr : strEnvironment.data();
  // The ANSI call may report the size of the UTF-16 text; a buffer of twice
  // the longest path is enough either way.
  char szDirectory[MAX_PATH * 2] = {};
  DWORD cbNeeded = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, pEnvironment, 1, reinterpret_cast<LPBYTE>(szDirectory),
                                  sizeof(szDirectory), &cbNeeded)) {
    log.kWriteLog("CSpoolerFunction::kGetDriverDirectory return FALSE (1) LastError=%u\n", GetLastError());
    return FALSE;
  }
  szDirectory[sizeof(szDirectory) - 1] = '\0';
  strDirectory = szDirectory;
  log.kWriteLogLevel1("CSpoolerFunction::kGetDriverDirectory return TRUE (2) [%s]\n", strDirectory.c_str());
  return TRUE;
}

BOOL CSpoolerFunction::kSetDefaultPrinter(LPCSTR pszPrinterName, LPCSTR pszPortName, LPCSTR pszDriverFile) const {
  CDetailLog& log = kProgramLog();
  const char* pszPrinter = pszPrinterName ? pszPrinterName : "";
  if (CEnvironment::kIsWin2k()) {
    CModuleOwner spooler(LoadLibraryA("winspool.drv"));
    if (!spooler.kGet()) {
      log.kWriteLog("CSpoolerFunction::kSetDefaultPrinter return FALSE (1) LastError=%u\n", GetLastError());
      return FALSE;
    }
    const auto pfnSetDefault =
        kProcAs<PFN_SETDEFAULTPRINTERA>(GetProcAddress(spooler.kGet(), "SetDefaultPrinterA"));
    if (!pfnSetDefault) {
      log.kWriteLog("CSpoolerFunction::kSetDefaultPrinter return FALSE (2) LastError=%u\n", GetLastError());
      return FALSE;
    }
    if (!pfnSetDefault(pszPrinter)) {
      log.kWriteLog("CSpoolerFunction::kSetDefaultPrinter return FALSE (3) LastError=%u [%s]\n", GetLastError(),
                    pszPrinter);
      return FALSE;
    }
    log.kWriteLog("CSpoolerFunction::kSetDefaultPrinter return TRUE (4) [%s]\n", pszPrinter);
    return TRUE;
  }
  // Older systems keep the default printer in the "windows" section of the
  // profile: the printer, the driver part and the port.
  const BOOL bNt4 = CEnvironment::kIsWinnt();
  std::string strDriverPart = "WINSPOOL";
  if (!bNt4) {
    (void)CCommonFunction::kStdAfxGetPathElement(pszDriverFile ? pszDriverFile : "", PATH_ELEMENT_BASE_NAME,
                                                 strDriverPart);
  }
  const std::string strDevice = std::string(pszPrinter) + "," + strDriverPart + "," + (pszPortName ? pszPortName : "");
  if (!WritePrivateProfileStringA("windows", "device", strDevice.c_str(), "win.ini")) {
    log.kWriteLog("CSpoolerFunction::kSetDefaultPrinter WriteProfileString Error LastError=%u\n", GetLastError());
  }
  static const char kWindowsSection[] = "windows";
  DWORD_PTR dwResult = 0;
  if (!SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0,
                           bNt4 ? 0 : reinterpret_cast<LPARAM>(kWindowsSection), SMTO_NORMAL, 1000, &dwResult)) {
    log.kWriteLog("CSpoolerFunction::kSetDefaultPrinter SendMessageTimeout Error LastError=%u\n", GetLastError());
  }
  log.kWriteLog("CSpoolerFunction::kSetDefaultPrinter return TRUE (5) [%s]\n", strDevice.c_str());
  return TRUE;
}
