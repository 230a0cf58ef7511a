// The candidate driver list: one record for every model line of every
// printer INF of a package, with its files, folders, version and options.
//
// The build stops at the first INF that breaks a rule, with a numbered
// failure and two error texts (the INF's path and the key or rule), so that a
// package installs only when every printer INF in it is well formed.
#include <cstdlib>
#include <utility>
#include <vector>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_info_log.h"
#include "driverinfo/vexo_error.h"
#include "system/common_function.h"
#include "system/spooler_infomation.h"
#include "system/text_utility.h"

namespace {

// Finds a file of the package from a folder: directly, in its compressed
// form, or in a sibling disk folder (DISK2 beside DISK1).
BOOL kSearchPackageFile(const std::string& strSearchPath, const std::string& strFile, std::string& strFound) {
  return CCommonFunction::kStdAfxSearchFile(strSearchPath.c_str(), strFile.c_str(), strFound, 1);
}

// ---- Helpers of the build -----------------------------------------------------

// Last-write time as seconds since 1970.
std::int64_t toUnixTime(const FILETIME& ft) {
  const std::uint64_t qw = (static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  constexpr std::uint64_t kEpochDifference = 116444736000000000ULL;  // 1601 to 1970 in 100 ns
  if (qw < kEpochDifference) return 0;
  return static_cast<std::int64_t>((qw - kEpochDifference) / 10000000ULL);
}

BOOL lastWriteTime(const std::string& strPath, std::int64_t& tmTime) {
  WIN32_FIND_DATAA data;
  HANDLE hFind = FindFirstFileA(strPath.c_str(), &data);
  if (hFind == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(hFind);
  tmTime = toUnixTime(data.ftLastWriteTime);
  return TRUE;
}

// The folder of a path, without the trailing backslash (a root keeps it).
std::string folderOf(const std::string& strPath) {
  const size_t slash = strPath.find_last_of('\\');
  if (slash == std::string::npos) return std::string();
  if (slash == 2 && strPath[1] == ':') return strPath.substr(0, 3);
  return strPath.substr(0, slash);
}

std::string trimLeft(const std::string& str) {
  const size_t first = str.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : str.substr(first);
}

// Whether a comma-terminated list ("a,b,") holds the item, ignoring case.
// Whole items are compared: a name must not count as present because a
// longer name contains it.
bool listHolds(const std::string& strList, const std::string& strItem) {
  size_t begin = 0;
  while (begin < strList.size()) {
    size_t end = strList.find(',', begin);
    if (end == std::string::npos) end = strList.size();
    if (kIEquals(strList.substr(begin, end - begin), strItem)) return true;
    begin = end + 1;
  }
  return false;
}

// Whether a maker's file list (CopyForceFiles, NoCheckFiles: names separated
// by ",:|^" or blanks) names the file, ignoring case.
bool namesFile(const std::string& strList, const std::string& strFile) {
  size_t begin = 0;
  while (begin <= strList.size()) {
    size_t end = CCandidateDriverInfomation::kFindListSeparator(strList, begin, ",:|^ \t");
    if (end == std::string::npos) end = strList.size();
    if (end > begin && kIEquals(strList.substr(begin, end - begin), strFile)) return true;
    begin = end + 1;
  }
  return false;
}

bool isCoreFile(const std::vector<std::string>& lstCoreFiles, const std::string& strFile) {
  for (const std::string& s : lstCoreFiles)
    if (kIEquals(s, strFile)) return true;
  return false;
}

}  // namespace

BOOL CCandidateDriverInfomation::kSearchPlatformFile(const std::string& strFolder, const std::string& strFile,
                                                     const std::string& strPlatform, std::string& strFound) {
  std::string strSub;
  if (!m_pDrvInfFile->kGetPlatformSourceFolder(strFile, strPlatform, strSub)) {
    return kSearchPackageFile(strFolder, strFile, strFound);
  }
  // The INF names the file's place for this platform: only that place counts,
  // never another platform's folder that happens to hold the same name.
  std::string strBase = m_pDrvInfFile->kGetFilePath();
  while (strBase.size() > 3 && strBase.back() == '\\') strBase.pop_back();
  const std::string strPlace = strSub.empty() ? strBase : strBase + "\\" + strSub;
  const std::string strPath = strPlace + "\\" + strFile;
  if (CCommonFunction::kStdAfxFileIsExisted(strPath.c_str())) {
    strFound = strPath;
    return TRUE;
  }
  const std::string strCompressed = CCommonFunction::kMakeCompressedName(strPath);
  if (CCommonFunction::kStdAfxFileIsExisted(strCompressed.c_str())) {
    strFound = strCompressed;
    return TRUE;
  }
  (void)strFolder;
  kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kSearchPlatformFile() return FALSE (1) not where the INF "
                             "names it for %s. [%s]\n",
                             strPlatform.c_str(), strPath.c_str());
  return FALSE;
}

DWORD CCandidateDriverInfomation::kCheckDriverImages(const CCandidateDriver& cde, const std::string& strDriverFound,
                                                     const std::vector<std::string>& lstCoreFiles,
                                                     const std::string& strPlatform) {
  const WORD wExpected = kMachineOfPlatform(strPlatform);
  if (wExpected == 0) return VEXOERR_SUCCESS;
  struct CRole {
    const std::string& strName;
    int nFailure;
    const char* pszKey;
  };
  const CRole roles[] = {{cde.strDriverFile.str(), 49, "DriverFile"}, {cde.strConfigFile.str(), 50, "ConfigFile"}};
  for (const CRole& role : roles) {
    std::string strFound;
    if (&role == &roles[0]) {
      strFound = strDriverFound;
    } else if (isCoreFile(lstCoreFiles, role.strName)) {
      strFound = kFindCoreFile(strPlatform, role.strName);
    } else {
      std::string strSearched;
      if (kSearchPlatformFile(cde.strDriverPath, role.strName, strPlatform, strSearched)) strFound = strSearched;
    }
    // A file that is not there is the copy's concern (a core file of another
    // platform's system, a configuration file the package lacks).
    if (strFound.empty()) continue;
    const std::string strWhat = kWhyNotDriverImage(strFound, strPlatform);
    if (strWhat.empty()) continue;
    const std::string strDetail = role.strName + " " + strWhat + " (" + strPlatform + " takes " +
                                  kMachineName(wExpected) + " DLLs) [" + strFound + "]";
    const std::string strText = std::string(role.pszKey) + " is not a DLL for " + kMachineName(wExpected);
    m_strFailureText = strText;
    return kFail(role.nFailure, m_strFailureText.c_str(), strDetail);
  }
  return VEXOERR_SUCCESS;
}

std::string CCandidateDriverInfomation::kWhyNotDriverImage(const std::string& strFound, const std::string& strPlatform) {
  const WORD wExpected = kMachineOfPlatform(strPlatform);
  CFileImage image;
  if (wExpected == 0 || !kGetFileImage(strFound, image) || !image.bRead) return std::string();
  if (!image.bPe) return "is not a DLL (not an executable image at all)";
  if (image.wMachine != wExpected) return "is a DLL for " + kMachineName(image.wMachine) + ", not for " + kMachineName(wExpected);
  if (!image.bDll) return "is a program, not a DLL";
  return std::string();
}

BOOL CCandidateDriverInfomation::kAddCoreFiles(const std::string& strInstallSection, const std::string& strPlatform,
                                               CCandidateDriver& cde) {
  const std::vector<std::string> lstCoreFiles = m_pDrvInfFile->kEnumCoreFiles(strInstallSection);
  if (lstCoreFiles.empty()) return TRUE;
  // Core files go to the printer driver folder of the INF's platform.
  std::string strTargetDir;
  {
    const char* pszEnvironment = kIEquals(strPlatform, "NTamd64") ? "Windows x64"
                                 : kIEquals(strPlatform, "NTia64") ? "Windows IA64"
                                                                   : "Windows NT x86";
    char szDir[MAX_PATH] = {};
    DWORD dwNeeded = 0;
    std::string strEnvironment = pszEnvironment;
    if (GetPrinterDriverDirectoryA(nullptr, strEnvironment.data(), 1, reinterpret_cast<LPBYTE>(szDir), MAX_PATH,
                                   &dwNeeded)) {
      strTargetDir = kToUpper(szDir);
    }
  }
  // The system's copy replaces a package file of the same name.
  CDriverFileList& files = *cde.pDriverFileList;
  std::string strDependentFiles;
  std::string strCopyFlags;
  std::vector<std::string> lstFlags;
  {
    // Keep the package's entries and flags that are not core files.
    std::vector<std::string> lstEntries;
    size_t begin = 0;
    const std::string strOldFlags = cde.strCopyFlags;
    size_t flagBegin = 0;
    const std::string strOld = cde.strDependentFiles;
    while (begin < strOld.size()) {
      size_t end = strOld.find(',', begin);
      if (end == std::string::npos) end = strOld.size();
      size_t flagEnd = strOldFlags.find(',', flagBegin);
      if (flagEnd == std::string::npos) flagEnd = strOldFlags.size();
      const std::string strEntry = strOld.substr(begin, end - begin);
      const std::string strFlag = flagBegin < strOldFlags.size() ? strOldFlags.substr(flagBegin, flagEnd - flagBegin) : "EMPTY";
      const size_t slash = strEntry.find_last_of('\\');
      const std::string strName = slash == std::string::npos ? strEntry : strEntry.substr(slash + 1);
      if (!isCoreFile(lstCoreFiles, strName)) {
        strDependentFiles += strEntry + ",";
        strCopyFlags += strFlag + ",";
      }
      begin = end + 1;
      flagBegin = flagEnd + 1;
    }
  }
  files.remove_if([&](const CDriverFile& f) { return !f.bColorProfile && isCoreFile(lstCoreFiles, f.strFileName); });
  for (const std::string& strFile : lstCoreFiles) {
    CDriverFile file;
    file.strFileName = strFile;
    file.strDirId = "66000";
    file.strTargetDir = strTargetDir;
    file.strDiskName = kCoreFileDisk;
    const std::string strFound = kFindCoreFile(strPlatform, strFile);
    if (!strFound.empty()) {
      file.bFound = TRUE;
      file.strSourceDir = folderOf(strFound);
      lastWriteTime(strFound, file.tmSourceFileTime);
    }
    file.bNoCheck = namesFile(cde.strNoCheckFiles, strFile) ? TRUE : FALSE;
    file.bCopyForce = namesFile(cde.strCopyForceFiles, strFile) ? TRUE : FALSE;
    file.strCopyFlags = "EMPTY";
    files.push_back(file);
    strDependentFiles += "66000\\" + strFile + ",";
    strCopyFlags += "EMPTY,";
  }
  cde.strDependentFiles = std::move(strDependentFiles);
  cde.strCopyFlags = std::move(strCopyFlags);
  kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::kAddCoreFiles() return TRUE (1) count=[%u] "
                                   "strDependentFiles=[%s]\n",
                                   static_cast<unsigned>(lstCoreFiles.size()), cde.strDependentFiles.c_str());
  return TRUE;
}

