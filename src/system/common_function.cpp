// File, path and private-profile utilities.
#include "system/common_function.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/reg_operation.h"
#include "system/text_utility.h"

namespace {

constexpr size_t kMaxElement = 255;   // directory, file name and extension parts
constexpr size_t kMaxDrive = 2;       // "C:"
constexpr DWORD kMaxBuffer = 1 << 24; // no profile value or path grows beyond this
constexpr const char* kNoKey = "NOKEY";
constexpr const char* kDriversSection = "Drivers";

// One line of the detail log for an exit of a function of this class.
BOOL logExit(const char* pszFunction, BOOL bResult, int nExit, DWORD dwError, const char* pszReason = "") {
  kProgramLog().kWriteLog("CCommonFunction::%s() return %s (%d) LastError=%u %s\n", pszFunction,
                          bResult ? "TRUE" : "FALSE", nExit, dwError, pszReason);
  return bResult;
}

const char* orEmpty(LPCSTR psz) { return psz ? psz : ""; }

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A path split as the C runtime splits it.
struct CPathParts {
  std::string strDrive;
  std::string strDir;  // with its trailing separator
  std::string strName;
  std::string strExt;  // with its dot
};

CPathParts splitPath(const std::string& strPath) {
  CPathParts parts;
  std::string strRest = strPath;
  if (strRest.size() >= kMaxDrive && strRest[1] == ':') {
    parts.strDrive = strRest.substr(0, kMaxDrive);
    strRest.erase(0, kMaxDrive);
  }
  const size_t nSlash = strRest.find_last_of("\\/");
  if (nSlash != std::string::npos) {
    parts.strDir = strRest.substr(0, nSlash + 1);
    strRest.erase(0, nSlash + 1);
  }
  const size_t nDot = strRest.find_last_of('.');
  if (nDot != std::string::npos) {
    parts.strName = strRest.substr(0, nDot);
    parts.strExt = strRest.substr(nDot);
  } else {
    parts.strName = strRest;
  }
  // Each part holds at most what the runtime's buffers hold.
  for (std::string* pPart : {&parts.strDir, &parts.strName, &parts.strExt}) {
    if (pPart->size() > kMaxElement) pPart->resize(kMaxElement);
  }
  return parts;
}

std::string withoutTrailingSeparator(const std::string& strDir) {
  if (strDir.size() > 1 && isSeparator(strDir.back())) return strDir.substr(0, strDir.size() - 1);
  return strDir;
}

// A private-profile read into a buffer that grows until the answer fits.
// GetPrivateProfileStringA gives the buffer's size less 1 (a value) or less
// 2 (a list of names) when the answer was cut.
std::string readProfileString(LPCSTR pszSection, LPCSTR pszKey, LPCSTR pszDefault, LPCSTR pszFile,
                              DWORD dwFirstSize) {
  std::vector<char> buffer;
  for (DWORD dwSize = dwFirstSize;; dwSize *= 2) {
    buffer.assign(dwSize, '\0');
    const DWORD dwCount = GetPrivateProfileStringA(pszSection, pszKey, pszDefault, buffer.data(), dwSize, pszFile);
    if (dwCount + 2 < dwSize || dwSize >= kMaxBuffer) {
      return std::string(buffer.data(), std::min<size_t>(dwCount, dwSize));
    }
  }
}

// GetFullPathNameA into a string of any length.
BOOL fullPathName(const std::string& strPath, std::string& strFull) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD dwLength = GetFullPathNameA(strPath.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (dwLength == 0) return FALSE;
    if (dwLength < buffer.size()) {
      strFull.assign(buffer.data(), dwLength);
      return TRUE;
    }
    if (dwLength >= kMaxBuffer) return FALSE;
    buffer.assign(static_cast<size_t>(dwLength) + 1, '\0');
  }
}

// The part of a full path that a path beginning with a backslash is
// relative to: "C:" of "C:\dir", or "\\server\share" of a UNC path.
std::string rootOf(const std::string& strFull) {
  if (strFull.size() >= 2 && strFull[1] == ':') return strFull.substr(0, 2);
  if (strFull.size() >= 2 && isSeparator(strFull[0]) && isSeparator(strFull[1])) {
    size_t nAt = strFull.find_first_of("\\/", 2);
    if (nAt != std::string::npos) nAt = strFull.find_first_of("\\/", nAt + 1);
    return nAt == std::string::npos ? strFull : strFull.substr(0, nAt);
  }
  return std::string();
}

// A folder name with every run of digits replaced by one "*" (a character no
// file name holds) and the letters upper-cased: DISK1, disk2 and DISK10 share
// the shape DISK*.
std::string digitShapeOf(std::string_view strName) {
  std::string strShape;
  strShape.reserve(strName.size());
  for (size_t n = 0; n < strName.size(); ++n) {
    const char c = strName[n];
    if (c >= '0' && c <= '9') {
      if (strShape.empty() || strShape.back() != '*') strShape += '*';
      continue;
    }
    strShape += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return strShape;
}

bool hasWildcard(const std::string& str) { return str.find_first_of("?*") != std::string::npos; }

std::string fileNameOf(const std::string& strPath) {
  std::string strName;
  CCommonFunction::kStdAfxGetPathElement(strPath, PATH_ELEMENT_FILE_NAME, strName);
  return strName;
}

// The process-status library, bound at run time: it is a separate library
// on Windows 2000 and XP.
constexpr const char* DI_MODULE_PSAPI = "psapi.dll";
using PFN_ENUMPROCESSES = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using PFN_ENUMPROCESSMODULES = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
using PFN_GETMODULEFILENAMEEXA = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);

