// The Setup API as the driver package analysis uses it: SetupApi.DLL bound at
// run time, each function wrapped in a call that checks the bound pointer and
// writes one detail-log line.
//
// The library is loaded by name after the package's own DLL folder has been
// added to PATH, so that a package may carry its own copy. Every one of the
// thirty functions must be present for the binding to count as successful;
// only those with a wrapper below are ever called.
#pragma once

#include <string>

#include "platform/win32.h"
#include "system/handle_owner.h"

class CSetupApi {
 public:
  // Adds ";" and strDllFolder to PATH, loads "SetupApi.DLL" and binds the
  // thirty functions in a fixed order. *pbSuccess is TRUE only when all of
  // them were bound; after the first missing one the later pointers stay null.
  CSetupApi(const std::string& strDllFolder, BOOL* pbSuccess);
  ~CSetupApi() = default;
  CSetupApi(const CSetupApi&) = delete;
  CSetupApi& operator=(const CSetupApi&) = delete;

  // ---- INF files ----------------------------------------------------------
  // INVALID_HANDLE_VALUE when the function is not bound or the open fails.
  HINF kSetupOpenInfFile(PCSTR pszFileName, PCSTR pszInfClass, DWORD dwInfStyle, PUINT puErrorLine);
  // FALSE only when the function is not bound.
  BOOL kSetupCloseInfFile(HINF hInf);
  BOOL kSetupGetInfInformation(LPCVOID pInfSpec, DWORD dwSearchControl, PSP_INF_INFORMATION pReturnBuffer,
                               DWORD dwReturnBufferSize, PDWORD pdwRequiredSize);
  BOOL kSetupOpenAppendInfFile(PCSTR pszFileName, HINF hInf, PUINT puErrorLine);
  BOOL kSetupGetLineText(PINFCONTEXT pContext, HINF hInf, PCSTR pszSection, PCSTR pszKey, PSTR pszReturnBuffer,
                         DWORD dwReturnBufferSize, PDWORD pdwRequiredSize);
  // Leaves the last-error value of the Setup API call in place after logging,
  // so that callers can tell ERROR_LINE_NOT_FOUND from other failures.
  BOOL kSetupFindFirstLine(HINF hInf, PCSTR pszSection, PCSTR pszKey, PINFCONTEXT pContext);
  BOOL kSetupFindNextLine(PINFCONTEXT pContextIn, PINFCONTEXT pContextOut);
  // Sets the last error to 0 before the call.
  BOOL kSetupGetStringField(PINFCONTEXT pContext, DWORD dwFieldIndex, PSTR pszReturnBuffer, DWORD dwReturnBufferSize,
                            PDWORD pdwRequiredSize);
  BOOL kSetupGetTargetPath(HINF hInf, PINFCONTEXT pContext, PCSTR pszSection, PSTR pszReturnBuffer,
                           DWORD dwReturnBufferSize, PDWORD pdwRequiredSize);
  BOOL kSetupGetSourceFileLocation(HINF hInf, PINFCONTEXT pContext, PCSTR pszFileName, PUINT puSourceId,
                                   PSTR pszReturnBuffer, DWORD dwReturnBufferSize, PDWORD pdwRequiredSize);
  BOOL kSetupGetSourceInfo(HINF hInf, UINT uSourceId, UINT uInfoDesired, PSTR pszReturnBuffer,
                           DWORD dwReturnBufferSize, PDWORD pdwRequiredSize);
  // *pbCopyFailed becomes TRUE when the copy failed (also when the function is
  // not bound) and FALSE otherwise; pbCopyFailed may be null.
  BOOL kSetupCopyOEMInf(PCSTR pszSourceInfFileName, PCSTR pszOEMSourceMediaLocation, DWORD dwOEMSourceMediaType,
                        DWORD dwCopyStyle, PSTR pszDestinationInfFileName, DWORD dwDestinationInfFileNameSize,
                        PDWORD pdwRequiredSize, PSTR* ppszDestinationInfFileNameComponent, BOOL* pbCopyFailed);

  // ---- Files ----------------------------------------------------------------
  // Both return a Win32 error code as the Setup API does (NO_ERROR on
  // success). An unbound function answers ERROR_PROC_NOT_FOUND, never
  // NO_ERROR, so that a caller cannot mistake it for success.
  DWORD kSetupGetFileCompressionInfo(PCSTR pszSourceFileName, PSTR* ppszActualSourceFileName,
                                     PDWORD pdwSourceFileSize, PDWORD pdwTargetFileSize, PUINT puCompressionType);
  DWORD kSetupDecompressOrCopyFile(PCSTR pszSourceFileName, PCSTR pszTargetFileName, PUINT puCompressionType);

