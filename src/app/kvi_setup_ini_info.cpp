// The setup configuration file of a driver package.
#include "app/kvi_setup_ini_info.h"

#include <cctype>
#include <iterator>

#include "system/common_function.h"
#include "system/environment.h"
#include "system/program_log.h"
#include "system/text_utility.h"

namespace {

std::string trimBlanks(const std::string& strText) {
  size_t nBegin = 0;
  size_t nEnd = strText.size();
  while (nBegin < nEnd && std::isspace(static_cast<unsigned char>(strText[nBegin]))) ++nBegin;
  while (nEnd > nBegin && std::isspace(static_cast<unsigned char>(strText[nEnd - 1]))) --nEnd;
  return strText.substr(nBegin, nEnd - nBegin);
}

// The last-error values with which an empty value still counts as read: the
// profile functions leave them behind for a missing file or an unusual
// encoding, none of which says anything about the value itself.
bool isHarmlessEmptyReadError(DWORD dwError) {
  switch (dwError) {
    case ERROR_SUCCESS:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BAD_PATHNAME:
    case ERROR_ALREADY_EXISTS:
    case ERROR_NO_UNICODE_TRANSLATION:
      return true;
    default:
      return false;
  }
}

// The plug-in tokens of the systems a plug-in may name.
const char* const kOsTokens[] = {"WIN95", "WINNT4", "WIN2K", "WINXP", "WINVISTA"};

bool isKnownOsToken(const std::string& strToken) {
  for (const char* pszToken : kOsTokens) {
    if (kIEquals(strToken, pszToken)) return true;
  }
  return false;
}

CSetupIniSettings& publishedSettings() {
  static CSetupIniSettings s_Settings;
  return s_Settings;
}

}  // namespace

const CSetupIniSettings& CKVISetupIniInfo::kGetPublished() { return publishedSettings(); }

std::string CKVISetupIniInfo::kGetOsToken() {
  if (CEnvironment::kIsWin9x()) return "WIN95";
  if (CEnvironment::kIsWinnt()) return "WINNT4";
  if (CEnvironment::kIsWinVistaLater()) return "WINVISTA";
  if (CEnvironment::kIsWinXP()) return "WINXP";
  return "WIN2K";
}