// The spooler's program file. Its modules do not count as files in use: the
// installation stops the spooler, which releases them.
constexpr const char* kSpoolerImage = "SPOOLSV.EXE";
constexpr DWORD kFirstProcessBuffer = 1024;

// A block of the process heap, freed when the owner goes.
class CProcessHeapBlock {
 public:
  CProcessHeapBlock() = default;
  ~CProcessHeapBlock() { kReset(nullptr); }
  CProcessHeapBlock(const CProcessHeapBlock&) = delete;
  CProcessHeapBlock& operator=(const CProcessHeapBlock&) = delete;
  // Frees the block held and allocates one of dwBytes; FALSE when that fails.
  BOOL kAllocate(DWORD dwBytes) {
    kReset(HeapAlloc(GetProcessHeap(), 0, dwBytes));
    return m_pBlock != nullptr;
  }
  template <typename T>
  T* kAs() const {
    return static_cast<T*>(m_pBlock);
  }

 private:
  void kReset(LPVOID pBlock) {
    if (m_pBlock) HeapFree(GetProcessHeap(), 0, m_pBlock);
    m_pBlock = pBlock;
  }
  LPVOID m_pBlock = nullptr;
};

// The pending driver names of the spooler for one driver version: the
// subkey names of its PendingUpgrades key. A version without such a key, or
// a key that cannot be read, gives none.
std::vector<std::string> pendingUpgradeNames(DWORD dwVersion) {
  std::vector<std::string> lstNames;
  const char* pszKey = nullptr;
  if (dwVersion == 2) pszKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\PendingUpgrades\\Version-2";
  if (dwVersion == 3) pszKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\PendingUpgrades\\Version-3";
  if (!pszKey) return lstNames;
  CRegOperation key(HKEY_LOCAL_MACHINE, pszKey, FALSE, KEY_ALL_ACCESS);
  if (!key.kIsOpen()) return lstNames;
  DWORD dwSubKeys = 0;
  DWORD cchMaxSubKey = 0;
  const LONG lInfo = RegQueryInfoKeyA(key.kGetKey(), nullptr, nullptr, nullptr, &dwSubKeys, &cchMaxSubKey, nullptr,
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
  if (lInfo != ERROR_SUCCESS) {
    kProgramLog().kWriteLog("  RegQueryInfoKey fail. LastError=%u key=[%s]\n", static_cast<DWORD>(lInfo), pszKey);
    return lstNames;
  }
  // Room for names in a double-byte code page, and their NUL.
  std::vector<char> name(static_cast<size_t>(cchMaxSubKey) * 2 + 1);
  for (DWORD dwIndex = 0; dwIndex < dwSubKeys; ++dwIndex) {
    DWORD cchName = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(key.kGetKey(), dwIndex, name.data(), &cchName, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    lstNames.emplace_back(name.data(), std::min<size_t>(cchName, name.size() - 1));
  }
  return lstNames;
}

}  // namespace

// ---- Paths -------------------------------------------------------------------

BOOL CCommonFunction::kStdAfxGetPathElement(const std::string& strPath, int nCode, std::string& strElement) {
  const CPathParts parts = splitPath(strPath);
  // A directory that is only the root keeps its backslash.
  const bool bRootDir = parts.strDir.size() == 1;
  switch (nCode) {
    case PATH_ELEMENT_DRIVE_DIR:
      strElement = parts.strDrive + (bRootDir ? parts.strDir : withoutTrailingSeparator(parts.strDir));
      break;
    case PATH_ELEMENT_DRIVE_DIR_SLASH:
      strElement = parts.strDrive + parts.strDir;
      break;
    case PATH_ELEMENT_FILE_NAME:
      strElement = parts.strName + parts.strExt;
      break;
    case PATH_ELEMENT_DRIVE:
      strElement = parts.strDrive;
      break;
    case PATH_ELEMENT_DIR:
      strElement = parts.strDir.empty() ? std::string() : parts.strDir.substr(0, parts.strDir.size() - 1);
      break;
    case PATH_ELEMENT_DIR_SLASH:
      strElement = parts.strDir;
      break;
    case PATH_ELEMENT_BASE_NAME:
      strElement = parts.strName;
      break;
    case PATH_ELEMENT_EXTENSION:
      strElement = parts.strExt;
      break;
    case PATH_ELEMENT_WITHOUT_EXTENSION:
      strElement = parts.strDrive + parts.strDir + parts.strName;
      break;
    default:
      strElement.clear();
      kProgramLog().kWriteLogLevel99("CCommonFunction::kStdAfxGetPathElement() unknown code [%d]\n", nCode);
      break;
  }
  kProgramLog().kWriteLogLevel99("CCommonFunction::kStdAfxGetPathElement() return TRUE (1) [%s] %d -> [%s]\n",
                                 strPath.c_str(), nCode, strElement.c_str());
  return TRUE;
}

std::string CCommonFunction::kMakeCompressedName(const std::string& strPath) {
  const CPathParts parts = splitPath(strPath);
  const std::string strBase = parts.strDrive + parts.strDir + parts.strName;
  const std::string strCompressed =
      parts.strExt.empty() ? strBase + "._" : strBase + parts.strExt.substr(0, parts.strExt.size() - 1) + "_";
  kProgramLog().kWriteLogLevel99("CCommonFunction::kMakeCompressedName() return (1) [%s] -> [%s]\n", strPath.c_str(),
                                 strCompressed.c_str());
  return strCompressed;
}

// The result is what changing to the root and resolving the path there
// would give, found without touching the process's current directory: the
// installation thread resolves paths while the user-interface thread does.
BOOL CCommonFunction::kStdAfxGetFullPath(const std::string& strRoot, LPCSTR pszRelativePath,
                                         std::string& strFullPath) {
  const char* const kFn = "kStdAfxGetFullPath";
  if (!pszRelativePath) return logExit(kFn, FALSE, 3, ERROR_INVALID_PARAMETER, "pszRelativePath is NULL.");
  const std::string strRelative = pszRelativePath;
  // "C:name" is relative to the current directory of drive C:, which a
  // process has one of per drive: such a path is not accepted.
  const size_t nColon = strRelative.find(':');
  if (nColon != std::string::npos && (nColon + 1 >= strRelative.size() || strRelative[nColon + 1] != '\\')) {
    logExit(kFn, FALSE, 3, ERROR_INVALID_NAME, "drive-relative path.");
    kProgramLog().kWriteLog("  pszRelativePath=[%s]\n", pszRelativePath);
    return FALSE;
  }

  std::string strTarget = strRelative;
  if (!strRoot.empty() && !strRelative.empty()) {
    std::string strRootFull;
    if (!fullPathName(strRoot, strRootFull)) {
      logExit(kFn, FALSE, 1, GetLastError(), "GetFullPathName(root) fail.");
      kProgramLog().kWriteLog("  strRoot=[%s]\n", strRoot.c_str());
      return FALSE;
    }
    const DWORD dwAttributes = GetFileAttributesA(strRootFull.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      const DWORD dwError = dwAttributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY;
      logExit(kFn, FALSE, 2, dwError, "the root is no directory.");
      kProgramLog().kWriteLog("  strRoot=[%s]\n", strRoot.c_str());
      return FALSE;
    }
    const bool bUnc = strRelative.size() >= 2 && isSeparator(strRelative[0]) && isSeparator(strRelative[1]);
    const bool bAbsolute = bUnc || nColon != std::string::npos;
    if (bAbsolute) {
      strTarget = strRelative;
    } else if (isSeparator(strRelative[0])) {
      strTarget = rootOf(strRootFull) + strRelative;
    } else {
      strTarget = strRootFull;
      if (!isSeparator(strTarget.back())) strTarget += '\\';
      strTarget += strRelative;
    }
  }
  std::string strResult;
  if (strRelative.empty() || !fullPathName(strTarget, strResult)) {
    logExit(kFn, FALSE, 4, GetLastError(), "GetFullPathName fail.");
    kProgramLog().kWriteLog("  pszRelativePath=[%s]\n", pszRelativePath);
    return FALSE;
  }
  strFullPath = strResult;
  kProgramLog().kWriteLogLevel1("CCommonFunction::kStdAfxGetFullPath() return TRUE (5) [%s]\n", strFullPath.c_str());
  return TRUE;
}

BOOL CCommonFunction::kStdAfxGetSystemDirectory(std::string& strSystemDir) {
  std::vector<char> buffer;
  for (UINT uSize = MAX_PATH; uSize < kMaxBuffer; uSize += MAX_PATH) {
    buffer.assign(uSize, '\0');
    const UINT uLength = GetSystemDirectoryA(buffer.data(), uSize);
    if (uLength == 0) return logExit("kStdAfxGetSystemDirectory", FALSE, 1, GetLastError(), "GetSystemDirectory fail.");
    if (uLength < uSize) {
      strSystemDir.assign(buffer.data(), uLength);
      return logExit("kStdAfxGetSystemDirectory", TRUE, 2, 0);
    }
  }
  return logExit("kStdAfxGetSystemDirectory", FALSE, 1, ERROR_INSUFFICIENT_BUFFER, "GetSystemDirectory too long.");
}

BOOL CCommonFunction::kStdAfxGetWindowsDir(LPSTR lpBuffer, UINT uSize) {
  const char* const kFn = "kStdAfxGetWindowsDir";
  if (!lpBuffer || uSize == 0) return logExit(kFn, FALSE, 1, ERROR_INVALID_PARAMETER, "no buffer.");
  std::memset(lpBuffer, 0, uSize);
  std::string strDir;
  if (!kStdAfxGetSystemDirectory(strDir)) return logExit(kFn, FALSE, 2, GetLastError(), "kStdAfxGetSystemDirectory fail.");
  const size_t nSlash = strDir.find_last_of('\\');
  if (nSlash != std::string::npos) strDir.resize(nSlash);
  // The caller's buffer is the limit as well as MAX_PATH.
  if (strDir.size() >= MAX_PATH || strDir.size() >= uSize) {
    logExit(kFn, FALSE, 3, ERROR_INSUFFICIENT_BUFFER);
    kProgramLog().kWriteLog("  Buffer size be lack. need[%d] expect[%d]\n", static_cast<int>(strDir.size() + 1),
                            static_cast<int>(std::min<UINT>(uSize, MAX_PATH)));
    return FALSE;
  }
  std::memcpy(lpBuffer, strDir.c_str(), strDir.size());
  return logExit(kFn, TRUE, 4, 0);
}

BOOL CCommonFunction::kGetShortPathName(LPCSTR pszFileName, std::string& strShortPath) {
  const char* const kFn = "kGetShortPathName";
  if (!pszFileName || std::strlen(pszFileName) >= MAX_PATH) {
    logExit(kFn, FALSE, 1, ERROR_FILENAME_EXCED_RANGE, "The length of the path is MAX_PATH or more.");
    kProgramLog().kWriteLog("  pszFileName=[%s]\n", orEmpty(pszFileName));
    return FALSE;
  }
  char szShort[MAX_PATH];
  std::memset(szShort, 0, sizeof(szShort));
  const DWORD dwLength = GetShortPathNameA(pszFileName, szShort, MAX_PATH);
  if (dwLength == 0) {
    const DWORD dwError = GetLastError();
    if (dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND) {
      strShortPath = pszFileName;
      return logExit(kFn, TRUE, 2, dwError, "no such file: the long name is kept.");
    }
    logExit(kFn, FALSE, 3, dwError, "GetShortPathName fail.");
    kProgramLog().kWriteLog("  pszFileName=[%s]\n", pszFileName);
    return FALSE;
  }
  if (dwLength >= MAX_PATH) {
    logExit(kFn, FALSE, 3, ERROR_INSUFFICIENT_BUFFER, "GetShortPathName fail.");
    kProgramLog().kWriteLog("  pszFileName=[%s]\n", pszFileName);
    return FALSE;
  }
  strShortPath.assign(szShort, dwLength);
  return logExit(kFn, TRUE, 4, 0);
}

// ---- Private profiles -----------------------------------------------------------

BOOL CCommonFunction::kStdAfxGetPrivateProfile(LPCSTR pszIniFile, LPCSTR pszSection, LPCSTR pszKey,
                                               std::string& strValue) {
  strValue = readProfileString(pszSection, pszKey, "", pszIniFile, 128);
  if (strValue.empty()) {
    logExit("kStdAfxGetPrivateProfile", FALSE, 1, GetLastError(), "pstrString is empty.");
    kProgramLog().kWriteLog("  [%s] %s in %s\n", orEmpty(pszSection), orEmpty(pszKey), orEmpty(pszIniFile));
    return FALSE;
  }
  return logExit("kStdAfxGetPrivateProfile", TRUE, 3, 0);
}

BOOL CCommonFunction::kStdAfxGetPrivateProfile(LPCSTR pszIniFile, LPCSTR pszSection, LPCSTR pszKey,
                                               std::string& strValue, BOOL& bKeyExists) {
  strValue = readProfileString(pszSection, pszKey, kNoKey, pszIniFile, 128);
  if (kIEquals(strValue, kNoKey)) {
    strValue.clear();
    bKeyExists = FALSE;
    logExit("kStdAfxGetPrivateProfile", FALSE, 2, GetLastError(), "no such key.");
    kProgramLog().kWriteLog("  [%s] %s in %s\n", orEmpty(pszSection), orEmpty(pszKey), orEmpty(pszIniFile));
    return FALSE;
  }
  bKeyExists = TRUE;
  if (strValue.empty()) {
    logExit("kStdAfxGetPrivateProfile", FALSE, 1, GetLastError(), "pstrString is empty.");
    kProgramLog().kWriteLog("  [%s] %s in %s\n", orEmpty(pszSection), orEmpty(pszKey), orEmpty(pszIniFile));
    return FALSE;
  }
  return logExit("kStdAfxGetPrivateProfile", TRUE, 3, 0);
}

BOOL CCommonFunction::kStdAfxGetPrivateProfileInt(LPCSTR pszIniFile, LPCSTR pszSection, LPCSTR pszKey, INT nDefault,
                                                  UINT* pUint) {
  const UINT uValue = GetPrivateProfileIntA(pszSection, pszKey, nDefault, pszIniFile);
  if (pUint) *pUint = uValue;
  kProgramLog().kWriteLog("CCommonFunction::kStdAfxGetPrivateProfileInt() return TRUE (1) [%s] %s = %u\n",
                          orEmpty(pszSection), orEmpty(pszKey), uValue);
  return TRUE;
}

BOOL CCommonFunction::kStdAfxEnumPrivateProfileKeys(LPCSTR pszIniFileName, LPCSTR pszSection,
                                                    std::vector<std::string>& lstKeys) {
  const LPCSTR pszWhich = pszSection && *pszSection ? pszSection : nullptr;
  const std::string strList = readProfileString(pszWhich, nullptr, "", pszIniFileName, 16);
  size_t nFound = 0;
  for (size_t nAt = 0; nAt < strList.size();) {
    const size_t nEnd = std::min(strList.find('\0', nAt), strList.size());
    if (nEnd == nAt) break;
    lstKeys.push_back(strList.substr(nAt, nEnd - nAt));
    ++nFound;
    nAt = nEnd + 1;
  }
  if (nFound == 0) {
    logExit("kStdAfxEnumPrivateProfileKeys", FALSE, 1, GetLastError(), "no keys.");
    kProgramLog().kWriteLog("  [%s] in %s\n", orEmpty(pszSection), orEmpty(pszIniFileName));
    return FALSE;
  }
  return logExit("kStdAfxEnumPrivateProfileKeys", TRUE, 2, 0);
}

// ---- Files ------------------------------------------------------------------------

BOOL CCommonFunction::kResetReadOnly(const std::string& strFileName) {
  const DWORD dwAttributes = GetFileAttributesA(strFileName.c_str());
  if (dwAttributes == INVALID_FILE_ATTRIBUTES || !(dwAttributes & FILE_ATTRIBUTE_READONLY)) {
    return logExit("kResetReadOnly", TRUE, 1, 0);
  }
  DWORD dwNew = dwAttributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  if (dwNew == 0) dwNew = FILE_ATTRIBUTE_NORMAL;
  if (!SetFileAttributesA(strFileName.c_str(), dwNew)) {
    logExit("kResetReadOnly", FALSE, 2, GetLastError(), "SetFileAttributes fail.");
    kProgramLog().kWriteLog("  strFileName=[%s]\n", strFileName.c_str());
    return FALSE;
  }
  return logExit("kResetReadOnly", TRUE, 3, 0);
}

BOOL CCommonFunction::kStdAfxDeleteFile(LPCSTR pstrFilePath) {
  if (!pstrFilePath) return logExit("kStdAfxDeleteFile", FALSE, 1, ERROR_INVALID_PARAMETER, "pstrFilePath is NULL.");
  (void)kResetReadOnly(pstrFilePath);
  if (!DeleteFileA(pstrFilePath)) {
    logExit("kStdAfxDeleteFile", FALSE, 2, GetLastError(), "DeleteFile fail.");
    kProgramLog().kWriteLog("  pstrFilePath=[%s]\n", pstrFilePath);
    return FALSE;
  }
  return logExit("kStdAfxDeleteFile", TRUE, 3, 0);
}

BOOL CCommonFunction::kStdAfxFileIsExisted(LPCSTR pstrFilePath) {
  if (!pstrFilePath) return logExit("kStdAfxFileIsExisted", FALSE, 1, ERROR_INVALID_PARAMETER, "pstrFilePath is NULL.");
  WIN32_FIND_DATAA data;
  CFindOwner find(FindFirstFileA(pstrFilePath, &data));
  if (find.kGet() == INVALID_HANDLE_VALUE) {
    const DWORD dwError = GetLastError();
    kProgramLog().kWriteLogLevel1("CCommonFunction::kStdAfxFileIsExisted() return FALSE (2) LastError=%u [%s]\n",
                                  dwError, pstrFilePath);
    return FALSE;
  }
  kProgramLog().kWriteLogLevel1("CCommonFunction::kStdAfxFileIsExisted() return TRUE (3) [%s]\n", pstrFilePath);
  return TRUE;
}

BOOL CCommonFunction::kStdAfxFileIsUsed(LPCSTR pstrFilePath) {
  if (!pstrFilePath) return logExit("kStdAfxFileIsUsed", FALSE, 1, ERROR_INVALID_PARAMETER, "pstrFilePath is NULL.");
  CHandleOwner file(
      CreateFileA(pstrFilePath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.kIsValid()) return logExit("kStdAfxFileIsUsed", FALSE, 2, 0, "not in use.");
  const DWORD dwError = GetLastError();
  if (dwError == ERROR_SHARING_VIOLATION || dwError == ERROR_ACCESS_DENIED) {
    logExit("kStdAfxFileIsUsed", TRUE, 3, dwError, "in use.");
    kProgramLog().kWriteLog("  pstrFilePath=[%s]\n", pstrFilePath);
    return TRUE;
  }
  return logExit("kStdAfxFileIsUsed", FALSE, 4, dwError, "CreateFile fail.");
}

BOOL CCommonFunction::kIsHexString(LPCSTR pszTarget) {
  if (!pszTarget) return logExit("kIsHexString", FALSE, 1, ERROR_INVALID_PARAMETER, "pszTarget is NULL.");
  for (const char* p = pszTarget; *p; ++p) {
    if (!std::strchr("0123456789ABCDEF", kUpperAscii(*p))) {
      return logExit("kIsHexString", FALSE, 2, 0, "not a hexadecimal digit.");
    }
  }
  return logExit("kIsHexString", TRUE, 3, 0);
}

BOOL CCommonFunction::kStdAfxDirFileList(const std::string& strDir, const std::string& strPattern,
                                         std::vector<std::string>& lstFiles) {
  std::string strBase = strDir;
  if (strBase.empty() || !isSeparator(strBase.back())) strBase += '\\';

  WIN32_FIND_DATAA data;
  {
    CFindOwner find(FindFirstFileA((strBase + strPattern).c_str(), &data));
    if (find.kGet() == INVALID_HANDLE_VALUE) {
      const DWORD dwError = GetLastError();
      if (dwError != ERROR_FILE_NOT_FOUND) {
        logExit("kStdAfxDirFileList", FALSE, 1, dwError, "FindFirstFile fail.");
        kProgramLog().kWriteLog("  strDir=[%s] strPattern=[%s]\n", strDir.c_str(), strPattern.c_str());
        return FALSE;
      }
    } else {
      do {
        // "." and ".." name no file of the folder, though "?" patterns match them.
        if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) continue;
        lstFiles.push_back(strBase + data.cFileName);
      } while (FindNextFileA(find.kGet(), &data));
    }
  }

  // Windows cannot search below MAX_PATH characters; the limit also ends a
  // descent through a folder that contains itself through a link.
  BOOL bResult = TRUE;
  if (strBase.size() < MAX_PATH) {
    CFindOwner find(FindFirstFileA((strBase + "*.*").c_str(), &data));
    if (find.kGet() != INVALID_HANDLE_VALUE) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) continue;
        if (!kStdAfxDirFileList(strBase + data.cFileName, strPattern, lstFiles)) bResult = FALSE;
      } while (FindNextFileA(find.kGet(), &data));
    }
  }
  kProgramLog().kWriteLogLevel99("CCommonFunction::kStdAfxDirFileList() return %s (2) [%s%s] count=[%u]\n",
                                 bResult ? "TRUE" : "FALSE", strBase.c_str(), strPattern.c_str(),
                                 static_cast<unsigned>(lstFiles.size()));
  return bResult;
}

