// The readers of the driver description file (DRVINST.DSC): the maker's
// installation options for the drivers of an INF, in section "DrvInst".
//
// Where a key also exists in the INF's own "DrvInst" section, one rule holds:
// with a description file only the file is read, without one only the INF.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_info_log.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/text_utility.h"

namespace {

const char kDrvInst[] = "DrvInst";
const char kSeparators[] = ",:|^";
const char kBlanks[] = " \t\r\n";

std::string trim(const std::string& str) {
  const size_t first = str.find_first_not_of(kBlanks);
  if (first == std::string::npos) return std::string();
  const size_t last = str.find_last_not_of(kBlanks);
  return str.substr(first, last - first + 1);
}

// A profile read of section "DrvInst" (pszKey null: the key names, each
// ended by a zero). The buffer grows until the text fits, so long lists are
// never cut.
std::string readProfile(const std::string& strDscFile, const char* pszKey) {
  std::vector<char> buffer(128);
  for (;;) {
    const DWORD dwGot = GetPrivateProfileStringA(kDrvInst, pszKey, "", buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), strDscFile.c_str());
    if (static_cast<size_t>(dwGot) + 2 < buffer.size()) return std::string(buffer.data(), dwGot);
    buffer.resize(buffer.size() + 128);
  }
}

BOOL logFalse(const char* pszFunction, int nExit, const char* pszName, const std::string& strValue) {
  kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::%s() return FALSE (%d) %s=[%s]\n", pszFunction, nExit,
                             pszName, strValue.c_str());
  return FALSE;
}

BOOL logTrue(const char* pszFunction, int nExit, const char* pszName, const std::string& strValue) {
  kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::%s() return TRUE (%d) %s=[%s]\n", pszFunction, nExit,
                                   pszName, strValue.c_str());
  return TRUE;
}

// "ON" and "OFF" in any case; an empty value takes the default.
BOOL readOnOff(const std::string& strValue, const char* pszKey, const char* pszFunction, BOOL bDefault,
               BOOL& bFlag) {
  if (strValue.empty()) {
    bFlag = bDefault;
  } else if (kIEquals(strValue, "ON")) {
    bFlag = TRUE;
  } else if (kIEquals(strValue, "OFF")) {
    bFlag = FALSE;
  } else {
    return logFalse(pszFunction, 1, pszKey, strValue);
  }
  return logTrue(pszFunction, 2, pszKey, strValue);
}

// Directory and subdirectory joined with one backslash, without a trailing
// backslash; the directory alone when there is no subdirectory.
std::string joinDir(std::string strDir, const std::string& strSubDir) {
  if (!strSubDir.empty()) {
    if (!strDir.empty() && strDir.back() != '\\') strDir += '\\';
    strDir += strSubDir;
  }
  while (strDir.size() > 1 && strDir.back() == '\\') strDir.pop_back();
  return strDir;
}

}  // namespace

std::string CCandidateDriverInfomation::kReadDscValue(const std::string& strDscFile, const std::string& strKey) {
  if (strDscFile.empty()) return std::string();
  if (!m_bDscMemoryOn) return trim(readProfile(strDscFile, strKey.c_str()));
  auto itFile = m_mapDscMemory.find(strDscFile);
  if (itFile == m_mapDscMemory.end()) {
    CDscMemory memory;
    const std::string strNames = readProfile(strDscFile, nullptr);
    for (size_t begin = 0; begin < strNames.size();) {
      const size_t end = strNames.find('\0', begin);
      memory.setKeys.insert(kToUpper(trim(strNames.substr(begin, end == std::string::npos ? std::string::npos : end - begin))));
      if (end == std::string::npos) break;
      begin = end + 1;
    }
    itFile = m_mapDscMemory.emplace(strDscFile, std::move(memory)).first;
  }
  CDscMemory& memory = itFile->second;
  const std::string strUpperKey = kToUpper(strKey);
  // A key the file does not have (most per-driver keys) needs no read, and
  // is not remembered either: a package of many models would fill the memory
  // with one empty entry per model and key.
  if (!memory.setKeys.count(strUpperKey)) return std::string();
  const auto itValue = memory.mapValues.find(strUpperKey);
  if (itValue != memory.mapValues.end()) return itValue->second;
  std::string strValue = trim(readProfile(strDscFile, strKey.c_str()));
  memory.mapValues.emplace(strUpperKey, strValue);
  return strValue;
}

