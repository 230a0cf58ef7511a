// Resource.ini, the resource and licence folders, and the licence text.
#include "resources/rsc_file.h"

#include <vector>

#include "system/handle_owner.h"

namespace {

constexpr const char* kResourceIni = "Resource.ini";
constexpr const char* kResourceSection = "Resource";
constexpr const char* kDefaultFolder = "DrvInst";
constexpr const char* kDefaultLicensePrefix = "DI_";
// A licence text is a page of prose; anything larger is not one.
constexpr DWORD kMaxLicenseBytes = 16 * 1024 * 1024;
// ERROR_FILE_TOO_LARGE, reported for a licence file beyond that size.
constexpr DWORD kErrorFileTooLarge = 223;

BOOL isAbsolutePath(const std::string& strPath) {
  if (strPath.size() >= 2 && strPath[1] == ':') return TRUE;
  return !strPath.empty() && (strPath[0] == '\\' || strPath[0] == '/');
}

// Drops trailing backslashes, but keeps the one of a drive root ("C:\").
std::string withoutTrailingSlash(std::string strPath) {
  while (strPath.size() > 1 && (strPath.back() == '\\' || strPath.back() == '/')) {
    if (strPath.size() == 3 && strPath[1] == ':') break;
    strPath.pop_back();
  }
  return strPath;
}

// Converts UTF-16 text to the ANSI code page; FALSE when it cannot.
BOOL wideToAnsi(const WCHAR* pText, int nLength, std::string& strOut) {
  strOut.clear();
  if (nLength == 0) return TRUE;
  const int nBytes = WideCharToMultiByte(CP_ACP, 0, pText, nLength, nullptr, 0, nullptr, nullptr);
  if (nBytes <= 0) return FALSE;
  strOut.assign(static_cast<size_t>(nBytes), '\0');
  return WideCharToMultiByte(CP_ACP, 0, pText, nLength, strOut.data(), nBytes, nullptr, nullptr) == nBytes;
}

// Licence texts are written by the maker in whatever editor they use: a file
// that starts with a UTF-16 or UTF-8 byte order mark is converted to the
// system's ANSI code page, any other file is taken as ANSI text already.
BOOL decodeLicenseText(const std::string& strRaw, std::string& strText) {
  if (strRaw.size() >= 2 && static_cast<unsigned char>(strRaw[0]) == 0xFF &&
      static_cast<unsigned char>(strRaw[1]) == 0xFE) {
    const size_t nUnits = (strRaw.size() - 2) / 2;
    std::vector<WCHAR> wide(nUnits);
    for (size_t i = 0; i < nUnits; ++i) {
      wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(strRaw[2 + 2 * i]) |
                                   (static_cast<unsigned char>(strRaw[3 + 2 * i]) << 8));
    }
    return wideToAnsi(wide.data(), static_cast<int>(nUnits), strText);
  }
  if (strRaw.size() >= 3 && static_cast<unsigned char>(strRaw[0]) == 0xEF &&
      static_cast<unsigned char>(strRaw[1]) == 0xBB && static_cast<unsigned char>(strRaw[2]) == 0xBF) {
    const int nBytes = static_cast<int>(strRaw.size() - 3);
    if (nBytes == 0) {
      strText.clear();
      return TRUE;
    }
    const int nWide = MultiByteToWideChar(CP_UTF8, 0, strRaw.data() + 3, nBytes, nullptr, 0);
    if (nWide <= 0) return FALSE;
    std::vector<WCHAR> wide(static_cast<size_t>(nWide));
    if (MultiByteToWideChar(CP_UTF8, 0, strRaw.data() + 3, nBytes, wide.data(), nWide) != nWide) return FALSE;
    return wideToAnsi(wide.data(), nWide, strText);
  }
  strText = strRaw;
  return TRUE;
}