void CCandidateDriverInfomation::kCopyInstallValues(const CCandidateDriver& from, CCandidateDriver& to) {
  to.strDriverFile = from.strDriverFile;
  to.dwInfOSVersion = from.dwInfOSVersion;
  to.strConfigFile = from.strConfigFile;
  to.strDataFile = from.strDataFile;
  to.strHelpFile = from.strHelpFile;
  to.tmDriverFileTime = from.tmDriverFileTime;
  to.strDriverPath = from.strDriverPath;
  to.strUserModeDriver = from.strUserModeDriver;
  to.strPrintProcessor = from.strPrintProcessor;
  to.strPrintProcessorDLL = from.strPrintProcessorDLL;
  to.strDefaultDataType = from.strDefaultDataType;
  to.strDrvInstLanguageMonitor = from.strDrvInstLanguageMonitor;
  to.strLanguageMonitorName = from.strLanguageMonitorName;
  to.strLanguageMonitorDLL = from.strLanguageMonitorDLL;
  to.strIniFileDir = from.strIniFileDir;
  to.strIniFileSubDir = from.strIniFileSubDir;
  to.strIniFileName = from.strIniFileName;
  to.strProviderName = from.strProviderName;
  to.strOEMManufacturer = from.strOEMManufacturer;
  to.strOEMUrl = from.strOEMUrl;
  to.strDefaultDestDir = from.strDefaultDestDir;
  to.strDependentFiles = from.strDependentFiles;
  to.strCopyFlags = from.strCopyFlags;
  to.strColorProfiles = from.strColorProfiles;
  // The list is the section's: built once and read only afterwards, so the
  // models of the section share it (a package of many models on one install
  // section would otherwise hold one copy of every file record per model).
  to.pDriverFileList = from.pDriverFileList;
}

