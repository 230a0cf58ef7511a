// NELI64.EXE / NELI.EXE: a stand-in for the maker's external installer.
//
//   NELI64.EXE +X:"<interface file>" +H:<lang> +W:<window> +M:<message> [+K] [+Z] [+1] ...
//
// Reads the interface file the wizard wrote (NELSETUP.INI), registers the
// drivers of each install section from the INF files in its SourcePath,
// creates the ports and printer objects of the printer-object sections,
// renews the printers of the installed drivers for an update, removes what
// an "Uninstall." section names, appends its own log to the report named
// by [Generic] LogFile, and reports to the window of +W: base + 2 (its own
// window and message), base + 1 (progress) and base + 0 (its status word).
// Exit code 0 on success, 1 when something failed.
//
// Machine settings under HKLM\SOFTWARE\KVSim\NELI (REG_DWORD) steer it so
// that the wizard's handling of every outcome can be tried:
//   Status    the status word to report instead of its own
//   ExitCode  the exit code instead of its own (1223: cancelled)
//   Delay     milliseconds to wait before it reports
//   Crash     1: crash after announcing itself, before any work
//   NoPost    1: post nothing at all to the wizard
//   Linger    milliseconds to keep running after the status; the status is
//             then followed by a sent message so that the wizard's wait
//             wakes while this program still runs
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "driverinfo/driver_infomation.h"
#include "platform/win32.h"

namespace {

// ---- Settings and command line ----------------------------------------------------

struct Knobs {
  bool bStatus = false;
  DWORD dwStatus = 0;
  bool bExitCode = false;
  DWORD dwExitCode = 0;
  DWORD dwDelay = 0;
  DWORD dwCrash = 0;
  DWORD dwNoPost = 0;
  DWORD dwLinger = 0;
};

bool readDword(HKEY hKey, const char* pszName, DWORD& dwValue) {
  DWORD dwType = 0;
  DWORD cb = sizeof(dwValue);
  return RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue), &cb) == ERROR_SUCCESS &&
         dwType == REG_DWORD;
}

Knobs readKnobs() {
  Knobs k;
  HKEY hKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVSim\\NELI", 0, KEY_READ, &hKey) != ERROR_SUCCESS) return k;
  k.bStatus = readDword(hKey, "Status", k.dwStatus);
  k.bExitCode = readDword(hKey, "ExitCode", k.dwExitCode);
  readDword(hKey, "Delay", k.dwDelay);
  readDword(hKey, "Crash", k.dwCrash);
  readDword(hKey, "NoPost", k.dwNoPost);
  readDword(hKey, "Linger", k.dwLinger);
  RegCloseKey(hKey);
  return k;
}

struct Arguments {
  std::string strInterfaceFile;
  std::string strLang;
  HWND hWizard = nullptr;
  UINT uBase = 0;
  bool bK = false;  // interactive
  bool bZ = false;
  std::string strDivertMode;  // +C:
};

// The value of a switch: quoted (to the closing quote) or up to a blank.
std::string switchValue(const std::string& strLine, size_t nAt) {
  if (nAt < strLine.size() && strLine[nAt] == '"') {
    const size_t nEnd = strLine.find('"', nAt + 1);
    return strLine.substr(nAt + 1, nEnd == std::string::npos ? std::string::npos : nEnd - nAt - 1);
  }
  const size_t nEnd = strLine.find_first_of(" \t", nAt);
  return strLine.substr(nAt, nEnd == std::string::npos ? std::string::npos : nEnd - nAt);
}

