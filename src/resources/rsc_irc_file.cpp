// Reading the UTF-16 message catalogue through the wide profile functions.
//
// The functions are bound at run time from Kernel32.dll, as the component has
// always done, so that the program keeps starting on systems where they are
// missing and reports that instead.
#include "resources/rsc_irc_file.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "system/handle_owner.h"

namespace {

typedef DWORD(WINAPI* PFN_GetPrivateProfileStringW)(LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD, LPCWSTR);
typedef DWORD(WINAPI* PFN_GetPrivateProfileSectionNamesW)(LPWSTR, DWORD, LPCWSTR);
typedef DWORD(WINAPI* PFN_GetPrivateProfileSectionW)(LPCWSTR, LPWSTR, DWORD, LPCWSTR);

using WideString = std::basic_string<WCHAR>;

constexpr const char* kAnalysisInfo = "CRscIRCFile::kIRCFileAnalysis";
constexpr DWORD kKeyNameStep = 8192;
constexpr DWORD kValueStep = 4096;
// Bounds that only stop a misbehaving reader from growing a buffer for ever;
// real catalogues stay far below them.
constexpr DWORD kMaxListBuffer = 64 * 1024 * 1024;
constexpr DWORD kMaxValueBuffer = 1024 * 1024;

template <typename T>
T bind(HMODULE hModule, const char* pszName) {
  return reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(hModule, pszName)));
}

// The wide profile functions of Kernel32.dll, bound for one use and released
// afterwards.
class CWideProfile {
 public:
  CWideProfile() : m_Module(LoadLibraryA("Kernel32.dll")) {
    if (!m_Module.kGet()) return;
    m_pGetString = bind<PFN_GetPrivateProfileStringW>(m_Module.kGet(), "GetPrivateProfileStringW");
    m_pGetSectionNames = bind<PFN_GetPrivateProfileSectionNamesW>(m_Module.kGet(), "GetPrivateProfileSectionNamesW");
    m_pGetSection = bind<PFN_GetPrivateProfileSectionW>(m_Module.kGet(), "GetPrivateProfileSectionW");
  }
  HMODULE kModule() const { return m_Module.kGet(); }
  PFN_GetPrivateProfileStringW m_pGetString = nullptr;
  PFN_GetPrivateProfileSectionNamesW m_pGetSectionNames = nullptr;
  PFN_GetPrivateProfileSectionW m_pGetSection = nullptr;

 private:
  CModuleOwner m_Module;
};

WideString toWide(const std::string& strText) {
  if (strText.empty()) return WideString();
  const int nWide = MultiByteToWideChar(CP_ACP, 0, strText.data(), static_cast<int>(strText.size()), nullptr, 0);
  if (nWide <= 0) return WideString();
  WideString out(static_cast<size_t>(nWide), WCHAR(0));
  MultiByteToWideChar(CP_ACP, 0, strText.data(), static_cast<int>(strText.size()), out.data(), nWide);
  return out;
}

// FALSE when the text cannot be converted to the ANSI code page.
BOOL toAnsi(const WideString& text, std::string& strOut) {
  strOut.clear();
  if (text.empty()) return TRUE;
  const int nBytes =
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (nBytes <= 0) return FALSE;
  strOut.assign(static_cast<size_t>(nBytes), '\0');
  return WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), strOut.data(), nBytes, nullptr,
                             nullptr) == nBytes;
}

WCHAR foldAscii(WCHAR c) { return (c >= 'a' && c <= 'z') ? static_cast<WCHAR>(c - 'a' + 'A') : c; }

bool equalNoCase(const WideString& a, const WideString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  }
  return true;
}

bool isBlank(WCHAR c) { return c == ' ' || c == '\t' || c == '\v'; }

