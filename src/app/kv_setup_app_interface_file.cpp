// The interface file for the external installer (NELSETUP.INI) in its three
// variants: interactive, batch and the printer added by hand.
#include <algorithm>

#include "app/kv_setup_app.h"
#include "resources/message_ids.h"
#include "system/program_log.h"

namespace {

constexpr const char kInterfaceFileName[] = "NELSETUP.INI";

// Driver names in a list value are separated by any of these.
constexpr const char kNameSeparators[] = ",:|^";

std::vector<std::string> splitNames(const std::string& strList, bool bTrim) {
  std::vector<std::string> lstOut;
  size_t nStart = 0;
  while (nStart <= strList.size()) {
    const size_t nEnd = strList.find_first_of(kNameSeparators, nStart);
    std::string strPiece = strList.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
    if (bTrim) {
      const size_t b = strPiece.find_first_not_of(" \t\r\n\v\f");
      const size_t e = strPiece.find_last_not_of(" \t\r\n\v\f");
      strPiece = b == std::string::npos ? std::string() : strPiece.substr(b, e - b + 1);
    }
    if (!strPiece.empty()) lstOut.push_back(strPiece);
    if (nEnd == std::string::npos) break;
    nStart = nEnd + 1;
  }
  return lstOut;
}

// The temporary folder as GetTempPathA gives it; empty when it gives none
// that fits.
std::string tempFolder() {
  char szTemp[MAX_PATH + 1] = {};
  const DWORD dwLength = GetTempPathA(MAX_PATH, szTemp);
  if (dwLength == 0 || dwLength > MAX_PATH) return std::string();
  std::string strTemp(szTemp, dwLength);
  if (strTemp.back() != '\\') strTemp += '\\';
  return strTemp;
}

// The folder of a file path, without its trailing backslash.
std::string folderOf(const std::string& strPath) {
  const size_t nSlash = strPath.find_last_of("\\/");
  return nSlash == std::string::npos ? std::string() : strPath.substr(0, nSlash);
}

// The OS token of the running system.
std::string runningOsToken() {
  if (CEnvironment::kIsWin9x()) return "Win95";
  if (CEnvironment::kIsWinnt()) return "Winnt4";
  return "Win2k";
}

// A file that failed half way is of no use to anybody: it goes, so that the
// installer can never read it.
void removeHalfWritten(const std::string& strFile, const char* pszFunction) {
  if (strFile.empty()) return;
  if (GetFileAttributesA(strFile.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  const BOOL bDeleted = DeleteFileA(strFile.c_str());
  kProgramLog().kWriteLog("CKV_SETUPApp::%s() the half-written interface file is removed: %d LastError=%u [%s]\n",
                          pszFunction, bDeleted, bDeleted ? 0u : GetLastError(), strFile.c_str());
}

}  // namespace

// ---- Records ----------------------------------------------------------------

BOOL CKV_SETUPApp::kAddUpdateRecord(const CCandidateDriver& candidate) {
  const std::string strKey = kFormatText("%s,%s,%u", candidate.strInfPath.c_str(), candidate.strDriverName.c_str(),
                                         static_cast<unsigned>(candidate.dwInfOSVersion));
  if (std::find(m_lstUpdateRecordKeys.begin(), m_lstUpdateRecordKeys.end(), strKey) != m_lstUpdateRecordKeys.end()) {
    return FALSE;
  }
  m_lstUpdateRecordKeys.push_back(strKey);
  m_lstUpdateRecords.push_back(candidate);
  return TRUE;
}

void CKV_SETUPApp::kMakeUpdateRecords() {
  const CSpoolerInfomation& spooler = *m_pSpoolerInfomation;
  const bool bWin2k = CEnvironment::kIsWin2k();
  for (const std::string& strPrinter : m_lstUpdatePrinters) {
    for (const CPresentPrinter& printer : spooler.kGetPresentPrinterList()) {
      if (printer.strPrinterName != strPrinter) continue;
      const DWORD dwTop = spooler.kGetTopPresentDriverVersionNo(printer.strDriverName.c_str(), 5);
      for (const CCandidateDriver& candidate : m_pDriverInfomation->VEXOGetCandidateDriverList()) {
        if (lstrcmpiA(candidate.strDriverName.c_str(), printer.strDriverName.c_str()) != 0) continue;
        const bool bFits = bWin2k ? candidate.dwInfOSVersion >= dwTop : candidate.dwInfOSVersion == dwTop;
        if (bFits) kAddUpdateRecord(candidate);
      }
    }
  }
  kProgramLog().kWriteLog("CKV_SETUPApp::kMakeUpdateRecords() m_lstUpdateRecords=[%u]\n",
                          static_cast<unsigned>(m_lstUpdateRecords.size()));
}

BOOL CKV_SETUPApp::kStoreToIFI(const CCandidateDriver& candidate) {
  CDetailLog& log = kProgramLog();
  if (m_bNetworkSearch && m_bModelFilter) {
    const bool bFound = std::any_of(m_lstIFINetworkPrinter.begin(), m_lstIFINetworkPrinter.end(),
                                    [&](const CIFINetworkPrinter& p) {
                                      return lstrcmpiA(p.strModelName.c_str(), candidate.strModelName.c_str()) == 0;
                                    });
    if (!bFound) {
      log.kWriteLog("CKV_SETUPApp::kStoreToIFI() return TRUE (1) LastError=%u\n", GetLastError());
      return TRUE;
    }
  }
  for (CInterfaceFileInfomation& record : m_lstIFI) {
    if (record.strInfPath == candidate.strInfPath) {
      record.strDriverNames += "," + candidate.strDriverName;
      return TRUE;
    }
  }
  CInterfaceFileInfomation record;
  record.strSupportOS = kIFIOsToken(candidate.dwInfOSVersion);
  if (record.strSupportOS.empty()) {
    kDispErrorMessage(msgid::IDS_ERR_OTHERERR,
                      kFormatText("%s kMakeInterfaceFile\n%s (%u)", m_strErrKind.c_str(), m_strErrCode.c_str(),
                                  static_cast<unsigned>(candidate.dwInfOSVersion)),
                      "", kStartupMessageStyle);
    log.kWriteLog("CKV_SETUPApp::kStoreToIFI() return FALSE (2) LastError=%u dwInfOSVersion=%u\n", GetLastError(),
                  static_cast<unsigned>(candidate.dwInfOSVersion));
    return FALSE;
  }
  record.strInfPath = candidate.strInfPath;
  record.strSourcePath = folderOf(candidate.strInfPath);
  record.strInstallSection = "INSTALL." + candidate.strDriverName + "." + record.strSupportOS;
  record.strDriverNames = candidate.strDriverName;
  record.strComponentName = candidate.strDriverName;
  record.strPlatform = candidate.strPlatform;
  if (m_bNetworkSearch) {
    // With several chosen printers the last one's values remain.
    for (const CIFINetworkPrinter& printer : m_lstIFINetworkPrinter) {
      record.strPrinterName = printer.strPrinterName;
      record.strPortName = "IP_" + printer.strAddress;
      record.strPortAddress = printer.strAddress;
    }
  }
  m_lstIFI.push_back(record);
  return TRUE;
}

// ---- Files ------------------------------------------------------------------

BOOL CKV_SETUPApp::kDeleteInterfaceFileAndLogFile() {
  CDetailLog& log = kProgramLog();
  auto fail = [&](int nExit, const char* pszWhy) {
    log.kWriteLog("CKV_SETUPApp::kDeleteInterfaceFileAndLogFile() return FALSE (%d) LastError=%u %s\n", nExit,
                  GetLastError(), pszWhy);
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, "", "", kStartupMessageStyle);
    return FALSE;
  };
  const std::string strTemp = tempFolder();
  std::string strShort;
  if (strTemp.empty() || !CCommonFunction::kGetShortPathName((strTemp + kInterfaceFileName).c_str(), strShort)) {
    return fail(1, "kGetShortPathName fail.");
  }
  m_strInterfaceFile = strShort;
  DWORD dwAttributes = GetFileAttributesA(m_strInterfaceFile.c_str());
  if (dwAttributes != INVALID_FILE_ATTRIBUTES) {
    if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) return fail(2, "same name directory exist.");
    if (!CCommonFunction::kResetReadOnly(m_strInterfaceFile)) return fail(3, "kResetReadOnly fail.");
    if (!DeleteFileA(m_strInterfaceFile.c_str())) return fail(4, "DeleteFile fail.");
  }
  if (!m_strLogFile.empty()) {
    if (!CCommonFunction::kGetShortPathName(m_strLogFile.c_str(), strShort)) return fail(5, "kGetShortPathName fail.");
    dwAttributes = GetFileAttributesA(strShort.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES) {
      if (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) return fail(6, "same name directory exist.");
      if (!CCommonFunction::kResetReadOnly(strShort)) return fail(7, "kResetReadOnly fail.");
      if (!DeleteFileA(strShort.c_str())) return fail(8, "DeleteFile fail.");
    }
  }
  log.kWriteLog("CKV_SETUPApp::kDeleteInterfaceFileAndLogFile() return TRUE (9) m_strInterfaceFile=[%s]\n",
                m_strInterfaceFile.c_str());
  return TRUE;
}

