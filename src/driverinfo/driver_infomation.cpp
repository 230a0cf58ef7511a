// The driver-information facade.
#include "driverinfo/driver_infomation.h"

#include <new>

#include "driverinfo/candidate_driver_infomation.h"
#include "driverinfo/driver_info_log.h"
#include "driverinfo/inf_file.h"
#include "driverinfo/setup_api.h"
#include "system/common_function.h"

namespace {

BOOL logCopy(BOOL bResult, int nExit, const std::string& strReason) {
  if (bResult) {
    kDriverInfoLog().kWriteLogLevel1("CDriverInfomation::kSetupDecompressOrCopyFile() return TRUE (%d) LastError=%u %s\n",
                                     nExit, GetLastError(), strReason.c_str());
  } else {
    kDriverInfoLog().kWriteLog("CDriverInfomation::kSetupDecompressOrCopyFile() return FALSE (%d) LastError=%u %s\n",
                               nExit, GetLastError(), strReason.c_str());
  }
  return bResult;
}

bool fileExists(const std::string& strPath) { return GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

CDriverInfomation::CDriverInfomation() = default;
CDriverInfomation::~CDriverInfomation() = default;

DWORD CDriverInfomation::VEXOInitialize(const std::string& strDllFolder) {
  CDetailLog& log = kDriverInfoLog();
  BOOL bBound = FALSE;
  m_pSetupApi.reset(new (std::nothrow) CSetupApi(strDllFolder, &bBound));
  if (!m_pSetupApi || !bBound) {
    log.kWriteLog("CDriverInfomation::VEXOInitialize() return VEXOERR_SETUPAPI_NOTLOAD (1) LastError=%u new CSetupApi "
                  "fail.\n",
                  GetLastError());
    return VEXOERR_SETUPAPI_NOTLOAD;
  }
  m_pInfFile.reset(new (std::nothrow) CInfFile(m_pSetupApi.get()));
  if (!m_pInfFile) {
    log.kWriteLog("CDriverInfomation::VEXOInitialize() return VEXOERR_CREATE_CLASS (2) LastError=%u new CInfFile "
                  "fail.\n",
                  GetLastError());
    return VEXOERR_CREATE_CLASS;
  }
  m_pCandidate.reset(new (std::nothrow) CCandidateDriverInfomation(m_pInfFile.get(), m_pSetupApi.get()));
  if (!m_pCandidate) {
    log.kWriteLog("CDriverInfomation::VEXOInitialize() return VEXOERR_CREATE_CLASS (3) LastError=%u new "
                  "CCandidateDriverInfomation fail.\n",
                  GetLastError());
    return VEXOERR_CREATE_CLASS;
  }
  log.kWriteLogLevel1("CDriverInfomation::VEXOInitialize() return VEXOERR_SUCCESS (4) LastError=%u strDllFolder=[%s]\n",
                      GetLastError(), strDllFolder.c_str());
  return VEXOERR_SUCCESS;
}

DWORD CDriverInfomation::VEXOMakeCandidateDriverList(std::string strSearchPath, const std::string& strLangID,
                                                     BOOL bListedOnly) {
  if (!m_pCandidate) {
    kDriverInfoLog().kWriteLog("CDriverInfomation::VEXOMakeCandidateDriverList() return [%u] (1) LastError=%u not "
                               "initialised.\n",
                               static_cast<unsigned>(VEXOERR_SOURCEPATHNG), GetLastError());
    return VEXOERR_SOURCEPATHNG;
  }
  const DWORD dwResult = m_pCandidate->kMakeCandidateDriverList(strSearchPath, strLangID, bListedOnly);
  kDriverInfoLog().kWriteLogLevel1("CDriverInfomation::VEXOMakeCandidateDriverList() return [%u] (2) LastError=%u "
                                   "strSearchPath=[%s] strLangID=[%s] bListedOnly=[%d]\n",
                                   dwResult, GetLastError(), strSearchPath.c_str(), strLangID.c_str(), bListedOnly);
  return dwResult;
}

CCandidateDriverList& CDriverInfomation::VEXOGetCandidateDriverList() {
  return m_pCandidate ? m_pCandidate->kGetCandidateList() : m_lstNoCandidate;
}

void CDriverInfomation::VEXOGetErrorInfomatio(std::string& strErrorText1, std::string& strErrorText2) const {
  strErrorText1 = m_pCandidate ? m_pCandidate->kGetErrorText1() : std::string();
  strErrorText2 = m_pCandidate ? m_pCandidate->kGetErrorText2() : std::string();
}

HDEVINFO CDriverInfomation::kSetupDiGetClassDevs(const GUID* pClassGuid, PCSTR pszEnumerator, HWND hwndParent,
                                                 DWORD dwFlags) {
  HDEVINFO hDevInfo = m_pSetupApi ? m_pSetupApi->kSetupDiGetClassDevs(pClassGuid, pszEnumerator, hwndParent, dwFlags)
                                  : INVALID_HANDLE_VALUE;
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel1("CDriverInfomation::kSetupDiGetClassDevs() return [%p] () LastError=%u "
                                   "Enumerator=[%s] Flags=[0x%x]\n",
                                   hDevInfo, dwError, pszEnumerator ? pszEnumerator : "", dwFlags);
  SetLastError(dwError);
  return hDevInfo;
}

BOOL CDriverInfomation::kSetupDiEnumDeviceInfo(HDEVINFO hDevInfo, DWORD dwMemberIndex,
                                               PSP_DEVINFO_DATA pDeviceInfoData) {
  const BOOL bResult =
      m_pSetupApi ? m_pSetupApi->kSetupDiEnumDeviceInfo(hDevInfo, dwMemberIndex, pDeviceInfoData) : FALSE;
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel1("CDriverInfomation::kSetupDiEnumDeviceInfo() return [%d] () LastError=%u "
                                   "MemberIndex=[%u]\n",
                                   bResult, dwError, dwMemberIndex);
  SetLastError(dwError);
  return bResult;
}

BOOL CDriverInfomation::kSetupDiGetDeviceRegistryProperty(HDEVINFO hDevInfo, PSP_DEVINFO_DATA pDeviceInfoData,
                                                          DWORD dwProperty, PDWORD pdwPropertyRegDataType,
                                                          PBYTE pPropertyBuffer, DWORD dwPropertyBufferSize,
                                                          PDWORD pdwRequiredSize) {
  const BOOL bResult = m_pSetupApi ? m_pSetupApi->kSetupDiGetDeviceRegistryProperty(
                                         hDevInfo, pDeviceInfoData, dwProperty, pdwPropertyRegDataType,
                                         pPropertyBuffer, dwPropertyBufferSize, pdwRequiredSize)
                                   : FALSE;
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel1("CDriverInfomation::kSetupDiGetDeviceRegistryProperty() return [%d] () "
                                   "LastError=%u Property=[%u]\n",
                                   bResult, dwError, dwProperty);
  SetLastError(dwError);
  return bResult;
}

BOOL CDriverInfomation::kSetupDiDestroyDeviceInfoList(HDEVINFO hDevInfo) {
  const BOOL bResult = m_pSetupApi ? m_pSetupApi->kSetupDiDestroyDeviceInfoList(hDevInfo) : FALSE;
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel1("CDriverInfomation::kSetupDiDestroyDeviceInfoList() return [%d] () LastError=%u\n",
                                   bResult, dwError);
  SetLastError(dwError);
  return bResult;
}

BOOL CDriverInfomation::kSetupCopyOEMInf(PCSTR pszSourceInfFileName, PCSTR pszOEMSourceMediaLocation,
                                         DWORD dwOEMSourceMediaType, DWORD dwCopyStyle,
                                         PSTR pszDestinationInfFileName, DWORD dwDestinationInfFileNameSize,
                                         PDWORD pdwRequiredSize, PSTR* ppszDestinationInfFileNameComponent,
                                         BOOL* pbCopyFailed) {
  if (pbCopyFailed) *pbCopyFailed = TRUE;
  const BOOL bResult =
      m_pSetupApi ? m_pSetupApi->kSetupCopyOEMInf(pszSourceInfFileName, pszOEMSourceMediaLocation,
                                                  dwOEMSourceMediaType, dwCopyStyle, pszDestinationInfFileName,
                                                  dwDestinationInfFileNameSize, pdwRequiredSize,
                                                  ppszDestinationInfFileNameComponent, pbCopyFailed)
                  : FALSE;
  const DWORD dwError = GetLastError();
  kDriverInfoLog().kWriteLogLevel1("CDriverInfomation::kSetupCopyOEMInf() return [%d] () LastError=%u Source=[%s] "
                                   "MediaType=[%u] CopyStyle=[0x%x] Destination=[%s]\n",
                                   bResult, dwError, pszSourceInfFileName ? pszSourceInfFileName : "",
                                   dwOEMSourceMediaType, dwCopyStyle,
                                   bResult && pszDestinationInfFileName ? pszDestinationInfFileName : "");
  SetLastError(dwError);
  return bResult;
}

BOOL CDriverInfomation::kSetupDecompressOrCopyFile(const std::string& strSource, const std::string& strTarget,
                                                   DWORD dwUnused, std::string* pstrCompressedCopy) {
  (void)dwUnused;
  std::string strShortSource;
  std::string strShortTarget;
  if (!CCommonFunction::kGetShortPathName(strSource.c_str(), strShortSource)) {
    return logCopy(FALSE, 1, "kGetShortPathName fail. Source=[" + strSource + "]");
  }
  if (!CCommonFunction::kGetShortPathName(strTarget.c_str(), strShortTarget)) {
    return logCopy(FALSE, 2, "kGetShortPathName fail. Target=[" + strTarget + "]");
  }
  if (pstrCompressedCopy) pstrCompressedCopy->clear();
  if (!m_pSetupApi) return logCopy(FALSE, 8, "not initialised.");

  // The compressed "_" form is what the package holds when the file itself
  // is missing.
  const std::string strCompressedSource = CCommonFunction::kMakeCompressedName(strShortSource);
  const bool bCompressedUsed = !fileExists(strShortSource) && fileExists(strCompressedSource);

  // A compressed file that the package stores under the "_" name is also
  // kept beside the target, under the target's "_" name, when asked for.
  auto keepCompressedCopy = [&]() -> BOOL {
    if (!pstrCompressedCopy || !bCompressedUsed) return TRUE;
    const std::string strCopy = CCommonFunction::kMakeCompressedName(strShortTarget);
    if (!CopyFileA(strCompressedSource.c_str(), strCopy.c_str(), FALSE)) {
      return logCopy(FALSE, 6, "CopyFile of the compressed file fail. [" + strCopy + "]");
    }
    *pstrCompressedCopy = strCopy;
    return TRUE;
  };

  PSTR pszActual = nullptr;
  DWORD dwSourceSize = 0;
  DWORD dwTargetSize = 0;
  UINT uType = FILE_COMPRESSION_NONE;
  const DWORD dwInfo = m_pSetupApi->kSetupGetFileCompressionInfo(strShortSource.c_str(), &pszActual, &dwSourceSize,
                                                                 &dwTargetSize, &uType);
  std::string strActual = strShortSource;
  if (dwInfo == NO_ERROR && pszActual) {
    strActual = pszActual;
    LocalFree(pszActual);
  }
  if (dwInfo == NO_ERROR && uType == FILE_COMPRESSION_NONE) {
    if (!CopyFileA(strActual.c_str(), strShortTarget.c_str(), FALSE)) {
      kDriverInfoLog().kWriteLog("CDriverInfomation::kSetupDecompressOrCopyFile CopyFile ERROR GetLastCode[%d]\n",
                                 static_cast<int>(GetLastError()));
      return logCopy(FALSE, 7, "Source=[" + strActual + "] Target=[" + strShortTarget + "]");
    }
    return logCopy(TRUE, 9, "copied. Source=[" + strActual + "] Target=[" + strShortTarget + "]");
  }
  if (dwInfo == NO_ERROR && (uType == FILE_COMPRESSION_MSZIP || uType == FILE_COMPRESSION_NTCAB)) {
    // LZ would copy a cabinet unchanged and install a broken driver file.
    const DWORD dwResult = m_pSetupApi->kSetupDecompressOrCopyFile(strActual.c_str(), strShortTarget.c_str(), nullptr);
    if (dwResult != NO_ERROR) {
      SetLastError(dwResult);
      return logCopy(FALSE, 10, "cabinet not expanded. Source=[" + strActual + "] Target=[" + strShortTarget + "]");
    }
    if (!keepCompressedCopy()) return FALSE;
    return logCopy(TRUE, 9, "cabinet expanded. Source=[" + strActual + "] Target=[" + strShortTarget + "]");
  }

  OFSTRUCT ofSource = {};
  std::string strOpen = strShortSource;
  INT hSource = LZOpenFileA(strOpen.data(), &ofSource, OF_READ);
  if (hSource < 0) {
    strOpen = strCompressedSource;
    hSource = LZOpenFileA(strOpen.data(), &ofSource, OF_READ);
    if (hSource < 0) return logCopy(FALSE, 3, "LZOpenFile fail. [" + strCompressedSource + "]");
  }
  OFSTRUCT ofTarget = {};
  std::string strCreate = strShortTarget;
  const INT hTarget = LZOpenFileA(strCreate.data(), &ofTarget, OF_CREATE);
  if (hTarget < 0) {
    LZClose(hSource);
    return logCopy(FALSE, 4, "LZOpenFile(OF_CREATE) fail. [" + strShortTarget + "]");
  }
  const LONG lCopied = LZCopy(hSource, hTarget);
  LZClose(hSource);
  LZClose(hTarget);
  if (lCopied < 0) {
    return logCopy(FALSE, 5,
                   "LZCopy fail. Source=[" + strOpen + "] Target=[" + strShortTarget + "] hSource=[" +
                       std::to_string(hSource) + "] hTarget=[" + std::to_string(hTarget) + "] result=[" +
                       std::to_string(lCopied) + "]");
  }
  if (!keepCompressedCopy()) return FALSE;
  return logCopy(TRUE, 9, "expanded. Source=[" + strOpen + "] Target=[" + strShortTarget + "]");
}