// The text line by line, each line ended by CR LF as the licence page's edit
// control needs it.
std::string toLines(const std::string& strText) {
  std::string strOut;
  strOut.reserve(strText.size() + strText.size() / 32 + 2);
  size_t nStart = 0;
  while (nStart < strText.size()) {
    size_t nEnd = strText.find('\n', nStart);
    const bool bLast = (nEnd == std::string::npos);
    if (bLast) nEnd = strText.size();
    size_t nLineEnd = nEnd;
    if (nLineEnd > nStart && strText[nLineEnd - 1] == '\r') --nLineEnd;
    strOut.append(strText, nStart, nLineEnd - nStart);
    strOut.append("\r\n");
    nStart = nEnd + 1;
  }
  return strOut;
}

}  // namespace

BOOL CRscFile::kReadResourceKey(const std::string& strIniFile, const char* pszKey, std::string& strValue) {
  int nCode = 0;
  if (m_rCommonInfo.kGetPrivateProfile(strIniFile, kResourceSection, pszKey, strValue, nCode)) return TRUE;
  if (nCode == 1) {
    m_rBase.kSetKeyAccessError(strIniFile, kResourceSection, pszKey, 1);
    return FALSE;
  }
  // A missing key means the default folder.
  strValue.clear();
  return TRUE;
}

std::string CRscFile::kMakeFolderPath(const std::string& strWritten) const {
  const std::string strPath = strWritten.empty() ? std::string(kDefaultFolder) : strWritten;
  if (isAbsolutePath(strPath)) return withoutTrailingSlash(strPath);
  const std::string strJoined = kRscJoinPath(m_rBase.m_strModulePath, strPath);
  char szFull[MAX_PATH * 2] = {};
  const DWORD dwLength = GetFullPathNameA(strJoined.c_str(), sizeof(szFull), szFull, nullptr);
  if (dwLength == 0 || dwLength >= sizeof(szFull)) return withoutTrailingSlash(strJoined);
  return withoutTrailingSlash(std::string(szFull, dwLength));
}

BOOL CRscFile::kCheckFilePath(const std::string& strPath) {
  std::string strLookup = strPath;
  std::string strShort;
  if (m_rCommonInfo.kGetShortPathName(strPath, strShort)) strLookup = strShort;
  WIN32_FIND_DATAA data;
  CFindOwner find(FindFirstFileA(withoutTrailingSlash(strLookup).c_str(), &data));
  if (find.kGet() == INVALID_HANDLE_VALUE) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetWinApiError("FindFirstFile", dwError,
                            " File[" + strPath + "]\n " + std::string("CRscFile::kCheckFilePath") + "\n");
    m_Log.kWriteLog("CRscFile::kCheckFilePath() return FALSE (1) LastError=%u FindFirstFile fail. Path=%s\n", dwError,
                    strPath.c_str());
    return FALSE;
  }
  return TRUE;
}

