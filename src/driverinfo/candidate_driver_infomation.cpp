// The candidate driver list builder and the detection of driver file
// versions and platforms.
#include "driverinfo/candidate_driver_infomation.h"

#include <cstring>
#include <vector>

#include "driverinfo/driver_info_log.h"
#include "driverinfo/setup_api.h"
#include "driverinfo/vexo_error.h"
#include "system/common_function.h"
#include "system/handle_owner.h"
#include "system/text_utility.h"

namespace {

// Machine types of the PE file header that a printer driver can have.
constexpr WORD kMachineI386 = 0x014C;
constexpr WORD kMachineAmd64 = 0x8664;
constexpr WORD kMachineIa64 = 0x0200;
// The characteristics bit of a DLL in the PE file header.
constexpr WORD kImageFileDll = 0x2000;
// The DOS header is 64 bytes; the offset of the PE headers stands at byte 60.
constexpr DWORD kDosHeaderSize = 64;
constexpr DWORD kPeOffsetPosition = 60;
// Signature, file header and optional header as far as they are read.
constexpr DWORD kPeHeadersSize = 264;
// Signature (4 bytes) and the machine field (2 bytes) must be in the file.
constexpr DWORD kPeMachineEnd = 6;

// The low word of the file's operating-system field names its windowing
// layer; only an exact match counts, since the layer values are not bits
// (VOS__PM32, 3, shares a bit with VOS__WINDOWS16).
bool isWindowsLayer(DWORD dwFileOS, DWORD dwLayer) { return LOWORD(dwFileOS) == dwLayer; }

bool isCabinetType(UINT uType) { return uType == FILE_COMPRESSION_MSZIP || uType == FILE_COMPRESSION_NTCAB; }

// The temporary file of one examination, deleted on every way out.
class CTempFile {
 public:
  explicit CTempFile(std::string strPath) : m_strPath(std::move(strPath)) {}
  ~CTempFile() {
    if (!DeleteFileA(m_strPath.c_str())) {
      kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kGetDriverFileVersion() (11) LastError=%u DeleteFile "
                                 "fail.\n",
                                 GetLastError());
    }
  }
  CTempFile(const CTempFile&) = delete;
  CTempFile& operator=(const CTempFile&) = delete;
  const std::string& kPath() const { return m_strPath; }

 private:
  std::string m_strPath;
};

int logVersion(int nResult, int nExit, const char* pszReason) {
  if (nResult == 0) {
    kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kGetDriverFileVersion() return [%d] (%d) LastError=%u %s\n",
                               nResult, nExit, GetLastError(), pszReason);
  } else {
    kDriverInfoLog().kWriteLogLevel1(
        "CCandidateDriverInfomation::kGetDriverFileVersion() return [%d] (%d) LastError=%u %s\n", nResult, nExit,
        GetLastError(), pszReason);
  }
  return nResult;
}

}  // namespace

CCandidateDriverInfomation::CCandidateDriverInfomation(CInfFile* pInfFile, CSetupApi* pSetupApi)
    : m_pDrvInfFile(pInfFile), m_pSetupApi(pSetupApi) {}

DWORD CCandidateDriverInfomation::kGetDriverFileVersionNo(const std::string& strInfPath,
                                                          const std::string& strDriverFile,
                                                          const std::string& strPath) {
  const std::string strKey = strInfPath + "," + strDriverFile;
  DWORD dwVersion = 0;
  const auto it = m_mapDriverVersion.find(strKey);
  if (it != m_mapDriverVersion.end()) {
    dwVersion = it->second;
  } else {
    std::string strPlatform;
    kGetDriverFileVersion(strDriverFile, strPath, dwVersion, strPlatform);
    m_mapDriverVersion[strKey] = dwVersion;
  }
  kDriverInfoLog().kWriteLogLevel1("CCandidateDriverInfomation::kGetDriverFileVersionNo() return [%d] (1) "
                                   "strInfPath=[%s] strDriverFile=[%s] strPath=[%s]\n",
                                   static_cast<int>(dwVersion), strInfPath.c_str(), strDriverFile.c_str(),
                                   strPath.c_str());
  return dwVersion;
}

