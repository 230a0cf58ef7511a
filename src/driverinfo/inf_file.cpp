// The INF reader.
#include "driverinfo/inf_file.h"

#include <cstdarg>
#include <cstdio>
#include <utility>
#include <vector>

#include "driverinfo/driver_info_log.h"
#include "driverinfo/setup_api.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/spooler_function.h"
#include "system/text_utility.h"

namespace {

const char kVersion[] = "Version";
const char kDrvInst[] = "DrvInst";
const char kManufacturer[] = "Manufacturer";
const char kDestinationDirs[] = "DestinationDirs";
const char kDefaultDestDir[] = "DefaultDestDir";


// Failures are error lines, written whenever the log is on; successful exits
// are information lines, written from level 1.
BOOL logFalse(const char* pszFunction, int nExit, const std::string& strReason) {
  kDriverInfoLog().kWriteLog("CInfFile::%s() return FALSE (%d) LastError=%u %s\n", pszFunction, nExit,
                             GetLastError(), strReason.c_str());
  return FALSE;
}

// The reason of a success line is built only when the line is written: the
// readers run once per model of a package, and most runs log no level-1 lines.
bool infoLinesOn() {
  const CDetailLog& log = kDriverInfoLog();
  return log.kIsEnabled() && log.kGetOutputLevel() != 0;
}

template <typename MakeReason>
BOOL logTrue(const char* pszFunction, int nExit, MakeReason makeReason) {
  if (!infoLinesOn()) return TRUE;
  const DWORD dwLastError = GetLastError();
  const std::string strReason = makeReason();
  kDriverInfoLog().kWriteLogLevel1("CInfFile::%s() return TRUE (%d) LastError=%u %s\n", pszFunction, nExit,
                                   dwLastError, strReason.c_str());
  return TRUE;
}

// A file name of a copy list must stay inside its target folder: no folder
// separator, no drive and no parent reference.
bool isPlainFileName(const std::string& strName) {
  return strName.find_first_of("\\/:") == std::string::npos && strName.find("..") == std::string::npos &&
         strName != ".";
}

// A value of the driver description file; empty when absent.
std::string readProfileString(const std::string& strFile, const char* pszSection, const std::string& strKey) {
  std::vector<char> buffer(128);
  for (;;) {
    const DWORD dwGot = GetPrivateProfileStringA(pszSection, strKey.c_str(), "", buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), strFile.c_str());
    if (dwGot + 2 < buffer.size()) return std::string(buffer.data(), dwGot);
    buffer.resize(buffer.size() + 128);
  }
}

}  // namespace

bool CInfFile::CLessNoCase::operator()(const std::string& a, const std::string& b) const { return kILess(a, b); }

CInfFile::CInfFile(CSetupApi* pSetupApi) : m_pInfSetupApi(pSetupApi) {}

CInfFile::~CInfFile() {
  kClose();
  if (m_hSystemInf != INVALID_HANDLE_VALUE) m_pInfSetupApi->kSetupCloseInfFile(m_hSystemInf);
}

void CInfFile::kClose() {
  if (m_hInf != INVALID_HANDLE_VALUE) m_pInfSetupApi->kSetupCloseInfFile(m_hInf);
  m_hInf = INVALID_HANDLE_VALUE;
  m_mapCoreDriver.clear();
  m_bModelSectionsKnown = FALSE;
  m_lstModelSections.clear();
}

BOOL CInfFile::kOpen(const std::string& strPath) {
  kClose();
  std::string strDrive;
  std::string strDirectory;
  CCommonFunction::kStdAfxGetPathElement(strPath, PATH_ELEMENT_DRIVE, strDrive);
  CCommonFunction::kStdAfxGetPathElement(strPath, PATH_ELEMENT_DIR_SLASH, strDirectory);
  const bool bUnc = strDirectory.rfind("\\\\", 0) == 0;
  if (!bUnc && (strDrive.empty() || strDirectory.empty())) {
    return logFalse("kOpen", 1, kFormatText("path is not absolute. strPath=[%s]", strPath.c_str()));
  }

  DWORD dwSize = 0;
  if (!m_pInfSetupApi->kSetupGetInfInformation(strPath.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0,
                                               &dwSize) ||
      dwSize < 2) {
    return logFalse("kOpen", 2, kFormatText("SetupGetInfInformation fail. strPath=[%s] size=[%u]", strPath.c_str(), dwSize));
  }
  // The information starts with DWORDs, so the buffer is made of them.
  std::vector<DWORD> info((dwSize + sizeof(DWORD) - 1) / sizeof(DWORD) + 1, 0);
  auto* pInfo = reinterpret_cast<PSP_INF_INFORMATION>(info.data());
  if (!m_pInfSetupApi->kSetupGetInfInformation(strPath.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, pInfo, dwSize,
                                               &dwSize)) {
    return logFalse("kOpen", 3, kFormatText("SetupGetInfInformation fail. strPath=[%s]", strPath.c_str()));
  }
  if (pInfo->InfStyle != INF_STYLE_WIN4) {
    return logFalse("kOpen", 4, kFormatText("not INF_STYLE_WIN4. InfStyle=[%u] strPath=[%s]",
                                       static_cast<unsigned>(pInfo->InfStyle), strPath.c_str()));
  }

  UINT uErrorLine = 0;
  HINF hInf = m_pInfSetupApi->kSetupOpenInfFile(strPath.c_str(), nullptr, INF_STYLE_WIN4, &uErrorLine);
  if (hInf == INVALID_HANDLE_VALUE) {
    return logFalse("kOpen", 5, kFormatText("SetupOpenInfFile fail. ErrorLine=[%u] strPath=[%s]", uErrorLine,
                                       strPath.c_str()));
  }
  m_hInf = hInf;
  // Most printer INF files name no layout file; only the failure is noted.
  if (!m_pInfSetupApi->kSetupOpenAppendInfFile(nullptr, m_hInf, &uErrorLine)) {
    kDriverInfoLog().kWriteLogLevel1("CInfFile::kOpen() SetupOpenAppendInfFile fail. LastError=%u\n",
                                     GetLastError());
  }
  CCommonFunction::kStdAfxGetPathElement(strPath, PATH_ELEMENT_DRIVE_DIR_SLASH, m_strFilePath);
  CCommonFunction::kStdAfxGetPathElement(strPath, PATH_ELEMENT_FILE_NAME, m_strFileName);
  return logTrue("kOpen", 6, [&] { return std::string(kFormatText("strPath=[%s]", strPath.c_str())); });
}