BOOL CKV_SETUPApp::kWriteGenericSection() {
  CInterfaceFileWriter writer(m_strInterfaceFile);
  if (!writer.kWrite("Generic", "FileVersion", "1.0")) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kWriteGenericSection() return FALSE (1) LastError=%u "
                            "WritePrivateProfileString fail.\n",
                            GetLastError());
    return FALSE;
  }
  if (!writer.kWrite("Generic", "LogFile", m_strLogFile)) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kWriteGenericSection() return FALSE (2) LastError=%u "
                            "WritePrivateProfileString fail.\n",
                            GetLastError());
    return FALSE;
  }
  kProgramLog().kWriteLog("CKV_SETUPApp::kWriteGenericSection() return TRUE (3)\n");
  return TRUE;
}

BOOL CKV_SETUPApp::kMakeInterfaceFile() {
  const BOOL bResult = m_bBSwitch ? kMakeInterfaceFileBAT() : kMakeInterfaceFileUI();
  kProgramLog().kWriteLog("CKV_SETUPApp::kMakeInterfaceFile() return [%d] LastError=%u\n", bResult, GetLastError());
  return bResult;
}

// ---- Interactive variant ------------------------------------------------------

BOOL CKV_SETUPApp::kMakeInterfaceFileUI() {
  CDetailLog& log = kProgramLog();
  m_lstIFI.clear();
  if (m_nSetupKind == SETUPKIND_UPDATE && m_lstUpdateRecords.empty()) kMakeUpdateRecords();
  if (m_nSetupKind == SETUPKIND_UPDATE) {
    for (const CCandidateDriver& candidate : m_lstUpdateRecords) {
      if (!kStoreToIFI(candidate)) return FALSE;
    }
  } else {
    for (const CCandidateDriver& candidate : m_pDriverInfomation->VEXOGetCandidateDriverList()) {
      if (!kStoreToIFI(candidate)) return FALSE;
    }
  }
  kSortIFI(m_lstIFI);
  if (!kDeleteInterfaceFileAndLogFile()) return FALSE;
  if (!kWriteGenericSection()) {
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, "", "", kStartupMessageStyle);
    log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileUI() return FALSE (1) LastError=%u kWriteGenericSection fail.\n",
                  GetLastError());
    removeHalfWritten(m_strInterfaceFile, "kMakeInterfaceFileUI");
    return FALSE;
  }
  CInterfaceFileWriter writer(m_strInterfaceFile);
  auto failed = [&](int nExit) {
    log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileUI() return FALSE (%d) LastError=%u WritePrivateProfileString "
                  "fail.\n",
                  nExit, GetLastError());
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, "", "", kStartupMessageStyle);
    removeHalfWritten(m_strInterfaceFile, "kMakeInterfaceFileUI");
    return FALSE;
  };
  for (const CInterfaceFileInfomation& record : m_lstIFI) {
    const std::string strSection = writer.kFreeSectionName(record.strInstallSection, "DefaultDriver");
    if (!writer.kWrite(strSection, "DefaultDriver", record.strDriverNames)) return failed(2);
    if (!writer.kWrite(strSection, "SourcePath", record.strSourcePath)) return failed(3);
    if (!writer.kWrite(strSection, "SupportOS", record.strSupportOS)) return failed(4);
    if (m_nSetupKind == SETUPKIND_UPDATE && !writer.kWrite(strSection, "ComponentName", record.strComponentName)) {
      return failed(5);
    }
    if (!writer.kWrite(strSection, "Platform", record.strPlatform)) return failed(6);
  }
  if (m_nSetupKind == SETUPKIND_ADD && m_bNetworkSearch) {
    for (const CInterfaceFileInfomation& record : m_lstIFI) {
      for (const std::string& strDriver : splitNames(record.strDriverNames, false)) {
        const std::string strSection = writer.kFreeSectionName(
            kFormatText("PrinterObject.%s.%s", strDriver.c_str(), record.strSupportOS.c_str()), "DriverName");
        const std::string strPortSection = CInterfaceFileWriter::kCleanSectionName("PORT." + record.strPortName);
        if (!writer.kWrite(strSection, "DriverName", strDriver)) return failed(7);
        if (!record.strPrinterName.empty() && !writer.kWrite(strSection, "Comment", record.strPrinterName)) {
          return failed(8);
        }
        if (!writer.kWrite(strSection, "SupportOS", record.strSupportOS)) return failed(9);
        if (!writer.kWrite(strSection, "PortSectionName", strPortSection)) return failed(10);
        if (!writer.kWrite(strSection, "Platform", record.strPlatform)) return failed(11);
        if (!writer.kWrite(strPortSection, "PortName", record.strPortName)) return failed(12);
        if (!writer.kWrite(strPortSection, "MonitorName", "Standard TCP/IP Port")) return failed(13);
        if (!writer.kWrite(strPortSection, "PortAddress", record.strPortAddress)) return failed(14);
        if (!writer.kWrite(strPortSection, "PrintProtcol", "9100")) return failed(15);
      }
    }
  }
  log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileUI() return TRUE (16)\n");
  return TRUE;
}

