// The interface file's records and its careful writer.
#include "app/interface_file_infomation.h"

#include <algorithm>
#include <cstring>

#include "system/program_log.h"

namespace {

// The blanks the profile reader trims around names and values.
bool isProfileBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

std::string trimBlanks(const std::string& strText) {
  size_t nBegin = 0;
  size_t nEnd = strText.size();
  while (nBegin < nEnd && isProfileBlank(strText[nBegin])) ++nBegin;
  while (nEnd > nBegin && isProfileBlank(strText[nEnd - 1])) --nEnd;
  return strText.substr(nBegin, nEnd - nBegin);
}

// The reader returns at most this many characters of one value.
constexpr size_t kMaxValueLength = 65535;

}  // namespace

std::string kIFIOsToken(DWORD dwDriverVersion) {
  switch (dwDriverVersion) {
    case 0:
      return "Win95";
    case 2:
      return "Winnt4";
    case 3:
      return "Win2k";
    default:
      return std::string();
  }
}

void kSortIFI(CInterfaceFileInfomationList& lstRecords) {
  auto sortText = [](const CInterfaceFileInfomation& r) {
    return r.strComponentName + "," + r.strSupportOS + "," + r.strInfPath;
  };
  std::stable_sort(lstRecords.begin(), lstRecords.end(),
                   [&](const CInterfaceFileInfomation& a, const CInterfaceFileInfomation& b) {
                     return lstrcmpiA(sortText(a).c_str(), sortText(b).c_str()) < 0;
                   });
}

std::string CInterfaceFileWriter::kCleanSectionName(const std::string& strName) {
  std::string strOut = strName;
  // A "]" would end the name early and a line break would start a line of
  // its own: either makes sections nobody asked for.
  for (char& c : strOut) {
    if (c == ']' || c == '[' || isControl(c)) c = '_';
  }
  strOut = trimBlanks(strOut);
  if (strOut != strName) {
    kProgramLog().kWriteLog("CInterfaceFileWriter::kCleanSectionName() [%s] written as [%s]\n", strName.c_str(),
                            strOut.c_str());
  }
  return strOut;
}

std::string CInterfaceFileWriter::kCleanValue(const std::string& strValue, std::string* pstrMeant) {
  std::string strMeant = strValue;
  // A line break would end the value and start a key of its own.
  for (char& c : strMeant) {
    if (isControl(c)) c = ' ';
  }
  strMeant = trimBlanks(strMeant);
  if (strMeant.size() > kMaxValueLength) strMeant.resize(kMaxValueLength);
  // The reader strips one pair of outer quotes of the same kind; a value
  // that has such a pair of its own gets another one to lose.
  std::string strWritten = strMeant;
  if (strMeant.size() >= 2 && (strMeant.front() == '"' || strMeant.front() == '\'') &&
      strMeant.back() == strMeant.front()) {
    strWritten = '"' + strMeant + '"';
    if (strWritten.size() > kMaxValueLength) {
      strMeant.resize(kMaxValueLength - 2);
      strWritten = '"' + strMeant + '"';
    }
  }
  if (strMeant != strValue) {
    kProgramLog().kWriteLog("CInterfaceFileWriter::kCleanValue() [%s] written as [%s]\n", strValue.c_str(),
                            strMeant.c_str());
  }
  if (pstrMeant) *pstrMeant = strMeant;
  return strWritten;
}

BOOL CInterfaceFileWriter::kWrite(const std::string& strSection, const char* pszKey, const std::string& strValue) {
  const std::string strName = kCleanSectionName(strSection);
  const std::string strWritten = kCleanValue(strValue, nullptr);
  return WritePrivateProfileStringA(strName.c_str(), pszKey, strWritten.c_str(), m_strFile.c_str());
}

std::string CInterfaceFileWriter::kFreeSectionName(const std::string& strBase, const char* pszProbeKey) {
  // A default that no written value can have tells a missing key from an
  // empty one.
  static constexpr char kAbsent[] = "\x01";
  std::string strName = kCleanSectionName(strBase);
  for (int n = 2;; ++n) {
    char szValue[4] = {};
    GetPrivateProfileStringA(strName.c_str(), pszProbeKey, kAbsent, szValue, sizeof(szValue), m_strFile.c_str());
    if (std::strcmp(szValue, kAbsent) == 0) return strName;
    strName = kFormatText("%s.%d", kCleanSectionName(strBase).c_str(), n);
  }
}