BOOL CInfFile::kGetLineText(const std::string& strSection, const std::string& strKey, std::string& strOut) {
  if (!kIsOpen()) return logFalse("kGetLineText", 1, "INF is not open.");
  strOut.clear();
  DWORD dwSize = 0;
  if (!m_pInfSetupApi->kSetupGetLineText(nullptr, m_hInf, strSection.c_str(), strKey.c_str(), nullptr, 0,
                                         &dwSize) ||
      dwSize <= 1) {
    return logTrue("kGetLineText", 2, [&] { return std::string(kFormatText("key not exist. Section=[%s] Key=[%s]", strSection.c_str(), strKey.c_str())); });
  }
  std::vector<char> buffer(dwSize, '\0');
  DWORD dwRead = 0;
  if (!m_pInfSetupApi->kSetupGetLineText(nullptr, m_hInf, strSection.c_str(), strKey.c_str(), buffer.data(), dwSize,
                                         &dwRead) ||
      dwRead <= 1) {
    return logFalse("kGetLineText", 3,
                    kFormatText("can not read key. Section=[%s] Key=[%s]", strSection.c_str(), strKey.c_str()));
  }
  strOut.assign(buffer.data());
  return logTrue("kGetLineText", 4, [&] { return std::string(kFormatText("Section=[%s] Key=[%s] Value=[%s]", strSection.c_str(), strKey.c_str(), strOut.c_str())); });
}

BOOL CInfFile::kGetLineStringField(PINFCONTEXT pContext, DWORD dwIndex, std::string& strOut) {
  if (!kIsOpen()) return logFalse("kGetLineStringField", 1, "INF is not open.");
  strOut.clear();
  DWORD dwSize = 0;
  if (!m_pInfSetupApi->kSetupGetStringField(pContext, dwIndex, nullptr, 0, &dwSize) || dwSize <= 1) {
    return logTrue("kGetLineStringField", 2, [&] { return std::string(kFormatText("field not exist. Index=[%u]", dwIndex)); });
  }
  std::vector<char> buffer(dwSize, '\0');
  DWORD dwRead = 0;
  if (!m_pInfSetupApi->kSetupGetStringField(pContext, dwIndex, buffer.data(), dwSize, &dwRead) || dwRead <= 1) {
    return logFalse("kGetLineStringField", 3, kFormatText("can not read field. Index=[%u]", dwIndex));
  }
  strOut.assign(buffer.data());
  return logTrue("kGetLineStringField", 4, [&] { return std::string(kFormatText("Index=[%u] Value=[%s]", dwIndex, strOut.c_str())); });
}

BOOL CInfFile::kGetLineStringField(const std::string& strSection, const std::string& strKey, DWORD dwIndex,
                                   std::string& strOut) {
  if (!kIsOpen()) return logFalse("kGetLineStringField", 1, "INF is not open.");
  strOut.clear();
  INFCONTEXT context = {};
  if (!m_pInfSetupApi->kSetupFindFirstLine(m_hInf, strSection.c_str(), strKey.c_str(), &context)) {
    return logTrue("kGetLineStringField", 2, [&] { return std::string(kFormatText("line not exist. Section=[%s] Key=[%s]", strSection.c_str(), strKey.c_str())); });
  }
  if (!kGetLineStringField(&context, dwIndex, strOut)) {
    return logFalse("kGetLineStringField", 3,
                    kFormatText("can not read field. Section=[%s] Key=[%s] Index=[%u]", strSection.c_str(),
                           strKey.c_str(), dwIndex));
  }
  return logTrue("kGetLineStringField", 4, [&] { return std::string(kFormatText("Section=[%s] Key=[%s] Index=[%u]", strSection.c_str(),
                                                  strKey.c_str(), dwIndex)); });
}

BOOL CInfFile::kGetClassName(std::string& strOut) { return kGetLineText(kVersion, "Class", strOut); }
BOOL CInfFile::kGetOSKind(std::string& strOut) { return kGetLineText(kVersion, "Signature", strOut); }
BOOL CInfFile::kGetProviderName(std::string& strOut) { return kGetLineText(kVersion, "Provider", strOut); }
BOOL CInfFile::kGetCatalogFile(std::string& strOut) { return kGetLineText(kVersion, "CatalogFile", strOut); }
BOOL CInfFile::kGetComment(std::string& strOut) { return kGetLineText(kDrvInst, "Comment", strOut); }
BOOL CInfFile::kGetDriverType(std::string& strOut) { return kGetLineText(kDrvInst, "DriverType", strOut); }
BOOL CInfFile::kGetDrvInstNoCheckFile(std::string& strOut) { return kGetLineText(kDrvInst, "NoCheckFiles", strOut); }
BOOL CInfFile::kGetDrvInstLanguageMonitor(std::string& strOut) {
  return kGetLineStringField(kDrvInst, "LanguageMonitor", 1, strOut);
}

BOOL CInfFile::kGetIniFileName(std::string& strFileName, std::string& strDir, std::string& strSubDir) {
  if (!kGetLineStringField(kDrvInst, "IniFileName", 1, strFileName)) return logFalse("kGetIniFileName", 1, "");
  if (!kGetLineStringField(kDrvInst, "IniFileName", 2, strDir)) return logFalse("kGetIniFileName", 2, "");
  if (!kGetLineStringField(kDrvInst, "IniFileName", 3, strSubDir)) return logFalse("kGetIniFileName", 3, "");
  return logTrue("kGetIniFileName", 4, [&] { return std::string(kFormatText("FileName=[%s] Dir=[%s] SubDir=[%s]", strFileName.c_str(), strDir.c_str(), strSubDir.c_str())); });
}

BOOL CInfFile::kGetVendorSetup(const std::string& strLangID, CVendorSetupInfo& info) {
  info = CVendorSetupInfo();
  std::string strOption;
  if (!kGetLineStringField(kDrvInst, "VendorSetup", 1, info.strVendorSetup)) return logFalse("kGetVendorSetup", 1, "");
  if (!kGetLineStringField(kDrvInst, "VendorSetup", 2, info.strVendorSetupParam)) {
    return logFalse("kGetVendorSetup", 2, "");
  }
  if (!kGetLineStringField(kDrvInst, "VendorSetup", 3, strOption)) return logFalse("kGetVendorSetup", 3, "");
  if (kIEquals(strOption, "DISPLANG")) info.strLangID = strLangID.substr(0, 4);
  return logTrue("kGetVendorSetup", 4, [&] { return std::string(kFormatText("VendorSetup=[%s] Param=[%s] LangID=[%s]", info.strVendorSetup.c_str(),
                        info.strVendorSetupParam.c_str(), info.strLangID.c_str())); });
}

