// The run-time binding of SetupApi.DLL and its logging wrappers.
#include "driverinfo/setup_api.h"

#include <type_traits>
#include <vector>

#include "driverinfo/driver_info_log.h"

namespace {

// Wrapper lines are trace lines: the INF reader calls these thousands of
// times for a large package, so they appear only at the highest log level.
// A function that is not bound is an error line at every level.
const char* orEmpty(const char* psz) { return psz ? psz : "(null)"; }

// GetProcAddress hands back a generic pointer; it is converted through the
// plain function type so that the compiler accepts the change of signature.
template <typename T>
void assignProc(T& pfn, FARPROC p) {
  pfn = reinterpret_cast<T>(reinterpret_cast<void (*)()>(p));
}

}  // namespace

CSetupApi::CSetupApi(const std::string& strDllFolder, BOOL* pbSuccess) {
  CDetailLog& log = kDriverInfoLog();
  *pbSuccess = TRUE;

  // The package's own DLL folder joins the search path before the library is
  // loaded by its plain name.
  const DWORD dwNeed = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (dwNeed == 0) {
    log.kWriteLog("CSetupApi::CSetupApi() return FALSE (3) LastError=%u GetEnvironmentVariable(PATH) fail.\n",
                  GetLastError());
    *pbSuccess = FALSE;
    return;
  }
  std::vector<char> path(dwNeed + 1, '\0');
  const DWORD dwGot = GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size()));
  if (dwGot == 0 || dwGot >= path.size()) {
    log.kWriteLog("CSetupApi::CSetupApi() return FALSE (4) LastError=%u GetEnvironmentVariable(PATH) fail.\n",
                  GetLastError());
    *pbSuccess = FALSE;
    return;
  }
  const std::string strNewPath = std::string(path.data(), dwGot) + ";" + strDllFolder;
  if (!SetEnvironmentVariableA("PATH", strNewPath.c_str())) {
    log.kWriteLog("CSetupApi::CSetupApi() return FALSE (5) LastError=%u SetEnvironmentVariable(PATH) fail.\n",
                  GetLastError());
    *pbSuccess = FALSE;
    return;
  }

  m_hSetupApi.kReset(LoadLibraryA("SetupApi.DLL"));
  if (!m_hSetupApi.kGet()) {
    log.kWriteLog("CSetupApi::CSetupApi() return FALSE (6) LastError=%u LoadLibrary(SetupApi.DLL) fail.\n",
                  GetLastError());
    *pbSuccess = FALSE;
    return;
  }

  int nExit = 7;
  bool bBound = true;
  auto bind = [&](auto& pfn, const char* pszName) {
    if (!bBound) return;
    const FARPROC p = GetProcAddress(m_hSetupApi.kGet(), pszName);
    if (!p) {
      log.kWriteLog("CSetupApi::CSetupApi() return FALSE (%d) LastError=%u GetProcAddress(%s) fail.\n", nExit,
                    GetLastError(), pszName);
      bBound = false;
      return;
    }
    assignProc(pfn, p);
    ++nExit;
  };
  bind(pfnSetupOpenInfFile, "SetupOpenInfFileA");
  bind(pfnSetupCloseInfFile, "SetupCloseInfFile");
  bind(pfnSetupGetInfInformation, "SetupGetInfInformationA");
  bind(pfnSetupOpenAppendInfFile, "SetupOpenAppendInfFileA");
  bind(pfnSetupPromptForDisk, "SetupPromptForDiskA");
  bind(pfnSetupGetLineText, "SetupGetLineTextA");
  bind(pfnSetupFindFirstLine, "SetupFindFirstLineA");
  bind(pfnSetupGetStringField, "SetupGetStringFieldA");
  bind(pfnSetupGetTargetPath, "SetupGetTargetPathA");
  bind(pfnSetupCopyOEMInf, "SetupCopyOEMInfA");
  bind(pfnSetupOpenFileQueue, "SetupOpenFileQueue");
  bind(pfnSetupCloseFileQueue, "SetupCloseFileQueue");
  bind(pfnSetupQueueCopy, "SetupQueueCopyA");
  bind(pfnSetupCommitFileQueue, "SetupCommitFileQueueA");
  bind(pfnSetupDefaultQueueCallback, "SetupDefaultQueueCallbackA");
  bind(pfnSetupInitDefaultQueueCallback, "SetupInitDefaultQueueCallback");
  bind(pfnSetupTermDefaultQueueCallback, "SetupTermDefaultQueueCallback");
  bind(pfnSetupFindNextLine, "SetupFindNextLine");
  bind(pfnSetupGetSourceFileLocation, "SetupGetSourceFileLocationA");
  bind(pfnSetupGetSourceInfo, "SetupGetSourceInfoA");
  bind(pfnSetupInstallFromInfSection, "SetupInstallFromInfSectionA");
  bind(pfnSetupDecompressOrCopyFile, "SetupDecompressOrCopyFileA");
  bind(pfnSetupDiGetClassDevs, "SetupDiGetClassDevsA");
  bind(pfnSetupDiEnumDeviceInfo, "SetupDiEnumDeviceInfo");
  bind(pfnSetupDiGetDeviceRegistryProperty, "SetupDiGetDeviceRegistryPropertyA");
  bind(pfnSetupDiDestroyDeviceInfoList, "SetupDiDestroyDeviceInfoList");
  bind(pfnSetupGetFileCompressionInfo, "SetupGetFileCompressionInfoA");
  bind(pfnSetupDiCallClassInstaller, "SetupDiCallClassInstaller");
  bind(pfnSetupDiSetClassInstallParams, "SetupDiSetClassInstallParamsA");
  bind(pfnSetupDiGetDeviceInstanceId, "SetupDiGetDeviceInstanceIdA");
  if (!bBound) {
    *pbSuccess = FALSE;
    return;
  }
  log.kWriteLogLevel1("CSetupApi::CSetupApi() return TRUE (37) LastError=%u\n", GetLastError());
}