BOOL CRscFile::kResourceIniAnalyze() {
  const std::string strLongIni = m_rBase.m_strModulePath + kResourceIni;
  std::string strIniFile;
  // A package without Resource.ini uses the default folders; its name is
  // then read in its long form and every key comes back missing.
  if (!m_rCommonInfo.kGetShortPathName(strLongIni, strIniFile)) strIniFile = strLongIni;

  std::string strResourcePath;
  if (!kReadResourceKey(strIniFile, "ResourcePath", strResourcePath)) {
    m_Log.kWriteLog("CRscFile::kResourceIniAnalyze() return FALSE (1) LastError=%u ResourcePath is empty.\n",
                    GetLastError());
    return FALSE;
  }
  std::string strLicensePath;
  if (!kReadResourceKey(strIniFile, "LicensePath", strLicensePath)) {
    m_Log.kWriteLog("CRscFile::kResourceIniAnalyze() return FALSE (2) LastError=%u LicensePath is empty.\n",
                    GetLastError());
    return FALSE;
  }

  const std::string strResourceFolder = kMakeFolderPath(strResourcePath);
  if (!kCheckFilePath(strResourceFolder)) {
    m_Log.kWriteLog("CRscFile::kResourceIniAnalyze() return FALSE (3) LastError=%u Resource folder not found. %s\n",
                    GetLastError(), strResourceFolder.c_str());
    return FALSE;
  }
  const std::string strLicenseFolder = kMakeFolderPath(strLicensePath);
  if (!kCheckFilePath(strLicenseFolder)) {
    m_Log.kWriteLog("CRscFile::kResourceIniAnalyze() return FALSE (4) LastError=%u License folder not found. %s\n",
                    GetLastError(), strLicenseFolder.c_str());
    return FALSE;
  }
  m_rBase.m_strResourcePath = strResourceFolder;
  m_rBase.m_strLicensePath = strLicenseFolder;
  m_Log.kWriteLogLevel1("CRscFile::kResourceIniAnalyze() return TRUE (5) Resource=[%s] License=[%s]\n",
                        strResourceFolder.c_str(), strLicenseFolder.c_str());
  return TRUE;
}

int CRscFile::kGetLicenseFile(std::string& strText, const std::string& strPrefix) {
  const std::string strName =
      (strPrefix.empty() ? std::string(kDefaultLicensePrefix) : strPrefix) + m_rBase.m_CurrentLang.strOmittedName +
      ".txt";
  const std::string strFile = kRscJoinPath(m_rBase.m_strLicensePath, strName);

  if (GetFileAttributesA(strFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    const DWORD dwError = GetLastError();
    m_Log.kWriteLogLevel1("CRscFile::kGetLicenseFile() return 1 (1) LastError=%u File not found. %s\n", dwError,
                          strFile.c_str());
    return DEF_GETFILE_FILE_NOT_FOUND;
  }

  CHandleOwner file(
      CreateFileA(strFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.kIsValid()) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetFileAccessError(strFile, "Open", dwError);
    m_Log.kWriteLog("CRscFile::kGetLicenseFile() return 99 (2) LastError=%u Open fail. %s\n", dwError,
                    strFile.c_str());
    return DEF_GETFILE_FAILED;
  }

  std::string strRaw;
  char chunk[8192];
  for (;;) {
    DWORD dwRead = 0;
    if (!ReadFile(file.kGet(), chunk, sizeof(chunk), &dwRead, nullptr)) {
      const DWORD dwError = GetLastError();
      m_rBase.kSetFileAccessError(strFile, "ReadString", dwError);
      m_Log.kWriteLog("CRscFile::kGetLicenseFile() return 99 (3) LastError=%u Read fail. %s\n", dwError,
                      strFile.c_str());
      return DEF_GETFILE_FAILED;
    }
    if (dwRead == 0) break;
    if (strRaw.size() + dwRead > kMaxLicenseBytes) {
      m_rBase.kSetFileAccessError(strFile, "ReadString", kErrorFileTooLarge);
      m_Log.kWriteLog("CRscFile::kGetLicenseFile() return 99 (4) LastError=%u File too large. %s\n",
                      static_cast<unsigned>(kErrorFileTooLarge), strFile.c_str());
      return DEF_GETFILE_FAILED;
    }
    strRaw.append(chunk, dwRead);
  }

  std::string strDecoded;
  if (!decodeLicenseText(strRaw, strDecoded)) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetFileAccessError(strFile, "ReadString", dwError);
    m_Log.kWriteLog("CRscFile::kGetLicenseFile() return 99 (5) LastError=%u Conversion fail. %s\n", dwError,
                    strFile.c_str());
    return DEF_GETFILE_FAILED;
  }
  strText = toLines(strDecoded);
  m_Log.kWriteLogLevel1("CRscFile::kGetLicenseFile() return 0 (6) %s\n", strFile.c_str());
  return DEF_GETFILE_SUCCESS;
}