BOOL CInfFile::kGetDrvNamesForDrvInst(std::vector<std::string>& lstNames) {
  for (DWORD dwIndex = 1;; ++dwIndex) {
    std::string strName;
    if (!kGetLineStringField(kDrvInst, kDrvInst, dwIndex, strName)) {
      return logFalse("kGetDrvNamesForDrvInst", 1, kFormatText("Index=[%u]", dwIndex));
    }
    if (strName.empty()) break;
    lstNames.push_back(strName);
  }
  return logTrue("kGetDrvNamesForDrvInst", 2, [&] { return std::string(kFormatText("count=[%u]", static_cast<unsigned>(lstNames.size()))); });
}

BOOL CInfFile::kGetExtensionName(const std::string& strInstallSection, const std::string& strKey,
                                 std::string& strOut) {
  if (!kGetLineText(strInstallSection, strKey, strOut)) return logFalse("kGetExtensionName", 1, strKey);
  if (!strOut.empty()) return logTrue("kGetExtensionName", 2, [&] { return std::string(strKey); });
  std::string strDataSection;
  if (!kGetLineText(strInstallSection, "DataSection", strDataSection)) {
    return logFalse("kGetExtensionName", 3, "DataSection");
  }
  if (strDataSection.empty() && kUsesCoreDriver(strInstallSection)) {
    return kGetCoreValue(strInstallSection, strKey, strOut);
  }
  if (strDataSection.empty()) return logTrue("kGetExtensionName", 5, [&] { return std::string(kFormatText("no DataSection. Key=[%s]", strKey.c_str())); });
  if (!kGetLineText(strDataSection, strKey, strOut)) {
    return logFalse("kGetExtensionName", 4,
                    kFormatText("DataSection=[%s] Key=[%s]", strDataSection.c_str(), strKey.c_str()));
  }
  if (strOut.empty() && kUsesCoreDriver(strInstallSection)) return kGetCoreValue(strInstallSection, strKey, strOut);
  return logTrue("kGetExtensionName", 6, [&] { return std::string(kFormatText("DataSection=[%s] Key=[%s]", strDataSection.c_str(), strKey.c_str())); });
}

BOOL CInfFile::kGetCoreValue(const std::string& strInstallSection, const std::string& strKey, std::string& strOut) {
  strOut.clear();
  for (const std::string& strData : kGetCoreSections(strInstallSection).lstData) {
    strOut = kSystemValue(strData, strKey, 0);
    if (!strOut.empty()) {
      return logTrue("kGetExtensionName", 7, [&] { return std::string(kFormatText("system DataSection=[%s] Key=[%s] Value=[%s]", strData.c_str(), strKey.c_str(), strOut.c_str())); });
    }
  }
  return logTrue("kGetExtensionName", 8, [&] { return std::string(kFormatText("not in the system's printer INF. Key=[%s]", strKey.c_str())); });
}

// ---- Core drivers ---------------------------------------------------------------

namespace {

const char kSystemPrinterInf[] = "ntprint.inf";

bool endsWithNoCase(const std::string& strText, const char* pszEnd) {
  const std::string strEnd = pszEnd;
  return strText.size() >= strEnd.size() && kIEquals(strText.substr(strText.size() - strEnd.size()), strEnd);
}

// Items of a CoreDriverSections field ("{guid},UNIDRV.OEM,UNIDRV_DATA"): the
// section names after the group's identifier.
void appendSectionItems(const std::string& strField, std::vector<std::string>& lstOut) {
  size_t begin = 0;
  while (begin <= strField.size()) {
    size_t end = strField.find(',', begin);
    if (end == std::string::npos) end = strField.size();
    std::string strItem = strField.substr(begin, end - begin);
    const size_t first = strItem.find_first_not_of(" \t\"");
    const size_t last = strItem.find_last_not_of(" \t\"");
    strItem = first == std::string::npos ? std::string() : strItem.substr(first, last - first + 1);
    if (!strItem.empty() && strItem[0] != '{') {
      bool bSeen = false;
      for (const std::string& s : lstOut) bSeen = bSeen || kIEquals(s, strItem);
      if (!bSeen) lstOut.push_back(strItem);
    }
    begin = end + 1;
  }
}

}  // namespace

std::string CInfFile::kSystemPrinterInfPath() {
  char szWindows[MAX_PATH] = {};
  const UINT uLength = GetWindowsDirectoryA(szWindows, MAX_PATH);
  if (uLength == 0 || uLength >= MAX_PATH) return std::string();
  std::string strPath = szWindows;
  if (!strPath.empty() && strPath.back() != '\\') strPath += '\\';
  return strPath + "INF\\" + kSystemPrinterInf;
}