BOOL CCommonFunction::kStdAfxGetNearlyDirName(const std::string& strTruthDir, const std::string& strInputDir,
                                              std::string& strResult) {
  const char* const kFn = "kStdAfxGetNearlyDirName";
  const long long t = static_cast<long long>(strTruthDir.size());
  const long long i = static_cast<long long>(strInputDir.size());
  const size_t nFirst = strInputDir.find('?');

  if (nFirst == std::string::npos) {
    if (i == 0) return logExit(kFn, FALSE, 4, ERROR_INVALID_PARAMETER, "strInputDir is empty.");
    strResult = strInputDir.substr(0, strInputDir.size() - 1) + "?";
  } else if (i < 2 * t - 2) {
    strResult = nFirst >= 1 ? strInputDir + "?" : "?" + strInputDir;
  } else if (nFirst >= 1) {
    const long long k = t - static_cast<long long>(nFirst);
    if (k < 1) return logExit(kFn, FALSE, 1, 0, "the window left the name.");
    strResult = std::string(static_cast<size_t>(k), '?') + strTruthDir.substr(static_cast<size_t>(k));
  } else {
    const bool bShared = std::any_of(strInputDir.begin(), strInputDir.end(),
                                     [&](char c) { return strTruthDir.find(c) != std::string::npos; });
    if (!bShared) return logExit(kFn, FALSE, 2, 0, "the walk is over.");
    const long long f = static_cast<long long>(strInputDir.rfind('?'));
    const long long k = t + f - i + 2;
    const long long nKeep = i - f - 2;
    if (k < 1 || nKeep < 0 || nKeep > t) return logExit(kFn, FALSE, 3, 0, "the window left the name.");
    strResult = strTruthDir.substr(0, static_cast<size_t>(nKeep)) + std::string(static_cast<size_t>(k), '?');
  }
  kProgramLog().kWriteLogLevel99("CCommonFunction::kStdAfxGetNearlyDirName() return TRUE (5) [%s] -> [%s]\n",
                                 strInputDir.c_str(), strResult.c_str());
  return TRUE;
}