Arguments readArguments() {
  Arguments a;
  const std::string strLine = GetCommandLineA();
  // The program's own path comes first, quoted or not.
  size_t nPos = 0;
  if (!strLine.empty() && strLine[0] == '"') {
    nPos = strLine.find('"', 1);
    nPos = nPos == std::string::npos ? strLine.size() : nPos + 1;
  } else {
    nPos = strLine.find_first_of(" \t");
    if (nPos == std::string::npos) nPos = strLine.size();
  }
  while (nPos < strLine.size()) {
    nPos = strLine.find_first_not_of(" \t", nPos);
    if (nPos == std::string::npos) break;
    if (nPos + 1 >= strLine.size() || (strLine[nPos] != '+' && strLine[nPos] != '-')) {
      nPos = strLine.find_first_of(" \t", nPos);
      if (nPos == std::string::npos) break;
      continue;
    }
    const char cSwitch = static_cast<char>(std::toupper(static_cast<unsigned char>(strLine[nPos + 1])));
    const bool bValue = nPos + 2 < strLine.size() && strLine[nPos + 2] == ':';
    std::string strValue;
    size_t nNext = nPos + 2;
    if (bValue) {
      strValue = switchValue(strLine, nPos + 3);
      nNext = nPos + 3 + strValue.size() + (nPos + 3 < strLine.size() && strLine[nPos + 3] == '"' ? 2 : 0);
    }
    switch (cSwitch) {
      case 'X':
        a.strInterfaceFile = strValue;
        break;
      case 'H':
        a.strLang = strValue;
        break;
      case 'W':
        a.hWizard = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(strValue.c_str(), nullptr, 16)));
        break;
      case 'M':
        a.uBase = static_cast<UINT>(std::strtoul(strValue.c_str(), nullptr, 16));
        break;
      case 'K':
        a.bK = true;
        break;
      case 'Z':
        a.bZ = true;
        break;
      case 'C':
        a.strDivertMode = strValue;
        break;
      default:
        break;
    }
    nPos = nNext;
  }
  return a;
}

// ---- Interface file and log -----------------------------------------------------

std::string profileString(const std::string& strFile, const std::string& strSection, const char* pszKey) {
  std::vector<char> buffer(4096);
  for (;;) {
    const DWORD n = GetPrivateProfileStringA(strSection.c_str(), pszKey, "", buffer.data(),
                                             static_cast<DWORD>(buffer.size()), strFile.c_str());
    if (n + 1 < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::vector<std::string> sectionNames(const std::string& strFile) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const DWORD n = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), strFile.c_str());
    if (n + 2 < buffer.size()) {
      std::vector<std::string> lst;
      for (const char* p = buffer.data(); *p; p += std::strlen(p) + 1) lst.emplace_back(p);
      return lst;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool equalsNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

bool startsWithNoCase(const std::string& strText, const char* pszPrefix) {
  const size_t n = std::strlen(pszPrefix);
  return strText.size() >= n && lstrcmpiA(strText.substr(0, n).c_str(), pszPrefix) == 0;
}

std::vector<std::string> splitList(const std::string& strList) {
  std::vector<std::string> lst;
  size_t nStart = 0;
  for (;;) {
    const size_t nEnd = strList.find_first_of(",:|^", nStart);
    std::string strPiece = strList.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
    const size_t b = strPiece.find_first_not_of(" \t");
    const size_t e = strPiece.find_last_not_of(" \t");
    if (b != std::string::npos) lst.push_back(strPiece.substr(b, e - b + 1));
    if (nEnd == std::string::npos) return lst;
    nStart = nEnd + 1;
  }
}

class CLog {
 public:
  void kSetFile(const std::string& strFile) { m_strFile = strFile; }
  void kLine(const std::string& strText) {
    std::fprintf(stderr, "NELI: %s\n", strText.c_str());
    if (m_strFile.empty()) return;
    HANDLE h = CreateFileA(m_strFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    SetFilePointer(h, 0, nullptr, FILE_END);
    const std::string strLine = "NELI: " + strText + "\r\n";
    DWORD dw = 0;
    WriteFile(h, strLine.data(), static_cast<DWORD>(strLine.size()), &dw, nullptr);
    CloseHandle(h);
  }

 private:
  std::string m_strFile;
};

CLog g_log;

std::string format(const char* pszFormat, ...) {
  char sz[2048];
  va_list args;
  va_start(args, pszFormat);
  std::vsnprintf(sz, sizeof sz, pszFormat, args);
  va_end(args);
  return sz;
}

// ---- The system ---------------------------------------------------------------

bool isAmd64() {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

std::string environmentFor(const std::string& strPlatform, DWORD dwVersion) {
  if (dwVersion == 0) return "Windows 4.0";
  return equalsNoCase(strPlatform, "NTamd64") ? "Windows x64" : "Windows NT x86";
}

std::string systemEnvironment() { return isAmd64() ? "Windows x64" : "Windows NT x86"; }

std::vector<WCHAR> wide(const std::string& strText) {
  const int n = MultiByteToWideChar(CP_ACP, 0, strText.c_str(), -1, nullptr, 0);
  std::vector<WCHAR> out(n > 0 ? n : 1);
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, strText.c_str(), -1, out.data(), n);
  return out;
}

struct PrinterRow {
  std::string strName;
  std::string strDriver;
  std::string strPort;
};

std::vector<PrinterRow> printers() {
  std::vector<PrinterRow> rows;
  DWORD cbNeeded = 0;
  DWORD cReturned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &cbNeeded, &cReturned);
  if (cbNeeded == 0) return rows;
  std::vector<BYTE> buffer(cbNeeded);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), cbNeeded, &cbNeeded, &cReturned)) return rows;
  const auto* p = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  for (DWORD i = 0; i < cReturned; ++i) {
    rows.push_back({p[i].pPrinterName ? p[i].pPrinterName : "", p[i].pDriverName ? p[i].pDriverName : "",
                    p[i].pPortName ? p[i].pPortName : ""});
  }
  return rows;
}

