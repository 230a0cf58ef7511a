// The candidate driver record: one model line of a printer INF with
// everything the installation needs, and the record of one file to copy.
// Both are the shared types of the whole program.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

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
// changed afterwards.
struct CCandidateDriver {
  std::string strPrintProcessor;
  std::string strPrintProcessorDLL;
  std::string strDefaultDataType;
  std::string strDriverName;
  std::string strDriverFile;
  std::string strConfigFile;
  std::string strDataFile;
  std::string strHelpFile;
  std::string strCatalogFile;
  std::string strDependentFiles;  // each entry followed by a comma
  std::string strDrvInstLanguageMonitor;
  std::string strLanguageMonitorName;
  std::string strLanguageMonitorDLL;
  DWORD dwInfOSVersion = 0;  // driver version 0, 2 or 3
  std::string strInfPath;
  std::string strVendorSetup;
  std::string strVendorSetupParam;
  int nVendorSetupLangID = -1;
  std::int64_t tmDriverFileTime = 0;  // seconds since 1970
  std::string strUserModeDriver;
  std::string strDriverPath;
  std::string strReserved1;  // left empty by the builder
  std::string strNoCheckFiles;
  std::string strComment;
  BOOL bInfCopy = FALSE;
  std::string strIniFileDir;
  std::string strIniFileName;
  std::string strHardwareID;
  std::string strCompatibleID;
  std::string strProviderName;
  std::string strColorProfiles;  // each followed by a comma
  std::string strDriverType;
  BOOL bUserCodeOK = FALSE;
  BOOL bNeedReboot = FALSE;
  std::string strCopyForceFiles;
  std::string strReserved2;  // left empty by the builder
  std::string strOEMManufacturer;
  std::string strOEMUrl;
  BOOL bPreventSameKindUpdate = FALSE;
  std::string strIniFileSubDir;
  DWORD dwUserCodeMode = 0;
  DWORD dwReserved1 = 0;  // the three numbers the builder sets to 0
  DWORD dwReserved2 = 0;
  DWORD dwReserved3 = 0;
  std::string strCopyFlags;  // each followed by a comma, "EMPTY" for none
  std::string strDefaultDestDir;
  DWORD dwDriverVersionDownOption = 1;
  DWORD dwReserved4 = 0;  // set to 0 by the builder
  std::string strInstallSection;
  DWORD dwNotSelectedTimeOut = 0;  // milliseconds
  DWORD dwRetryTimeOut = 0;        // milliseconds
  std::string strPnpDevRegKey;
  std::string strDeleteDeviceString;
  BOOL bDrvInstListed = FALSE;
  BOOL bDrvInstFirst = FALSE;
  std::shared_ptr<CDriverFileList> pDriverFileList;
  std::string strPlatform;  // "NTx86", "NTamd64" or "NTia64"
  std::string strModelName;
  BOOL bUSBPermit = FALSE;
  BOOL bPrinterProperty = FALSE;
};

using CCandidateDriverList = std::list<CCandidateDriver>;