BOOL CCommonFunction::kStdAfxSearchFile(LPCSTR pszSearchPath, LPCSTR pszSearchFile, std::string& strFoundPath,
                                        int nMode) {
  const char* const kFn = "kStdAfxSearchFile";
  std::string strSearchDir = orEmpty(pszSearchPath);
  const std::string strFile = orEmpty(pszSearchFile);
  if (strSearchDir.empty()) return logExit(kFn, FALSE, 1, 0, "strSearchDir is empty.");
  if (strFile.empty()) return logExit(kFn, FALSE, 1, 0, "pszSearchFile is empty.");
  // A folder gets its backslash before the file name; a bare drive ("C:")
  // stays as it is, naming the drive's current folder.
  const bool bBareDrive = strSearchDir.size() == 2 && strSearchDir[1] == ':';
  if (!isSeparator(strSearchDir.back()) && !bBareDrive) strSearchDir += '\\';

  const std::string strDirect = strSearchDir + strFile;
  if (kStdAfxFileIsExisted(strDirect.c_str())) {
    strFoundPath = strDirect;
    return logExit(kFn, TRUE, 2, 0);
  }
  const std::string strCompressed = kMakeCompressedName(strDirect);
  if (kStdAfxFileIsExisted(strCompressed.c_str())) {
    strFoundPath = strCompressed;
    return logExit(kFn, TRUE, 3, 0);
  }

  auto notFound = [&]() {
    logExit(kFn, FALSE, 6, 0, "not found.");
    kProgramLog().kWriteLog("  pszSearchPath=[%s]\n", orEmpty(pszSearchPath));
    kProgramLog().kWriteLog("  pszSearchFile=[%s]\n", orEmpty(pszSearchFile));
    return FALSE;
  };

  // The sibling folders: the disk folders of a package spread over several
  // disks (DISK1, DISK2, ...). Only folders beside this one whose names
  // differ from its name in their digits alone are searched, the folder
  // itself among them (its subfolders); the parent is listed once. Files of
  // unrelated packages beside this one are never taken, and the cost stays
  // linear in the number of folders beside it.
  const std::string strDir = withoutTrailingSeparator(strSearchDir);
  const size_t nSlash = strDir.find_last_of("\\/");
  if (nSlash == std::string::npos) return notFound();
  const std::string strTruth = strDir.substr(nSlash + 1);
  const std::string strParent = strDir.substr(0, nSlash);
  if (strTruth.empty() || hasWildcard(strTruth)) return notFound();
  const std::string strTruthShape = digitShapeOf(strTruth);

  // The last characters of the name may differ in a sibling (FILE.DLL is
  // FILE.DL? there); nMode says how many, at most three.
  const size_t nWild = static_cast<size_t>(std::clamp(nMode, 0, 3));
  const size_t nCut = std::min(nWild, strFile.size());
  const std::string strFilePattern = strFile.substr(0, strFile.size() - nCut) + std::string(nCut, '?');
  const std::string strCompressedFile = kMakeCompressedName(strFile);

  std::vector<std::string> lstSiblings;
  {
    WIN32_FIND_DATAA data;
    CFindOwner find(FindFirstFileA((strParent + "\\*").c_str(), &data));
    if (find.kGet() != INVALID_HANDLE_VALUE) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (std::strcmp(data.cFileName, ".") == 0 || std::strcmp(data.cFileName, "..") == 0) continue;
        const size_t nLength = std::strlen(data.cFileName);
        if (digitShapeOf(std::string_view(data.cFileName, nLength)) != strTruthShape) continue;
        lstSiblings.push_back(strParent + "\\" + data.cFileName);
      } while (FindNextFileA(find.kGet(), &data));
    }
  }
  for (const std::string& strSibling : lstSiblings) {
    std::vector<std::string> lstFiles;
    (void)kStdAfxDirFileList(strSibling, strFilePattern, lstFiles);
    if (!lstFiles.empty()) {
      strFoundPath = lstFiles.front();
      logExit(kFn, TRUE, 4, 0);
      kProgramLog().kWriteLog("  lstFiles.GetCount=[%u]\n", static_cast<unsigned>(lstFiles.size()));
      return TRUE;
    }
    (void)kStdAfxDirFileList(strSibling, strCompressedFile, lstFiles);
    if (!lstFiles.empty()) {
      strFoundPath = lstFiles.front();
      logExit(kFn, TRUE, 5, 0);
      kProgramLog().kWriteLog("  lstFiles.GetCount=[%u]\n", static_cast<unsigned>(lstFiles.size()));
      return TRUE;
    }
  }
  return notFound();
}