BOOL CKVISetupIniInfo::kOpenRead(const std::string& strIniFile) {
  // The readers in the order they run; the position (from 1) is the exit
  // number of this function when that reader fails.
  static const struct {
    const char* pszName;
    BOOL (CKVISetupIniInfo::*pReader)();
  } kReaders[] = {
      {"kShowLicenseDialog", &CKVISetupIniInfo::kShowLicenseDialog},
      {"kShowModelDialog", &CKVISetupIniInfo::kShowModelDialog},
      {"kShowConnectDialog", &CKVISetupIniInfo::kShowConnectDialog},
      {"kShowSetupDialog", &CKVISetupIniInfo::kShowSetupDialog},
      {"kShowCompleteDialog", &CKVISetupIniInfo::kShowCompleteDialog},
      {"kShowNextComponentDialog", &CKVISetupIniInfo::kShowNextComponentDialog},
      {"kConnectKind", &CKVISetupIniInfo::kConnectKind},
      {"kSetupKind", &CKVISetupIniInfo::kSetupKind},
      {"kSpoolerControl", &CKVISetupIniInfo::kSpoolerControl},
      {"kRebootLevel", &CKVISetupIniInfo::kRebootLevel},
      {"kPluginOrder", &CKVISetupIniInfo::kPluginOrder},
      {"kDriverSelectMode", &CKVISetupIniInfo::kDriverSelectMode},
      {"kPluginList", &CKVISetupIniInfo::kPluginList},
      {"kPortMonitor", &CKVISetupIniInfo::kPortMonitor},
      {"kExecAddMonitor", &CKVISetupIniInfo::kExecAddMonitor},
      {"kNextComponent", &CKVISetupIniInfo::kNextComponent},
      {"kVisibleUpdatePrinter", &CKVISetupIniInfo::kVisibleUpdatePrinter},
      {"kVisibleDeletePrinter", &CKVISetupIniInfo::kVisibleDeletePrinter},
      {"kVisibleUSBPrinter", &CKVISetupIniInfo::kVisibleUSBPrinter},
      {"kPowerOffBitmap", &CKVISetupIniInfo::kPowerOffBitmap},
      {"kPowerOnBitmap", &CKVISetupIniInfo::kPowerOnBitmap},
      {"kShowDefaultPrinterDialog", &CKVISetupIniInfo::kShowDefaultPrinterDialog},
      {"kDefaultPrinterDialogOmitValue", &CKVISetupIniInfo::kDefaultPrinterDialogOmitValue},
      {"kPrinterType", &CKVISetupIniInfo::kPrinterType},
      {"kVendorID", &CKVISetupIniInfo::kVendorID},
      {"kProductID", &CKVISetupIniInfo::kProductID},
      {"kMultipleInterfaceID", &CKVISetupIniInfo::kMultipleInterfaceID},
      {"kIsPrinterTypeMulti", &CKVISetupIniInfo::kIsPrinterTypeMulti},
      {"kUSBConnectWaitTime", &CKVISetupIniInfo::kUSBConnectWaitTime},
      {"kTargetDriverName", &CKVISetupIniInfo::kTargetDriverName},
      {"kUSBInst", &CKVISetupIniInfo::kUSBInst},
      {"kDefaultAgreeElement", &CKVISetupIniInfo::kDefaultAgreeElement},
      {"kDefaultConnectTypeElement", &CKVISetupIniInfo::kDefaultConnectTypeElement},
      {"kNetworkPrinterSearch", &CKVISetupIniInfo::kNetworkPrinterSearch},
      {"kIconType", &CKVISetupIniInfo::kIconType},
  };

  m_Settings = CSetupIniSettings();
  m_strCurrentKey.clear();
  m_strIniFile = strIniFile;
  std::string strShort;
  if (CCommonFunction::kGetShortPathName(strIniFile.c_str(), strShort)) m_strIniFile = strShort;

  for (size_t i = 0; i < std::size(kReaders); ++i) {
    if (!(this->*kReaders[i].pReader)()) {
      const DWORD dwError = GetLastError();
      kProgramLog().kWriteLog("CKVISetupIniInfo::kOpenRead() return FALSE (%d) LastError=%u %s fail.\n",
                              static_cast<int>(i + 1), dwError, kReaders[i].pszName);
      kProgramLog().kWriteLog("  pIniFile=[%s]\n", strIniFile.c_str());
      return FALSE;
    }
  }
  publishedSettings() = m_Settings;
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kOpenRead() return TRUE (%d) [%s]\n",
                                static_cast<int>(std::size(kReaders) + 1), m_strIniFile.c_str());
  return TRUE;
}

CKVISetupIniInfo::CReadResult CKVISetupIniInfo::kReadKey(const char* pszReader, const char* pszKey,
                                                         std::string& strValue) {
  m_strCurrentKey = pszKey;
  BOOL bKeyExists = FALSE;
  if (CCommonFunction::kStdAfxGetPrivateProfile(m_strIniFile.c_str(), kSetupSection, pszKey, strValue, bKeyExists)) {
    return CReadResult::kValue;
  }
  if (!bKeyExists) return CReadResult::kMissing;
  const DWORD dwError = GetLastError();
  if (isHarmlessEmptyReadError(dwError)) {
    strValue.clear();
    return CReadResult::kValue;
  }
  kProgramLog().kWriteLog("CKVISetupIniInfo::%s() return FALSE (1) LastError=%u\n", pszReader, dwError);
  kProgramLog().kWriteLog("  m_strIniFile=[%s]\n", m_strIniFile.c_str());
  kProgramLog().kWriteLog("  SetupSectionName=[%s]\n", kSetupSection);
  kProgramLog().kWriteLog("  %s=[%s]\n", pszKey, strValue.c_str());
  SetLastError(dwError);
  return CReadResult::kFailed;
}