  // ---- Devices ------------------------------------------------------------
  // INVALID_HANDLE_VALUE when the function is not bound or the call fails.
  HDEVINFO kSetupDiGetClassDevs(const GUID* pClassGuid, PCSTR pszEnumerator, HWND hwndParent, DWORD dwFlags);
  BOOL kSetupDiEnumDeviceInfo(HDEVINFO hDevInfo, DWORD dwMemberIndex, PSP_DEVINFO_DATA pDeviceInfoData);
  BOOL kSetupDiGetDeviceRegistryProperty(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDeviceInfoData, DWORD dwProperty,
                                         PDWORD pdwPropertyRegDataType, PBYTE pPropertyBuffer,
                                         DWORD dwPropertyBufferSize, PDWORD pdwRequiredSize);
  BOOL kSetupDiDestroyDeviceInfoList(HDEVINFO hDevInfo);

 private:
  CModuleOwner m_hSetupApi;

  // One pointer per bound function, in binding order.
  decltype(&::SetupOpenInfFileA) pfnSetupOpenInfFile = nullptr;
  decltype(&::SetupCloseInfFile) pfnSetupCloseInfFile = nullptr;
  decltype(&::SetupGetInfInformationA) pfnSetupGetInfInformation = nullptr;
  decltype(&::SetupOpenAppendInfFileA) pfnSetupOpenAppendInfFile = nullptr;
  decltype(&::SetupPromptForDiskA) pfnSetupPromptForDisk = nullptr;
  decltype(&::SetupGetLineTextA) pfnSetupGetLineText = nullptr;
  decltype(&::SetupFindFirstLineA) pfnSetupFindFirstLine = nullptr;
  decltype(&::SetupGetStringFieldA) pfnSetupGetStringField = nullptr;
  decltype(&::SetupGetTargetPathA) pfnSetupGetTargetPath = nullptr;
  decltype(&::SetupCopyOEMInfA) pfnSetupCopyOEMInf = nullptr;
  decltype(&::SetupOpenFileQueue) pfnSetupOpenFileQueue = nullptr;
  decltype(&::SetupCloseFileQueue) pfnSetupCloseFileQueue = nullptr;
  decltype(&::SetupQueueCopyA) pfnSetupQueueCopy = nullptr;
  decltype(&::SetupCommitFileQueueA) pfnSetupCommitFileQueue = nullptr;
  decltype(&::SetupDefaultQueueCallbackA) pfnSetupDefaultQueueCallback = nullptr;
  decltype(&::SetupInitDefaultQueueCallback) pfnSetupInitDefaultQueueCallback = nullptr;
  decltype(&::SetupTermDefaultQueueCallback) pfnSetupTermDefaultQueueCallback = nullptr;
  decltype(&::SetupFindNextLine) pfnSetupFindNextLine = nullptr;
  decltype(&::SetupGetSourceFileLocationA) pfnSetupGetSourceFileLocation = nullptr;
  decltype(&::SetupGetSourceInfoA) pfnSetupGetSourceInfo = nullptr;
  decltype(&::SetupInstallFromInfSectionA) pfnSetupInstallFromInfSection = nullptr;
  decltype(&::SetupDecompressOrCopyFileA) pfnSetupDecompressOrCopyFile = nullptr;
  decltype(&::SetupDiGetClassDevsA) pfnSetupDiGetClassDevs = nullptr;
  decltype(&::SetupDiEnumDeviceInfo) pfnSetupDiEnumDeviceInfo = nullptr;
  decltype(&::SetupDiGetDeviceRegistryPropertyA) pfnSetupDiGetDeviceRegistryProperty = nullptr;
  decltype(&::SetupDiDestroyDeviceInfoList) pfnSetupDiDestroyDeviceInfoList = nullptr;
  decltype(&::SetupGetFileCompressionInfoA) pfnSetupGetFileCompressionInfo = nullptr;
  decltype(&::SetupDiCallClassInstaller) pfnSetupDiCallClassInstaller = nullptr;
  decltype(&::SetupDiSetClassInstallParamsA) pfnSetupDiSetClassInstallParams = nullptr;
  decltype(&::SetupDiGetDeviceInstanceIdA) pfnSetupDiGetDeviceInstanceId = nullptr;
};
