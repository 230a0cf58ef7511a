// The candidate driver record: one model line of a printer INF with
// everything the installation needs, and the record of one file to copy.
// Both are the shared types of the whole program.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "driverinfo/shared_text.h"
#include "platform/win32.h"

// One file to copy for a candidate driver.
struct CDriverFile {
  std::string strFileName;   // as listed in the copy section ("Color\" + name for colour profiles of version 0)
  std::string strSourceDir;  // folder the file was found in, else the driver path
  DWORD dwSourceId = 0;      // source disk id
  std::string strDiskName;   // source disk description
  std::string strDirId;      // the [DestinationDirs] statement of the entry ("66000")
  std::string strTargetDir;  // the folder the statement resolves to, empty when none
  BOOL bCopyForce = FALSE;
  BOOL bNoCheck = FALSE;
  std::int64_t tmSourceFileTime = 0;  // last-write time of the found source, seconds since 1970
  BOOL bFound = FALSE;
  BOOL bColorProfile = FALSE;  // the statement is "66003" or "23"
  std::string strCopyFlags;    // "EMPTY" when none
};

using CDriverFileList = std::list<CDriverFile>;

// One candidate driver. Copies share one file list: the pointer is copied,
// not the list. The candidates of one install section of one INF share it
// too: a list is complete when the candidate list is built and never
// changed afterwards. The text fields are shared the same way (CSharedText):
// the many models of one INF and one install section hold one copy of each
// text they have in common, and a record takes little more than a pointer
// per field.
struct CCandidateDriver {
  CSharedText strPrintProcessor;
  CSharedText strPrintProcessorDLL;
  CSharedText strDefaultDataType;
  CSharedText strDriverName;
  CSharedText strDriverFile;
  CSharedText strConfigFile;
  CSharedText strDataFile;
  CSharedText strHelpFile;
  CSharedText strCatalogFile;
  CSharedText strDependentFiles;  // each entry followed by a comma
  CSharedText strDrvInstLanguageMonitor;
  CSharedText strLanguageMonitorName;
  CSharedText strLanguageMonitorDLL;
  DWORD dwInfOSVersion = 0;  // driver version 0, 2 or 3
  CSharedText strInfPath;
  CSharedText strVendorSetup;
  CSharedText strVendorSetupParam;
  int nVendorSetupLangID = -1;
  std::int64_t tmDriverFileTime = 0;  // seconds since 1970
  CSharedText strUserModeDriver;
  CSharedText strDriverPath;
  CSharedText strReserved1;  // left empty by the builder
  CSharedText strNoCheckFiles;
  CSharedText strComment;
  BOOL bInfCopy = FALSE;
  CSharedText strIniFileDir;
  CSharedText strIniFileName;
  CSharedText strHardwareID;
  CSharedText strCompatibleID;
  CSharedText strProviderName;
  CSharedText strColorProfiles;  // each followed by a comma
  CSharedText strDriverType;
  BOOL bUserCodeOK = FALSE;
  BOOL bNeedReboot = FALSE;
  CSharedText strCopyForceFiles;
  CSharedText strReserved2;  // left empty by the builder
  CSharedText strOEMManufacturer;
  CSharedText strOEMUrl;
  BOOL bPreventSameKindUpdate = FALSE;
  CSharedText strIniFileSubDir;
  DWORD dwUserCodeMode = 0;
  DWORD dwReserved1 = 0;  // the three numbers the builder sets to 0
  DWORD dwReserved2 = 0;
  DWORD dwReserved3 = 0;
  CSharedText strCopyFlags;  // each followed by a comma, "EMPTY" for none
  CSharedText strDefaultDestDir;
  DWORD dwDriverVersionDownOption = 1;
  DWORD dwReserved4 = 0;  // set to 0 by the builder
  CSharedText strInstallSection;
  DWORD dwNotSelectedTimeOut = 0;  // milliseconds
  DWORD dwRetryTimeOut = 0;        // milliseconds
  CSharedText strPnpDevRegKey;
  CSharedText strDeleteDeviceString;
  BOOL bDrvInstListed = FALSE;
  BOOL bDrvInstFirst = FALSE;
  std::shared_ptr<CDriverFileList> pDriverFileList;
  CSharedText strPlatform;  // "NTx86", "NTamd64" or "NTia64"
  CSharedText strModelName;
  BOOL bUSBPermit = FALSE;
  BOOL bPrinterProperty = FALSE;
};

using CCandidateDriverList = std::list<CCandidateDriver>;