// ---- Batch variant --------------------------------------------------------------

BOOL CKV_SETUPApp::kWritePrinterObjectInfomationBAT(const std::string& strDriverName,
                                                    const CInterfaceFileInfomation& record) {
  CDetailLog& log = kProgramLog();
  CInterfaceFileWriter writer(m_strInterfaceFile);
  auto failed = [&](int nExit, const char* pszKey) {
    log.kWriteLog("CKV_SETUPApp::kWritePrinterObjectInfomationBAT() return FALSE (%d) LastError=%u "
                  "WritePrivateProfileString fail. %s\n",
                  nExit, GetLastError(), pszKey);
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, "", "", kStartupMessageStyle);
    return FALSE;
  };
  const std::string strSection = writer.kFreeSectionName(
      kFormatText("%s%s.%s", "PRINTEROBJECT.", strDriverName.c_str(), record.strSupportOS.c_str()), "DriverName");
  const std::string strPortSection =
      CInterfaceFileWriter::kCleanSectionName(kFormatText("%s%s", "PORT.", m_strPortName.c_str()));
  if (!writer.kWrite(strSection, "DriverName", strDriverName)) return failed(1, "DriverName");
  if (m_bNSwitch && !writer.kWrite(strSection, "PrinterName", m_strPrinterName)) return failed(2, "PrinterName");
  if (!record.strPrinterName.empty() && !writer.kWrite(strSection, "Comment", record.strPrinterName)) {
    return failed(3, "Comment");
  }
  if (m_bUSwitch && !m_bDivertPrinter && !writer.kWrite(strSection, "UserCode", m_strUserCode)) {
    return failed(4, "UserCode");
  }
  if (m_b3Switch && !m_bDivertPrinter && !writer.kWrite(strSection, "InitializeFile", m_strInitializeFile)) {
    return failed(5, "InitializeFile");
  }
  if (m_bFSwitch && !writer.kWrite(strSection, "SetDefault", "ON")) return failed(6, "SetDefault");
  if (!writer.kWrite(strSection, "SupportOS", record.strSupportOS)) return failed(7, "SupportOS");
  if (m_b4Switch) {
    if (!writer.kWrite(strSection, "Shared", "ON")) return failed(8, "Shared");
    if (!writer.kWrite(strSection, "ShareName", m_strShareName)) return failed(9, "ShareName");
  }
  if (m_bPSwitch) {
    if (!writer.kWrite(strSection, "PortSectionName", strPortSection)) return failed(10, "PortSectionName");
    if (!writer.kWrite(strPortSection, "PortName", m_strPortName)) return failed(11, "PortName");
    if (!m_strMonitorName.empty() && !writer.kWrite(strPortSection, "MonitorName", m_strMonitorName)) {
      return failed(12, "MonitorName");
    }
    if (!m_strPortAddress.empty() && !writer.kWrite(strPortSection, "PortAddress", m_strPortAddress)) {
      return failed(13, "PortAddress");
    }
    if (!m_strPrintProtocol.empty() && !writer.kWrite(strPortSection, "PrintProtcol", m_strPrintProtocol)) {
      return failed(14, "PrintProtcol");
    }
  }
  if (!writer.kWrite(strSection, "Platform", record.strPlatform)) return failed(15, "Platform");
  log.kWriteLog("CKV_SETUPApp::kWritePrinterObjectInfomationBAT() return TRUE (16) [%s]\n", strSection.c_str());
  return TRUE;
}