int CCandidateDriverInfomation::kGetDriverFileVersion(const std::string& strDriverFile, const std::string& strPath,
                                                      DWORD& dwVersion, std::string& strPlatform) {
  dwVersion = 0;
  strPlatform.clear();

  // 1. The file in the package: in the folder, in its compressed name, or
  // in a sibling disk folder, as the candidate builder finds it.
  std::string strSearched;
  if (!CCommonFunction::kStdAfxSearchFile(strPath.c_str(), strDriverFile.c_str(), strSearched, 1)) {
    return logVersion(0, 2, "kStdAfxSearchFile fail.");
  }
  std::string strFound;
  if (!CCommonFunction::kGetShortPathName(strSearched.c_str(), strFound)) {
    return logVersion(0, 1, "kGetShortPathName fail.");
  }

  // 2. A temporary file to examine, so that the package is never changed.
  char szTempDir[MAX_PATH] = {};
  const DWORD dwTempDir = GetTempPathA(MAX_PATH, szTempDir);
  if (dwTempDir == 0 || dwTempDir >= MAX_PATH) return logVersion(0, 3, "GetTempPath returned zero.");
  char szTempFile[MAX_PATH] = {};
  if (GetTempFileNameA(szTempDir, "NEL", 0, szTempFile) == 0) return logVersion(0, 4, "GetTempFileName fail.");
  const CTempFile temp(szTempFile);
  // 3, 4. Copied or expanded.
  if (const int nExit = kCopyForExamination(strFound, temp.kPath()); nExit != 0) {
    return logVersion(0, nExit, nExit == 5 ? "CopyFile fail." : nExit == 12 ? "SetupDecompressOrCopyFile fail."
                                : nExit == 9 ? "LZCopy fail." : "kResetReadOnly fail.");
  }

  // 5. The version resource decides.
  int nResult = 0;
  DWORD dwHandle = 0;
  const DWORD dwSize = GetFileVersionInfoSizeA(temp.kPath().c_str(), &dwHandle);
  if (dwSize > 0) {
    std::vector<BYTE> data(dwSize, 0);
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT uLength = 0;
    if (GetFileVersionInfoA(temp.kPath().c_str(), 0, dwSize, data.data()) &&
        VerQueryValueA(data.data(), "\\", reinterpret_cast<LPVOID*>(&pFixed), &uLength) && pFixed &&
        uLength >= sizeof(VS_FIXEDFILEINFO)) {
      const DWORD dwMinor = LOWORD(pFixed->dwFileVersionMS);
      if (isWindowsLayer(pFixed->dwFileOS, VOS__WINDOWS16)) {
        dwVersion = 0;
        strPlatform = "NTx86";
        nResult = 1;
      } else if (isWindowsLayer(pFixed->dwFileOS, VOS__WINDOWS32) && dwMinor == 2) {
        dwVersion = 2;
        strPlatform = "NTx86";
        nResult = 1;
      } else if (isWindowsLayer(pFixed->dwFileOS, VOS__WINDOWS32) && dwMinor == 3) {
        dwVersion = 3;
        strPlatform = kGetPlatformFromPEHeader(temp.kPath());
        nResult = 1;
      }
    }
  }
  kDriverInfoLog().kWriteLogLevel1("  strDriverFile=[%s] dwVersion=[%u] strPlatform=[%s]\n", strDriverFile.c_str(),
                                   dwVersion, strPlatform.c_str());
  // 6. The temporary file goes with `temp`.
  return logVersion(nResult, 13, nResult ? "recognised." : "no printer driver version resource.");
}