WideString trimBlanks(const WideString& text) {
  size_t nBegin = 0;
  size_t nEnd = text.size();
  while (nBegin < nEnd && isBlank(text[nBegin])) ++nBegin;
  while (nEnd > nBegin && isBlank(text[nEnd - 1])) --nEnd;
  return text.substr(nBegin, nEnd - nBegin);
}

// Splits a list of NUL-separated strings; the returned count bounds the walk,
// and empty names (a key written as "=text") are skipped.
std::vector<WideString> splitList(const WCHAR* pBuffer, size_t nSize, DWORD dwCount) {
  std::vector<WideString> names;
  const size_t nEnd = std::min<size_t>(dwCount, nSize);
  size_t nStart = 0;
  for (size_t i = 0; i <= nEnd && i < nSize; ++i) {
    if (i == nEnd || pBuffer[i] == 0) {
      if (i > nStart) names.emplace_back(pBuffer + nStart, i - nStart);
      nStart = i + 1;
    }
  }
  return names;
}

// A list read with a buffer that grows by one step while the reader says
// that it filled the buffer (count = size - 2). The reader writes the list
// and its terminating NULs, and only that much is read back, so the buffer
// is not cleared first.
template <typename Reader>
std::vector<WideString> readList(Reader reader) {
  DWORD dwSize = kKeyNameStep;
  std::unique_ptr<WCHAR[]> buffer;
  DWORD dwCount = 0;
  for (;;) {
    buffer = std::make_unique_for_overwrite<WCHAR[]>(dwSize);
    dwCount = reader(buffer.get(), dwSize);
    if (dwCount + 2 != dwSize || dwSize >= kMaxListBuffer) break;
    dwSize += kKeyNameStep;
  }
  return splitList(buffer.get(), dwSize, dwCount);
}

// Sections and keys compare without regard to case in a profile file, so a
// key that differs from an earlier one only in case cannot be read by its
// name: the name would find the earlier key. Such a key is read from the
// section's own lines instead, with the value rules of the profile functions
// (blanks trimmed, one pair of enclosing quotes removed).
BOOL readCaseVariantValue(const CWideProfile& profile, const WideString& file, const WideString& section,
                          const WideString& key, WideString& value) {
  if (!profile.m_pGetSection) return FALSE;
  const std::vector<WideString> lines = readList([&](LPWSTR pBuffer, DWORD dwSize) {
    return profile.m_pGetSection(section.c_str(), pBuffer, dwSize, file.c_str());
  });
  for (const WideString& line : lines) {
    const size_t nEqual = line.find(WCHAR('='));
    if (nEqual == WideString::npos) continue;
    if (trimBlanks(line.substr(0, nEqual)) != key) continue;
    WideString text = trimBlanks(line.substr(nEqual + 1));
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
      text = text.substr(1, text.size() - 2);
    }
    value = text;
    return TRUE;
  }
  return FALSE;
}

// One value, read with a buffer that grows by one step while the value fills
// it (length = size - 1). The buffer is the caller's, kept from value to
// value: the function writes what it answers, so it needs no clearing.
WideString readValue(const CWideProfile& profile, const WideString& file, const WideString& section,
                     const WideString& key, std::vector<WCHAR>& buffer) {
  static const WCHAR kEmpty[] = {0};
  DWORD dwSize = kValueStep;
  DWORD dwLength = 0;
  for (;;) {
    if (buffer.size() < dwSize) buffer.resize(dwSize);
    dwLength = profile.m_pGetString(section.c_str(), key.c_str(), kEmpty, buffer.data(), dwSize, file.c_str());
    if (dwLength + 1 != dwSize || dwSize >= kMaxValueBuffer) break;
    dwSize += kValueStep;
  }
  if (dwLength >= dwSize) dwLength = dwSize - 1;
  return WideString(buffer.data(), dwLength);
}

enum class LoadResult { kOk, kNoKeys, kConversion };