BOOL CKV_SETUPApp::kMakeInterfaceFileBAT() {
  CDetailLog& log = kProgramLog();
  const DWORD dwTopVersion = CEnvironment::kIsWin9x() ? 0 : (CEnvironment::kIsWinnt() ? 2 : 3);
  m_lstIFI.clear();
  const std::string strWanted = m_nSetupKind == SETUPKIND_UPDATE ? m_strRenewDriverName : m_strAddDriverName;
  const bool bCollect = m_nSetupKind == SETUPKIND_UPDATE || (m_nSetupKind == SETUPKIND_ADD && !m_bDivertPrinter);
  if (bCollect) {
    for (const CCandidateDriver& candidate : m_pDriverInfomation->VEXOGetCandidateDriverList()) {
      if (lstrcmpiA(candidate.strDriverName.c_str(), strWanted.c_str()) != 0) continue;
      if (candidate.dwInfOSVersion > dwTopVersion) continue;
      if (!kStoreToIFI(candidate)) return FALSE;
    }
  }
  kSortIFI(m_lstIFI);
  if (!kDeleteInterfaceFileAndLogFile()) return FALSE;
  auto failed = [&](int nExit) {
    log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileBAT() return FALSE (%d) LastError=%u WritePrivateProfileString "
                  "fail.\n",
                  nExit, GetLastError());
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, "", "", kStartupMessageStyle);
    removeHalfWritten(m_strInterfaceFile, "kMakeInterfaceFileBAT");
    return FALSE;
  };
  if (!kWriteGenericSection()) return failed(1);
  CInterfaceFileWriter writer(m_strInterfaceFile);
  if (m_nSetupKind == SETUPKIND_DELETE) {
    if (!writer.kWrite("Uninstall." + m_strDeleteComponentName, "ComponentName", m_strDeleteComponentName)) {
      return failed(2);
    }
    log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileBAT() return TRUE (4)\n");
    return TRUE;
  }
  if (!m_bDivertPrinter) {
    const std::string strComponent = m_bASwitch ? m_strAddDriverName : m_strRenewDriverName;
    for (const CInterfaceFileInfomation& record : m_lstIFI) {
      const std::string strSection = writer.kFreeSectionName(record.strInstallSection, "ComponentName");
      if (!writer.kWrite(strSection, "ComponentName", strComponent)) return failed(5);
      if (!writer.kWrite(strSection, "SourcePath", record.strSourcePath)) return failed(6);
      if (!writer.kWrite(strSection, "SupportOS", record.strSupportOS)) return failed(7);
      if (!writer.kWrite(strSection, "Platform", record.strPlatform)) return failed(8);
      if (m_nSetupKind == SETUPKIND_ADD) {
        for (const std::string& strDriver : splitNames(m_strAddDriverName, true)) {
          if (!kWritePrinterObjectInfomationBAT(strDriver, record)) {
            removeHalfWritten(m_strInterfaceFile, "kMakeInterfaceFileBAT");
            log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileBAT() return FALSE (9) LastError=%u\n", GetLastError());
            return FALSE;
          }
        }
      }
    }
  } else {
    CInterfaceFileInfomation record;
    record.strSupportOS = CEnvironment::kIsWinnt() ? "Winnt4" : "Win2k";
    if (!kWritePrinterObjectInfomationBAT(m_strDivertPrinterName, record)) {
      removeHalfWritten(m_strInterfaceFile, "kMakeInterfaceFileBAT");
      log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileBAT() return FALSE (3) LastError=%u\n", GetLastError());
      return FALSE;
    }
  }
  log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileBAT() return TRUE (4)\n");
  return TRUE;
}