int CCandidateDriverInfomation::kCopyForExamination(const std::string& strFound, const std::string& strTemp) {
  // 3. A plain file is copied; a cabinet is expanded by the Setup API, which
  // reads cabinets where LZ would copy the archive unchanged.
  PSTR pszActual = nullptr;
  DWORD dwSourceSize = 0;
  DWORD dwTargetSize = 0;
  UINT uType = FILE_COMPRESSION_NONE;
  const DWORD dwInfo =
      m_pSetupApi->kSetupGetFileCompressionInfo(strFound.c_str(), &pszActual, &dwSourceSize, &dwTargetSize, &uType);
  std::string strActual = strFound;
  if (dwInfo == NO_ERROR && pszActual) {
    strActual = pszActual;
    LocalFree(pszActual);
  }
  if (dwInfo == NO_ERROR && uType == FILE_COMPRESSION_NONE) {
    if (!CopyFileA(strActual.c_str(), strTemp.c_str(), FALSE)) return 5;
  } else if (dwInfo == NO_ERROR && isCabinetType(uType)) {
    if (m_pSetupApi->kSetupDecompressOrCopyFile(strActual.c_str(), strTemp.c_str(), nullptr) != NO_ERROR) {
      return 12;
    }
  } else {
    // 4. LZ expansion; a file that cannot be opened leaves the temporary file
    // empty, and the version resource is then simply not found.
    OFSTRUCT ofSource = {};
    std::string strOpen = strFound;
    INT hSource = LZOpenFileA(strOpen.data(), &ofSource, OF_READ);
    if (hSource < 0 && !strFound.empty()) {
      std::string strCompressed = strFound;
      strCompressed.back() = '_';
      std::string strShort;
      if (CCommonFunction::kGetShortPathName(strCompressed.c_str(), strShort)) strCompressed = strShort;
      hSource = LZOpenFileA(strCompressed.data(), &ofSource, OF_READ);
    }
    OFSTRUCT ofTarget = {};
    std::string strTarget = strTemp;
    const INT hTarget = LZOpenFileA(strTarget.data(), &ofTarget, OF_CREATE);
    if (hSource >= 0 && hTarget >= 0) {
      const LONG lCopied = LZCopy(hSource, hTarget);
      if (lCopied < 0) {
        LZClose(hSource);
        LZClose(hTarget);
        return 9;
      }
    }
    if (hSource >= 0) LZClose(hSource);
    if (hTarget >= 0) LZClose(hTarget);
    if (!CCommonFunction::kResetReadOnly(strTemp)) return 10;
  }

  return 0;
}

BOOL CCandidateDriverInfomation::kGetFileImage(const std::string& strFound, CFileImage& image) {
  image = CFileImage();
  char szTempDir[MAX_PATH] = {};
  const DWORD dwTempDir = GetTempPathA(MAX_PATH, szTempDir);
  char szTempFile[MAX_PATH] = {};
  if (dwTempDir == 0 || dwTempDir >= MAX_PATH || GetTempFileNameA(szTempDir, "NEL", 0, szTempFile) == 0) {
    kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kGetFileImage() return FALSE (1) LastError=%u no temporary file.\n",
                               GetLastError());
    return FALSE;
  }
  const CTempFile temp(szTempFile);
  if (const int nExit = kCopyForExamination(strFound, temp.kPath()); nExit != 0) {
    kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kGetFileImage() return FALSE (2) LastError=%u exit %d [%s]\n",
                               GetLastError(), nExit, strFound.c_str());
    return FALSE;
  }
  CHandleOwner file(CreateFileA(temp.kPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.kIsValid()) return FALSE;
  // The headers stand at the front: 4 KB hold them in any image a linker makes.
  BYTE head[4096] = {};
  DWORD dwRead = 0;
  if (!ReadFile(file.kGet(), head, sizeof(head), &dwRead, nullptr)) return FALSE;
  image.bRead = TRUE;
  if (dwRead < kDosHeaderSize || head[0] != 'M' || head[1] != 'Z') return TRUE;
  DWORD dwPeOffset = 0;
  std::memcpy(&dwPeOffset, head + kPeOffsetPosition, sizeof(dwPeOffset));
  // Signature (4), machine (2) ... characteristics at 22: 24 bytes.
  if (dwPeOffset > dwRead || dwRead - dwPeOffset < 24) return TRUE;
  if (std::memcmp(head + dwPeOffset, "PE\0\0", 4) != 0) return TRUE;
  image.bPe = TRUE;
  std::memcpy(&image.wMachine, head + dwPeOffset + 4, sizeof(WORD));
  WORD wCharacteristics = 0;
  std::memcpy(&wCharacteristics, head + dwPeOffset + 22, sizeof(WORD));
  image.bDll = (wCharacteristics & kImageFileDll) ? TRUE : FALSE;
  return TRUE;
}

std::string CCandidateDriverInfomation::kFindCoreFile(const std::string& strPlatform, const std::string& strFile) {
  const char* pszEnvironment = kIEquals(strPlatform, "NTamd64") ? "Windows x64"
                               : kIEquals(strPlatform, "NTia64") ? "Windows IA64"
                                                                 : "Windows NT x86";
  std::vector<std::string> lstFolders;
  char szDir[MAX_PATH] = {};
  DWORD dwNeeded = 0;
  std::string strEnvironment = pszEnvironment;
  if (GetPrinterDriverDirectoryA(nullptr, strEnvironment.data(), 1, reinterpret_cast<LPBYTE>(szDir), MAX_PATH,
                                 &dwNeeded)) {
    lstFolders.push_back(std::string(szDir) + "\\3");
    lstFolders.emplace_back(szDir);
  }
  char szSystem[MAX_PATH] = {};
  const UINT uSystem = GetSystemDirectoryA(szSystem, MAX_PATH);
  if (uSystem > 0 && uSystem < MAX_PATH) lstFolders.emplace_back(szSystem);
  for (const std::string& strFolder : lstFolders) {
    const std::string strPath = strFolder + "\\" + strFile;
    const DWORD dwAttributes = GetFileAttributesA(strPath.c_str());
    if (dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) return strPath;
  }
  kDriverInfoLog().kWriteLog("CCandidateDriverInfomation::kFindCoreFile() return [] (1) core file not on this system. "
                             "strPlatform=[%s] strFile=[%s]\n",
                             strPlatform.c_str(), strFile.c_str());
  return std::string();
}