HINF CSetupApi::kSetupOpenInfFile(PCSTR pszFileName, PCSTR pszInfClass, DWORD dwInfStyle, PUINT puErrorLine) {
  if (!pfnSetupOpenInfFile) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupOpenInfFile() return INVALID_HANDLE_VALUE (1) LastError=%u pfnSetupOpenInfFile is NULL.\n",
        GetLastError());
    return INVALID_HANDLE_VALUE;
  }
  HINF hInf = pfnSetupOpenInfFile(pszFileName, pszInfClass, dwInfStyle, puErrorLine);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupOpenInfFile() return [%p] (2) LastError=%u FileName=[%s] "
                                    "InfClass=[%s] InfStyle=[%u]\n",
                                    hInf, dwError, orEmpty(pszFileName), orEmpty(pszInfClass), dwInfStyle);
  SetLastError(dwError);
  return hInf;
}

BOOL CSetupApi::kSetupCloseInfFile(HINF hInf) {
  if (!pfnSetupCloseInfFile) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupCloseInfFile() return FALSE (1) LastError=%u pfnSetupCloseInfFile is NULL.\n",
        GetLastError());
    return FALSE;
  }
  pfnSetupCloseInfFile(hInf);
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupCloseInfFile() return TRUE (2) hInf=[%p]\n", hInf);
  return TRUE;
}

