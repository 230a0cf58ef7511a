// The reader of one printer INF file at a time, through the Setup API
// binding: [Version], the maker's [DrvInst] section, [Manufacturer] with its
// model and install sections, [DestinationDirs] resolved into real folders,
// the CopyFiles lists of an install section, [SourceDisksNames] and
// [OEM URLS]. One operation, kGetModelName, reads the driver description file.
//
// Every operation returns TRUE or FALSE and writes one detail-log line on each
// exit path. A key that is absent is never an error: the reading operations
// return TRUE with an empty value. FALSE means that no INF is open, that a
// Setup API call failed while reading a value that exists, or that a rule of
// the operation itself is broken. Outputs hold what was read before the
// failure; callers use them only after TRUE.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/win32.h"

class CSetupApi;

// The vendor setup program of a package: program, parameter, and the
// language identifier (at most four characters) handed to it.
struct CVendorSetupInfo {
  std::string strVendorSetup;
  std::string strVendorSetupParam;
  std::string strLangID;
};

class CInfFile {
 public:
  // Case-insensitive map from a [DestinationDirs] statement to its folder.
  struct CLessNoCase {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  using CDestinationDirsMap = std::map<std::string, std::string, CLessNoCase>;

  // pSetupApi is not owned and must outlive the reader.
  explicit CInfFile(CSetupApi* pSetupApi);
  ~CInfFile();
  CInfFile(const CInfFile&) = delete;
  CInfFile& operator=(const CInfFile&) = delete;

  // Opens an INF by absolute path (drive and folder, or UNC) in the WIN4
  // style and appends its layout files; a file still open is closed first.
  // FALSE (1) relative path, (2-4) not a WIN4 INF, (5) open failed.
  [[nodiscard]] BOOL kOpen(const std::string& strPath);
  // Closes the INF; the file path, name and destination folders stay.
  void kClose();

  // ---- Values -----------------------------------------------------------------
  // The whole text of the line with that key (fields 1..n joined by commas).
  BOOL kGetLineText(const std::string& strSection, const std::string& strKey, std::string& strOut);
  // Field dwIndex of a line already found (0 is the key).
  BOOL kGetLineStringField(PINFCONTEXT pContext, DWORD dwIndex, std::string& strOut);
  // Field dwIndex of the first line with that key in the section.
  BOOL kGetLineStringField(const std::string& strSection, const std::string& strKey, DWORD dwIndex,
                           std::string& strOut);

  // [Version] values.
  BOOL kGetClassName(std::string& strOut);
  BOOL kGetOSKind(std::string& strOut);  // "Signature"
  BOOL kGetProviderName(std::string& strOut);
  BOOL kGetCatalogFile(std::string& strOut);

  // [DrvInst] values.
  BOOL kGetComment(std::string& strOut);
  BOOL kGetDriverType(std::string& strOut);
  BOOL kGetDrvInstNoCheckFile(std::string& strOut);      // whole line text
  BOOL kGetDrvInstLanguageMonitor(std::string& strOut);  // field 1
  BOOL kGetIniFileName(std::string& strFileName, std::string& strDir, std::string& strSubDir);
  // Program, parameter, and (when field 3 is "DISPLANG") strLangID cut to
  // four characters. The record is cleared first.
  BOOL kGetVendorSetup(const std::string& strLangID, CVendorSetupInfo& info);
  // Appends every non-empty field of "DrvInst" to the list.
  BOOL kGetDrvNamesForDrvInst(std::vector<std::string>& lstNames);

  // A key of an install section, else of the section its "DataSection" names.
  BOOL kGetExtensionName(const std::string& strInstallSection, const std::string& strKey, std::string& strOut);

  // ---- Drivers taken from Windows' own printer INF ----------------------------
  // Most printer INF files of the field install one of Windows' core drivers
  // with a file of their own (a GPD or PPD): the install section names
  // Windows' printer INF (Include=ntprint.inf), the sections it needs from it
  // (Needs=UNIDRV.OEM, CoreDriverSections="{guid},UNIDRV.OEM"), or a
  // DataSection the INF does not hold (UNIDRV_DATA). Such a section takes the
  // keys it lacks and the core files from the system's printer INF,
  // %windir%\INF\ntprint.inf; the files themselves come from the system.
  BOOL kUsesCoreDriver(const std::string& strInstallSection);
  // The sections of the system's printer INF the install section needs, and
  // the data sections its missing keys are read from, in that order.
  struct CCoreSections {
    std::vector<std::string> lstNeeded;
    std::vector<std::string> lstData;
  };
  CCoreSections kGetCoreSections(const std::string& strInstallSection);
  // The names of the core files the install section needs (the files of the
  // needed sections' copy lists and the driver, configuration and help files
  // of their data sections), each once. Empty when the system has no
  // printer INF or the section uses no core driver.
  std::vector<std::string> kEnumCoreFiles(const std::string& strInstallSection);
  // Whether the system's printer INF could be opened.
  BOOL kHasSystemPrinterInf();
  // %windir%\INF\ntprint.inf.
  static std::string kSystemPrinterInfPath();