DWORD CCandidateDriverInfomation::kFail(int nFailure, const char* pszErrorText, const std::string& strDetail) {
  m_nFailure = nFailure;
  m_strErrorText2 = pszErrorText;
  m_strFailureDetail = strDetail;
  kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kMakeCandidateDriverList() return [%u] (%d) LastError=%u "
                             "strInfPath=[%s] %s\n",
                             static_cast<unsigned>(VEXOERR_READINFERR), nFailure, GetLastError(),
                             m_strErrorText1.c_str(), strDetail.c_str());
  return VEXOERR_READINFERR;
}

DWORD CCandidateDriverInfomation::kMakeCandidateDriverList(std::string strSearchPath, const std::string& strLangID,
                                                           BOOL bListedOnly) {
  m_lstCandidate.clear();
  // The package does not change while it is analysed: description-file
  // values are remembered for this build only.
  struct CDscMemory {
    CCandidateDriverInfomation& owner;
    explicit CDscMemory(CCandidateDriverInfomation& o) : owner(o) { owner.m_bDscMemoryOn = TRUE; }
    ~CDscMemory() {
      owner.m_bDscMemoryOn = FALSE;
      owner.m_mapDscMemory.clear();
    }
  } memory(*this);
  m_strErrorText1.clear();
  m_strErrorText2.clear();
  m_nFailure = 0;
  m_strFailureDetail.clear();
  m_lstSkippedInf.clear();

  // 1. The search path must be an existing folder.
  std::string strShortSearchPath;
  const DWORD dwAttributes = GetFileAttributesA(strSearchPath.c_str());
  if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      !CCommonFunction::kGetShortPathName(strSearchPath.c_str(), strShortSearchPath)) {
    m_nFailure = 1;
    m_strErrorText1 = strSearchPath;
    kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kMakeCandidateDriverList() return [%u] (1) "
                               "LastError=%u strSearchPath=[%s]\n",
                               static_cast<unsigned>(VEXOERR_SOURCEPATHNG), GetLastError(), strSearchPath.c_str());
    return VEXOERR_SOURCEPATHNG;
  }
  strSearchPath = strShortSearchPath;

  // 2. Every INF of the package, subfolders included.
  std::vector<std::string> lstDirFile;
  CCommonFunction::kStdAfxDirFileList(strSearchPath, "*.inf", lstDirFile);
  if (lstDirFile.empty()) {
    m_nFailure = 2;
    m_strErrorText1 = strSearchPath;
    kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kMakeCandidateDriverList() return [%u] (2) "
                               "LastError=%u no element in lstDirFile\n",
                               static_cast<unsigned>(VEXOERR_SOURCEPATHNG), GetLastError());
    return VEXOERR_SOURCEPATHNG;
  }

  for (const std::string& strInfFile : lstDirFile) {
    const DWORD dwResult = kMakeCandidatesOfInf(strInfFile, strLangID, bListedOnly);
    if (dwResult != VEXOERR_SUCCESS) return dwResult;
  }
  kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::kMakeCandidateDriverList() return [0] (47) "
                                   "candidates=[%u]\n",
                                   static_cast<unsigned>(m_lstCandidate.size()));
  return VEXOERR_SUCCESS;
}