WORD CCandidateDriverInfomation::kMachineOfPlatform(const std::string& strPlatform) {
  if (kIEquals(strPlatform, "NTx86")) return kMachineI386;
  if (kIEquals(strPlatform, "NTamd64")) return kMachineAmd64;
  if (kIEquals(strPlatform, "NTia64")) return kMachineIa64;
  return 0;
}

std::string CCandidateDriverInfomation::kMachineName(WORD wMachine) {
  switch (wMachine) {
    case kMachineI386: return "x86";
    case kMachineAmd64: return "x64";
    case kMachineIa64: return "Itanium";
    case 0x01C4: return "ARM";
    case 0xAA64: return "ARM64";
    default: return kFormatText("machine 0x%04X", wMachine);
  }
}

std::string CCandidateDriverInfomation::kGetPlatformFromPEHeader(const std::string& strFilePath) {
  CDetailLog& log = kDriverInfoLog();
  log.kWriteLogLevel1("kGetPlatformFromPEHeader [%s]\n", strFilePath.c_str());
  CHandleOwner file(CreateFileA(strFilePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.kIsValid()) {
    log.kWriteLog("kGetPlatformFromPEHeader exception!! LastError=%u\n", GetLastError());
    return std::string();
  }
  DWORD dwSizeHigh = 0;
  const DWORD dwSizeLow = GetFileSize(file.kGet(), &dwSizeHigh);
  if (dwSizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
    log.kWriteLog("kGetPlatformFromPEHeader exception!! LastError=%u\n", GetLastError());
    return std::string();
  }
  const std::uint64_t qwSize = (static_cast<std::uint64_t>(dwSizeHigh) << 32) | dwSizeLow;

  BYTE dosHeader[kDosHeaderSize] = {};
  DWORD dwRead = 0;
  if (!ReadFile(file.kGet(), dosHeader, kDosHeaderSize, &dwRead, nullptr) || dwRead != kDosHeaderSize) {
    log.kWriteLog("kGetPlatformFromPEHeader exception!! LastError=%u short DOS header.\n", GetLastError());
    return std::string();
  }
  DWORD dwPeOffset = 0;
  std::memcpy(&dwPeOffset, dosHeader + kPeOffsetPosition, sizeof(dwPeOffset));
  // The offset comes from the file: it must leave room for the signature and
  // the machine field before the end, or the file is not read further.
  if (static_cast<std::uint64_t>(dwPeOffset) + kPeMachineEnd > qwSize) {
    log.kWriteLog("kGetPlatformFromPEHeader exception!! LastError=%u PE offset %u beyond the file size.\n",
                  GetLastError(), dwPeOffset);
    return std::string();
  }
  LONG lHigh = 0;
  if (SetFilePointer(file.kGet(), static_cast<LONG>(dwPeOffset), &lHigh, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    log.kWriteLog("kGetPlatformFromPEHeader exception!! LastError=%u\n", GetLastError());
    return std::string();
  }
  BYTE headers[kPeHeadersSize] = {};
  if (!ReadFile(file.kGet(), headers, kPeHeadersSize, &dwRead, nullptr) || dwRead < kPeMachineEnd) {
    log.kWriteLog("kGetPlatformFromPEHeader exception!! LastError=%u short PE header.\n", GetLastError());
    return std::string();
  }
  WORD wMachine = 0;
  std::memcpy(&wMachine, headers + 4, sizeof(wMachine));
  if (wMachine == kMachineI386) return "NTx86";
  if (wMachine == kMachineAmd64) return "NTamd64";
  log.kWriteLog("kGetPlatformFromPEHeader pe.FileHeader.Machine = %d is unsupported.\n", wMachine);
  return std::string();
}