BOOL CInfFile::kOpenSystemInf() {
  if (m_bSystemInfTried) return m_hSystemInf != INVALID_HANDLE_VALUE ? TRUE : FALSE;
  m_bSystemInfTried = TRUE;
  const std::string strPath = kSystemPrinterInfPath();
  if (strPath.empty() || GetFileAttributesA(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return logFalse("kOpenSystemInf", 1, kFormatText("no system printer INF. strPath=[%s]", strPath.c_str()));
  }
  UINT uErrorLine = 0;
  m_hSystemInf = m_pInfSetupApi->kSetupOpenInfFile(strPath.c_str(), nullptr, INF_STYLE_WIN4, &uErrorLine);
  if (m_hSystemInf == INVALID_HANDLE_VALUE) {
    return logFalse("kOpenSystemInf", 2, kFormatText("SetupOpenInfFile fail. ErrorLine=[%u] strPath=[%s]", uErrorLine, strPath.c_str()));
  }
  return logTrue("kOpenSystemInf", 3, [&] { return std::string(kFormatText("strPath=[%s]", strPath.c_str())); });
}

BOOL CInfFile::kHasSystemPrinterInf() { return kOpenSystemInf(); }

BOOL CInfFile::kHoldsSection(HINF hInf, const std::string& strSection) {
  if (hInf == INVALID_HANDLE_VALUE || strSection.empty()) return FALSE;
  INFCONTEXT context = {};
  return m_pInfSetupApi->kSetupFindFirstLine(hInf, strSection.c_str(), nullptr, &context) ? TRUE : FALSE;
}

std::string CInfFile::kSystemValue(const std::string& strSection, const std::string& strKey, DWORD dwIndex) {
  std::string strOut;
  if (!kOpenSystemInf()) return strOut;
  // The readers work on m_hInf: it names the system's INF for this one read.
  struct CSwap {
    HINF& hA;
    HINF& hB;
    CSwap(HINF& a, HINF& b) : hA(a), hB(b) { std::swap(hA, hB); }
    ~CSwap() { std::swap(hA, hB); }
  } swap(m_hInf, m_hSystemInf);
  const BOOL bRead = dwIndex == 0 ? kGetLineText(strSection, strKey, strOut)
                                  : kGetLineStringField(strSection, strKey, dwIndex, strOut);
  if (!bRead) strOut.clear();
  return strOut;
}

BOOL CInfFile::kGetPlatformSourceFolder(const std::string& strFile, const std::string& strPlatform,
                                        std::string& strOut) {
  strOut.clear();
  if (!kIsOpen() || strFile.empty()) return FALSE;
  const char* pszArch = kIEquals(strPlatform, "NTamd64") ? "amd64" : kIEquals(strPlatform, "NTia64") ? "ia64" : "x86";
  const std::string strFilesDecorated = std::string("SourceDisksFiles.") + pszArch;
  const std::string strNamesDecorated = std::string("SourceDisksNames.") + pszArch;
  bool bDecorated = false;
  std::string strDisk;
  std::string strSubDir;
  if (kHoldsLine(strFilesDecorated, strFile)) {
    bDecorated = true;
    kGetLineStringField(strFilesDecorated, strFile, 1, strDisk);
    kGetLineStringField(strFilesDecorated, strFile, 2, strSubDir);
  } else if (kHoldsLine("SourceDisksFiles", strFile)) {
    kGetLineStringField("SourceDisksFiles", strFile, 1, strDisk);
    kGetLineStringField("SourceDisksFiles", strFile, 2, strSubDir);
  } else {
    return FALSE;
  }
  std::string strDiskPath;
  if (!strDisk.empty() && kHoldsLine(strNamesDecorated, strDisk)) {
    bDecorated = true;
    kGetLineStringField(strNamesDecorated, strDisk, 4, strDiskPath);
  } else if (!strDisk.empty()) {
    kGetLineStringField("SourceDisksNames", strDisk, 4, strDiskPath);
  }
  if (!bDecorated) return FALSE;
  const auto trimSlashes = [](std::string text) {
    while (!text.empty() && (text.front() == '\\' || text.front() == '/')) text.erase(0, 1);
    while (!text.empty() && (text.back() == '\\' || text.back() == '/')) text.pop_back();
    return text;
  };
  strDiskPath = trimSlashes(strDiskPath);
  strSubDir = trimSlashes(strSubDir);
  strOut = strDiskPath;
  if (!strSubDir.empty()) strOut += (strOut.empty() ? "" : "\\") + strSubDir;
  // The folder stays inside the package.
  if (strOut.find("..") != std::string::npos || strOut.find(':') != std::string::npos) {
    strOut.clear();
    return FALSE;
  }
  return logTrue("kGetPlatformSourceFolder", 1, [&] { return std::string(kFormatText("File=[%s] Platform=[%s] Folder=[%s]", strFile.c_str(), strPlatform.c_str(), strOut.c_str())); });
}

BOOL CInfFile::kHoldsLine(const std::string& strSection, const std::string& strKey) {
  INFCONTEXT context = {};
  return kIsOpen() && m_pInfSetupApi->kSetupFindFirstLine(m_hInf, strSection.c_str(), strKey.c_str(), &context) ? TRUE : FALSE;
}

BOOL CInfFile::kUsesCoreDriver(const std::string& strInstallSection) {
  if (!kIsOpen()) return FALSE;
  const auto it = m_mapCoreDriver.find(strInstallSection);
  if (it != m_mapCoreDriver.end()) return it->second;
  BOOL bCore = FALSE;
  std::string strValue;
  for (DWORD dwIndex = 1; !bCore; ++dwIndex) {
    if (!kGetLineStringField(strInstallSection, "Include", dwIndex, strValue) || strValue.empty()) break;
    bCore = kIEquals(strValue, kSystemPrinterInf) ? TRUE : FALSE;
  }
  if (!bCore && kGetLineText(strInstallSection, "Needs", strValue) && !strValue.empty()) bCore = TRUE;
  if (!bCore && kGetLineText(strInstallSection, "CoreDriverSections", strValue) && !strValue.empty()) bCore = TRUE;
  if (!bCore && kGetLineText(strInstallSection, "DataSection", strValue) && !strValue.empty() &&
      !kHoldsSection(m_hInf, strValue)) {
    bCore = TRUE;
  }
  m_mapCoreDriver[strInstallSection] = bCore;
  return bCore;
}

CInfFile::CCoreSections CInfFile::kGetCoreSections(const std::string& strInstallSection) {
  CCoreSections sections;
  if (!kUsesCoreDriver(strInstallSection)) return sections;
  std::string strValue;
  if (kGetLineText(strInstallSection, "Needs", strValue)) appendSectionItems(strValue, sections.lstNeeded);
  for (DWORD dwIndex = 1;; ++dwIndex) {
    if (!kGetLineStringField(strInstallSection, "CoreDriverSections", dwIndex, strValue) || strValue.empty()) break;
    appendSectionItems(strValue, sections.lstNeeded);
  }
  const auto addData = [&](const std::string& strSection) {
    if (strSection.empty() || !kHoldsSection(m_hSystemInf, strSection)) return;
    for (const std::string& s : sections.lstData)
      if (kIEquals(s, strSection)) return;
    sections.lstData.push_back(strSection);
  };
  if (!kOpenSystemInf()) return sections;
  if (kGetLineText(strInstallSection, "DataSection", strValue)) addData(strValue);
  // A needed section of data ("UNIDRV_DATA"), then the data section that
  // belongs to a needed core ("UNIDRV.OEM" gives "UNIDRV_DATA").
  for (const std::string& strNeeded : sections.lstNeeded) {
    if (endsWithNoCase(strNeeded, "_DATA")) addData(strNeeded);
  }
  for (const std::string& strNeeded : sections.lstNeeded) {
    if (endsWithNoCase(strNeeded, ".OEM")) addData(strNeeded.substr(0, strNeeded.size() - 4) + "_DATA");
  }
  // A core's data section alone brings the core's files too ("UNIDRV_DATA"
  // needs "UNIDRV.OEM"): its driver cannot run without its resources.
  for (const std::string& strData : sections.lstData) {
    if (!endsWithNoCase(strData, "_DATA")) continue;
    const std::string strCore = strData.substr(0, strData.size() - 5) + ".OEM";
    bool bListed = false;
    for (const std::string& s : sections.lstNeeded) bListed = bListed || kIEquals(s, strCore);
    if (!bListed && kHoldsSection(m_hSystemInf, strCore)) sections.lstNeeded.push_back(strCore);
  }
  return sections;
}

std::vector<std::string> CInfFile::kEnumCoreFiles(const std::string& strInstallSection) {
  std::vector<std::string> lstFiles;
  const CCoreSections sections = kGetCoreSections(strInstallSection);
  if (sections.lstNeeded.empty() && sections.lstData.empty()) return lstFiles;
  if (!kOpenSystemInf()) return lstFiles;
  const auto add = [&](const std::string& strFile) {
    if (strFile.empty() || !isPlainFileName(strFile)) return;
    for (const std::string& s : lstFiles)
      if (kIEquals(s, strFile)) return;
    lstFiles.push_back(strFile);
  };
  for (const std::string& strData : sections.lstData) {
    for (const char* pszKey : {"DriverFile", "ConfigFile", "HelpFile"}) add(kSystemValue(strData, pszKey, 0));
  }
  // The copy lists of the needed sections, read on the system's INF.
  struct CSwap {
    HINF& hA;
    HINF& hB;
    CSwap(HINF& a, HINF& b) : hA(a), hB(b) { std::swap(hA, hB); }
    ~CSwap() { std::swap(hA, hB); }
  } swap(m_hInf, m_hSystemInf);
  for (const std::string& strNeeded : sections.lstNeeded) {
    for (DWORD dwIndex = 1; dwIndex < 64; ++dwIndex) {
      std::string strField;
      if (!kGetLineStringField(strNeeded, "CopyFiles", dwIndex, strField) || strField.empty()) break;
      if (strField[0] == '@') {
        add(strField.substr(1));
        continue;
      }
      INFCONTEXT context = {};
      if (!m_pInfSetupApi->kSetupFindFirstLine(m_hInf, strField.c_str(), nullptr, &context)) continue;
      int nLines = 0;
      do {
        std::string strFile;
        if (!kGetLineStringField(&context, 0, strFile)) break;
        if (strFile.empty() && !kGetLineStringField(&context, 1, strFile)) break;
        if (strFile.empty()) break;
        add(strFile);
      } while (++nLines < 4096 && m_pInfSetupApi->kSetupFindNextLine(&context, &context));
    }
  }
  return lstFiles;
}

BOOL CInfFile::kGetManufacturerNameSection(std::vector<std::string>& lstSections) {
  lstSections.clear();
  INFCONTEXT context = {};
  if (!kIsOpen() || !m_pInfSetupApi->kSetupFindFirstLine(m_hInf, kManufacturer, nullptr, &context)) {
    return logFalse("kGetManufacturerNameSection", 1, "no Manufacturer section.");
  }
  do {
    std::string strSection;
    std::string strDecoration;
    if (!kGetLineStringField(&context, 1, strSection)) return logFalse("kGetManufacturerNameSection", 2, "");
    if (strSection.empty()) break;
    if (!kGetLineStringField(&context, 2, strDecoration)) return logFalse("kGetManufacturerNameSection", 3, "");
    if (strDecoration.empty()) {
      lstSections.push_back(strSection);
    } else {
      if (!kCheckPlatform(strDecoration)) {
        return logFalse("kGetManufacturerNameSection", 4,
                        kFormatText("kCheckPlatform fail. Decoration=[%s]", strDecoration.c_str()));
      }
      lstSections.push_back(strSection + "." + strDecoration);
    }
  } while (m_pInfSetupApi->kSetupFindNextLine(&context, &context));
  return logTrue("kGetManufacturerNameSection", 5, [&] { return std::string(kFormatText("count=[%u]", static_cast<unsigned>(lstSections.size()))); });
}

BOOL CInfFile::kCheckPlatform(std::string& strPlatform) {
  static const char* const kPlatforms[] = {"NTx86", "NTamd64", "NTia64"};
  for (const char* pszPlatform : kPlatforms) {
    if (kIEquals(strPlatform, pszPlatform)) {
      strPlatform = pszPlatform;
      return TRUE;
    }
  }
  return FALSE;
}

BOOL CInfFile::kGetPlatform(std::string& strOut) {
  strOut.clear();
  if (!kIsOpen()) return logFalse("kGetPlatform", 1, "INF is not open.");
  INFCONTEXT context = {};
  if (!m_pInfSetupApi->kSetupFindFirstLine(m_hInf, kManufacturer, nullptr, &context)) {
    return logFalse("kGetPlatform", 6, "no Manufacturer line.");
  }
  std::string strManufacturer;
  std::string strSection;
  std::string strDecoration;
  if (!kGetLineStringField(&context, 0, strManufacturer)) return logFalse("kGetPlatform", 3, "field 0");
  if (!kGetLineStringField(&context, 1, strSection)) return logFalse("kGetPlatform", 4, "field 1");
  if (!kGetLineStringField(&context, 2, strDecoration)) return logFalse("kGetPlatform", 5, "field 2");
  if (strDecoration.empty()) {
    strOut = "NTx86";
    return logTrue("kGetPlatform", 8, [&] { return std::string("no decoration. NTx86"); });
  }
  if (!kCheckPlatform(strDecoration)) {
    return logFalse("kGetPlatform", 9, kFormatText("not platform-name. [%s]", strDecoration.c_str()));
  }
  strOut = strDecoration;
  return logTrue("kGetPlatform", 7, [&] { return std::string(strOut); });
}

BOOL CInfFile::kEnumDeviceDescriptions(const std::vector<std::string>& lstSections,
                                       std::vector<std::string>& lstDescriptions) {
  if (!kIsOpen()) return logFalse("kEnumDeviceDescriptions", 1, "INF is not open.");
  for (const std::string& strSection : lstSections) {
    INFCONTEXT context = {};
    if (!m_pInfSetupApi->kSetupFindFirstLine(m_hInf, strSection.c_str(), nullptr, &context)) {
      return logFalse("kEnumDeviceDescriptions", 2, kFormatText("no model section [%s]", strSection.c_str()));
    }
    do {
      std::string strDescription;
      if (!kGetLineStringField(&context, 0, strDescription)) {
        return logFalse("kEnumDeviceDescriptions", 3, kFormatText("Section=[%s]", strSection.c_str()));
      }
      if (strDescription.empty()) break;
      lstDescriptions.push_back(strDescription);
    } while (m_pInfSetupApi->kSetupFindNextLine(&context, &context));
  }
  return logTrue("kEnumDeviceDescriptions", 4, [&] { return std::string(kFormatText("count=[%u]", static_cast<unsigned>(lstDescriptions.size()))); });
}

BOOL CInfFile::kGetDeviceDescriptionField(const std::string& strDescription, DWORD dwIndex, std::string& strOut) {
  strOut.clear();
  // Three reads per model would read [Manufacturer] again each time: its
  // sections are kept from the first successful reading of this INF, unless
  // level-1 lines are written, which show every reading.
  if (!m_bModelSectionsKnown || infoLinesOn()) {
    if (!kGetManufacturerNameSection(m_lstModelSections)) return logFalse("kGetDeviceDescriptionField", 1, "");
    m_bModelSectionsKnown = TRUE;
  }
  const std::vector<std::string>& lstSections = m_lstModelSections;
  if (lstSections.empty()) return logFalse("kGetDeviceDescriptionField", 2, "no model section.");
  for (const std::string& strSection : lstSections) {
    std::string strValue;
    if (!kGetLineStringField(strSection, strDescription, dwIndex, strValue)) {
      return logFalse("kGetDeviceDescriptionField", 3,
                      kFormatText("Section=[%s] Description=[%s]", strSection.c_str(), strDescription.c_str()));
    }
    if (!strValue.empty()) {
      strOut = strValue;
      return logTrue("kGetDeviceDescriptionField", 4, [&] { return std::string(kFormatText("Description=[%s] Index=[%u] Value=[%s]", strDescription.c_str(), dwIndex,
                            strOut.c_str())); });
    }
  }
  return logTrue("kGetDeviceDescriptionField", 5, [&] { return std::string(kFormatText("no value. Description=[%s] Index=[%u]", strDescription.c_str(), dwIndex)); });
}

BOOL CInfFile::kGetInstallSectionName(const std::string& strDescription, std::string& strOut) {
  return kGetDeviceDescriptionField(strDescription, 1, strOut);
}
BOOL CInfFile::kGetHardwareID(const std::string& strDescription, std::string& strOut) {
  return kGetDeviceDescriptionField(strDescription, 2, strOut);
}
BOOL CInfFile::kGetCompatibleID(const std::string& strDescription, std::string& strOut) {
  return kGetDeviceDescriptionField(strDescription, 3, strOut);
}

BOOL CInfFile::kGetOEMUrl(std::string& strUrl, std::string& strManufacturer) {
  strUrl.clear();
  strManufacturer.clear();
  if (!kIsOpen()) return logFalse("kGetOEMUrl", 5, "INF is not open.");
  INFCONTEXT context = {};
  if (!m_pInfSetupApi->kSetupFindFirstLine(m_hInf, "OEM URLS", nullptr, &context)) {
    return logTrue("kGetOEMUrl", 1, [&] { return std::string("no OEM URLS."); });
  }
  if (!kGetLineStringField(&context, 0, strManufacturer)) return logFalse("kGetOEMUrl", 2, "field 0");
  if (!kGetLineStringField(&context, 1, strUrl)) return logFalse("kGetOEMUrl", 3, "field 1");
  return logTrue("kGetOEMUrl", 4, [&] { return std::string(kFormatText("Manufacturer=[%s] Url=[%s]", strManufacturer.c_str(), strUrl.c_str())); });
}

BOOL CInfFile::kGetDiskName(const std::string& strFile, UINT& uSourceId, std::string& strDiskName) {
  uSourceId = 0;
  strDiskName.clear();
  DWORD dwSize = 0;
  if (!kIsOpen() ||
      !m_pInfSetupApi->kSetupGetSourceFileLocation(m_hInf, nullptr, strFile.c_str(), &uSourceId, nullptr, 0,
                                                   &dwSize)) {
    return logFalse("kGetDiskName", 1, kFormatText("SetupGetSourceFileLocation fail. File=[%s]", strFile.c_str()));
  }
  dwSize = 0;
  bool bRead = m_pInfSetupApi->kSetupGetSourceInfo(m_hInf, uSourceId, SRCINFO_DESCRIPTION, nullptr, 0, &dwSize);
  if (bRead && dwSize > 1) {
    std::vector<char> buffer(dwSize, '\0');
    bRead = m_pInfSetupApi->kSetupGetSourceInfo(m_hInf, uSourceId, SRCINFO_DESCRIPTION, buffer.data(), dwSize,
                                                &dwSize);
    if (bRead) strDiskName.assign(buffer.data());
  }
  if (!bRead) {
    return logFalse("kGetDiskName", 2, kFormatText("SetupGetSourceInfo fail. File=[%s] SourceId=[%u]", strFile.c_str(),
                                              uSourceId));
  }
  return logTrue("kGetDiskName", 3, [&] { return std::string(kFormatText("File=[%s] SourceId=[%u] DiskName=[%s]", strFile.c_str(), uSourceId, strDiskName.c_str())); });
}

BOOL CInfFile::kGetTargetDir(const std::string& strSection, std::string& strOut) {
  strOut.clear();
  if (!kIsOpen()) return logFalse("kGetTargetDir", 1, "INF is not open.");
  char szPath[MAX_PATH] = {};
  DWORD dwSize = 0;
  const BOOL bResult = m_pInfSetupApi->kSetupGetTargetPath(m_hInf, nullptr, strSection.c_str(), szPath, MAX_PATH,
                                                           &dwSize);
  std::string strPath = bResult ? kToUpper(szPath) : std::string();
  // Printer directory ids are defined only while the printer class installer
  // runs; where the Setup API cannot answer, the INF's own entry decides.
  if (!bResult || dwSize <= 1 || strPath.find("UNKNOWN") != std::string::npos) {
    if (!kSetupGetTargetPath(strPath, strSection)) {
      return logFalse("kGetTargetDir", 2, kFormatText("kSetupGetTargetPath fail. Section=[%s]", strSection.c_str()));
    }
    if (strPath.empty()) return logTrue("kGetTargetDir", 3, [&] { return std::string(kFormatText("empty. Section=[%s]", strSection.c_str())); });
  }
  strPath = kToUpper(strPath);
  if (strPath.find("UNKNOWN") != std::string::npos) {
    return logTrue("kGetTargetDir", 4, [&] { return std::string(kFormatText("UNKNOWN. Section=[%s]", strSection.c_str())); });
  }
  if (strPath.size() > 1 && strPath.back() == '\\') strPath.pop_back();
  strOut = strPath;
  return logTrue("kGetTargetDir", 5, [&] { return std::string(kFormatText("Section=[%s] Dir=[%s]", strSection.c_str(), strOut.c_str())); });
}

BOOL CInfFile::kSetupGetTargetPath(std::string& strOut, const std::string& strSection) {
  strOut.clear();
  std::string strTarget;
  if (!kGetLineText(kDestinationDirs, strSection, strTarget)) return logFalse("kSetupGetTargetPath", 1, strSection);
  if (strTarget.empty() && !kGetLineText(kDestinationDirs, kDefaultDestDir, strTarget)) {
    return logFalse("kSetupGetTargetPath", 2, kDefaultDestDir);
  }

  char szDir[MAX_PATH] = {};
  DWORD dwNeeded = 0;
  if (kIEquals(strTarget, "66001")) {
    if (!GetPrintProcessorDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(szDir), MAX_PATH, &dwNeeded)) {
      return logFalse("kSetupGetTargetPath", 3, "GetPrintProcessorDirectory fail.");
    }
    strOut = szDir;
  } else if (kIEquals(strTarget, "66002")) {
    if (!CCommonFunction::kStdAfxGetSystemDirectory(strOut)) {
      return logFalse("kSetupGetTargetPath", 4, "GetSystemDirectory fail.");
    }
  } else if (kIEquals(strTarget, "66003") || kIEquals(strTarget, "23")) {
    if (!kSetupGetColorDirectry(strOut)) return logFalse("kSetupGetTargetPath", 10, "kSetupGetColorDirectry fail.");
  } else if (strTarget.size() >= 5) {
    // The printer driver folder of the environment the INF is written for.
    std::string strSignature;
    if (!kGetOSKind(strSignature)) return logFalse("kSetupGetTargetPath", 6, "Signature");
    const DWORD dwVersion = kIEquals(strSignature, "$Windows 95$") || kIEquals(strSignature, "$CHICAGO$") ? 0 : 3;
    std::string strPlatform;
    if (!kGetPlatform(strPlatform)) return logFalse("kSetupGetTargetPath", 7, "kGetPlatform fail.");
    std::string strEnvironment = CEnvironment::kConvPlatformToEnv(strPlatform, dwVersion);
    if (strEnvironment.empty()) {
      return logFalse("kSetupGetTargetPath", 8, kFormatText("no environment for [%s]", strPlatform.c_str()));
    }
    if (!GetPrinterDriverDirectoryA(nullptr, strEnvironment.data(), 1, reinterpret_cast<LPBYTE>(szDir), MAX_PATH,
                                    &dwNeeded)) {
      return logFalse("kSetupGetTargetPath", 9,
                      kFormatText("GetPrinterDriverDirectory fail. Environment=[%s]", strEnvironment.c_str()));
    }
    strOut = szDir;
  } else {
    return logFalse("kSetupGetTargetPath", 5, kFormatText("pstrTarget less than 5. [%s]", strTarget.c_str()));
  }
  return logTrue("kSetupGetTargetPath", 11, [&] { return std::string(kFormatText("Section=[%s] Target=[%s] Dir=[%s]", strSection.c_str(), strTarget.c_str(), strOut.c_str())); });
}