size_t CCandidateDriverInfomation::kFindListSeparator(const std::string& strValue, size_t nBegin,
                                                     const char* pszSeparators) {
  size_t nAt = strValue.find_first_of(pszSeparators, nBegin);
  // Makers write program paths into these lists ("C:\TOOLS\SETUP.EXE,/q"):
  // split there, the program would be "C". A colon with a single letter
  // before it and a backslash after it is a drive, never a separator.
  while (nAt != std::string::npos && strValue[nAt] == ':' && nAt + 1 < strValue.size() &&
         strValue[nAt + 1] == '\\') {
    const std::string strItem = trim(strValue.substr(nBegin, nAt - nBegin));
    if (strItem.size() != 1 || !std::isalpha(static_cast<unsigned char>(strItem[0]))) break;
    nAt = strValue.find_first_of(pszSeparators, nAt + 1);
  }
  return nAt;
}

std::vector<std::string> CCandidateDriverInfomation::kSplitDscList(const std::string& strValue) {
  std::vector<std::string> lstItems;
  if (strValue.empty()) return lstItems;
  size_t begin = 0;
  for (;;) {
    const size_t end = kFindListSeparator(strValue, begin, kSeparators);
    lstItems.push_back(trim(strValue.substr(begin, end == std::string::npos ? std::string::npos : end - begin)));
    if (end == std::string::npos) break;
    begin = end + 1;
  }
  return lstItems;
}

std::string CCandidateDriverInfomation::kDecideDSCFileName(std::string& strOut, const std::string& strInfPath) {
  strOut.clear();
  std::string strFolder;
  CCommonFunction::kStdAfxGetPathElement(strInfPath, PATH_ELEMENT_DRIVE_DIR_SLASH, strFolder);
  // One DRVINST.DSC serves every INF of its folder.
  std::string strCandidate;
  if (!CCommonFunction::kGetShortPathName((strFolder + "DRVINST.DSC").c_str(), strCandidate) ||
      !CCommonFunction::kStdAfxFileIsExisted(strCandidate.c_str())) {
    strCandidate.clear();
  }
  if (!strCandidate.empty()) {
    strOut = strCandidate;
  } else {
    // Otherwise a file named after the INF itself (OEMSETUP.INF: OEMSETUP.dsc).
    std::string strOwn;
    CCommonFunction::kStdAfxGetPathElement(strInfPath, PATH_ELEMENT_WITHOUT_EXTENSION, strOwn);
    strOwn += ".dsc";
    std::string strShort;
    if (CCommonFunction::kGetShortPathName(strOwn.c_str(), strShort)) strOwn = strShort;
    HANDLE hFile = CreateFileA(strOwn.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE) {
      CloseHandle(hFile);
      strOut = strOwn;
    }
  }
  kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::kDecideDSCFileName() return [%s]\n", strOut.c_str());
  return strOut;
}

BOOL CCandidateDriverInfomation::kGetDriverVersion(const std::string& strDscFile, const std::string& strSignature,
                                                   DWORD& dwVersion, BOOL& bFromDsc, BOOL& bSkip) {
  dwVersion = 0;
  bFromDsc = FALSE;
  bSkip = FALSE;
  const std::string strDSCOSVersion = kReadDscValue(strDscFile, "Version");
  if (!strDSCOSVersion.empty()) {
    if (strDSCOSVersion != "0" && strDSCOSVersion != "2" && strDSCOSVersion != "3") {
      return logFalse("kGetDriverVersion", 1, "strDSCOSVersion", strDSCOSVersion);
    }
    dwVersion = static_cast<DWORD>(strDSCOSVersion[0] - '0');
    bFromDsc = TRUE;
    return logTrue("kGetDriverVersion", 2, "strDSCOSVersion", strDSCOSVersion);
  }
  // Without a stated version the INF's signature tells the family; the real
  // version of an NT driver then comes from its driver file.
  if (kIEquals(strSignature, "$Windows NT$")) {
    dwVersion = 2;
  } else if (!kIEquals(strSignature, "$Windows 95$") && !kIEquals(strSignature, "$CHICAGO$")) {
    bSkip = TRUE;
  }
  return logTrue("kGetDriverVersion", 3, "strSignature", strSignature);
}

BOOL CCandidateDriverInfomation::kGetPlatform(const std::string& strDscFile, std::string& strPlatform) {
  const std::string strValue = kReadDscValue(strDscFile, "Platform");
  if (strValue.empty()) {
    strPlatform = "NTx86";
  } else if (kIEquals(strValue, "NTx86") || kIEquals(strValue, "NTamd64")) {
    strPlatform = strValue;
  } else {
    return logFalse("kGetPlatform", 1, "strPlatform", strValue);
  }
  return logTrue("kGetPlatform", 2, "strPlatform", strPlatform);
}