// ---- Manual-port variant ------------------------------------------------------------

BOOL CKV_SETUPApp::kMakeInterfaceFileAddForce() {
  CDetailLog& log = kProgramLog();
  const std::string strTemp = tempFolder();
  std::string strShort;
  if (strTemp.empty() || !CCommonFunction::kGetShortPathName((strTemp + kInterfaceFileName).c_str(), strShort)) {
    log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileAddForce() return FALSE (1) LastError=%u kGetShortPathName "
                  "fail.\n",
                  GetLastError());
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, "", "", kStartupMessageStyle);
    return FALSE;
  }
  m_strInterfaceFile = strShort;
  if (GetFileAttributesA(m_strInterfaceFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
    (void)CCommonFunction::kResetReadOnly(m_strInterfaceFile);
    if (!DeleteFileA(m_strInterfaceFile.c_str())) {
      // Keys written into an old file that stays would mix two runs.
      log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileAddForce() return FALSE (1) LastError=%u DeleteFile fail.\n",
                    GetLastError());
      kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, m_strInterfaceFile, "", kStartupMessageStyle);
      return FALSE;
    }
  }
  CInterfaceFileWriter writer(m_strInterfaceFile);
  auto failed = [&](int nExit, const char* pszKey) {
    log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileAddForce() return FALSE (%d) LastError=%u "
                  "WritePrivateProfileString fail. %s\n",
                  nExit, GetLastError(), pszKey);
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, pszKey, "", kStartupMessageStyle);
    removeHalfWritten(m_strInterfaceFile, "kMakeInterfaceFileAddForce");
    return FALSE;
  };
  if (!writer.kWrite("Generic", "FileVersion", "1.0")) return failed(2, "FileVersion");
  if (!writer.kWrite("Generic", "LogFile", m_strLogFile)) return failed(3, "LogFile");
  const std::string strOs = runningOsToken();
  const std::string& strDriver = m_CDE.strDriverName;
  std::string strPort;
  if (!m_pSpoolerInfomation->kGetDefaultPort(strPort)) {
    log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileAddForce() kGetDefaultPort found no port.\n");
  }
  const std::string strInstall = kFormatText("%s%s.%s", "INSTALL.", strDriver.c_str(), strOs.c_str());
  if (!writer.kWrite(strInstall, "SourcePath", m_CDE.strDriverPath)) return failed(4, "SourcePath");
  if (!writer.kWrite(strInstall, "SupportOS", strOs)) return failed(5, "SupportOS");
  if (!writer.kWrite(strInstall, "ComponentName", strDriver)) return failed(6, "ComponentName");
  if (!writer.kWrite(strInstall, "Platform", m_CDE.strPlatform)) return failed(7, "Platform");
  const std::string strObject = kFormatText("%s%s.%s", "PRINTEROBJECT.", strDriver.c_str(), strOs.c_str());
  const std::string strPortSection =
      CInterfaceFileWriter::kCleanSectionName(kFormatText("%s%s", "PORT.", strPort.c_str()));
  if (!writer.kWrite(strObject, "DriverName", strDriver)) return failed(8, "DriverName");
  if (!writer.kWrite(strObject, "SetDefault", "ON")) return failed(9, "SetDefault");
  if (!writer.kWrite(strObject, "SupportOS", strOs)) return failed(10, "SupportOS");
  if (!writer.kWrite(strObject, "PortSectionName", strPortSection)) return failed(11, "PortSectionName");
  if (!writer.kWrite(strObject, "Platform", m_CDE.strPlatform)) return failed(12, "Platform");
  if (!writer.kWrite(strPortSection, "PortName", strPort)) return failed(13, "PortName");
  log.kWriteLog("CKV_SETUPApp::kMakeInterfaceFileAddForce() return TRUE (14)\n");
  return TRUE;
}