BOOL CKVISetupIniInfo::kReadFlag(const char* pszReader, const char* pszKey, bool bDefaultOn, int& nField) {
  std::string strValue;
  switch (kReadKey(pszReader, pszKey, strValue)) {
    case CReadResult::kFailed:
      return FALSE;
    case CReadResult::kMissing:
      nField = bDefaultOn ? 1 : 0;
      break;
    case CReadResult::kValue:
      // Only the opposite of the default changes the flag: any other text,
      // also an empty one, keeps the default.
      strValue = trimBlanks(strValue);
      nField = bDefaultOn ? (kIEquals(strValue, "OFF") ? 0 : 1) : (kIEquals(strValue, "ON") ? 1 : 0);
      break;
  }
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::%s() return TRUE (2) %s=%d\n", pszReader, pszKey, nField);
  return TRUE;
}

BOOL CKVISetupIniInfo::kReadChoice(const char* pszReader, const char* pszKey, const CChoice* pChoices,
                                   size_t nChoices, int nDefault, int& nField) {
  std::string strValue;
  const CReadResult eResult = kReadKey(pszReader, pszKey, strValue);
  if (eResult == CReadResult::kFailed) return FALSE;
  nField = nDefault;
  if (eResult == CReadResult::kValue) {
    strValue = trimBlanks(strValue);
    for (size_t i = 0; i < nChoices; ++i) {
      if (kIEquals(strValue, pChoices[i].pszValue)) {
        nField = pChoices[i].nNumber;
        break;
      }
    }
  }
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::%s() return TRUE (2) %s=%d\n", pszReader, pszKey, nField);
  return TRUE;
}

BOOL CKVISetupIniInfo::kReadString(const char* pszReader, const char* pszKey, const char* pszDefault,
                                   bool bDefaultIfEmpty, std::string& strField) {
  std::string strValue;
  const CReadResult eResult = kReadKey(pszReader, pszKey, strValue);
  if (eResult == CReadResult::kFailed) return FALSE;
  strField = eResult == CReadResult::kMissing ? std::string(pszDefault) : trimBlanks(strValue);
  if (strField.empty() && bDefaultIfEmpty) strField = pszDefault;
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::%s() return TRUE (2) %s=[%s]\n", pszReader, pszKey,
                                strField.c_str());
  return TRUE;
}

BOOL CKVISetupIniInfo::kReadBitmap(const char* pszReader, const char* pszKey, std::string& strField) {
  // A bitmap the package lacks only costs the picture, so these keys never
  // stop the setup.
  std::string strValue;
  switch (kReadKey(pszReader, pszKey, strValue)) {
    case CReadResult::kFailed:
      strField.clear();
      kProgramLog().kWriteLog("CKVISetupIniInfo::%s() return TRUE (1) LastError=%u\n", pszReader, GetLastError());
      return TRUE;
    case CReadResult::kMissing:
      strField.clear();
      kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::%s() return TRUE (2) %s missing.\n", pszReader, pszKey);
      return TRUE;
    case CReadResult::kValue:
      break;
  }
  strField = strValue;
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::%s() return TRUE (3) %s=[%s]\n", pszReader, pszKey,
                                strField.c_str());
  return TRUE;
}