DWORD CCandidateDriverInfomation::kMakeCandidatesOfInf(const std::string& strInfFile, const std::string& strLangID,
                                                       BOOL bListedOnly) {
  CDetailLog& log = kDriverInfoLog();
  // 3. The INF's path is the first error text from here on.
  m_strErrorText1 = strInfFile;
  std::string strInfPath;
  if (!CCommonFunction::kGetShortPathName(strInfFile.c_str(), strInfPath) || !m_pDrvInfFile->kOpen(strInfPath)) {
    log.kWriteLog("  skipped (not opened) [%s]\n", strInfFile.c_str());
    m_lstSkippedInf.push_back({strInfFile, "not opened"});
    return VEXOERR_SUCCESS;
  }
  // Everything this INF gives is copied into the candidates; its handle is
  // closed on every way out, so that no INF stays open once the list is made.
  struct CInfCloser {
    CInfFile* pInf;
    ~CInfCloser() { pInf->kClose(); }
  } closer{m_pDrvInfFile};

  // 4. Only printer INF files count.
  std::string strClass;
  if (!m_pDrvInfFile->kGetClassName(strClass)) return kFail(3, "Class", "");
  if (!kIEquals(strClass, "Printer")) {
    log.kWriteLogLevel1("  skipped (Class=%s) [%s]\n", strClass.c_str(), strInfFile.c_str());
    m_lstSkippedInf.push_back({strInfFile, "Class=" + strClass});
    return VEXOERR_SUCCESS;
  }

  // A version-4 driver is made of a manifest and data only: it has no driver
  // DLL this program could register, and Windows installs it otherwise.
  std::string strClassVer;
  if (m_pDrvInfFile->kGetLineText("Version", "ClassVer", strClassVer) && !strClassVer.empty() &&
      strClassVer[0] == '4') {
    return kFail(48, "ClassVer", "ClassVer=" + strClassVer +
                                     ": a version-4 driver INF; it names no driver DLL and cannot be installed by this program");
  }

  // 5. [Version] and the platform of the model decorations.
  std::string strCatalogFile;
  std::string strSignature;
  std::string strInfPlatform;
  if (!m_pDrvInfFile->kGetCatalogFile(strCatalogFile)) return kFail(4, "CatalogFile", "");
  if (!m_pDrvInfFile->kGetOSKind(strSignature)) return kFail(5, "Signature", "");
  if (!m_pDrvInfFile->kGetPlatform(strInfPlatform)) return kFail(6, "Manufacturer", "");

  // 6. The driver description file's options, in the order of their numbers.
  std::string strDscFile;
  kDecideDSCFileName(strDscFile, strInfPath);
  std::string strDscPlatform;
  if (!kGetPlatform(strDscFile, strDscPlatform)) return kFail(7, "Platform", strDscFile);
  if (!kIEquals(strDscPlatform, strInfPlatform)) {
    return kFail(8, "Platform value is not equaled", strDscPlatform + " " + strInfPlatform);
  }
  BOOL bPreventSameKindUpdate = FALSE;
  BOOL bNeedReboot = FALSE;
  DWORD dwInfVersion = 0;
  BOOL bVersionFromDsc = FALSE;
  BOOL bSkip = FALSE;
  BOOL bInfCopy = TRUE;
  DWORD dwDownOption = 1;
  BOOL bUserCodeOK = FALSE;
  DWORD dwUserCodeMode = 0;
  if (!kGetPreventSameKindUpdate(strDscFile, bPreventSameKindUpdate)) return kFail(9, "PreventSameKindUpdate", "");
  if (!kGetNeedReboot(strDscFile, bNeedReboot)) return kFail(10, "NeedReboot", "");
  if (!kGetDriverVersion(strDscFile, strSignature, dwInfVersion, bVersionFromDsc, bSkip)) {
    return kFail(11, "Version", "");
  }
  if (bSkip) {
    log.kWriteLogLevel1("  skipped (Signature=%s) [%s]\n", strSignature.c_str(), strInfFile.c_str());
    m_lstSkippedInf.push_back({strInfFile, "Signature=" + strSignature});
    return VEXOERR_SUCCESS;
  }
  if (!kGetInfCopy(strDscFile, bInfCopy)) return kFail(12, "InfCopy", "");
  if (!kGetDriverVersionDownOption(strDscFile, dwDownOption)) return kFail(13, "DriverVersionDownOption", "");
  if (!kGetUserCodeOK(strDscFile, bUserCodeOK, dwUserCodeMode)) return kFail(14, "UserCodeOK", "");
  std::string strDeleteDeviceString;
  std::string strCopyForceFiles;
  std::string strNoCheckFiles;
  kGetDeleteDeviceString(strDscFile, strDeleteDeviceString);
  kGetCopyForceFiles(strDscFile, strCopyForceFiles);
  if (!kGetNoCheckFile(strDscFile, strNoCheckFiles)) return kFail(17, "NoCheckFiles", "");
  std::vector<std::string> lstDrvInstNames;
  // A list that cannot be read would decide wrongly which models are offered.
  if (!kGetDrvNamesForDrvInst(strDscFile, lstDrvInstNames)) return kFail(46, "DrvInst", "");
  CVendorSetupInfo vendor;
  if (!kGetVendorSetup(strDscFile, strLangID, vendor)) return kFail(18, "VendorSetup", "");
  std::string strDrvInstLanguageMonitor;
  if (!kGetDrvInstLanguageMonitor(strDscFile, strDrvInstLanguageMonitor)) return kFail(19, "LanguageMonitor", "");
  std::string strIniFileItem;
  std::string strIniFileDir;
  std::string strIniFileSubDir;
  if (!kGetIniFileName(strDscFile, strIniFileItem, strIniFileDir, strIniFileSubDir)) {
    return kFail(20, "IniFileName", "");
  }
  std::string strDriverType;
  if (!kGetDriverType(strDscFile, strDriverType)) return kFail(21, "DriverType", "");
  BOOL bUSBPermit = FALSE;
  BOOL bPrinterProperty = FALSE;
  if (!kGetUSBPermit(strDscFile, bUSBPermit)) return kFail(22, "USBPermit", "");
  kGetPrinterProperty(strDscFile, bPrinterProperty);

  // 7, 8. Destination folders, then every model of every model section.
  if (!m_pDrvInfFile->kAddDestinationDirsList(strInfPath, dwInfVersion)) {
    log.kWriteLog("  kAddDestinationDirsList fail [%s]\n", strInfPath.c_str());
  }
  std::vector<std::string> lstModelSections;
  std::vector<std::string> lstDescriptions;
  if (!m_pDrvInfFile->kGetManufacturerNameSection(lstModelSections) ||
      !m_pDrvInfFile->kEnumDeviceDescriptions(lstModelSections, lstDescriptions)) {
    return kFail(23, "Manufacturer", "");
  }

  const std::string strInfFolder = m_pDrvInfFile->kGetFilePath();
  // The texts of the INF and its description file, made once and shared by
  // every record of the INF.
  const CSharedText txtInfPath(strInfPath);
  const CSharedText txtCatalogFile(strCatalogFile);
  const CSharedText txtPlatform(strInfPlatform);
  const CSharedText txtCopyForceFiles(strCopyForceFiles);
  const CSharedText txtDriverType(strDriverType);
  const CSharedText txtNoCheckFiles(strNoCheckFiles);
  const CSharedText txtDeleteDeviceString(strDeleteDeviceString);
  const CSharedText txtVendorSetup(vendor.strVendorSetup);
  const CSharedText txtVendorSetupParam(vendor.strVendorSetupParam);
  // A text read per model is shared with the model before when it is the
  // same (the model name of the description file, a comment for all).
  const auto sameAsBefore = [](CSharedText& txtBefore, std::string&& strValue) {
    if (txtBefore != strValue) txtBefore = std::move(strValue);
    return txtBefore;
  };
  CSharedText txtComment;
  CSharedText txtPnpDevRegKey;
  CSharedText txtModelName;
  // Models that share an install section share everything read from it:
  // the section is examined once (with its failures, for its first model)
  // and its values are copied into the later records.
  std::map<std::string, CCandidateDriver, CInfFile::CLessNoCase> mapInstallValues;
  for (const std::string& strDescription : lstDescriptions) {
    // 9, 10. A new record with the values of the INF and its description file.
    CCandidateDriver cde;
    cde.strDriverName = strDescription;
    cde.strInfPath = txtInfPath;
    cde.strCatalogFile = txtCatalogFile;
    cde.strPlatform = txtPlatform;
    cde.dwInfOSVersion = dwInfVersion;
    cde.bNeedReboot = bNeedReboot;
    cde.bInfCopy = bInfCopy;
    cde.strCopyForceFiles = txtCopyForceFiles;
    cde.bPreventSameKindUpdate = bPreventSameKindUpdate;
    cde.dwDriverVersionDownOption = dwDownOption;
    cde.strDriverType = txtDriverType;
    cde.strNoCheckFiles = txtNoCheckFiles;
    cde.bUserCodeOK = bUserCodeOK;
    cde.dwUserCodeMode = dwUserCodeMode;
    cde.strDeleteDeviceString = txtDeleteDeviceString;
    cde.bUSBPermit = bUSBPermit;
    cde.bPrinterProperty = bPrinterProperty;

    // 11. The maker's list of drivers to offer.
    cde.bDrvInstListed = lstDrvInstNames.empty() ? TRUE : FALSE;
    for (size_t i = 0; i < lstDrvInstNames.size(); ++i) {
      if (kIEquals(lstDrvInstNames[i], strDescription)) {
        cde.bDrvInstListed = TRUE;
        if (i == 0) cde.bDrvInstFirst = TRUE;
      }
    }
    if (bListedOnly && !cde.bDrvInstListed) continue;

    // 12-15. Install section and the driver's own files.
    std::string strSection;
    if (!m_pDrvInfFile->kGetInstallSectionName(strDescription, strSection)) {
      return kFail(24, "Install", strDescription);
    }
    const auto itKnown = mapInstallValues.find(strSection);
    const bool bKnown = itKnown != mapInstallValues.end();
    if (bKnown) {
      kCopyInstallValues(itKnown->second, cde);
      // The model's own spelling of the section's name.
      cde.strInstallSection = itKnown->second.strInstallSection == strSection ? itKnown->second.strInstallSection
                                                                                : CSharedText(strSection);
    } else {
      cde.strInstallSection = strSection;
    }
    std::string strValue;
    const BOOL bCore = m_pDrvInfFile->kUsesCoreDriver(strSection);
    if (!bKnown) {
      std::string strDriverFile;
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "DriverFile", strDriverFile)) {
        return kFail(27, "DriverFile", strSection);
      }
      if (strDriverFile.empty()) strDriverFile = strSection;
      cde.strDriverFile = strDriverFile;
      // A core driver's file is the system's: its version is read there.
      std::string strCoreFound;
      if (bCore && isCoreFile(m_pDrvInfFile->kEnumCoreFiles(strSection), strDriverFile)) {
        strCoreFound = kFindCoreFile(strInfPlatform, strDriverFile);
      }
      if (!bVersionFromDsc) {
        cde.dwInfOSVersion = kGetDriverFileVersionNo(strInfPath, strDriverFile,
                                                     strCoreFound.empty() ? strInfFolder : folderOf(strCoreFound));
      }
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "ConfigFile", strValue)) {
        return kFail(28, "ConfigFile", strSection);
      }
      cde.strConfigFile = strValue.empty() ? cde.strDriverFile : CSharedText(strValue);
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "DataFile", strValue)) {
        return kFail(29, "DataFile", strSection);
      }
      // An INF that takes its driver from Windows names its own data file
      // after the install section ([POS58.GPD]), as Windows reads it.
      cde.strDataFile = !strValue.empty() ? CSharedText(strValue) : bCore ? CSharedText(strSection) : cde.strDriverFile;
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "HelpFile", strValue)) {
        return kFail(30, "HelpFile", strSection);
      }
      cde.strHelpFile = strValue;
    }

    // 16, 17. Vendor setup, comment and Plug and Play key.
    cde.strVendorSetup = txtVendorSetup;
    cde.strVendorSetupParam = txtVendorSetupParam;
    // The identifier is written as four hexadecimal digits ("%04x"):
    // "040c" is French, 1036. Text that holds no number names no language.
    cde.nVendorSetupLangID = -1;
    if (!vendor.strLangID.empty()) {
      char* pszEnd = nullptr;
      const long lLangID = std::strtol(vendor.strLangID.c_str(), &pszEnd, 16);
      if (pszEnd != vendor.strLangID.c_str() && lLangID >= 0 && lLangID <= 0xFFFF) {
        cde.nVendorSetupLangID = static_cast<int>(lLangID);
      }
    }
    std::string strComment;
    if (!kGetComment(strDscFile, strDescription, strComment)) return kFail(31, "Comment", strDescription);
    cde.strComment = sameAsBefore(txtComment, std::move(strComment));
    std::string strPnpDevRegKey;
    kGetPnpDevRegKey(strDscFile, strDescription, strPnpDevRegKey);
    cde.strPnpDevRegKey = sameAsBefore(txtPnpDevRegKey, std::move(strPnpDevRegKey));

    if (!bKnown) {
      // 18. The driver file must be in the package, or, for a core driver,
      // on the system. The package stays the source of its own files.
      std::string strFound;
      std::string strShortFound;
      const std::vector<std::string> lstCoreFiles = bCore ? m_pDrvInfFile->kEnumCoreFiles(strSection)
                                                          : std::vector<std::string>();
      const BOOL bCoreDriverFile = isCoreFile(lstCoreFiles, cde.strDriverFile) ? TRUE : FALSE;
      if (bCoreDriverFile) {
        strFound = kFindCoreFile(strInfPlatform, cde.strDriverFile);
        // A core driver absent from this system (another platform's) leaves
        // the file to the installation, which cannot copy it and says so.
        if (!strFound.empty()) lastWriteTime(strFound, cde.tmDriverFileTime);
        cde.strDriverPath = folderOf(strInfPath);
      } else {
        if (!kSearchPlatformFile(strInfFolder, cde.strDriverFile, strInfPlatform, strFound)) {
          return kFail(33, "DriverFile", cde.strDriverFile);
        }
        if (!CCommonFunction::kGetShortPathName(strFound.c_str(), strShortFound)) {
          return kFail(34, "DriverFile", strFound);
        }
        if (!lastWriteTime(strShortFound, cde.tmDriverFileTime)) return kFail(35, "DriverFile", strShortFound);
        cde.strDriverPath = folderOf(strShortFound);
      }
      // Only a DLL of the INF's platform can be registered as the driver.
      if (dwInfVersion != 0) {
        const DWORD dwImages = kCheckDriverImages(cde, strFound, lstCoreFiles, strInfPlatform);
        if (dwImages != VEXOERR_SUCCESS) return dwImages;
      }

      // 19-21. Values of the install section.
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "UserModeDriver", strValue)) {
        return kFail(36, "UserModeDriver", strSection);
      }
      cde.strUserModeDriver = strValue;
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "PrintProcessor", strValue)) {
        return kFail(37, "PrintProcessor", strSection);
      }
      std::string strPrintProcessor;
      const size_t comma = strValue.find(',');
      if (comma != std::string::npos) {
        strPrintProcessor = strValue.substr(0, comma);
        cde.strPrintProcessorDLL = strValue.substr(comma + 1);
      }
      if (strPrintProcessor.empty() && !CSpoolerInfomation().kGetDefaultPrintProcessor(strPrintProcessor)) {
        return kFail(38, "PrintProcessor", strSection);
      }
      cde.strPrintProcessor = strPrintProcessor;
      log.kWriteLogLevel1("kMakeCandidateDriverList strPrintProcessor:%s strPrintProcessorDLL:%s\n",
                          cde.strPrintProcessor.c_str(), cde.strPrintProcessorDLL.c_str());
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "DefaultDataType", strValue)) {
        return kFail(39, "DefaultDataType", strSection);
      }
      cde.strDefaultDataType = strValue.empty() ? std::string("RAW") : strValue;
      if (!m_pDrvInfFile->kGetExtensionName(strSection, "LanguageMonitor", strValue)) {
        return kFail(40, "LanguageMonitor", strSection);
      }
      if (strValue.empty()) {
        cde.strDrvInstLanguageMonitor = strDrvInstLanguageMonitor;
      } else if (const size_t monitorComma = strValue.find(','); monitorComma != std::string::npos) {
        cde.strLanguageMonitorName = trimLeft(strValue.substr(0, monitorComma));
        cde.strLanguageMonitorDLL = trimLeft(strValue.substr(monitorComma + 1));
      }
      cde.strIniFileDir = strIniFileDir;
      cde.strIniFileSubDir = strIniFileSubDir;
      std::string strIniBase;
      CCommonFunction::kStdAfxGetPathElement(strIniFileItem.empty() ? cde.strDriverFile.str() : strIniFileItem,
                                             PATH_ELEMENT_BASE_NAME, strIniBase);
      if (!strIniBase.empty()) cde.strIniFileName = strIniBase + ".ini";
    }

    // 22, 23. Identifiers, provider, maker's web address, default folder.
    std::string strHardwareID;
    if (!m_pDrvInfFile->kGetHardwareID(strDescription, strHardwareID)) {
      return kFail(41, "HardwareID", strDescription);
    }
    cde.strHardwareID = std::move(strHardwareID);
    std::string strCompatibleID;
    if (!m_pDrvInfFile->kGetCompatibleID(strDescription, strCompatibleID)) {
      return kFail(42, "CompatibleID", strDescription);
    }
    cde.strCompatibleID = std::move(strCompatibleID);
    if (!bKnown) {
      std::string strProviderName;
      if (!m_pDrvInfFile->kGetProviderName(strProviderName)) return kFail(43, "ProviderName", "");
      cde.strProviderName = strProviderName;
      std::string strOEMUrl;
      std::string strOEMManufacturer;
      if (!m_pDrvInfFile->kGetOEMUrl(strOEMUrl, strOEMManufacturer)) return kFail(44, "OEM URLS", "");
      cde.strOEMUrl = strOEMUrl;
      cde.strOEMManufacturer = strOEMManufacturer;
      std::string strDefaultDestDir;
      if (m_pDrvInfFile->kGetTargetDir("DefaultDestDir", strDefaultDestDir)) cde.strDefaultDestDir = strDefaultDestDir;

      // 24. The files to copy, with the INF-level version (a version-0 INF
      // keeps its colour profiles in a subfolder).
      cde.pDriverFileList = std::make_shared<CDriverFileList>();
      if (!kMakeCopyFileInfomation(strSection, cde, dwInfVersion) ||
          (bCore && !kAddCoreFiles(strSection, strInfPlatform, cde))) {
        log.kWriteLog("  strColorProfiles=[%s] strDriverPath=[%s] strNoCheckFiles=[%s] strCopyForceFiles=[%s]\n",
                      cde.strColorProfiles.c_str(), cde.strDriverPath.c_str(), cde.strNoCheckFiles.c_str(),
                      cde.strCopyForceFiles.c_str());
        log.kWriteLog("  dwInfOSVersion=[%d]\n", static_cast<int>(dwInfVersion));
        return kFail(45, "CopyFiles", strSection);
      }
      mapInstallValues.emplace(strSection, cde);
    }

    // 25, 26. Model name (as CInfFile::kGetModelName reads it, through this
    // build's memory of the description file), then the record joins the list.
    std::string strModelName = kReadDscValue(strDscFile, "ModelName." + strDescription);
    if (strModelName.empty()) strModelName = kReadDscValue(strDscFile, "ModelName");
    if (!strModelName.empty()) cde.strModelName = sameAsBefore(txtModelName, std::move(strModelName));
    m_lstCandidate.push_back(std::move(cde));
  }
  return VEXOERR_SUCCESS;
}

