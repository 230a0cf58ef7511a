// The language table and the decision of the current language.
#include "resources/rsc_language.h"

#include <cstdio>
#include <vector>

#include "system/handle_owner.h"
#include "system/text_utility.h"

namespace {

constexpr const char* kResourceDefIni = "ResourceDef.ini";
constexpr const char* kPreconditionSection = "Precondition";
constexpr const char* kFileInformationSection = "FileInformation";
constexpr const char* kKeyNotFound = "Key not found";
constexpr const char* kValueNotDefined = "A value is not defined";

std::string decimalText(DWORD dwValue) { return std::to_string(dwValue); }

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

BOOL kRscParseLangID(const std::string& strText, DWORD& dwValue) {
  dwValue = 0;
  unsigned long long ullValue = 0;
  // Numbers are decimal, or hexadecimal after "0x". A leading zero does not
  // make a number octal: "0409" is four hundred and nine.
  if (strText.size() > 2 && strText[0] == '0' && (strText[1] == 'x' || strText[1] == 'X')) {
    for (size_t i = 2; i < strText.size(); ++i) {
      const int nDigit = hexDigit(strText[i]);
      if (nDigit < 0) return FALSE;
      ullValue = ullValue * 16 + static_cast<unsigned>(nDigit);
      if (ullValue > 0xFFFFFFFFull) return FALSE;
    }
  } else {
    if (strText.empty()) return FALSE;
    for (char c : strText) {
      if (c < '0' || c > '9') return FALSE;
      ullValue = ullValue * 10 + static_cast<unsigned>(c - '0');
      if (ullValue > 0xFFFFFFFFull) return FALSE;
    }
  }
  dwValue = static_cast<DWORD>(ullValue);
  return TRUE;
}

BOOL CRscLanguage::kCheckLangID(const std::string& strText) const {
  const std::string strUpper = kToUpper(strText);
  if (strUpper.compare(0, 2, "0X") == 0) {
    if (strUpper.size() == 2) {
      m_Log.kWriteLogLevel99("CRscLanguage::kCheckLangID() return FALSE (1) Only 0X. [%s]\n", strText.c_str());
      return FALSE;
    }
    for (size_t i = 2; i < strUpper.size(); ++i) {
      if (hexDigit(strUpper[i]) < 0) {
        m_Log.kWriteLogLevel99("CRscLanguage::kCheckLangID() return FALSE (2) Bad character. [%s]\n",
                               strText.c_str());
        return FALSE;
      }
    }
    return TRUE;
  }
  // An empty text is no language id either.
  if (strUpper.empty()) {
    m_Log.kWriteLogLevel99("CRscLanguage::kCheckLangID() return FALSE (2) Empty.\n");
    return FALSE;
  }
  for (char c : strUpper) {
    if (c < '0' || c > '9') {
      m_Log.kWriteLogLevel99("CRscLanguage::kCheckLangID() return FALSE (2) Bad character. [%s]\n", strText.c_str());
      return FALSE;
    }
  }
  return TRUE;
}

BOOL CRscLanguage::kReadRequiredKey(const std::string& strFile, const std::string& strSection, const char* pszKey,
                                    std::string& strValue) {
  int nCode = 0;
  if (m_rCommonInfo.kGetPrivateProfile(strFile, strSection.c_str(), pszKey, strValue, nCode)) return TRUE;
  m_rBase.kSetKeyAppointmentError(strFile, strSection, pszKey, nCode == 1 ? kValueNotDefined : kKeyNotFound);
  return FALSE;
}

BOOL CRscLanguage::kReadOptionalKey(const std::string& strFile, const std::string& strSection, const char* pszKey,
                                    std::string& strValue) {
  int nCode = 0;
  if (m_rCommonInfo.kGetPrivateProfile(strFile, strSection.c_str(), pszKey, strValue, nCode)) return TRUE;
  if (nCode == 1) {
    m_rBase.kSetKeyAppointmentError(strFile, strSection, pszKey, kValueNotDefined);
    return FALSE;
  }
  strValue.clear();
  return TRUE;
}

BOOL CRscLanguage::kGetLanguage(const std::string& strFile, const std::string& strSection, CLangInfo& lang) {
  lang = CLangInfo();
  lang.strSectionName = strSection;

  int nCode = 0;
  if (!m_rCommonInfo.kGetPrivateProfile(strFile, strSection.c_str(), "LMLauncher", lang.strLMLauncher, nCode)) {
    if (nCode == 1) {
      m_rBase.kSetKeyAppointmentError(strFile, strSection, "LMLauncher", kValueNotDefined);
      m_Log.kWriteLog("CRscLanguage::kGetLanguage() return FALSE (1) LastError=%u LMLauncher. Section=%s\n",
                      GetLastError(), strSection.c_str());
      return FALSE;
    }
    lang.strLMLauncher = strSection;
  }

  struct NumberKey {
    const char* pszKey;
    std::string* pText;
    DWORD* pValue;
  };
  if (!kReadRequiredKey(strFile, strSection, "OmittedName", lang.strOmittedName) ||
      !kReadRequiredKey(strFile, strSection, "TwoLetter", lang.strTwoLetter)) {
    m_Log.kWriteLog("CRscLanguage::kGetLanguage() return FALSE (2) LastError=%u Section=%s\n", GetLastError(),
                    strSection.c_str());
    return FALSE;
  }
  const NumberKey numbers[] = {{"LangID", &lang.strLangID, &lang.dwLangID},
                               {"PrimaryLangID", &lang.strPrimaryLangID, &lang.dwPrimaryLangID},
                               {"SubLangID", &lang.strSubLangID, &lang.dwSubLangID}};
  for (const NumberKey& key : numbers) {
    if (!kReadRequiredKey(strFile, strSection, key.pszKey, *key.pText)) {
      m_Log.kWriteLog("CRscLanguage::kGetLanguage() return FALSE (3) LastError=%u %s. Section=%s\n", GetLastError(),
                      key.pszKey, strSection.c_str());
      return FALSE;
    }
    // The number is kept, and its decimal text replaces the written form. A
    // value that is no number counts as 0, as the product has always read it.
    DWORD dwValue = 0;
    if (!kRscParseLangID(*key.pText, dwValue)) dwValue = 0;
    *key.pValue = dwValue;
    *key.pText = decimalText(dwValue);
  }

  std::string strPrimaryUse;
  (void)m_rCommonInfo.kGetPrivateProfile(strFile, strSection.c_str(), "PrimaryUSE", strPrimaryUse, nCode);
  lang.strPrimaryUSE.assign(1, kIEquals(strPrimaryUse, "N") ? 'N' : 'Y');

  if (!kReadOptionalKey(strFile, strSection, "IRCFileName", lang.strIRCFileName) ||
      !kReadOptionalKey(strFile, strSection, "IRCSectionName", lang.strIRCSectionName) ||
      !kReadOptionalKey(strFile, strSection, "SubstituteLangID", lang.strSubstituteLangID)) {
    m_Log.kWriteLog("CRscLanguage::kGetLanguage() return FALSE (4) LastError=%u Section=%s\n", GetLastError(),
                    strSection.c_str());
    return FALSE;
  }
  m_Log.kWriteLogLevel1("CRscLanguage::kGetLanguage() return TRUE (5) Section=%s LangID=%s\n", strSection.c_str(),
                        lang.strLangID.c_str());
  return TRUE;
}

void CRscLanguage::kEnterLanguage(const CLangInfo& lang) {
  // Every name the language may be asked by; a later language entered under
  // the same name replaces the earlier one for that name.
  const std::string names[] = {lang.strSectionName, lang.strLMLauncher, lang.strOmittedName, lang.strTwoLetter,
                               lang.strLangID};
  for (const std::string& strName : names) {
    if (!strName.empty()) m_mapLanguage[kToUpper(strName)] = lang;
  }
  if (lang.strPrimaryUSE == "Y") m_mapLanguage[lang.strPrimaryLangID] = lang;
}

BOOL CRscLanguage::kGetDefaultLangIDFromFile(const std::string& strFile) {
  int nCode = 0;
  std::string strValue;
  if (m_rCommonInfo.kGetPrivateProfile(strFile, kPreconditionSection, "DefaultLangID", strValue, nCode)) {
    m_strDefaultLangID = strValue;
    return TRUE;
  }
  if (nCode == 1) {
    m_rBase.kSetKeyAppointmentError(strFile, kPreconditionSection, "DefaultLangID", kValueNotDefined);
    return FALSE;
  }
  m_strDefaultLangID.clear();
  return TRUE;
}

BOOL CRscLanguage::kResourceAnalysis() {
  const std::string strFile = m_rBase.m_strModulePath + kResourceDefIni;
  std::vector<std::string> lstSection;
  if (!m_rCommonInfo.kEnumSection(strFile, lstSection)) {
    m_rBase.kSetLanguageError("Section not found", 1);
    m_Log.kWriteLog("CRscLanguage::kResourceAnalysis() return FALSE (1) LastError=%u No section. File=%s\n",
                    GetLastError(), strFile.c_str());
    return FALSE;
  }
  if (!kGetDefaultLangIDFromFile(strFile)) {
    m_Log.kWriteLog("CRscLanguage::kResourceAnalysis() return FALSE (2) LastError=%u DefaultLangID. File=%s\n",
                    GetLastError(), strFile.c_str());
    return FALSE;
  }
  for (const std::string& strSection : lstSection) {
    if (kIEquals(strSection, kPreconditionSection) || kIEquals(strSection, kFileInformationSection)) {
      continue;
    }
    CLangInfo lang;
    if (!kGetLanguage(strFile, strSection, lang)) {
      m_Log.kWriteLog("CRscLanguage::kResourceAnalysis() return FALSE (3) LastError=%u Section=%s\n", GetLastError(),
                      strSection.c_str());
      return FALSE;
    }
    kEnterLanguage(lang);
  }
  m_Log.kWriteLogLevel1("CRscLanguage::kResourceAnalysis() return TRUE (4) %u names, default [%s]\n",
                        static_cast<unsigned>(m_mapLanguage.size()), m_strDefaultLangID.c_str());
  return TRUE;
}

BOOL CRscLanguage::kSearchLanguage(const std::string& strName) {
  // A language id too large for 32 bits is looked up as a name, which finds
  // nothing, rather than as some other number.
  DWORD dwLangID = 0;
  const BOOL bLangID = kCheckLangID(strName) && kRscParseLangID(strName, dwLangID);
  const std::string strKey = bLangID ? decimalText(dwLangID) : kToUpper(strName);
  auto it = m_mapLanguage.find(strKey);
  if (it == m_mapLanguage.end() && bLangID) {
    // A regional variant without an entry of its own: its primary language.
    it = m_mapLanguage.find(decimalText(dwLangID & 0x3FF));
  }
  if (it == m_mapLanguage.end()) {
    m_rBase.kSetLanguageError(strName, 1);
    m_Log.kWriteLog("CRscLanguage::kSearchLanguage() return FALSE (1) LastError=%u Language not found. [%s]\n",
                    GetLastError(), strName.c_str());
    return FALSE;
  }
  m_rBase.m_CurrentLang = it->second;
  m_Log.kWriteLogLevel1("CRscLanguage::kSearchLanguage() return TRUE (2) [%s] -> [%s]\n", strName.c_str(),
                        it->second.strSectionName.c_str());
  return TRUE;
}

BOOL CRscLanguage::kPrecondition() {
  if (m_strDefaultLangID.empty()) {
    m_Log.kWriteLog("CRscLanguage::kPrecondition() return FALSE (1) LastError=%u No default language.\n",
                    GetLastError());
    return FALSE;
  }
  return kSearchLanguage(m_strDefaultLangID);
}

BOOL CRscLanguage::kMakeIRCFileName(std::string& strPath) const {
  return m_rIRCFile.kGetIRCFileName(m_rBase.m_CurrentLang, strPath);
}

BOOL CRscLanguage::kChekExistIRCFile() {
  std::string strPath;
  if (!kMakeIRCFileName(strPath)) {
    m_rBase.kSetWinApiError("FindFirstFile", ERROR_FILE_NOT_FOUND,
                            " File[" + m_rBase.m_CurrentLang.strIRCFileName + "]\n CRscLanguage::kChekExistIRCFile\n");
    return FALSE;
  }
  WIN32_FIND_DATAA data;
  CFindOwner find(FindFirstFileA(strPath.c_str(), &data));
  if (find.kGet() == INVALID_HANDLE_VALUE) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetWinApiError("FindFirstFile", dwError, " File[" + strPath + "]\n CRscLanguage::kChekExistIRCFile\n");
    m_Log.kWriteLog("CRscLanguage::kChekExistIRCFile() return FALSE (1) LastError=%u %s\n", dwError, strPath.c_str());
    return FALSE;
  }
  return TRUE;
}