bool portExists(const std::string& strPort) {
  DWORD cbNeeded = 0;
  DWORD cReturned = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &cbNeeded, &cReturned);
  if (cbNeeded == 0) return false;
  std::vector<BYTE> buffer(cbNeeded);
  if (!EnumPortsA(nullptr, 2, buffer.data(), cbNeeded, &cbNeeded, &cReturned)) return false;
  const auto* p = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
  for (DWORD i = 0; i < cReturned; ++i) {
    if (p[i].pPortName && equalsNoCase(p[i].pPortName, strPort)) return true;
  }
  return false;
}

// The record the TCP/IP monitor's "AddPort" takes (version 1).
struct TcpPortData {
  WCHAR portName[64];
  DWORD version;
  DWORD protocol;
  DWORD size;
  DWORD reserved;
  WCHAR hostAddress[49];
  WCHAR snmpCommunity[33];
  DWORD doubleSpool;
  WCHAR queue[33];
  WCHAR ipAddress[16];
  BYTE reservedBytes[540];
  DWORD portNumber;
  DWORD snmpEnabled;
  DWORD snmpDevIndex;
};

template <size_t N>
void copyWide(WCHAR (&field)[N], const std::string& strText) {
  const std::vector<WCHAR> w = wide(strText);
  for (size_t i = 0; i + 1 < N && i < w.size(); ++i) field[i] = w[i];
}

BOOL xcvAddPort(const char* pszMonitor, const BYTE* pData, DWORD cbData, DWORD& dwStatus) {
  std::string strName = std::string(",XcvMonitor ") + pszMonitor;
  PRINTER_DEFAULTSA defaults = {};
  defaults.DesiredAccess = SERVER_ACCESS_ADMINISTER;
  HANDLE hXcv = nullptr;
  if (!OpenPrinterA(strName.data(), &hXcv, &defaults) || !hXcv) return FALSE;
  DWORD cbOut = 0;
  const std::vector<WCHAR> request = wide("AddPort");
  const BOOL bOk = XcvDataW(hXcv, request.data(), const_cast<BYTE*>(pData), cbData, nullptr, 0, &cbOut, &dwStatus);
  ClosePrinter(hXcv);
  return bOk;
}

// Creates the port when it is not there: a network port through the TCP/IP
// monitor where the system has one, else (and for any other port) a port of
// the local monitor.
bool ensurePort(const std::string& strPort, const std::string& strMonitor, const std::string& strAddress,
                const std::string& strProtocol) {
  if (portExists(strPort)) return true;
  const bool bNetwork = startsWithNoCase(strPort, "IP_") || equalsNoCase(strMonitor, "Standard TCP/IP Port");
  DWORD dwStatus = ERROR_SUCCESS;
  if (bNetwork) {
    TcpPortData data = {};
    copyWide(data.portName, strPort);
    data.version = 1;
    data.protocol = 1;  // raw
    data.size = sizeof(data);
    const std::string strHost = strAddress.empty() && startsWithNoCase(strPort, "IP_") ? strPort.substr(3) : strAddress;
    copyWide(data.ipAddress, strHost);
    copyWide(data.hostAddress, strHost);
    data.portNumber = strProtocol.empty() ? 9100 : static_cast<DWORD>(std::strtoul(strProtocol.c_str(), nullptr, 10));
    if (xcvAddPort("Standard TCP/IP Port", reinterpret_cast<const BYTE*>(&data), sizeof(data), dwStatus) &&
        (dwStatus == ERROR_SUCCESS || dwStatus == ERROR_ALREADY_EXISTS)) {
      g_log.kLine("port " + strPort + " created through the TCP/IP monitor");
      return true;
    }
    g_log.kLine(format("the TCP/IP monitor did not create %s (LastError=%u status=%u); a local port is used",
                       strPort.c_str(), GetLastError(), dwStatus));
  }
  const std::vector<WCHAR> name = wide(strPort);
  if (xcvAddPort("Local Port", reinterpret_cast<const BYTE*>(name.data()),
                 static_cast<DWORD>(name.size() * sizeof(WCHAR)), dwStatus) &&
      (dwStatus == ERROR_SUCCESS || dwStatus == ERROR_ALREADY_EXISTS)) {
    g_log.kLine("port " + strPort + " created as a local port");
    return true;
  }
  g_log.kLine(format("port %s could not be created (LastError=%u status=%u)", strPort.c_str(), GetLastError(),
                     dwStatus));
  return false;
}