BOOL CCommonFunction::kMakePrinterDriverNameFile(LPCSTR pszDriversNameIniFile, LPCSTR pszDriverName,
                                                 BOOL* lpbOverDriversNameKey) {
  const char* const kFn = "kMakePrinterDriverNameFile";
  if (!pszDriversNameIniFile) return logExit(kFn, FALSE, 1, 0, "pszDriversNameIniFile Is NULL.");
  if (!pszDriverName) return logExit(kFn, FALSE, 2, 0, "pszDriverName Is NULL.");
  if (!lpbOverDriversNameKey) return logExit(kFn, FALSE, 3, 0, "lpbOverDriversNameKey Is NULL.");
  *lpbOverDriversNameKey = FALSE;
  // A line break in the name would start a line of its own in the file.
  if (std::strpbrk(pszDriverName, "\r\n")) {
    logExit(kFn, FALSE, 5, ERROR_INVALID_PARAMETER, "pszDriverName holds a line break.");
    return FALSE;
  }

  std::vector<std::string> lstKeys;
  if (kStdAfxFileIsExisted(pszDriversNameIniFile)) {
    (void)kStdAfxEnumPrivateProfileKeys(pszDriversNameIniFile, kDriversSection, lstKeys);
  }
  // Profile keys are found without regard to case, so "drivername01" holds
  // the first number as well.
  UINT uNumber = 1;
  char szKey[32];
  for (;; ++uNumber) {
    std::snprintf(szKey, sizeof(szKey), "DriverName%02u", uNumber);
    const std::string strKey = szKey;
    if (std::none_of(lstKeys.begin(), lstKeys.end(), [&](const std::string& k) { return kIEquals(k, strKey); })) break;
  }
  if (!WritePrivateProfileStringA(kDriversSection, szKey, pszDriverName, pszDriversNameIniFile)) {
    logExit(kFn, FALSE, 4, GetLastError(), "WritePrivateProfileString fail.");
    kProgramLog().kWriteLog("  pszDriversNameIniFile=[%s]\n", pszDriversNameIniFile);
    return FALSE;
  }
  if (uNumber > 99) *lpbOverDriversNameKey = TRUE;
  kProgramLog().kWriteLog("CCommonFunction::kMakePrinterDriverNameFile() return TRUE (6) %s=%s\n", szKey,
                          pszDriverName);
  return TRUE;
}