BOOL CRscLanguage::kCatalogueHoldsSection() {
  std::string strPath;
  if (!kMakeIRCFileName(strPath)) return FALSE;
  return m_rIRCFile.kCheckExistSectionName(strPath, m_rBase.m_CurrentLang.strIRCSectionName);
}

BOOL CRscLanguage::kDecideLanguage(const std::string& strLanguage) {
  std::string strRequest = strLanguage;
  if (strRequest.empty()) strRequest = decimalText(GetSystemDefaultLangID());

  if (!kSearchLanguage(strRequest) && !kPrecondition()) {
    m_rBase.kSetLanguageError(strRequest, 1);
    m_Log.kWriteLog("CRscLanguage::kDecideLanguage() return FALSE (1) LastError=%u [%s]\n", GetLastError(),
                    strRequest.c_str());
    return FALSE;
  }

  if (kChekExistIRCFile() && kCatalogueHoldsSection()) {
    m_Log.kWriteLogLevel1("CRscLanguage::kDecideLanguage() return TRUE (2) [%s]\n",
                          m_rBase.m_CurrentLang.strSectionName.c_str());
    return TRUE;
  }

  const std::string strSubstitute = m_rBase.m_CurrentLang.strSubstituteLangID;
  if (!strSubstitute.empty() && kSearchLanguage(strSubstitute) && kChekExistIRCFile()) {
    m_Log.kWriteLogLevel1("CRscLanguage::kDecideLanguage() return TRUE (3) substitute [%s]\n",
                          m_rBase.m_CurrentLang.strSectionName.c_str());
    return TRUE;
  }

  if (!kPrecondition()) {
    m_rBase.kSetLanguageError(strRequest, 2);
    m_Log.kWriteLog("CRscLanguage::kDecideLanguage() return FALSE (2) LastError=%u No default language.\n",
                    GetLastError());
    return FALSE;
  }
  const BOOL bResult = kChekExistIRCFile() && kCatalogueHoldsSection();
  m_Log.kWriteLogLevel1("CRscLanguage::kDecideLanguage() return %s (4) default [%s]\n", bResult ? "TRUE" : "FALSE",
                        m_rBase.m_CurrentLang.strSectionName.c_str());
  return bResult;
}

BOOL CRscLanguage::kTempDecideLanguage(const std::string& strLanguage) {
  if (strLanguage.empty()) {
    m_rBase.kSetArgumentError("CRscLanguage::kTempDecideLanguage", 1);
    m_Log.kWriteLog("CRscLanguage::kTempDecideLanguage() return FALSE (1) LastError=%u Empty argument.\n",
                    GetLastError());
    return FALSE;
  }
  return kSearchLanguage(strLanguage);
}