BOOL CKVISetupIniInfo::kShowLicenseDialog() {
  return kReadFlag("kShowLicenseDialog", "ShowLicenseDialog", true, m_Settings.bShowLicenseDialog);
}
BOOL CKVISetupIniInfo::kShowModelDialog() {
  return kReadFlag("kShowModelDialog", "ShowModelDialog", false, m_Settings.bShowModelDialog);
}
BOOL CKVISetupIniInfo::kShowConnectDialog() {
  return kReadFlag("kShowConnectDialog", "ShowConnectDialog", false, m_Settings.bShowConnectDialog);
}
BOOL CKVISetupIniInfo::kShowSetupDialog() {
  return kReadFlag("kShowSetupDialog", "ShowSetupDialog", true, m_Settings.bShowSetupDialog);
}
BOOL CKVISetupIniInfo::kShowCompleteDialog() {
  return kReadFlag("kShowCompleteDialog", "ShowCompleteDialog", true, m_Settings.bShowCompleteDialog);
}
BOOL CKVISetupIniInfo::kShowNextComponentDialog() {
  return kReadFlag("kShowNextComponentDialog", "ShowNextComponentDialog", false,
                   m_Settings.bShowNextComponentDialog);
}
BOOL CKVISetupIniInfo::kConnectKind() {
  static const CChoice kChoices[] = {{"USB", CONNECTKIND_USB}, {"OTHER", CONNECTKIND_OTHER}};
  return kReadChoice("kConnectKind", "ConnectKind", kChoices, std::size(kChoices), CONNECTKIND_USB,
                     m_Settings.nConnectKind);
}
BOOL CKVISetupIniInfo::kSetupKind() {
  static const CChoice kChoices[] = {
      {"ADD", SETUPKIND_INI_ADD}, {"REP", SETUPKIND_INI_REP}, {"DEL", SETUPKIND_INI_DEL}, {"USB", SETUPKIND_INI_USB}};
  return kReadChoice("kSetupKind", "SetupKind", kChoices, std::size(kChoices), SETUPKIND_INI_ADD,
                     m_Settings.nSetupKind);
}
BOOL CKVISetupIniInfo::kSpoolerControl() {
  return kReadFlag("kSpoolerControl", "SpoolerControl", false, m_Settings.bSpoolerControl);
}

BOOL CKVISetupIniInfo::kRebootLevel() {
  std::string strValue;
  switch (kReadKey("kRebootLevel", "RebootLevel", strValue)) {
    case CReadResult::kFailed:
      return FALSE;
    case CReadResult::kMissing:
      m_Settings.nRebootLevel = 3;
      break;
    case CReadResult::kValue: {
      strValue = trimBlanks(strValue);
      if (strValue.size() != 1 || strValue[0] < '1' || strValue[0] > '5') {
        kProgramLog().kWriteLog("CKVISetupIniInfo::kRebootLevel() return FALSE (2) LastError=%u\n", GetLastError());
        kProgramLog().kWriteLog("  RebootLevel=[%s]\n", strValue.c_str());
        return FALSE;
      }
      m_Settings.nRebootLevel = strValue[0] - '0';
      break;
    }
  }
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kRebootLevel() return TRUE (3) RebootLevel=%d\n",
                                m_Settings.nRebootLevel);
  return TRUE;
}

BOOL CKVISetupIniInfo::kPluginOrder() {
  static const CChoice kChoices[] = {{"DSC", PLUGINORDER_DSC}, {"INI", PLUGINORDER_INI}};
  return kReadChoice("kPluginOrder", "PluginOrder", kChoices, std::size(kChoices), PLUGINORDER_INI,
                     m_Settings.nPluginOrder);
}
BOOL CKVISetupIniInfo::kDriverSelectMode() {
  return kReadFlag("kDriverSelectMode", "DriverSelectMode", false, m_Settings.bDriverSelectMode);
}

BOOL CKVISetupIniInfo::kPluginFail(int nExit, const char* pszKey, const std::string& strSection) {
  const DWORD dwError = GetLastError();
  kProgramLog().kWriteLog("CKVISetupIniInfo::kPluginList() return FALSE (%d) LastError=%u %s\n", nExit, dwError,
                          pszKey);
  kProgramLog().kWriteLog("  SectionName=[%s]\n", strSection.c_str());
  m_strCurrentKey = pszKey;
  return FALSE;
}

