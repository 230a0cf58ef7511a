// The builder of the candidate driver list, and the detection of a driver
// file's version and platform that it uses when the driver description file
// does not state the version.
#pragma once

#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "driverinfo/candidate_driver.h"
#include "driverinfo/inf_file.h"
#include "platform/win32.h"

class CSetupApi;

class CCandidateDriverInfomation {
 public:
  // pInfFile and pSetupApi are not owned and must outlive the builder.
  CCandidateDriverInfomation(CInfFile* pInfFile, CSetupApi* pSetupApi);
  CCandidateDriverInfomation(const CCandidateDriverInfomation&) = delete;
  CCandidateDriverInfomation& operator=(const CCandidateDriverInfomation&) = delete;

  // Builds the list from every *.inf of the search path: 0, VEXOERR_SOURCEPATHNG
  // or VEXOERR_READINFERR (the error texts then tell the INF and the rule).
  DWORD kMakeCandidateDriverList(std::string strSearchPath, const std::string& strLangID, BOOL bListedOnly);

  CCandidateDriverList& kGetCandidateList() { return m_lstCandidate; }
  // Error text 1: the INF file being read; error text 2: the key or rule
  // that failed.
  const std::string& kGetErrorText1() const { return m_strErrorText1; }
  const std::string& kGetErrorText2() const { return m_strErrorText2; }
  // The numbered failure of the last build (the detail log's exit number),
  // 0 after a successful one.
  int kGetFailureNumber() const { return m_nFailure; }
  // The detail the failure's log line gives after the INF path (the missing
  // file's name, the description file, ...); empty when none.
  const std::string& kGetFailureDetail() const { return m_strFailureDetail; }
  // An INF file the last build passed over, with the reason its log line
  // gives: "not opened", "Class=..." or "Signature=...". Tools report these
  // without having to switch the detail log on.
  struct CSkippedInf {
    std::string strPath;
    std::string strWhat;
  };
  const std::vector<CSkippedInf>& kGetSkippedInfs() const { return m_lstSkippedInf; }

  // ---- Driver file version ----------------------------------------------------
  // The version (0, 2 or 3) of a driver file found from strPath, examined once
  // per INF path and file name; 0 when it cannot be told. Results, 0 too, are
  // kept for the life of the builder.
  DWORD kGetDriverFileVersionNo(const std::string& strInfPath, const std::string& strDriverFile,
                                const std::string& strPath);
  // Copies (or expands) the file to a temporary file and reads its version
  // resource. Returns 1 when the resource was recognised, else 0; dwVersion is
  // 0, 2 or 3 and strPlatform "NTx86", "NTamd64" or empty.
  int kGetDriverFileVersion(const std::string& strDriverFile, const std::string& strPath, DWORD& dwVersion,
                            std::string& strPlatform);
  // The platform of a PE file by its machine type: "NTx86", "NTamd64", or
  // empty for another machine, a short or damaged file, or a read error.
  static std::string kGetPlatformFromPEHeader(const std::string& strFilePath);
  // A file of one of Windows' core printer drivers (UNIDRV.DLL) comes from the
  // system, not from the package: its source-disk text says so.
  static constexpr const char* kCoreFileDisk = "Windows (ntprint.inf)";
  static bool kIsCoreFile(const CDriverFile& file) { return file.strDiskName == kCoreFileDisk; }
  // What a file of the package or the system is as an executable image,
  // read after the file is copied or expanded like the version detection's.
  struct CFileImage {
    BOOL bRead = FALSE;  // the file could be read
    BOOL bPe = FALSE;    // it is a PE image
    BOOL bDll = FALSE;   // the image is a DLL
    WORD wMachine = 0;
  };
  BOOL kGetFileImage(const std::string& strFound, CFileImage& image);
  // The PE machine of a platform ("NTx86" 0x14C, "NTamd64" 0x8664, "NTia64"
  // 0x200), 0 for another; and a machine's name for messages.
  static WORD kMachineOfPlatform(const std::string& strPlatform);
  static std::string kMachineName(WORD wMachine);
  // Why a found file cannot be registered as the driver or configuration
  // file of a platform ("is not a DLL ...", "is a DLL for x64, not for
  // x86"); empty when it is a DLL of the platform's machine or cannot be read.
  std::string kWhyNotDriverImage(const std::string& strFound, const std::string& strPlatform);
  // Where the system keeps the core driver files of a platform: the
  // version-3 folder of its spooler environment, the environment's driver
  // folder, then the system folder. Empty when the file is in none.
  static std::string kFindCoreFile(const std::string& strPlatform, const std::string& strFile);