// ---- The work --------------------------------------------------------------------

struct Installer {
  std::string strFile;
  Arguments args;
  CDriverInfomation facade;
  bool bFacade = false;
  std::vector<std::string> lstInstalledDrivers;
  int nErrors = 0;

  void fail(const std::string& strWhy) {
    ++nErrors;
    g_log.kLine("ERROR: " + strWhy);
  }

  const CCandidateDriver* findCandidate(const std::string& strDriver, const std::string& strPlatform,
                                        const std::string& strOs) {
    const DWORD dwVersion = equalsNoCase(strOs, "Win95") ? 0 : equalsNoCase(strOs, "Winnt4") ? 2 : 3;
    for (const CCandidateDriver& c : facade.VEXOGetCandidateDriverList()) {
      if (equalsNoCase(c.strDriverName, strDriver) && c.dwInfOSVersion == dwVersion &&
          (strPlatform.empty() || equalsNoCase(c.strPlatform, strPlatform))) {
        return &c;
      }
    }
    return nullptr;
  }

  // Copies the driver's files into the environment's driver folder and
  // registers the driver by their bare names, as the spooler asks.
  bool registerDriver(const CCandidateDriver& c) {
    const std::string strEnv = environmentFor(c.strPlatform, c.dwInfOSVersion);
    char szDir[MAX_PATH * 2] = {};
    DWORD cbNeeded = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(strEnv.c_str()), 1, reinterpret_cast<BYTE*>(szDir),
                                    sizeof(szDir), &cbNeeded)) {
      fail(format("GetPrinterDriverDirectory %s LastError=%u", strEnv.c_str(), GetLastError()));
      return false;
    }
    std::string strDependent;
    auto mainFile = [&](const std::string& strName) {
      return equalsNoCase(strName, c.strDriverFile) || equalsNoCase(strName, c.strConfigFile) ||
             equalsNoCase(strName, c.strDataFile) || equalsNoCase(strName, c.strHelpFile);
    };
    if (c.pDriverFileList) {
      for (const CDriverFile& f : *c.pDriverFileList) {
        // Colour profiles, monitors and print processors go elsewhere; the
        // driver needs its own folder's files.
        if (f.bColorProfile || (!f.strDirId.empty() && f.strDirId != "66000")) continue;
        const std::string strSource = (f.strSourceDir.empty() ? c.strDriverPath : f.strSourceDir) + "\\" + f.strFileName;
        const std::string strTarget = std::string(szDir) + "\\" + f.strFileName;
        if (!facade.kSetupDecompressOrCopyFile(strSource, strTarget, 0, nullptr)) {
          fail(format("copy %s -> %s LastError=%u", strSource.c_str(), strTarget.c_str(), GetLastError()));
          return false;
        }
        if (!mainFile(f.strFileName)) strDependent += f.strFileName + std::string(1, '\0');
      }
    }
    strDependent += '\0';
    DRIVER_INFO_3A info = {};
    info.cVersion = c.dwInfOSVersion;
    info.pName = const_cast<char*>(c.strDriverName.c_str());
    info.pEnvironment = const_cast<char*>(strEnv.c_str());
    info.pDriverPath = const_cast<char*>(c.strDriverFile.c_str());
    info.pDataFile = const_cast<char*>(c.strDataFile.c_str());
    info.pConfigFile = const_cast<char*>(c.strConfigFile.c_str());
    info.pHelpFile = c.strHelpFile.empty() ? nullptr : const_cast<char*>(c.strHelpFile.c_str());
    info.pDependentFiles = strDependent.size() > 1 ? strDependent.data() : nullptr;
    info.pDefaultDataType = c.strDefaultDataType.empty() ? nullptr : const_cast<char*>(c.strDefaultDataType.c_str());
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&info), APD_COPY_NEW_FILES) &&
        GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
      fail(format("AddPrinterDriverEx %s (%s) LastError=%u", c.strDriverName.c_str(), strEnv.c_str(), GetLastError()));
      return false;
    }
    g_log.kLine(format("driver %s registered for %s", c.strDriverName.c_str(), strEnv.c_str()));
    lstInstalledDrivers.push_back(c.strDriverName);
    return true;
  }

  bool forThisSystem(const std::string& strPlatform, const std::string& strOs) const {
    const std::string strMine = isAmd64() ? "NTamd64" : "NTx86";
    return equalsNoCase(strOs, "Win2k") && (strPlatform.empty() || equalsNoCase(strPlatform, strMine));
  }

  void installSection(const std::string& strSection) {
    const std::string strSource = profileString(strFile, strSection, "SourcePath");
    const std::string strOs = profileString(strFile, strSection, "SupportOS");
    const std::string strPlatform = profileString(strFile, strSection, "Platform");
    std::string strDrivers = profileString(strFile, strSection, "DefaultDriver");
    if (strDrivers.empty()) strDrivers = profileString(strFile, strSection, "ComponentName");
    if (!forThisSystem(strPlatform, strOs)) {
      g_log.kLine("[" + strSection + "] is not for this system (" + strOs + ", " + strPlatform + "); skipped");
      return;
    }
    if (!bFacade) {
      fail("the INF reader is not available");
      return;
    }
    std::string strLang = args.strLang;
    if (startsWithNoCase(strLang, "0x")) strLang = strLang.substr(2);
    const DWORD dwResult = facade.VEXOMakeCandidateDriverList(strSource, strLang, FALSE);
    if (dwResult != VEXOERR_SUCCESS) {
      fail(format("[%s] the INF files in %s cannot be read (%u)", strSection.c_str(), strSource.c_str(), dwResult));
      return;
    }
    for (const std::string& strDriver : splitList(strDrivers)) {
      const CCandidateDriver* c = findCandidate(strDriver, strPlatform, strOs);
      if (!c) {
        fail("[" + strSection + "] no INF in " + strSource + " offers " + strDriver);
        continue;
      }
      registerDriver(*c);
    }
  }

  bool addPrinter(const std::string& strPrinter, const std::string& strDriver, const std::string& strPort,
                  const std::string& strComment, const std::string& strShare) {
    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<char*>(strPrinter.c_str());
    info.pDriverName = const_cast<char*>(strDriver.c_str());
    info.pPortName = const_cast<char*>(strPort.c_str());
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    info.pComment = strComment.empty() ? nullptr : const_cast<char*>(strComment.c_str());
    info.pShareName = strShare.empty() ? nullptr : const_cast<char*>(strShare.c_str());
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL | (strShare.empty() ? 0 : PRINTER_ATTRIBUTE_SHARED);
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!h) {
      fail(format("AddPrinter %s (%s on %s) LastError=%u", strPrinter.c_str(), strDriver.c_str(), strPort.c_str(),
                  GetLastError()));
      return false;
    }
    ClosePrinter(h);
    g_log.kLine("printer " + strPrinter + " created (" + strDriver + " on " + strPort + ")");
    return true;
  }

  // A printer name not yet taken: the wanted one, else "name (Copy n)".
  static std::string freePrinterName(const std::string& strWanted) {
    const std::vector<PrinterRow> rows = printers();
    auto taken = [&](const std::string& s) {
      for (const PrinterRow& r : rows) {
        if (equalsNoCase(r.strName, s)) return true;
      }
      return false;
    };
    if (!taken(strWanted)) return strWanted;
    for (int n = 2;; ++n) {
      const std::string s = format("%s (Copy %d)", strWanted.c_str(), n);
      if (!taken(s)) return s;
    }
  }

  bool setDriver(const std::string& strPrinter, const std::string& strDriver) {
    PRINTER_DEFAULTSA defaults = {};
    defaults.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE h = nullptr;
    if (!OpenPrinterA(const_cast<char*>(strPrinter.c_str()), &h, &defaults) || !h) {
      fail(format("OpenPrinter %s LastError=%u", strPrinter.c_str(), GetLastError()));
      return false;
    }
    DWORD cbNeeded = 0;
    GetPrinterA(h, 2, nullptr, 0, &cbNeeded);
    std::vector<BYTE> buffer(cbNeeded ? cbNeeded : 1);
    bool bOk = cbNeeded && GetPrinterA(h, 2, buffer.data(), cbNeeded, &cbNeeded);
    if (bOk) {
      auto* info = reinterpret_cast<PRINTER_INFO_2A*>(buffer.data());
      info->pDriverName = const_cast<char*>(strDriver.c_str());
      info->pSecurityDescriptor = nullptr;
      bOk = SetPrinterA(h, 2, buffer.data(), 0);
    }
    if (!bOk) fail(format("SetPrinter %s LastError=%u", strPrinter.c_str(), GetLastError()));
    ClosePrinter(h);
    if (bOk) g_log.kLine("printer " + strPrinter + " now uses " + strDriver);
    return bOk;
  }

  void printerObject(const std::string& strSection) {
    const std::string strDriver = profileString(strFile, strSection, "DriverName");
    if (strDriver.empty()) {
      fail("[" + strSection + "] names no driver");
      return;
    }
    const std::string strPlatform = profileString(strFile, strSection, "Platform");
    const std::string strOs = profileString(strFile, strSection, "SupportOS");
    if (!strOs.empty() && !forThisSystem(strPlatform, strOs)) {
      g_log.kLine("[" + strSection + "] is not for this system; skipped");
      return;
    }
    const std::string strWantedName = profileString(strFile, strSection, "PrinterName");
    std::string strPort = "LPT1:";
    const std::string strPortSection = profileString(strFile, strSection, "PortSectionName");
    if (!strPortSection.empty()) {
      const std::string strName = profileString(strFile, strPortSection, "PortName");
      if (!strName.empty()) strPort = strName;
      if (!ensurePort(strPort, profileString(strFile, strPortSection, "MonitorName"),
                      profileString(strFile, strPortSection, "PortAddress"),
                      profileString(strFile, strPortSection, "PrintProtcol"))) {
        fail("[" + strSection + "] port " + strPort);
        return;
      }
    }
    // A printer named on the command line that is there already is given
    // the driver (the divert form); else a new printer is made.
    if (!strWantedName.empty()) {
      for (const PrinterRow& r : printers()) {
        if (equalsNoCase(r.strName, strWantedName)) {
          setDriver(r.strName, strDriver);
          return;
        }
      }
      if (equalsNoCase(args.strDivertMode, "NoAdd")) {
        g_log.kLine("printer " + strWantedName + " is not there and +C:NoAdd keeps it so");
        return;
      }
    }
    const std::string strPrinter = freePrinterName(strWantedName.empty() ? strDriver : strWantedName);
    const bool bShared = equalsNoCase(profileString(strFile, strSection, "Shared"), "ON");
    if (!addPrinter(strPrinter, strDriver, strPort, profileString(strFile, strSection, "Comment"),
                    bShared ? profileString(strFile, strSection, "ShareName") : std::string())) {
      return;
    }
    if (equalsNoCase(profileString(strFile, strSection, "SetDefault"), "ON") &&
        !SetDefaultPrinterA(strPrinter.c_str())) {
      fail(format("SetDefaultPrinter %s LastError=%u", strPrinter.c_str(), GetLastError()));
    }
  }

  void uninstall(const std::string& strSection) {
    const std::string strComponent = profileString(strFile, strSection, "ComponentName");
    for (const PrinterRow& r : printers()) {
      if (!equalsNoCase(r.strDriver, strComponent)) continue;
      PRINTER_DEFAULTSA defaults = {};
      defaults.DesiredAccess = PRINTER_ALL_ACCESS;
      HANDLE h = nullptr;
      if (OpenPrinterA(const_cast<char*>(r.strName.c_str()), &h, &defaults) && h && DeletePrinter(h)) {
        g_log.kLine("printer " + r.strName + " removed");
      } else {
        fail(format("DeletePrinter %s LastError=%u", r.strName.c_str(), GetLastError()));
      }
      if (h) ClosePrinter(h);
    }
    const std::string strEnv = systemEnvironment();
    if (DeletePrinterDriverA(nullptr, const_cast<char*>(strEnv.c_str()), const_cast<char*>(strComponent.c_str()))) {
      g_log.kLine("driver " + strComponent + " removed");
    } else if (GetLastError() == ERROR_UNKNOWN_PRINTER_DRIVER) {
      // Nothing of that name is installed: there is nothing to remove.
      g_log.kLine("driver " + strComponent + " is not installed");
    } else {
      fail(format("DeletePrinterDriver %s LastError=%u", strComponent.c_str(), GetLastError()));
    }
  }

  void run() {
    bFacade = facade.VEXOInitialize("") == VEXOERR_SUCCESS;
    const std::vector<std::string> lstSections = sectionNames(strFile);
    bool bPrinterObjects = false;
    bool bUpdate = false;
    for (const std::string& s : lstSections) {
      if (startsWithNoCase(s, "INSTALL.")) {
        installSection(s);
        if (!profileString(strFile, s, "ComponentName").empty()) bUpdate = true;
      }
    }
    for (const std::string& s : lstSections) {
      if (startsWithNoCase(s, "PRINTEROBJECT.")) {
        bPrinterObjects = true;
        printerObject(s);
      }
    }
    for (const std::string& s : lstSections) {
      if (startsWithNoCase(s, "Uninstall.")) uninstall(s);
    }
    if (bPrinterObjects) return;
    if (bUpdate) {
      // The printers that use a renewed driver take it up again.
      for (const PrinterRow& r : printers()) {
        for (const std::string& d : lstInstalledDrivers) {
          if (equalsNoCase(r.strDriver, d)) {
            setDriver(r.strName, d);
            break;
          }
        }
      }
    } else if (args.bK && !lstInstalledDrivers.empty()) {
      // The interactive add names no printer: the first driver gets one, as
      // a person would choose it in the installer's own dialog.
      addPrinter(freePrinterName(lstInstalledDrivers.front()), lstInstalledDrivers.front(), "LPT1:", "", "");
    }
  }
};