BOOL CInfFile::kSetupGetColorDirectry(std::string& strOut) {
  strOut.clear();
  // Every system the program runs on (Windows 2000 and later) keeps its
  // profiles where mscms says; Windows 7 and later are answered the same way
  // as Vista, so that a colour profile never lands in an empty folder name.
  if (!CEnvironment::kIsWin2k()) return logTrue("kSetupGetColorDirectry", 5, [&] { return std::string("not NT 5 or later."); });
  CModuleOwner mscms(LoadLibraryA("mscms.dll"));
  if (!mscms.kGet()) return logFalse("kSetupGetColorDirectry", 1, "LoadLibrary(mscms.dll) fail.");
  using PFN_GetColorDirectory = BOOL(WINAPI*)(PCSTR, PSTR, PDWORD);
  const FARPROC proc = GetProcAddress(mscms.kGet(), "GetColorDirectoryA");
  if (!proc) return logFalse("kSetupGetColorDirectry", 2, "GetProcAddress(GetColorDirectoryA) fail.");
  const auto pfnGetColorDirectory = reinterpret_cast<PFN_GetColorDirectory>(reinterpret_cast<void (*)()>(proc));
  char szDir[MAX_PATH] = {};
  DWORD dwSize = MAX_PATH;
  if (!pfnGetColorDirectory(nullptr, szDir, &dwSize)) return logFalse("kSetupGetColorDirectry", 3, "GetColorDirectory fail.");
  strOut = szDir;
  return logTrue("kSetupGetColorDirectry", 4, [&] { return std::string(strOut); });
}

