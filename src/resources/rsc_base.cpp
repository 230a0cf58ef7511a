// The error texts of the resource component, exactly as support knows them.
#include "resources/rsc_base.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {


// The language error text names the definition file between full-width
// brackets. The text is kept in UTF-16 and converted to the ANSI code page of
// the system at run time, so that the brackets read right on every system
// (code pages without them get their nearest equivalent).
std::string languageErrorFormat() {
  static const WCHAR kText[] = {
      'T', 'h', 'e', 'r', 'e', ' ', 'i', 's', ' ', 'n', 'o', 't', ' ', 't', 'h', 'e', ' ', 'c', 'o', 'u', 'n', 't',
      'r', 'y', ' ', 'l', 'a', 'n', 'g', 'u', 'a', 'g', 'e', ' ', 't', 'h', 'a', 't', ' ', 'I', ' ', 'a', 'p', 'p',
      'o', 'i', 'n', 't', 'e', 'd', ' ', 'i', 'n', ' ', 'm', 'a', 'n', 'y', ' ', 'n', 'a', 't', 'i', 'o', 'n', 'a',
      'l', ' ', 'l', 'a', 'n', 'g', 'u', 'a', 'g', 'e', ' ', 'd', 'e', 'f', 'i', 'n', 'i', 't', 'i', 'o', 'n', ' ',
      'f', 'i', 'l', 'e', 0xFF08, 'R', 'e', 's', 'o', 'u', 'r', 'c', 'e', 'D', 'e', 'f', '.', 'i', 'n', 'i', 0xFF09,
      '.', '\n', 'L', 'a', 'n', 'g', 'u', 'a', 'g', 'e', '=', '%', 's', ',', ' ', 'C', 'o', 'd', 'e', '=', '%', 'd',
      0};
  const int nWide = static_cast<int>(sizeof(kText) / sizeof(kText[0])) - 1;
  const int nBytes = WideCharToMultiByte(CP_ACP, 0, kText, nWide, nullptr, 0, nullptr, nullptr);
  if (nBytes > 0) {
    std::string strOut(static_cast<size_t>(nBytes), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, kText, nWide, strOut.data(), nBytes, nullptr, nullptr) == nBytes) {
      return strOut;
    }
  }
  return "There is not the country language that I appointed in many national language definition "
         "file(ResourceDef.ini).\nLanguage=%s, Code=%d";
}

}  // namespace

void CRscBase::kSetWinApiError(const char* pszApi, DWORD dwCode, const std::string& strInfomation) {
  m_strErrorMessage = kFormatText("Windows API error.\nAPI=%s, LastCode=%d\nInfomation=%s", pszApi,
                             static_cast<int>(dwCode), strInfomation.c_str());
}

void CRscBase::kSetArgumentError(const char* pszFunction, int nCode) {
  m_strErrorMessage = kFormatText("Argument error.\nFunction=%s, code=%d", pszFunction, nCode);
}

void CRscBase::kSetKeyAccessError(const std::string& strFile, const char* pszSection, const char* pszKey,
                                  int nCode) {
  m_strErrorMessage = kFormatText("Error of the key access.\nFile=%s, Section=%s, Key=%s, Code=%d", strFile.c_str(),
                             pszSection, pszKey, nCode);
}

void CRscBase::kSetFileAccessError(const std::string& strFile, const char* pszAccess, DWORD dwCode) {
  m_strErrorMessage = kFormatText("Error of the file access.\nFile=%s, Access:%s, LastCode=%d", strFile.c_str(),
                             pszAccess, static_cast<int>(dwCode));
}

void CRscBase::kSetNoMessageTextError(const std::string& strFile, const std::string& strSection) {
  m_strErrorMessage = kFormatText("There is not a message text.\nIRC File=%s, Section name=%s", strFile.c_str(),
                             strSection.c_str());
}

void CRscBase::kSetNoMessageIdError(const std::string& strMessageID, const std::string& strFile) {
  m_strErrorMessage = kFormatText("There is not a message text of the message ID.\nID=%s, IRC File=%s",
                             strMessageID.c_str(), strFile.c_str());
}

void CRscBase::kSetKeyAppointmentError(const std::string& strFile, const std::string& strSection, const char* pszKey,
                                       const char* pszContents) {
  m_strErrorMessage = kFormatText("There is an error for the appointment of the key.\nFile=%s, Section=%s, Key=%s\nContents=%s",
                             strFile.c_str(), strSection.c_str(), pszKey, pszContents);
}

void CRscBase::kSetLanguageError(const std::string& strLanguage, int nCode) {
  static const std::string strFormat = languageErrorFormat();
  // The format comes from a conversion, so it is filled by hand rather than
  // handed to printf: only its two places are replaced.
  std::string strOut = strFormat;
  const size_t nS = strOut.find("%s");
  if (nS != std::string::npos) strOut.replace(nS, 2, strLanguage);
  const size_t nD = strOut.find("%d", nS == std::string::npos ? 0 : nS + strLanguage.size());
  if (nD != std::string::npos) strOut.replace(nD, 2, std::to_string(nCode));
  m_strErrorMessage = strOut;
}
