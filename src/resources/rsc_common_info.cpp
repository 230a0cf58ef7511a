// Private-profile reads and path helpers of the resource component.
#include "resources/rsc_common_info.h"

#include <vector>

#include "system/text_utility.h"

namespace {

// A key that is missing comes back with this default.
constexpr const char* kNoKey = "NOKEY";
// The platform returns at most 65,535 characters of one value; a buffer this
// large always holds a whole value.
constexpr DWORD kMaxValueBuffer = 65536 + 16;
// Section lists are not limited by the platform; this bound only stops a
// misbehaving reader from growing the buffer for ever.
constexpr DWORD kMaxListBuffer = 16 * 1024 * 1024;

}  // namespace

std::string kRscJoinPath(const std::string& strFolder, const std::string& strName) {
  if (strFolder.empty()) return strName;
  const char cLast = strFolder.back();
  if (cLast == '\\' || cLast == '/') return strFolder + strName;
  return strFolder + "\\" + strName;
}


BOOL CRscCommonInfo::kGetPrivateProfile(const std::string& strFile, const char* pszSection, const char* pszKey,
                                        std::string& strValue, int& nCode) {
  strValue.clear();
  nCode = 0;
  // The buffer grows in small steps: the values read this way are names and
  // numbers, rarely longer than a few characters.
  DWORD dwSize = 16;
  std::vector<char> buffer;
  DWORD dwLength = 0;
  for (;;) {
    buffer.assign(dwSize, '\0');
    dwLength = GetPrivateProfileStringA(pszSection, pszKey, kNoKey, buffer.data(), dwSize, strFile.c_str());
    if (dwLength + 2 < dwSize || dwSize >= kMaxValueBuffer) break;
    dwSize += 16;
  }
  if (dwLength >= dwSize) dwLength = dwSize - 1;
  const std::string strRead(buffer.data(), dwLength);
  if (kIEquals(strRead, kNoKey)) {
    const DWORD dwError = GetLastError();
    m_Log.kWriteLog("CRscCommonInfo::kGetPrivateProfile() return FALSE (1) LastError=%u Key not found. File=%s, "
                    "Section=%s, Key=%s\n",
                    dwError, strFile.c_str(), pszSection, pszKey);
    nCode = 0;
    return FALSE;
  }
  if (strRead.empty()) {
    const DWORD dwError = GetLastError();
    m_Log.kWriteLog("CRscCommonInfo::kGetPrivateProfile() return FALSE (2) LastError=%u Value is empty. File=%s, "
                    "Section=%s, Key=%s\n",
                    dwError, strFile.c_str(), pszSection, pszKey);
    nCode = 1;
    return FALSE;
  }
  strValue = strRead;
  m_Log.kWriteLogLevel99("CRscCommonInfo::kGetPrivateProfile() return TRUE (3) [%s][%s]=[%s]\n", pszSection, pszKey,
                         strValue.c_str());
  return TRUE;
}

BOOL CRscCommonInfo::kEnumSection(const std::string& strFile, std::vector<std::string>& lstSection) {
  lstSection.clear();
  DWORD dwSize = 1024;
  std::vector<char> buffer;
  DWORD dwLength = 0;
  for (;;) {
    buffer.assign(dwSize, '\0');
    dwLength = GetPrivateProfileSectionNamesA(buffer.data(), dwSize, strFile.c_str());
    if (dwLength + 2 != dwSize || dwSize >= kMaxListBuffer) break;
    dwSize *= 2;
  }
  if (dwLength >= dwSize) dwLength = dwSize - 1;
  // The names are separated by NUL characters; the count bounds the walk.
  size_t nStart = 0;
  for (size_t i = 0; i <= dwLength && i < buffer.size(); ++i) {
    if (buffer[i] == '\0') {
      if (i > nStart) lstSection.emplace_back(buffer.data() + nStart, i - nStart);
      nStart = i + 1;
    }
  }
  if (lstSection.empty()) {
    const DWORD dwError = GetLastError();
    m_Log.kWriteLog("CRscCommonInfo::kEnumSection() return FALSE (1) LastError=%u No section. File=%s\n", dwError,
                    strFile.c_str());
    return FALSE;
  }
  m_Log.kWriteLogLevel99("CRscCommonInfo::kEnumSection() return TRUE (2) %u sections\n",
                         static_cast<unsigned>(lstSection.size()));
  return TRUE;
}

BOOL CRscCommonInfo::kGetShortPathName(const std::string& strLongPath, std::string& strShortPath) {
  if (strLongPath.size() >= MAX_PATH) {
    m_Log.kWriteLog("CRscCommonInfo::kGetShortPathName() return FALSE (1)\tThe length of the long path name is "
                    "bigger than MAX_PATH @Path=%s\n",
                    strLongPath.c_str());
    return FALSE;
  }
  const DWORD dwNeeded = GetShortPathNameA(strLongPath.c_str(), nullptr, 0);
  if (dwNeeded == 0) {
    m_Log.kWriteLog("CRscCommonInfo::kGetShortPathName File not found %s\n", strLongPath.c_str());
    return FALSE;
  }
  std::vector<char> buffer(dwNeeded + 1, '\0');
  const DWORD dwLength = GetShortPathNameA(strLongPath.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (dwLength == 0 || dwLength >= buffer.size()) {
    const DWORD dwError = GetLastError();
    m_Log.kWriteLog("CRscCommonInfo::kGetShortPathName() return FALSE (2) LastError=%u Path=%s\n", dwError,
                    strLongPath.c_str());
    return FALSE;
  }
  strShortPath.assign(buffer.data(), dwLength);
  return TRUE;
}

BOOL CRscCommonInfo::kGetModulePath(std::string& strModulePath) {
  strModulePath.clear();
  char szPath[MAX_PATH + 1] = {};
  const DWORD dwLength = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
  if (dwLength == 0 || dwLength >= MAX_PATH) {
    const DWORD dwError = GetLastError();
    m_Log.kWriteLog("CRscCommonInfo::kGetModulePath() return FALSE (1) LastError=%u GetModuleFileName fail.\n",
                    dwError);
    return FALSE;
  }
  std::string strPath(szPath, dwLength);
  const size_t nSlash = strPath.find_last_of("\\/");
  strModulePath = (nSlash == std::string::npos) ? std::string() : strPath.substr(0, nSlash + 1);
  return TRUE;
}