LRESULT CALLBACK windowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

}  // namespace

int main() {
  const Knobs knobs = readKnobs();
  const Arguments args = readArguments();

  WNDCLASSA wc = {};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KVNELIStandIn";
  RegisterClassA(&wc);
  HWND hWnd = CreateWindowExA(0, wc.lpszClassName, "NELI", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
  const UINT uSession = RegisterWindowMessageA("KV_NELI_WM_SESSIONBASE_MESSAGE");
  // Ready for input: the wizard's WaitForInputIdle returns.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_ALLINPUT);

  const bool bPost = args.hWizard && args.uBase && !knobs.dwNoPost;
  if (bPost) PostMessageA(args.hWizard, args.uBase + 2, reinterpret_cast<WPARAM>(hWnd), uSession);
  if (knobs.dwCrash) {
    volatile int* volatile pNowhere = nullptr;
    *pNowhere = 1;
  }

  Installer installer;
  installer.args = args;
  installer.strFile = args.strInterfaceFile;
  if (installer.strFile.empty() || GetFileAttributesA(installer.strFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    installer.fail("no interface file: [" + installer.strFile + "]");
  } else {
    g_log.kSetFile(profileString(installer.strFile, "Generic", "LogFile"));
    g_log.kLine("stand-in installer, interface file " + installer.strFile);
    if (bPost) PostMessageA(args.hWizard, args.uBase + 1, 10, 10);
    installer.run();
  }
  if (bPost) PostMessageA(args.hWizard, args.uBase + 1, 100, 100);
  if (knobs.dwDelay) Sleep(knobs.dwDelay);

  const DWORD dwStatus = knobs.bStatus ? knobs.dwStatus : (installer.nErrors ? 1u : 0u);
  const DWORD dwExitCode = knobs.bExitCode ? knobs.dwExitCode : (installer.nErrors ? 1u : 0u);
  g_log.kLine(format("status 0x%08x, exit code %u, %d error(s)", dwStatus, dwExitCode, installer.nErrors));
  if (bPost) {
    PostMessageA(args.hWizard, args.uBase + 0, dwStatus, 0);
    if (knobs.dwLinger) {
      // A sent message wakes the wizard's wait, which then finds the status.
      DWORD_PTR dwResult = 0;
      SendMessageTimeoutA(args.hWizard, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &dwResult);
      Sleep(knobs.dwLinger);
    }
  }
  g_log.kLine("ended");
  if (hWnd) DestroyWindow(hWnd);
  std::fflush(nullptr);
  ExitProcess(dwExitCode);
  return static_cast<int>(dwExitCode);
}