BOOL CKVISetupIniInfo::kPluginList() {
  m_strCurrentKey = "PluginList";
  m_Settings.lstPlugin.clear();
  const std::string strOsToken = kGetOsToken();

  std::vector<std::string> lstSections;
  if (!CCommonFunction::kStdAfxEnumPrivateProfileKeys(m_strIniFile.c_str(), "", lstSections)) {
    kProgramLog().kWriteLog("CKVISetupIniInfo::kPluginList() return TRUE (1) LastError=%u\n", GetLastError());
    return TRUE;
  }
  std::string strIniFolder;
  CCommonFunction::kStdAfxGetPathElement(m_strIniFile, PATH_ELEMENT_DRIVE_DIR, strIniFolder);

  for (const std::string& strName : lstSections) {
    const std::string strSection = kToUpper(strName);
    if (strSection.find("PLUGIN.") == std::string::npos) continue;
    const char* const pszSection = strName.c_str();
    std::string strValue;
    BOOL bKeyExists = FALSE;

    // The systems the plug-in is for; none named means every system.
    m_strCurrentKey = "SupportOS";
    bool bApplies = true;
    if (CCommonFunction::kStdAfxGetPrivateProfile(m_strIniFile.c_str(), pszSection, "SupportOS", strValue,
                                                  bKeyExists)) {
      bApplies = false;
      size_t nAt = 0;
      for (;;) {
        const size_t nComma = strValue.find(',', nAt);
        const bool bLast = nComma == std::string::npos;
        const std::string strToken = trimBlanks(strValue.substr(nAt, bLast ? std::string::npos : nComma - nAt));
        if (!isKnownOsToken(strToken)) return kPluginFail(bLast ? 2 : 3, "SupportOS", strSection);
        if (kIEquals(strToken, strOsToken.c_str())) {
          bApplies = true;
          break;
        }
        if (bLast) break;
        nAt = nComma + 1;
      }
    }
    if (!bApplies) continue;

    CPluginInfo info;
    info.strSectionName = strSection;
    m_strCurrentKey = "ComponentName";
    if (!CCommonFunction::kStdAfxGetPrivateProfile(m_strIniFile.c_str(), pszSection, "ComponentName", strValue,
                                                   bKeyExists) ||
        trimBlanks(strValue).empty()) {
      return kPluginFail(4, "ComponentName", strSection);
    }
    info.strComponentName = trimBlanks(strValue);

    m_strCurrentKey = "Setup";
    if (!CCommonFunction::kStdAfxGetPrivateProfile(m_strIniFile.c_str(), pszSection, "Setup", strValue,
                                                   bKeyExists)) {
      return kPluginFail(bKeyExists ? 6 : 5, "Setup", strSection);
    }
    info.strSetup = strValue;
    // The program is the text before the first blank, relative to the
    // configuration file's folder; it must be there, or the plug-in could
    // never be started.
    const std::string strProgram = strValue.substr(0, strValue.find(' '));
    std::string strFullPath = strProgram;
    if (!CCommonFunction::kStdAfxGetFullPath(strIniFolder, strProgram.c_str(), strFullPath)) strFullPath = strProgram;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(strFullPath.c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE) {
      kProgramLog().kWriteLog("CKVISetupIniInfo::kPluginList() return FALSE (7) LastError=%u FindFirstFile fail.\n",
                              GetLastError());
      kProgramLog().kWriteLog("  strFullPath=[%s]\n", strFullPath.c_str());
      m_strCurrentKey = "Setup";
      return FALSE;
    }
    FindClose(hFind);

    m_strCurrentKey = "StatusMonitorSupport";
    if (!CCommonFunction::kStdAfxGetPrivateProfile(m_strIniFile.c_str(), pszSection, "StatusMonitorSupport",
                                                   strValue, bKeyExists) &&
        bKeyExists) {
      return kPluginFail(8, "StatusMonitorSupport", strSection);
    }
    info.strStatusMonitorSupport = trimBlanks(strValue);

    m_strCurrentKey = "Platform";
    if (!CCommonFunction::kStdAfxGetPrivateProfile(m_strIniFile.c_str(), pszSection, "Platform", strValue,
                                                   bKeyExists)) {
      if (bKeyExists) return kPluginFail(9, "Platform", strSection);
      strValue.clear();
    }
    info.strPlatform = trimBlanks(strValue);
    if (!info.strPlatform.empty() && !kIEquals(info.strPlatform, "NTx86") && !kIEquals(info.strPlatform, "NTamd64")) {
      return kPluginFail(10, "Platform", strSection);
    }
    m_Settings.lstPlugin.push_back(std::move(info));
  }
  m_strCurrentKey = "PluginList";
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kPluginList() return TRUE (11) count=%u\n",
                                static_cast<unsigned>(m_Settings.lstPlugin.size()));
  return TRUE;
}