BOOL CCandidateDriverInfomation::kGetPreventSameKindUpdate(const std::string& strDscFile, BOOL& bFlag) {
  return readOnOff(kReadDscValue(strDscFile, "PreventSameKindUpdate"), "PreventSameKindUpdate", "kGetPreventSameKindUpdate", FALSE, bFlag);
}

BOOL CCandidateDriverInfomation::kGetNeedReboot(const std::string& strDscFile, BOOL& bFlag) {
  return readOnOff(kReadDscValue(strDscFile, "NeedReboot"), "NeedReboot", "kGetNeedReboot", FALSE, bFlag);
}

BOOL CCandidateDriverInfomation::kGetInfCopy(const std::string& strDscFile, BOOL& bFlag) {
  return readOnOff(kReadDscValue(strDscFile, "InfCopy"), "InfCopy", "kGetInfCopy", TRUE, bFlag);
}

BOOL CCandidateDriverInfomation::kGetUSBPermit(const std::string& strDscFile, BOOL& bFlag) {
  return readOnOff(kReadDscValue(strDscFile, "USBPermit"), "USBPermit", "kGetUSBPermit", FALSE, bFlag);
}

BOOL CCandidateDriverInfomation::kGetDriverVersionDownOption(const std::string& strDscFile, DWORD& dwOption) {
  const std::string strValue = kReadDscValue(strDscFile, "DriverVersionDownOption");
  if (strValue.empty() || kIEquals(strValue, "NoDown")) {
    dwOption = 1;
  } else if (kIEquals(strValue, "Down")) {
    dwOption = 2;
  } else {
    return logFalse("kGetDriverVersionDownOption", 1, "strDriverVersionDownOption", strValue);
  }
  return logTrue("kGetDriverVersionDownOption", 2, "strDriverVersionDownOption", strValue);
}

BOOL CCandidateDriverInfomation::kGetSorrelRegisterStatus() {
  HKEY hKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\HALVERN\\halucode\\Providers", 0, KEY_READ, &hKey) !=
      ERROR_SUCCESS) {
    kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::kGetSorrelRegisterStatus() return FALSE (1)\n");
    return FALSE;
  }
  DWORD dwType = 0;
  DWORD dwSize = 0;
  const LONG lResult = RegQueryValueExA(hKey, "ProviderDLL", nullptr, &dwType, nullptr, &dwSize);
  RegCloseKey(hKey);
  const BOOL bPresent = lResult == ERROR_SUCCESS;
  kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::kGetSorrelRegisterStatus() return %s (2)\n",
                                   bPresent ? "TRUE" : "FALSE");
  return bPresent;
}

BOOL CCandidateDriverInfomation::kGetUserCodeOK(const std::string& strDscFile, BOOL& bFlag, DWORD& dwMode) {
  const BOOL bProviderPresent = kGetSorrelRegisterStatus();
  const std::string strValue = kReadDscValue(strDscFile, "UserCodeOK");
  if (kIEquals(strValue, "ON")) {
    // The driver's own user-code support is needed only where the maker's
    // product is not installed.
    bFlag = bProviderPresent ? FALSE : TRUE;
    dwMode = 1;
  } else if (kIEquals(strValue, "FORCE")) {
    bFlag = TRUE;
    dwMode = 2;
  } else if (strValue.empty() || kIEquals(strValue, "OFF")) {
    bFlag = FALSE;
    dwMode = 0;
  } else {
    return logFalse("kGetUserCodeOK", 1, "strUserCodeOK", strValue);
  }
  return logTrue("kGetUserCodeOK", 2, "strUserCodeOK", strValue);
}

BOOL CCandidateDriverInfomation::kGetDeleteDeviceString(const std::string& strDscFile, std::string& strOut) {
  const std::string strValue = kReadDscValue(strDscFile, "DeleteDeviceString");
  if (!strValue.empty()) strOut = strValue;
  return logTrue("kGetDeleteDeviceString", 1, "strDeleteDeviceString", strOut);
}

BOOL CCandidateDriverInfomation::kGetCopyForceFiles(const std::string& strDscFile, std::string& strOut) {
  strOut = kReadDscValue(strDscFile, "CopyForceFiles");
  return logTrue("kGetCopyForceFiles", 1, "strCopyForceFiles", strOut);
}