  // ---- Manufacturer and models --------------------------------------------
  // The model sections of [Manufacturer], each with its first decoration
  // ("Printers.NTamd64"). FALSE when the section is absent or a first
  // decoration is not a platform name.
  BOOL kGetManufacturerNameSection(std::vector<std::string>& lstSections);
  // TRUE for "NTx86", "NTamd64", "NTia64" in any case; the text then takes
  // that spelling.
  static BOOL kCheckPlatform(std::string& strPlatform);
  // The platform of the first [Manufacturer] line: its first decoration, or
  // "NTx86" when it has none.
  BOOL kGetPlatform(std::string& strOut);
  // Appends the device descriptions of every listed model section, in order.
  BOOL kEnumDeviceDescriptions(const std::vector<std::string>& lstSections, std::vector<std::string>& lstDescriptions);
  // Field dwIndex of the model line whose key is the description, from the
  // first model section that has a value.
  BOOL kGetDeviceDescriptionField(const std::string& strDescription, DWORD dwIndex, std::string& strOut);
  BOOL kGetInstallSectionName(const std::string& strDescription, std::string& strOut);  // field 1
  BOOL kGetHardwareID(const std::string& strDescription, std::string& strOut);          // field 2
  BOOL kGetCompatibleID(const std::string& strDescription, std::string& strOut);        // field 3
  // The first line of [OEM URLS]: manufacturer (field 0) and URL (field 1).
  BOOL kGetOEMUrl(std::string& strUrl, std::string& strManufacturer);

  // ---- Files and folders ----------------------------------------------------
  // The source disk of a file: its id and description.
  BOOL kGetDiskName(const std::string& strFile, UINT& uSourceId, std::string& strDiskName);
  // The folder below the INF's that the INF names for a file of a platform
  // ("NTx86", "NTamd64", "NTia64"): [SourceDisksFiles.<arch>] (else the
  // undecorated section) gives the file's disk and subfolder,
  // [SourceDisksNames.<arch>] (else the undecorated one) the disk's path.
  // TRUE and the folder ("amd64", "disk2\x64") only when a section of the
  // platform's own decoration takes part; FALSE when the file is to be
  // searched as usual.
  BOOL kGetPlatformSourceFolder(const std::string& strFile, const std::string& strPlatform, std::string& strOut);
  // The folder a copy section goes to, upper case, without a trailing
  // backslash; TRUE and empty when no folder can be told.
  BOOL kGetTargetDir(const std::string& strSection, std::string& strOut);
  // Own resolution of a [DestinationDirs] entry where the Setup API gives none.
  BOOL kSetupGetTargetPath(std::string& strOut, const std::string& strSection);
  // The colour profile folder of this system.
  BOOL kSetupGetColorDirectry(std::string& strOut);
  // One entry per [DestinationDirs] line: statement, comma, folder.
  BOOL kEnumDestinationDirs(std::vector<std::string>& lstDirs);
  // Adds the entries of kEnumDestinationDirs to kGetDestinationDirs(), or
  // "11" and "66000" with their default folders when there are none.
  BOOL kAddDestinationDirsList(const std::string& strInfPath, DWORD dwVersion);
  // The files of the install section's CopyFiles: "dirid\file" entries and
  // their copy flags, in the same order. FALSE (11, 12) for a file name that
  // carries a path, a drive or "..".
  BOOL kEnumCopyFilesDirNo(const std::string& strInstallSection, std::vector<std::string>& lstFiles,
                           std::vector<std::string>& lstCopyFlags);

  // "ModelName." + driver name, else "ModelName", from section "DrvInst" of
  // the description file; a non-empty value replaces strOut. Always TRUE.
  BOOL kGetModelName(std::string& strOut, const std::string& strDriverName, const std::string& strDscFile);

  // ---- State ----------------------------------------------------------------
  const std::string& kGetFilePath() const { return m_strFilePath; }  // drive and folder, with "\"
  const std::string& kGetFileName() const { return m_strFileName; }  // name and extension
  const CDestinationDirsMap& kGetDestinationDirs() const { return m_mapDestinationDirs; }
  HINF kGetHandle() const { return m_hInf; }

 private:
  BOOL kIsOpen() const { return m_hInf != INVALID_HANDLE_VALUE; }
  // Opens the system's printer INF once per reader (a second handle, so that
  // the package's INF is never mixed with it).
  BOOL kOpenSystemInf();
  // Whether a section of the open INF has a line with that key.
  BOOL kHoldsLine(const std::string& strSection, const std::string& strKey);
  // Whether the open INF itself holds a section.
  BOOL kHoldsSection(HINF hInf, const std::string& strSection);
  // A key the core-driver install section lacks, from the system's data
  // sections; TRUE and empty when none has it.
  BOOL kGetCoreValue(const std::string& strInstallSection, const std::string& strKey, std::string& strOut);
  // A key of a section of the system's printer INF; empty when absent.
  std::string kSystemValue(const std::string& strSection, const std::string& strKey, DWORD dwIndex);

  std::string m_strFilePath;
  std::string m_strFileName;
  // Never cleared: opening another INF keeps the entries of earlier ones.
  CDestinationDirsMap m_mapDestinationDirs;
  // The model sections of the open INF, once read (see kGetDeviceDescriptionField).
  std::vector<std::string> m_lstModelSections;
  BOOL m_bModelSectionsKnown = FALSE;
  CSetupApi* m_pInfSetupApi;
  HINF m_hInf = INVALID_HANDLE_VALUE;
  HINF m_hSystemInf = INVALID_HANDLE_VALUE;
  BOOL m_bSystemInfTried = FALSE;
  // Per install section of the open INF: whether it uses a core driver.
  std::map<std::string, BOOL, CLessNoCase> m_mapCoreDriver;
};