BOOL CKVISetupIniInfo::kPortMonitor() {
  std::string strValue;
  if (kReadKey("kPortMonitor", "PortMonitor", strValue) == CReadResult::kValue) {
    strValue = trimBlanks(strValue);
    const size_t nComma = strValue.find(',');
    const std::string strName = trimBlanks(strValue.substr(0, nComma));
    const std::string strFile = nComma == std::string::npos ? std::string() : trimBlanks(strValue.substr(nComma + 1));
    // A blank half keeps its default: a monitor without a name or file
    // could not be registered at all.
    if (!strName.empty()) m_Settings.strPortMonitorName = strName;
    if (!strFile.empty()) m_Settings.strPortMonitorFile = strFile;
  }
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kPortMonitor() return TRUE (1) [%s] [%s]\n",
                                m_Settings.strPortMonitorName.c_str(), m_Settings.strPortMonitorFile.c_str());
  return TRUE;
}

BOOL CKVISetupIniInfo::kExecAddMonitor() {
  return kReadFlag("kExecAddMonitor", "ExecAddMonitor", true, m_Settings.bExecAddMonitor);
}
BOOL CKVISetupIniInfo::kNextComponent() {
  return kReadString("kNextComponent", "NextComponent", "", false, m_Settings.strNextComponent);
}
BOOL CKVISetupIniInfo::kVisibleUpdatePrinter() {
  return kReadFlag("kVisibleUpdatePrinter", "VisibleUpdatePrinter", true, m_Settings.bVisibleUpdatePrinter);
}
BOOL CKVISetupIniInfo::kVisibleDeletePrinter() {
  return kReadFlag("kVisibleDeletePrinter", "VisibleDeletePrinter", false, m_Settings.bVisibleDeletePrinter);
}
BOOL CKVISetupIniInfo::kVisibleUSBPrinter() {
  return kReadFlag("kVisibleUSBPrinter", "VisibleUSBPrinter", true, m_Settings.bVisibleUSBPrinter);
}
BOOL CKVISetupIniInfo::kPowerOffBitmap() {
  return kReadBitmap("kPowerOffBitmap", "PowerOFFBitmap", m_Settings.strPowerOFFBitmap);
}
BOOL CKVISetupIniInfo::kPowerOnBitmap() {
  return kReadBitmap("kPowerOnBitmap", "PowerONBitmap", m_Settings.strPowerONBitmap);
}
BOOL CKVISetupIniInfo::kShowDefaultPrinterDialog() {
  return kReadFlag("kShowDefaultPrinterDialog", "ShowDefaultPrinterDialog", true,
                   m_Settings.bShowDefaultPrinterDialog);
}
BOOL CKVISetupIniInfo::kDefaultPrinterDialogOmitValue() {
  return kReadFlag("kDefaultPrinterDialogOmitValue", "DefaultPrinterDialogOmitValue", true,
                   m_Settings.bDefaultPrinterDialogOmitValue);
}
BOOL CKVISetupIniInfo::kPrinterType() {
  static const CChoice kChoices[] = {{"Single", PRINTERTYPE_SINGLE}, {"Multi", PRINTERTYPE_MULTI}};
  return kReadChoice("kPrinterType", "PrinterType", kChoices, std::size(kChoices), PRINTERTYPE_SINGLE,
                     m_Settings.nPrinterType);
}
BOOL CKVISetupIniInfo::kVendorID() {
  return kReadString("kVendorID", "VendorID", kDefaultVendorID, true, m_Settings.strVendorID);
}
BOOL CKVISetupIniInfo::kProductID() {
  return kReadString("kProductID", "ProductID", "", false, m_Settings.strProductID);
}
BOOL CKVISetupIniInfo::kMultipleInterfaceID() {
  return kReadString("kMultipleInterfaceID", "MultipleInterfaceID", "", false, m_Settings.strMultipleInterfaceID);
}