BOOL CCandidateDriverInfomation::kGetNoCheckFile(const std::string& strDscFile, std::string& strOut) {
  if (strDscFile.empty()) {
    if (!m_pDrvInfFile->kGetDrvInstNoCheckFile(strOut)) return logFalse("kGetNoCheckFile", 1, "strNoCheckFiles", "");
    return logTrue("kGetNoCheckFile", 2, "strNoCheckFiles", strOut);
  }
  strOut = kReadDscValue(strDscFile, "NoCheckFiles");
  return logTrue("kGetNoCheckFile", 3, "strNoCheckFiles", strOut);
}

BOOL CCandidateDriverInfomation::kGetDrvNamesForDrvInst(const std::string& strDscFile,
                                                        std::vector<std::string>& lstNames) {
  if (strDscFile.empty()) {
    if (!m_pDrvInfFile->kGetDrvNamesForDrvInst(lstNames)) return logFalse("kGetDrvNamesForDrvInst", 1, "DrvInst", "");
    return logTrue("kGetDrvNamesForDrvInst", 2, "DrvInst", "INF");
  }
  const std::string strValue = kReadDscValue(strDscFile, "DrvInst");
  for (const std::string& strName : kSplitDscList(strValue)) {
    // An empty item names no driver: it would otherwise make the list
    // non-empty and hide every model from a listed-only analysis.
    if (!strName.empty()) lstNames.push_back(strName);
  }
  return logTrue("kGetDrvNamesForDrvInst", 3, "DrvInst", strValue);
}

BOOL CCandidateDriverInfomation::kGetVendorSetup(const std::string& strDscFile, const std::string& strLangID,
                                                 CVendorSetupInfo& info) {
  if (strDscFile.empty()) {
    if (!m_pDrvInfFile->kGetVendorSetup(strLangID, info)) return logFalse("kGetVendorSetup", 1, "VendorSetup", "");
    return logTrue("kGetVendorSetup", 2, "VendorSetup", info.strVendorSetup);
  }
  info = CVendorSetupInfo();
  std::string strLanguage = strLangID;
  if (strLanguage.empty()) {
    char szLang[16] = {};
    std::snprintf(szLang, sizeof(szLang), "%04x", static_cast<unsigned>(GetSystemDefaultLangID()));
    strLanguage = szLang;
  }
  const std::vector<std::string> lstItems = kSplitDscList(kReadDscValue(strDscFile, "VendorSetup"));
  if (!lstItems.empty()) info.strVendorSetup = lstItems[0];
  if (lstItems.size() > 1) info.strVendorSetupParam = lstItems[1];
  if (lstItems.size() > 2 && kIEquals(lstItems[2], "DISPLANG")) info.strLangID = strLanguage.substr(0, 4);
  return logTrue("kGetVendorSetup", 3, "VendorSetup", info.strVendorSetup);
}

BOOL CCandidateDriverInfomation::kGetDrvInstLanguageMonitor(const std::string& strDscFile, std::string& strOut) {
  if (strDscFile.empty()) {
    if (!m_pDrvInfFile->kGetDrvInstLanguageMonitor(strOut)) {
      return logFalse("kGetDrvInstLanguageMonitor", 1, "LanguageMonitor", "");
    }
    return logTrue("kGetDrvInstLanguageMonitor", 2, "LanguageMonitor", strOut);
  }
  const std::vector<std::string> lstItems = kSplitDscList(kReadDscValue(strDscFile, "LanguageMonitor"));
  if (!lstItems.empty() && !lstItems[0].empty()) strOut = lstItems[0];
  return logTrue("kGetDrvInstLanguageMonitor", 3, "LanguageMonitor", strOut);
}