BOOL CCandidateDriverInfomation::kMakeCopyFileInfomation(const std::string& strInstallSection, CCandidateDriver& cde,
                                                         DWORD dwInfVersion) {
  std::vector<std::string> lstEntries;
  std::vector<std::string> lstFlags;
  if (!m_pDrvInfFile->kEnumCopyFilesDirNo(strInstallSection, lstEntries, lstFlags)) {
    kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kMakeCopyFileInfomation() return FALSE (1) "
                               "LastError=%u kEnumCopyFilesDirNo fail.\n",
                               GetLastError());
    return FALSE;
  }
  // The lists grow in local texts and are stored once at the end.
  std::string strDependentFiles;
  std::string strCopyFlags = cde.strCopyFlags;
  std::string strColorProfiles = cde.strColorProfiles;
  const CInfFile::CDestinationDirsMap& mapDirs = m_pDrvInfFile->kGetDestinationDirs();
  for (size_t i = 0; i < lstEntries.size(); ++i) {
    std::string strEntry = lstEntries[i];
    const size_t slash = strEntry.find_last_of('\\');
    if (slash == std::string::npos) continue;
    const std::string strStatement = strEntry.substr(0, slash);
    std::string strFileName = strEntry.substr(slash + 1);
    const BOOL bColorProfile = (strStatement == "66003" || strStatement == "23") ? TRUE : FALSE;
    if (bColorProfile) {
      if (!listHolds(strColorProfiles, strFileName)) strColorProfiles += strFileName + ",";
      if (dwInfVersion == 0) {
        strFileName = "Color\\" + strFileName;
        strEntry = strStatement + "\\" + strFileName;
      }
    }
    // A file listed twice (in two copy sections) is copied once.
    if (listHolds(strDependentFiles, strEntry)) continue;
    const std::string strFlags = (i < lstFlags.size() && !lstFlags[i].empty()) ? lstFlags[i] : "EMPTY";
    strDependentFiles += strEntry + ",";
    strCopyFlags += strFlags + ",";

    CDriverFile file;
    file.strFileName = strFileName;
    UINT uSourceId = 0;
    if (m_pDrvInfFile->kGetDiskName(lstEntries[i].substr(slash + 1), uSourceId, file.strDiskName)) {
      file.dwSourceId = uSourceId;
    } else {
      file.strDiskName.clear();
    }
    file.strDirId = strStatement;
    const auto it = mapDirs.find(strStatement);
    if (it != mapDirs.end()) file.strTargetDir = it->second;
    std::string strFound;
    if (kSearchPlatformFile(cde.strDriverPath, strFileName, cde.strPlatform, strFound)) {
      file.bFound = TRUE;
      file.strSourceDir = folderOf(strFound);
      lastWriteTime(strFound, file.tmSourceFileTime);
    } else {
      file.strSourceDir = cde.strDriverPath;
    }
    file.bColorProfile = bColorProfile;
    file.bNoCheck = namesFile(cde.strNoCheckFiles, strFileName) ? TRUE : FALSE;
    file.bCopyForce = namesFile(cde.strCopyForceFiles, strFileName) ? TRUE : FALSE;
    file.strCopyFlags = strFlags;
    cde.pDriverFileList->push_back(file);
  }
  cde.strDependentFiles = std::move(strDependentFiles);
  cde.strCopyFlags = std::move(strCopyFlags);
  cde.strColorProfiles = std::move(strColorProfiles);
  kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::kMakeCopyFileInfomation() return TRUE (2) "
                                   "strDependentFiles=[%s]\n",
                                   cde.strDependentFiles.c_str());
  return TRUE;
}