BOOL CKVISetupIniInfo::kIsPrinterTypeMulti() {
  // A printer with several interfaces is recognised by all three ids
  // together; one missing would make the USB wait look for nothing.
  if (m_Settings.nPrinterType != PRINTERTYPE_MULTI) {
    kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kIsPrinterTypeMulti() return TRUE (2) PrinterType=Single\n");
    return TRUE;
  }
  if (!m_Settings.strVendorID.empty() && !m_Settings.strProductID.empty() &&
      !m_Settings.strMultipleInterfaceID.empty()) {
    kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kIsPrinterTypeMulti() return TRUE (3) PrinterType=Multi\n");
    return TRUE;
  }
  kProgramLog().kWriteLog("CKVISetupIniInfo::kIsPrinterTypeMulti() return FALSE (1) LastError=%u\n", GetLastError());
  kProgramLog().kWriteLog("  m_strVendorID=[%s]\n", m_Settings.strVendorID.c_str());
  kProgramLog().kWriteLog("  m_strProductID=[%s]\n", m_Settings.strProductID.c_str());
  kProgramLog().kWriteLog("  m_strMultipleInterfaceID=[%s]\n", m_Settings.strMultipleInterfaceID.c_str());
  m_strCurrentKey = std::string("VendorID") + " " + "ProductID" + " " + "MultipleInterfaceID";
  return FALSE;
}

BOOL CKVISetupIniInfo::kUSBConnectWaitTime() {
  m_strCurrentKey = "USBConnectWaitTime";
  UINT uSeconds = 180;
  CCommonFunction::kStdAfxGetPrivateProfileInt(m_strIniFile.c_str(), kSetupSection, "USBConnectWaitTime", 180,
                                               &uSeconds);
  if (uSeconds < 60 || uSeconds > 600) {
    kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kUSBConnectWaitTime() return TRUE (1) USBConnectWaitTime=%u "
                                  "out of 60 to 600, 180 taken\n",
                                  uSeconds);
    uSeconds = 180;
    m_Settings.dwUSBConnectWaitTime = uSeconds * 1000;
    return TRUE;
  }
  m_Settings.dwUSBConnectWaitTime = uSeconds * 1000;
  kProgramLog().kWriteLogLevel1("CKVISetupIniInfo::kUSBConnectWaitTime() return TRUE (2) USBConnectWaitTime=%u\n",
                                m_Settings.dwUSBConnectWaitTime);
  return TRUE;
}

BOOL CKVISetupIniInfo::kTargetDriverName() {
  return kReadString("kTargetDriverName", "TargetDriverName", "", false, m_Settings.strTargetDriverName);
}
BOOL CKVISetupIniInfo::kUSBInst() { return kReadFlag("kUSBInst", "USBInst", true, m_Settings.bUSBInst); }
BOOL CKVISetupIniInfo::kDefaultAgreeElement() {
  static const CChoice kChoices[] = {
      {"NoSelect", AGREE_NOSELECT}, {"Agree", AGREE_AGREE}, {"NotAgree", AGREE_NOTAGREE}};
  return kReadChoice("kDefaultAgreeElement", "DefaultAgreeElement", kChoices, std::size(kChoices), AGREE_AGREE,
                     m_Settings.nDefaultAgreeElement);
}
BOOL CKVISetupIniInfo::kDefaultConnectTypeElement() {
  static const CChoice kChoices[] = {
      {"NoSelect", CONNECTTYPE_NOSELECT}, {"Network", CONNECTTYPE_NETWORK}, {"USB", CONNECTTYPE_USB}};
  return kReadChoice("kDefaultConnectTypeElement", "DefaultConnectTypeElement", kChoices, std::size(kChoices),
                     CONNECTTYPE_NETWORK, m_Settings.nDefaultConnectTypeElement);
}
BOOL CKVISetupIniInfo::kNetworkPrinterSearch() {
  return kReadFlag("kNetworkPrinterSearch", "NetworkPrinterSearch", true, m_Settings.bNetworkPrinterSearch);
}
BOOL CKVISetupIniInfo::kIconType() {
  static const CChoice kChoices[] = {{"1", 1}, {"2", 2}};
  return kReadChoice("kIconType", "IconType", kChoices, std::size(kChoices), 1, m_Settings.nIconType);
}