// Reads every key of one section with its text into mapMessage.
LoadResult loadSection(const CWideProfile& profile, const std::string& strFile, const std::string& strSection,
                       std::unordered_map<std::string, CIRCMessage>& mapMessage, DWORD& dwError) {
  const WideString file = toWide(strFile);
  const WideString section = toWide(strSection);
  const std::vector<WideString> keys = readList([&](LPWSTR pBuffer, DWORD dwSize) {
    static const WCHAR kEmpty[] = {0};
    return profile.m_pGetString(section.c_str(), nullptr, kEmpty, pBuffer, dwSize, file.c_str());
  });
  if (keys.empty()) return LoadResult::kNoKeys;

  std::vector<WideString> seen;
  std::vector<WCHAR> buffer;
  for (const WideString& key : keys) {
    bool bCaseVariant = false;
    bool bDuplicate = false;
    for (const WideString& earlier : seen) {
      if (earlier == key) {
        bDuplicate = true;
        break;
      }
      if (equalNoCase(earlier, key)) bCaseVariant = true;
    }
    // A key written twice keeps its first text, as a lookup by name finds it.
    if (bDuplicate) continue;
    seen.push_back(key);

    WideString value;
    if (!bCaseVariant || !readCaseVariantValue(profile, file, section, key, value)) {
      value = readValue(profile, file, section, key, buffer);
    }
    CIRCMessage entry;
    if (!toAnsi(key, entry.strMessageID) || !toAnsi(value, entry.strMessage)) {
      dwError = GetLastError();
      return LoadResult::kConversion;
    }
    mapMessage.emplace(entry.strMessageID, entry);
  }
  return LoadResult::kOk;
}

}  // namespace

BOOL CRscIRCFile::kGetIRCFileName(const CLangInfo& lang, std::string& strPath) const {
  if (lang.strIRCFileName.empty() || m_rBase.m_strResourcePath.empty()) {
    m_Log.kWriteLog("CRscIRCFile::kGetIRCFileName() return FALSE (1) LastError=%u No catalogue file. Language=%s\n",
                    GetLastError(), lang.strSectionName.c_str());
    return FALSE;
  }
  strPath = kRscJoinPath(m_rBase.m_strResourcePath, m_rBase.m_strIRCPrefix + lang.strIRCFileName);
  return TRUE;
}

BOOL CRscIRCFile::kIRCFileAnalysis() {
  const CWideProfile profile;
  if (!profile.kModule()) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetWinApiError("LoadLibrary (Kernel32.dll)", dwError, kAnalysisInfo);
    m_Log.kWriteLog("CRscIRCFile::kIRCFileAnalysis() return FALSE (1) LastError=%u LoadLibrary fail.\n", dwError);
    return FALSE;
  }
  if (!profile.m_pGetString) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetWinApiError("GetProcAddress (GetPrivateProfileStringW)", dwError, kAnalysisInfo);
    m_Log.kWriteLog("CRscIRCFile::kIRCFileAnalysis() return FALSE (2) LastError=%u GetProcAddress fail.\n", dwError);
    return FALSE;
  }
  if (!profile.m_pGetSectionNames) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetWinApiError("GetProcAddress (GetPrivateProfileSectionNamesW)", dwError, kAnalysisInfo);
    m_Log.kWriteLog("CRscIRCFile::kIRCFileAnalysis() return FALSE (3) LastError=%u GetProcAddress fail.\n", dwError);
    return FALSE;
  }
  std::string strFile;
  if (!kGetIRCFileName(m_rBase.m_CurrentLang, strFile)) {
    m_rBase.kSetArgumentError("CRscIRCFile::kGetIRCFileName", 1);
    m_Log.kWriteLog("CRscIRCFile::kIRCFileAnalysis() return FALSE (4) LastError=%u kGetIRCFileName fail.\n",
                    GetLastError());
    return FALSE;
  }
  const std::string& strSection = m_rBase.m_CurrentLang.strIRCSectionName;

  // The new catalogue is read aside and only replaces the loaded one when it
  // was read whole, so that a failed reload never leaves half a catalogue.
  std::unordered_map<std::string, CIRCMessage> mapMessage;
  DWORD dwError = 0;
  switch (loadSection(profile, strFile, strSection, mapMessage, dwError)) {
    case LoadResult::kNoKeys:
      m_rBase.kSetNoMessageTextError(strFile, strSection);
      m_Log.kWriteLog("CRscIRCFile::kIRCFileAnalysis() return FALSE (5) LastError=%u No key. File=%s, Section=%s\n",
                      GetLastError(), strFile.c_str(), strSection.c_str());
      return FALSE;
    case LoadResult::kConversion:
      m_rBase.kSetWinApiError("WideCharToMultiByte", dwError, kAnalysisInfo);
      m_Log.kWriteLog("CRscIRCFile::kIRCFileAnalysis() return FALSE (6) LastError=%u WideCharToMultiByte fail.\n",
                      dwError);
      return FALSE;
    case LoadResult::kOk:
      break;
  }
  m_rBase.m_mapMessage.swap(mapMessage);
  m_rBase.m_strIRCFilePath = strFile;
  m_Log.kWriteLogLevel1("CRscIRCFile::kIRCFileAnalysis() return TRUE (7) %u messages. File=%s, Section=%s\n",
                        static_cast<unsigned>(m_rBase.m_mapMessage.size()), strFile.c_str(), strSection.c_str());
  return TRUE;
}