BOOL CCandidateDriverInfomation::kGetIniFileName(const std::string& strDscFile, std::string& strFileName,
                                                 std::string& strDir, std::string& strSubDir) {
  strFileName.clear();
  strDir.clear();
  strSubDir.clear();
  if (strDscFile.empty()) {
    if (!m_pDrvInfFile->kGetIniFileName(strFileName, strDir, strSubDir)) {
      return logFalse("kGetIniFileName", 1, "IniFileName", "");
    }
  } else {
    const std::vector<std::string> lstItems = kSplitDscList(kReadDscValue(strDscFile, "IniFileName"));
    if (!lstItems.empty()) strFileName = lstItems[0];
    if (lstItems.size() > 1) strDir = lstItems[1];
    if (lstItems.size() > 2) strSubDir = lstItems[2];
  }

  std::string strSystemDir;
  if (!CCommonFunction::kStdAfxGetSystemDirectory(strSystemDir) || strSystemDir.size() >= MAX_PATH) {
    kDriverInfoLog().kWriteLog("  Buffer size be lack. need[%d] expect[%d]\n", static_cast<int>(strSystemDir.size() + 1),
                               MAX_PATH);
    return logFalse("kGetIniFileName", 2, "strDir", strDir);
  }
  char szDir[MAX_PATH] = {};
  DWORD dwNeeded = 0;
  std::string strEnvironment = CEnvironment::kGetEnvironment();
  std::string strResolved;
  if (strDir == "10") {
    const UINT uLength = GetWindowsDirectoryA(szDir, MAX_PATH);
    if (uLength == 0 || uLength >= MAX_PATH) return logFalse("kGetIniFileName", 3, "strDir", strDir);
    strResolved = szDir;
  } else if (strDir == "66000") {
    if (!GetPrinterDriverDirectoryA(nullptr, strEnvironment.data(), 1, reinterpret_cast<LPBYTE>(szDir), MAX_PATH,
                                    &dwNeeded)) {
      return logFalse("kGetIniFileName", 4, "strDir", strDir);
    }
    strResolved = szDir;
  } else if (strDir == "66001") {
    if (!GetPrintProcessorDirectoryA(nullptr, strEnvironment.data(), 1, reinterpret_cast<LPBYTE>(szDir), MAX_PATH,
                                     &dwNeeded)) {
      return logFalse("kGetIniFileName", 5, "strDir", strDir);
    }
    strResolved = szDir;
  } else if (kIEquals(strDir, "root")) {
    strResolved = joinDir(strSystemDir.substr(0, 2), strSubDir);
  } else if (kIEquals(strDir, "temp")) {
    const DWORD dwLength = GetTempPathA(MAX_PATH, szDir);
    if (dwLength == 0 || dwLength >= MAX_PATH) return logFalse("kGetIniFileName", 6, "strDir", strDir);
    strResolved = joinDir(szDir, strSubDir);
  } else {
    // "11", another id, or none: the system directory.
    strResolved = strSystemDir;
  }
  strDir = strResolved;
  return logTrue("kGetIniFileName", 7, "strDir", strDir);
}

BOOL CCandidateDriverInfomation::kGetDriverType(const std::string& strDscFile, std::string& strOut) {
  if (strDscFile.empty()) {
    if (!m_pDrvInfFile->kGetDriverType(strOut)) return logFalse("kGetDriverType", 1, "DriverType", "");
    return logTrue("kGetDriverType", 2, "DriverType", strOut);
  }
  strOut = kReadDscValue(strDscFile, "DriverType");
  return logTrue("kGetDriverType", 3, "DriverType", strOut);
}

BOOL CCandidateDriverInfomation::kGetPrinterProperty(const std::string& strDscFile, BOOL& bFlag) {
  const std::string strValue = kReadDscValue(strDscFile, "PrinterProperty");
  bFlag = kIEquals(strValue, "DISPLAY") ? TRUE : FALSE;
  return logTrue("kGetPrinterProperty", 1, "strPrinterProperty", strValue);
}

BOOL CCandidateDriverInfomation::kGetComment(const std::string& strDscFile, const std::string& strDriverName,
                                             std::string& strOut) {
  if (strDscFile.empty()) {
    std::string strValue;
    if (!m_pDrvInfFile->kGetComment(strValue)) return logFalse("kGetComment", 1, "Comment", "");
    if (!strValue.empty()) strOut = strValue;
    return logTrue("kGetComment", 2, "Comment", strOut);
  }
  std::string strValue = kReadDscValue(strDscFile, "Comment." + strDriverName);
  if (strValue.empty()) strValue = kReadDscValue(strDscFile, "Comment");
  if (!strValue.empty()) strOut = strValue;
  return logTrue("kGetComment", 3, "Comment", strOut);
}

BOOL CCandidateDriverInfomation::kGetPnpDevRegKey(const std::string& strDscFile, const std::string& strDriverName,
                                                  std::string& strOut) {
  std::string strValue = kReadDscValue(strDscFile, "PnpDevRegKey." + strDriverName);
  if (strValue.empty()) strValue = kReadDscValue(strDscFile, "PnpDevRegKey");
  if (!strValue.empty()) strOut = strValue;
  return logTrue("kGetPnpDevRegKey", 1, "PnpDevRegKey", strOut);
}