// ---- The reboot decision -----------------------------------------------------

BOOL CCommonFunction::kIsFileUsingExceptSpooler(const CCandidateDriver* pCDE) {
  const char* const kFn = "kIsFileUsingExceptSpooler";
  if (!pCDE) return logExit(kFn, FALSE, 9, ERROR_INVALID_PARAMETER, "pCDE is NULL.");
  if (!CEnvironment::kIsWin2k()) return logExit(kFn, FALSE, 1, 0, "not Windows 2000 or later.");

  std::vector<std::string> lstFileNames;
  if (pCDE->pDriverFileList) {
    for (const CDriverFile& file : *pCDE->pDriverFileList) lstFileNames.push_back(file.strFileName);
  }
  char szDriverDir[MAX_PATH + 1] = {};
  DWORD cbNeeded = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(szDriverDir), MAX_PATH, &cbNeeded)) {
    kProgramLog().kWriteLog("  GetPrinterDriverDirectory fail. LastError=%u\n", GetLastError());
    szDriverDir[0] = '\0';
  }
  const std::string strDriverDir = kToUpper(szDriverDir);

  CModuleOwner psapi(LoadLibraryA(DI_MODULE_PSAPI));
  if (!psapi.kGet()) {
    return logExit(kFn, FALSE, 2, GetLastError(), kFormatText("LoadLibrary(%s) fail.", DI_MODULE_PSAPI).c_str());
  }
  const auto pfnEnumProcesses = kProcAs<PFN_ENUMPROCESSES>(GetProcAddress(psapi.kGet(), "EnumProcesses"));
  const auto pfnEnumProcessModules =
      kProcAs<PFN_ENUMPROCESSMODULES>(GetProcAddress(psapi.kGet(), "EnumProcessModules"));
  const auto pfnGetModuleFileNameEx =
      kProcAs<PFN_GETMODULEFILENAMEEXA>(GetProcAddress(psapi.kGet(), "GetModuleFileNameExA"));
  if (!pfnEnumProcesses || !pfnEnumProcessModules || !pfnGetModuleFileNameEx) {
    return logExit(kFn, FALSE, 3, GetLastError(), kFormatText("GetProcAddress(%s) fail.", DI_MODULE_PSAPI).c_str());
  }

  // The list is complete once it no longer fills the buffer.
  CProcessHeapBlock processes;
  DWORD cbProcesses = 0;
  for (DWORD cbBuffer = kFirstProcessBuffer;; cbBuffer *= 2) {
    if (cbBuffer > kMaxBuffer || !processes.kAllocate(cbBuffer)) {
      return logExit(kFn, FALSE, 4, GetLastError(), "HeapAlloc fail.");
    }
    if (!pfnEnumProcesses(processes.kAs<DWORD>(), cbBuffer, &cbProcesses)) {
      return logExit(kFn, FALSE, 5, GetLastError(), "EnumProcesses fail.");
    }
    if (cbProcesses < cbBuffer) break;
  }

  const DWORD* pPids = processes.kAs<DWORD>();
  for (DWORD i = 0; i < cbProcesses / sizeof(DWORD); ++i) {
    // The processes this program may not read (the system's own) are passed over.
    CHandleOwner process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pPids[i]));
    if (!process.kIsValid()) continue;
    HMODULE hImage = nullptr;
    DWORD cbModules = 0;
    if (!pfnEnumProcessModules(process.kGet(), &hImage, sizeof(hImage), &cbModules) || cbModules == 0) continue;
    char szImage[MAX_PATH + 1] = {};
    if (!pfnGetModuleFileNameEx(process.kGet(), hImage, szImage, MAX_PATH)) continue;
    if (kIEquals(fileNameOf(szImage), kSpoolerImage)) continue;

    std::vector<HMODULE> modules(cbModules / sizeof(HMODULE));
    DWORD cbFilled = 0;
    if (!pfnEnumProcessModules(process.kGet(), modules.data(), cbModules, &cbFilled)) continue;
    // A module loaded between the two calls is left for the next check.
    modules.resize(std::min<size_t>(modules.size(), cbFilled / sizeof(HMODULE)));
    for (HMODULE hModule : modules) {
      char szModule[MAX_PATH + 1] = {};
      if (!pfnGetModuleFileNameEx(process.kGet(), hModule, szModule, MAX_PATH)) continue;
      const std::string strModule = szModule;
      if (kToUpper(strModule).find(strDriverDir) == std::string::npos) continue;
      const std::string strModuleName = fileNameOf(strModule);
      const bool bByName = std::any_of(lstFileNames.begin(), lstFileNames.end(),
                                       [&](const std::string& strName) { return kIEquals(strName, strModuleName); });
      const bool bByPath = kIEquals(strModule, pCDE->strDriverPath) || kIEquals(strModule, pCDE->strConfigFile) ||
                           kIEquals(strModule, pCDE->strDataFile) || kIEquals(strModule, pCDE->strHelpFile);
      if (bByName || bByPath) {
        logExit(kFn, TRUE, bByName ? 7 : 8, 0, bByName ? "file name matched." : "full path matched.");
        kProgramLog().kWriteLog("  ProcessId=[%u] Image=[%s] Module=[%s]\n", pPids[i], szImage, szModule);
        return TRUE;
      }
    }
  }
  return logExit(kFn, FALSE, 6, 0, "no process uses the files.");
}