BOOL CRscIRCFile::kReadCatalogueSection(const std::string& strFile, const std::string& strSection,
                                        std::unordered_map<std::string, CIRCMessage>& mapMessage, int& nExit) {
  nExit = 0;
  const CWideProfile profile;
  if (!profile.kModule() || !profile.m_pGetString) {
    nExit = profile.kModule() ? 2 : 1;
    return FALSE;
  }
  DWORD dwError = 0;
  std::unordered_map<std::string, CIRCMessage> mapRead;
  switch (loadSection(profile, strFile, strSection, mapRead, dwError)) {
    case LoadResult::kNoKeys:
      nExit = 5;
      return FALSE;
    case LoadResult::kConversion:
      nExit = 6;
      return FALSE;
    case LoadResult::kOk:
      break;
  }
  mapMessage.swap(mapRead);
  return TRUE;
}

BOOL CRscIRCFile::kCheckExistSectionName(const std::string& strFile, const std::string& strSection) {
  const CWideProfile profile;
  if (!profile.m_pGetSectionNames) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetWinApiError(profile.kModule() ? "GetProcAddress (GetPrivateProfileSectionNamesW)"
                                              : "LoadLibrary (Kernel32.dll)",
                            dwError, "CRscIRCFile::kCheckExistSectionName");
    m_Log.kWriteLog("CRscIRCFile::kCheckExistSectionName() return FALSE (1) LastError=%u Binding fail.\n", dwError);
    return FALSE;
  }
  const WideString file = toWide(strFile);
  const WideString section = toWide(strSection);
  const std::vector<WideString> names = readList([&](LPWSTR pBuffer, DWORD dwSize) {
    return profile.m_pGetSectionNames(pBuffer, dwSize, file.c_str());
  });
  for (const WideString& name : names) {
    if (equalNoCase(name, section)) {
      m_Log.kWriteLogLevel99("CRscIRCFile::kCheckExistSectionName() return TRUE (2) [%s] in %s\n", strSection.c_str(),
                             strFile.c_str());
      return TRUE;
    }
  }
  m_rBase.kSetNoMessageTextError(strFile, strSection);
  m_Log.kWriteLog("CRscIRCFile::kCheckExistSectionName() return FALSE (3) LastError=%u Section not found. File=%s, "
                  "Section=%s\n",
                  GetLastError(), strFile.c_str(), strSection.c_str());
  return FALSE;
}