BOOL CInfFile::kEnumDestinationDirs(std::vector<std::string>& lstDirs) {
  lstDirs.clear();
  if (!kIsOpen()) return logFalse("kEnumDestinationDirs", 1, "INF is not open.");
  INFCONTEXT context = {};
  if (!m_pInfSetupApi->kSetupFindFirstLine(m_hInf, kDestinationDirs, nullptr, &context)) {
    if (GetLastError() == ERROR_LINE_NOT_FOUND) return logTrue("kEnumDestinationDirs", 8, [&] { return std::string("no DestinationDirs."); });
    return logFalse("kEnumDestinationDirs", 2, "SetupFindFirstLine fail.");
  }
  do {
    std::string strKey;
    if (!kGetLineStringField(&context, 0, strKey)) return logFalse("kEnumDestinationDirs", 3, "field 0");
    if (strKey.empty() && !kGetLineStringField(&context, 1, strKey)) {
      return logFalse("kEnumDestinationDirs", 4, "field 1");
    }
    if (strKey.empty()) break;
    std::string strStatement;
    std::string strDir;
    if (!kGetLineText(kDestinationDirs, strKey, strStatement)) {
      return logFalse("kEnumDestinationDirs", 5, kFormatText("Key=[%s]", strKey.c_str()));
    }
    if (!kGetTargetDir(strKey, strDir)) return logFalse("kEnumDestinationDirs", 6, kFormatText("Key=[%s]", strKey.c_str()));
    if (strStatement.find(',') != std::string::npos) {
      kDriverInfoLog().kWriteLogLevel1("  Statement is unsupported.\n");
      kDriverInfoLog().kWriteLogLevel1("  Statement=%s\n", strStatement.c_str());
    }
    lstDirs.push_back(strStatement + "," + strDir);
  } while (m_pInfSetupApi->kSetupFindNextLine(&context, &context));
  return logTrue("kEnumDestinationDirs", 7, [&] { return std::string(kFormatText("count=[%u]", static_cast<unsigned>(lstDirs.size()))); });
}