BOOL CSetupApi::kSetupGetInfInformation(LPCVOID pInfSpec, DWORD dwSearchControl, PSP_INF_INFORMATION pReturnBuffer,
                                        DWORD dwReturnBufferSize, PDWORD pdwRequiredSize) {
  if (!pfnSetupGetInfInformation) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupGetInfInformation() return FALSE (1) LastError=%u pfnSetupGetInfInformation is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult =
      pfnSetupGetInfInformation(pInfSpec, dwSearchControl, pReturnBuffer, dwReturnBufferSize, pdwRequiredSize);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99(
      "CSetupApi::kSetupGetInfInformation() return [%d] (2) LastError=%u SearchControl=[%u] BufferSize=[%u] "
      "RequiredSize=[%u]\n",
      bResult, dwError, dwSearchControl, dwReturnBufferSize, pdwRequiredSize ? *pdwRequiredSize : 0);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupOpenAppendInfFile(PCSTR pszFileName, HINF hInf, PUINT puErrorLine) {
  if (!pfnSetupOpenAppendInfFile) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupOpenAppendInfFile() return FALSE (1) LastError=%u pfnSetupOpenAppendInfFile is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupOpenAppendInfFile(pszFileName, hInf, puErrorLine);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupOpenAppendInfFile() return [%d] (2) LastError=%u "
                                    "FileName=[%s] hInf=[%p]\n",
                                    bResult, dwError, orEmpty(pszFileName), hInf);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupGetLineText(PINFCONTEXT pContext, HINF hInf, PCSTR pszSection, PCSTR pszKey,
                                  PSTR pszReturnBuffer, DWORD dwReturnBufferSize, PDWORD pdwRequiredSize) {
  if (!pfnSetupGetLineText) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupGetLineText() return FALSE (1) LastError=%u pfnSetupGetLineText is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult =
      pfnSetupGetLineText(pContext, hInf, pszSection, pszKey, pszReturnBuffer, dwReturnBufferSize, pdwRequiredSize);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupGetLineText() return [%d] (2) LastError=%u Section=[%s] "
                                    "Key=[%s] RequiredSize=[%u]\n",
                                    bResult, dwError, orEmpty(pszSection), orEmpty(pszKey),
                                    pdwRequiredSize ? *pdwRequiredSize : 0);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupFindFirstLine(HINF hInf, PCSTR pszSection, PCSTR pszKey, PINFCONTEXT pContext) {
  if (!pfnSetupFindFirstLine) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupFindFirstLine() return FALSE (1) LastError=%u pfnSetupFindFirstLine is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupFindFirstLine(hInf, pszSection, pszKey, pContext);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99(
      "CSetupApi::kSetupFindFirstLine() return [%d] (2) LastError=%u Section=[%s] Key=[%s]\n", bResult, dwError,
      orEmpty(pszSection), orEmpty(pszKey));
  // Callers tell an absent section (ERROR_LINE_NOT_FOUND) from a real failure.
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupFindNextLine(PINFCONTEXT pContextIn, PINFCONTEXT pContextOut) {
  if (!pfnSetupFindNextLine) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupFindNextLine() return FALSE (1) LastError=%u pfnSetupFindNextLine is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupFindNextLine(pContextIn, pContextOut);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupFindNextLine() return [%d] (2) LastError=%u\n", bResult,
                                    dwError);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupGetStringField(PINFCONTEXT pContext, DWORD dwFieldIndex, PSTR pszReturnBuffer,
                                     DWORD dwReturnBufferSize, PDWORD pdwRequiredSize) {
  if (!pfnSetupGetStringField) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupGetStringField() return FALSE (1) LastError=%u pfnSetupGetStringField is NULL.\n",
        GetLastError());
    return FALSE;
  }
  // A field beyond the end fails without setting an error on some systems;
  // starting from 0 keeps a stale value from being read as the reason.
  SetLastError(0);
  const BOOL bResult = pfnSetupGetStringField(pContext, dwFieldIndex, pszReturnBuffer, dwReturnBufferSize,
                                              pdwRequiredSize);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99(
      "CSetupApi::kSetupGetStringField() return [%d] (2) LastError=%u FieldIndex=[%u] RequiredSize=[%u]\n", bResult,
      dwError, dwFieldIndex, pdwRequiredSize ? *pdwRequiredSize : 0);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupGetTargetPath(HINF hInf, PINFCONTEXT pContext, PCSTR pszSection, PSTR pszReturnBuffer,
                                    DWORD dwReturnBufferSize, PDWORD pdwRequiredSize) {
  if (!pfnSetupGetTargetPath) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupGetTargetPath() return FALSE (1) LastError=%u pfnSetupGetTargetPath is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult =
      pfnSetupGetTargetPath(hInf, pContext, pszSection, pszReturnBuffer, dwReturnBufferSize, pdwRequiredSize);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupGetTargetPath() return [%d] (2) LastError=%u Section=[%s] "
                                    "Path=[%s]\n",
                                    bResult, dwError, orEmpty(pszSection),
                                    bResult && pszReturnBuffer ? pszReturnBuffer : "");
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupGetSourceFileLocation(HINF hInf, PINFCONTEXT pContext, PCSTR pszFileName, PUINT puSourceId,
                                            PSTR pszReturnBuffer, DWORD dwReturnBufferSize,
                                            PDWORD pdwRequiredSize) {
  if (!pfnSetupGetSourceFileLocation) {
    kDriverInfoLog().kWriteLog("CSetupApi::kSetupGetSourceFileLocation() return FALSE (1) LastError=%u "
                               "pfnSetupGetSourceFileLocation is NULL.\n",
                               GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupGetSourceFileLocation(hInf, pContext, pszFileName, puSourceId, pszReturnBuffer,
                                                     dwReturnBufferSize, pdwRequiredSize);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupGetSourceFileLocation() return [%d] (2) LastError=%u "
                                    "FileName=[%s] SourceId=[%u]\n",
                                    bResult, dwError, orEmpty(pszFileName),
                                    bResult && puSourceId ? *puSourceId : 0);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupGetSourceInfo(HINF hInf, UINT uSourceId, UINT uInfoDesired, PSTR pszReturnBuffer,
                                    DWORD dwReturnBufferSize, PDWORD pdwRequiredSize) {
  if (!pfnSetupGetSourceInfo) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupGetSourceInfo() return FALSE (1) LastError=%u pfnSetupGetSourceInfo is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult =
      pfnSetupGetSourceInfo(hInf, uSourceId, uInfoDesired, pszReturnBuffer, dwReturnBufferSize, pdwRequiredSize);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupGetSourceInfo() return [%d] (2) LastError=%u SourceId=[%u] "
                                    "InfoDesired=[%u]\n",
                                    bResult, dwError, uSourceId, uInfoDesired);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupCopyOEMInf(PCSTR pszSourceInfFileName, PCSTR pszOEMSourceMediaLocation,
                                 DWORD dwOEMSourceMediaType, DWORD dwCopyStyle, PSTR pszDestinationInfFileName,
                                 DWORD dwDestinationInfFileNameSize, PDWORD pdwRequiredSize,
                                 PSTR* ppszDestinationInfFileNameComponent, BOOL* pbCopyFailed) {
  if (pbCopyFailed) *pbCopyFailed = TRUE;
  if (!pfnSetupCopyOEMInf) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupCopyOEMInf() return FALSE (1) LastError=%u pfnSetupCopyOEMInf is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupCopyOEMInf(pszSourceInfFileName, pszOEMSourceMediaLocation, dwOEMSourceMediaType,
                                          dwCopyStyle, pszDestinationInfFileName, dwDestinationInfFileNameSize,
                                          pdwRequiredSize, ppszDestinationInfFileNameComponent);
  const DWORD dwError = GetLastError();
  if (pbCopyFailed) *pbCopyFailed = bResult ? FALSE : TRUE;
  kDriverInfoLog().kWriteLogLevel1("CSetupApi::kSetupCopyOEMInf() return [%d] (2) LastError=%u Source=[%s] "
                                   "Destination=[%s]\n",
                                   bResult, dwError, orEmpty(pszSourceInfFileName),
                                   bResult && pszDestinationInfFileName ? pszDestinationInfFileName : "");
  SetLastError(dwError);
  return bResult;
}

DWORD CSetupApi::kSetupGetFileCompressionInfo(PCSTR pszSourceFileName, PSTR* ppszActualSourceFileName,
                                              PDWORD pdwSourceFileSize, PDWORD pdwTargetFileSize,
                                              PUINT puCompressionType) {
  if (!pfnSetupGetFileCompressionInfo) {
    kDriverInfoLog().kWriteLog("CSetupApi::kSetupGetFileCompressionInfo() return [%u] (1) LastError=%u "
                               "pfnSetupGetFileCompressionInfo is NULL.\n",
                               static_cast<unsigned>(ERROR_PROC_NOT_FOUND), GetLastError());
    return ERROR_PROC_NOT_FOUND;
  }
  const DWORD dwResult = pfnSetupGetFileCompressionInfo(pszSourceFileName, ppszActualSourceFileName,
                                                        pdwSourceFileSize, pdwTargetFileSize, puCompressionType);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupGetFileCompressionInfo() return [%u] (2) LastError=%u "
                                    "SourceFileName=[%s] CompressionType=[%u]\n",
                                    dwResult, dwError, orEmpty(pszSourceFileName),
                                    dwResult == NO_ERROR && puCompressionType ? *puCompressionType : 0);
  SetLastError(dwError);
  return dwResult;
}

DWORD CSetupApi::kSetupDecompressOrCopyFile(PCSTR pszSourceFileName, PCSTR pszTargetFileName,
                                            PUINT puCompressionType) {
  if (!pfnSetupDecompressOrCopyFile) {
    kDriverInfoLog().kWriteLog("CSetupApi::kSetupDecompressOrCopyFile() return [%u] (1) LastError=%u "
                               "pfnSetupDecompressOrCopyFile is NULL.\n",
                               static_cast<unsigned>(ERROR_PROC_NOT_FOUND), GetLastError());
    return ERROR_PROC_NOT_FOUND;
  }
  const DWORD dwResult = pfnSetupDecompressOrCopyFile(pszSourceFileName, pszTargetFileName, puCompressionType);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel1("CSetupApi::kSetupDecompressOrCopyFile() return [%u] (2) LastError=%u "
                                   "Source=[%s] Target=[%s]\n",
                                   dwResult, dwError, orEmpty(pszSourceFileName), orEmpty(pszTargetFileName));
  SetLastError(dwError);
  return dwResult;
}

HDEVINFO CSetupApi::kSetupDiGetClassDevs(const GUID* pClassGuid, PCSTR pszEnumerator, HWND hwndParent,
                                         DWORD dwFlags) {
  if (!pfnSetupDiGetClassDevs) {
    kDriverInfoLog().kWriteLog("CSetupApi::kSetupDiGetClassDevs() return INVALID_HANDLE_VALUE (1) LastError=%u "
                               "pfnSetupDiGetClassDevs is NULL.\n",
                               GetLastError());
    return INVALID_HANDLE_VALUE;
  }
  HDEVINFO hDevInfo = pfnSetupDiGetClassDevs(pClassGuid, pszEnumerator, hwndParent, dwFlags);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel1("CSetupApi::kSetupDiGetClassDevs() return [%p] (2) LastError=%u "
                                   "Enumerator=[%s] Flags=[0x%x]\n",
                                   hDevInfo, dwError, orEmpty(pszEnumerator), dwFlags);
  SetLastError(dwError);
  return hDevInfo;
}

BOOL CSetupApi::kSetupDiEnumDeviceInfo(HDEVINFO hDevInfo, DWORD dwMemberIndex, PSP_DEVINFO_DATA pDeviceInfoData) {
  if (!pfnSetupDiEnumDeviceInfo) {
    kDriverInfoLog().kWriteLog(
        "CSetupApi::kSetupDiEnumDeviceInfo() return FALSE (1) LastError=%u pfnSetupDiEnumDeviceInfo is NULL.\n",
        GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupDiEnumDeviceInfo(hDevInfo, dwMemberIndex, pDeviceInfoData);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99(
      "CSetupApi::kSetupDiEnumDeviceInfo() return [%d] (2) LastError=%u MemberIndex=[%u]\n", bResult, dwError,
      dwMemberIndex);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupDiGetDeviceRegistryProperty(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDeviceInfoData,
                                                  DWORD dwProperty, PDWORD pdwPropertyRegDataType,
                                                  PBYTE pPropertyBuffer, DWORD dwPropertyBufferSize,
                                                  PDWORD pdwRequiredSize) {
  if (!pfnSetupDiGetDeviceRegistryProperty) {
    kDriverInfoLog().kWriteLog("CSetupApi::kSetupDiGetDeviceRegistryProperty() return FALSE (1) LastError=%u "
                               "pfnSetupDiGetDeviceRegistryProperty is NULL.\n",
                               GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupDiGetDeviceRegistryProperty(hDevInfo, pDeviceInfoData, dwProperty,
                                                           pdwPropertyRegDataType, pPropertyBuffer,
                                                           dwPropertyBufferSize, pdwRequiredSize);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupDiGetDeviceRegistryProperty() return [%d] (2) LastError=%u "
                                    "Property=[%u] RequiredSize=[%u]\n",
                                    bResult, dwError, dwProperty, pdwRequiredSize ? *pdwRequiredSize : 0);
  SetLastError(dwError);
  return bResult;
}

BOOL CSetupApi::kSetupDiDestroyDeviceInfoList(HDEVINFO hDevInfo) {
  if (!pfnSetupDiDestroyDeviceInfoList) {
    kDriverInfoLog().kWriteLog("CSetupApi::kSetupDiDestroyDeviceInfoList() return FALSE (1) LastError=%u "
                               "pfnSetupDiDestroyDeviceInfoList is NULL.\n",
                               GetLastError());
    return FALSE;
  }
  const BOOL bResult = pfnSetupDiDestroyDeviceInfoList(hDevInfo);
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel99("CSetupApi::kSetupDiDestroyDeviceInfoList() return [%d] (2) LastError=%u\n",
                                    bResult, dwError);
  SetLastError(dwError);
  return bResult;
}