BOOL CCommonFunction::kIsExistPendingUpgradesDriver(const CCandidateDriver* pCDE,
                                                    const CPresentDriverList& lstPresentDriver) {
  const char* const kFn = "kIsExistPendingUpgradesDriver";
  if (!pCDE) return logExit(kFn, FALSE, 4, ERROR_INVALID_PARAMETER, "pCDE is NULL.");
  const std::vector<std::string> lstPending = pendingUpgradeNames(pCDE->dwInfOSVersion);
  for (const CPresentDriver& present : lstPresentDriver) {
    for (const std::string& strPending : lstPending) {
      if (!kIEquals(strPending, present.strName)) continue;
      if (kIEquals(pCDE->strDriverName, strPending)) {
        logExit(kFn, TRUE, 1, 0, "the driver's name is pending.");
        kProgramLog().kWriteLog("  strDriverName=[%s]\n", strPending.c_str());
        return TRUE;
      }
      // The driver file's name is compared as it is written.
      if (fileNameOf(present.strDriverPath) == pCDE->strDriverFile) {
        logExit(kFn, TRUE, 2, 0, "the driver file is pending.");
        kProgramLog().kWriteLog("  strDriverName=[%s] strDriverPath=[%s]\n", strPending.c_str(),
                                present.strDriverPath.c_str());
        return TRUE;
      }
    }
  }
  return logExit(kFn, FALSE, 3, 0, "no pending upgrade.");
}