BOOL CInfFile::kAddDestinationDirsList(const std::string& strInfPath, DWORD dwVersion) {
  std::vector<std::string> lstDirs;
  if (!kEnumDestinationDirs(lstDirs)) {
    return logFalse("kAddDestinationDirsList", 1, kFormatText("strInfPath=[%s] dwVersion=[%u]", strInfPath.c_str(), dwVersion));
  }
  if (lstDirs.empty()) {
    // An INF without [DestinationDirs] copies into the system folder and the
    // driver folder of the running system.
    std::string strSystem;
    if (!CCommonFunction::kStdAfxGetSystemDirectory(strSystem)) {
      return logFalse("kAddDestinationDirsList", 2, "GetSystemDirectory fail.");
    }
    std::string strDriverDir;
    if (!CSpoolerFunction().kGetDriverDirectory(strDriverDir)) {
      return logFalse("kAddDestinationDirsList", 3, "GetPrinterDriverDirectory fail.");
    }
    m_mapDestinationDirs["11"] = strSystem;
    m_mapDestinationDirs["66000"] = strDriverDir;
    return logTrue("kAddDestinationDirsList", 4, [&] { return std::string("defaults 11 and 66000."); });
  }
  for (const std::string& strEntry : lstDirs) {
    const size_t comma = strEntry.rfind(',');
    m_mapDestinationDirs[strEntry.substr(0, comma)] = strEntry.substr(comma + 1);
  }
  return logTrue("kAddDestinationDirsList", 5, [&] { return std::string(kFormatText("count=[%u]", static_cast<unsigned>(lstDirs.size()))); });
}