  // ---- Driver description file ----------------------------------------------
  // The description file that serves an INF: "DRVINST.DSC" in the INF's
  // folder, else the INF's own name with ".dsc"; empty when neither exists.
  std::string kDecideDSCFileName(std::string& strOut, const std::string& strInfPath);
  // Each reader takes the description file (empty when there is none) and
  // returns FALSE for a value it does not accept; its outputs then keep what
  // they held. Readers with an INF counterpart read the open INF's "DrvInst"
  // section when there is no description file.
  BOOL kGetDriverVersion(const std::string& strDscFile, const std::string& strSignature, DWORD& dwVersion,
                         BOOL& bFromDsc, BOOL& bSkip);
  BOOL kGetPlatform(const std::string& strDscFile, std::string& strPlatform);
  BOOL kGetPreventSameKindUpdate(const std::string& strDscFile, BOOL& bFlag);
  BOOL kGetNeedReboot(const std::string& strDscFile, BOOL& bFlag);
  BOOL kGetInfCopy(const std::string& strDscFile, BOOL& bFlag);
  BOOL kGetDriverVersionDownOption(const std::string& strDscFile, DWORD& dwOption);
  BOOL kGetUserCodeOK(const std::string& strDscFile, BOOL& bFlag, DWORD& dwMode);
  BOOL kGetDeleteDeviceString(const std::string& strDscFile, std::string& strOut);
  BOOL kGetCopyForceFiles(const std::string& strDscFile, std::string& strOut);
  BOOL kGetNoCheckFile(const std::string& strDscFile, std::string& strOut);
  BOOL kGetDrvNamesForDrvInst(const std::string& strDscFile, std::vector<std::string>& lstNames);
  BOOL kGetVendorSetup(const std::string& strDscFile, const std::string& strLangID, CVendorSetupInfo& info);
  BOOL kGetDrvInstLanguageMonitor(const std::string& strDscFile, std::string& strOut);
  BOOL kGetIniFileName(const std::string& strDscFile, std::string& strFileName, std::string& strDir,
                       std::string& strSubDir);
  BOOL kGetDriverType(const std::string& strDscFile, std::string& strOut);
  BOOL kGetUSBPermit(const std::string& strDscFile, BOOL& bFlag);
  BOOL kGetPrinterProperty(const std::string& strDscFile, BOOL& bFlag);
  BOOL kGetComment(const std::string& strDscFile, const std::string& strDriverName, std::string& strOut);
  BOOL kGetPnpDevRegKey(const std::string& strDscFile, const std::string& strDriverName, std::string& strOut);
  // TRUE when the maker's user-code provider is registered on this machine.
  static BOOL kGetSorrelRegisterStatus();
  // A list value split at any of ",:|^", each item trimmed of white space;
  // empty items are kept, so that item positions stay meaningful. A colon
  // after a single drive letter and before a backslash ("C:\TOOLS") belongs
  // to the path.
  static std::vector<std::string> kSplitDscList(const std::string& strValue);
  // The next separator of a list value at or after nBegin (npos: none), by
  // the rule of kSplitDscList: a drive letter's colon is no separator.
  static size_t kFindListSeparator(const std::string& strValue, size_t nBegin, const char* pszSeparators);

  // Finds a file of the package: where the open INF names it for the
  // platform ([SourceDisksFiles.amd64] and its disk), else by the usual search
  // from the folder.
  BOOL kSearchPlatformFile(const std::string& strFolder, const std::string& strFile, const std::string& strPlatform,
                           std::string& strFound);
  // Fills the record's file list, dependent files, copy flags and colour
  // profiles from the install section's copy lists. FALSE when the INF's copy
  // lists cannot be read or name a file outside its folder.
  BOOL kMakeCopyFileInfomation(const std::string& strInstallSection, CCandidateDriver& cde, DWORD dwInfVersion);

 private:
  // A value of section "DrvInst" of a description file; empty when absent.
  // During a build, values and key lists are remembered, since every model
  // of an INF asks the same file again.
  std::string kReadDscValue(const std::string& strDscFile, const std::string& strKey);

  // One INF file of the list: its candidates are appended; a failure number
  // and error text 2 are set on FALSE.
  DWORD kMakeCandidatesOfInf(const std::string& strInfPath, const std::string& strLangID, BOOL bListedOnly);
  // Copies or expands a found file to a temporary file: 0, or the exit
  // number of the version detection that failed (5, 9, 10, 12).
  int kCopyForExamination(const std::string& strFound, const std::string& strTemp);
  // The driver and configuration files must be DLLs of the INF's platform.
  DWORD kCheckDriverImages(const CCandidateDriver& cde, const std::string& strDriverFound,
                           const std::vector<std::string>& lstCoreFiles, const std::string& strPlatform);
  // Adds the core files a core-driver install section needs to the record's
  // file list, taken from the system; they replace package files of the
  // same names.
  BOOL kAddCoreFiles(const std::string& strInstallSection, const std::string& strPlatform, CCandidateDriver& cde);
  // Copies what a record took from its install section into another record.
  static void kCopyInstallValues(const CCandidateDriver& from, CCandidateDriver& to);
  DWORD kFail(int nFailure, const char* pszErrorText, const std::string& strDetail);

  // The INF reader the list steps open each INF file with.
  CInfFile* m_pDrvInfFile;
  CSetupApi* m_pSetupApi;
  // "INF path,driver file" to version.
  std::map<std::string, DWORD, CInfFile::CLessNoCase> m_mapDriverVersion;
  CCandidateDriverList m_lstCandidate;
  std::string m_strErrorText1;
  std::string m_strErrorText2;
  int m_nFailure = 0;
  std::string m_strFailureDetail;
  // The error text of a failure whose text is made for it.
  std::string m_strFailureText;
  std::vector<CSkippedInf> m_lstSkippedInf;
  // The description-file memory of one build (see kReadDscValue).
  BOOL m_bDscMemoryOn = FALSE;
  // Per description file: its key names and the values read, both by the
  // upper-cased key.
  struct CDscMemory {
    std::unordered_set<std::string> setKeys;
    std::unordered_map<std::string, std::string> mapValues;
  };
  std::map<std::string, CDscMemory, CInfFile::CLessNoCase> m_mapDscMemory;
};