BOOL CInfFile::kEnumCopyFilesDirNo(const std::string& strInstallSection, std::vector<std::string>& lstFiles,
                                   std::vector<std::string>& lstCopyFlags) {
  // Both lists are emptied, so that entry n of one always belongs to entry n
  // of the other.
  lstFiles.clear();
  lstCopyFlags.clear();
  // The section whose CopyFiles key is read: the install section, or its
  // ".NT" form when only that one has the key. Later lists are read from the
  // same section as the first, so that no list of a ".NT" key is dropped.
  std::string strCopySection = strInstallSection;
  for (DWORD dwIndex = 1;; ++dwIndex) {
    std::string strField;
    if (!kGetLineStringField(strCopySection, "CopyFiles", dwIndex, strField)) {
      return logFalse("kEnumCopyFilesDirNo", 1, kFormatText("Section=[%s] Index=[%u]", strCopySection.c_str(), dwIndex));
    }
    if (strField.empty() && dwIndex == 1) {
      strCopySection = strInstallSection + ".NT";
      if (!kGetLineStringField(strCopySection, "CopyFiles", 1, strField) || strField.empty()) {
        return logFalse("kEnumCopyFilesDirNo", 2, kFormatText("no CopyFiles. Section=[%s]", strInstallSection.c_str()));
      }
    }
    if (strField.empty()) break;

    if (strField[0] == '@') {
      const std::string strFile = strField.substr(1);
      std::string strDirId;
      if (!kGetLineText(kDestinationDirs, kDefaultDestDir, strDirId)) {
        return logFalse("kEnumCopyFilesDirNo", 3, kDefaultDestDir);
      }
      if (strDirId.empty()) return logFalse("kEnumCopyFilesDirNo", 4, "detect not 9x or NT OS");
      if (!isPlainFileName(strFile)) {
        return logFalse("kEnumCopyFilesDirNo", 11, kFormatText("file name carries a path. [%s]", strFile.c_str()));
      }
      lstFiles.push_back(strDirId + "\\" + strFile);
      lstCopyFlags.emplace_back();
      continue;
    }

    INFCONTEXT context = {};
    if (!m_pInfSetupApi->kSetupFindFirstLine(m_hInf, strField.c_str(), nullptr, &context)) {
      if (GetLastError() == ERROR_LINE_NOT_FOUND) {
        kDriverInfoLog().kWriteLogLevel1("CInfFile::kEnumCopyFilesDirNo() copy section [%s] not found, skipped.\n",
                                         strField.c_str());
        continue;
      }
      return logFalse("kEnumCopyFilesDirNo", 5, kFormatText("Section=[%s]", strField.c_str()));
    }
    std::string strDirId;
    if (!kGetLineText(kDestinationDirs, strField, strDirId)) return logFalse("kEnumCopyFilesDirNo", 6, strField);
    if (strDirId.empty() && !kGetLineText(kDestinationDirs, kDefaultDestDir, strDirId)) {
      return logFalse("kEnumCopyFilesDirNo", 7, kDefaultDestDir);
    }
    if (strDirId.empty()) return logFalse("kEnumCopyFilesDirNo", 8, "detect not 9x or NT OS");
    do {
      std::string strFile;
      if (!kGetLineStringField(&context, 0, strFile)) return logFalse("kEnumCopyFilesDirNo", 9, strField);
      if (strFile.empty() && !kGetLineStringField(&context, 1, strFile)) {
        return logFalse("kEnumCopyFilesDirNo", 10, strField);
      }
      if (strFile.empty()) break;
      if (!isPlainFileName(strFile)) {
        return logFalse("kEnumCopyFilesDirNo", 12,
                        kFormatText("file name carries a path. Section=[%s] File=[%s]", strField.c_str(), strFile.c_str()));
      }
      std::string strFlags;
      if (!kGetLineStringField(&context, 4, strFlags)) return logFalse("kEnumCopyFilesDirNo", 13, strField);
      lstFiles.push_back(strDirId + "\\" + strFile);
      lstCopyFlags.push_back(strFlags);
    } while (m_pInfSetupApi->kSetupFindNextLine(&context, &context));
  }
  return logTrue("kEnumCopyFilesDirNo", 14, [&] { return std::string(kFormatText("Section=[%s] count=[%u]", strInstallSection.c_str(),
                                                   static_cast<unsigned>(lstFiles.size()))); });
}

BOOL CInfFile::kGetModelName(std::string& strOut, const std::string& strDriverName, const std::string& strDscFile) {
  if (strDscFile.empty()) return logTrue("kGetModelName", 1, [&] { return std::string("no description file."); });
  std::string strValue = readProfileString(strDscFile, kDrvInst, "ModelName." + strDriverName);
  if (strValue.empty()) strValue = readProfileString(strDscFile, kDrvInst, "ModelName");
  if (!strValue.empty()) strOut = strValue;
  return logTrue("kGetModelName", 2, [&] { return std::string(kFormatText("DriverName=[%s] ModelName=[%s]", strDriverName.c_str(), strOut.c_str())); });
}
