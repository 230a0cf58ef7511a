// The resource facade.
#include "resources/rsc_common.h"

#include <vector>

CRscCommon::CRscCommon(const std::string& strIRCPrefix)
    : m_CommonInfo(m_Base),
      m_File(m_Base, m_CommonInfo),
      m_IRCFile(m_Base),
      m_Language(m_Base, m_CommonInfo, m_IRCFile),
      m_Msg(m_Base) {
  m_Base.m_strIRCPrefix = strIRCPrefix;
  (void)m_CommonInfo.kGetModulePath(m_Base.m_strModulePath);
  kSetDetailLogFileSetting(FALSE, std::string(), 0);
}

void CRscCommon::kSetDetailLogFileSetting(BOOL bEnable, const std::string& strPath, DWORD dwLevel) {
  m_Base.m_bLogEnable = bEnable;
  m_Base.m_strLogFile = strPath;
  m_Base.m_dwLogLevel = dwLevel;
  m_Log.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  m_CommonInfo.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  m_File.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  m_IRCFile.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  m_Language.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  m_Msg.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
}

void CRscCommon::kSetWindowHandle(HWND hWnd) { m_Base.m_hWnd = hWnd; }

void CRscCommon::kSetCaption(const std::string& strCaption) { m_Base.m_strCaption = strCaption; }

void CRscCommon::kSetModulePath(const std::string& strModulePath) {
  m_Base.m_strModulePath = strModulePath;
  if (!strModulePath.empty() && strModulePath.back() != '\\' && strModulePath.back() != '/') {
    m_Base.m_strModulePath += '\\';
  }
}

BOOL CRscCommon::kCollectiveFileAnalyze() {
  if (!m_File.kResourceIniAnalyze()) {
    m_Log.kWriteLog("CRscCommon::kCollectiveFileAnalyze() return FALSE (1) LastError=%u kResourceIniAnalyze fail.\n",
                    GetLastError());
    return FALSE;
  }
  if (!m_Language.kResourceAnalysis()) {
    m_Log.kWriteLog("CRscCommon::kCollectiveFileAnalyze() return FALSE (2) LastError=%u kResourceDefIniAnalyze fail.\n",
                    GetLastError());
    return FALSE;
  }
  m_Log.kWriteLogLevel1("CRscCommon::kCollectiveFileAnalyze() return TRUE (3)\n");
  return TRUE;
}

BOOL CRscCommon::kLoadAfterDecision(BOOL bDecided, const char* pszFunction) {
  if (!bDecided) {
    m_Log.kWriteLog("CRscCommon::%s() return FALSE (1) LastError=%u language not decided.\n", pszFunction,
                    GetLastError());
    return FALSE;
  }
  if (!m_IRCFile.kIRCFileAnalysis()) {
    m_Log.kWriteLog("CRscCommon::%s() return FALSE (2) LastError=%u kIRCFileAnalyze fail.\n", pszFunction,
                    GetLastError());
    return FALSE;
  }
  m_Log.kWriteLogLevel1("CRscCommon::%s() return TRUE (3) [%s]\n", pszFunction,
                        m_Base.m_CurrentLang.strSectionName.c_str());
  return TRUE;
}

BOOL CRscCommon::kDecideLanguage(const std::string& strLanguage) {
  return kLoadAfterDecision(m_Language.kDecideLanguage(strLanguage), "kDecideLanguage");
}

BOOL CRscCommon::kTempDecideLanguage(const std::string& strLanguage) {
  return kLoadAfterDecision(m_Language.kTempDecideLanguage(strLanguage), "kTempDecideLanguage");
}

std::string CRscCommon::kGetMessageText(const std::string& strMessageID, int nShowIfMissing) {
  return m_Msg.kGetMessge(strMessageID, nShowIfMissing);
}

std::string CRscCommon::kGetMessageText(UINT uMessageID, int nShowIfMissing) {
  if (uMessageID >= 0x10000) {
    m_Base.kSetArgumentError("CRscCommon::kGetMessageText", 1);
    m_Log.kWriteLog("CRscCommon::kGetMessageText() return (1) LastError=%u ID out of range %u.\n", GetLastError(),
                    uMessageID);
    return std::string();
  }
  // The string resource of that number holds the message ID.
  char szID[256] = {};
  const int nLength = LoadStringA(GetModuleHandleA(nullptr), uMessageID, szID, static_cast<int>(sizeof(szID)));
  if (nLength <= 0) {
    const DWORD dwError = GetLastError();
    m_Base.kSetWinApiError("LoadString", dwError, "CRscCommon::kGetMessageText");
    m_Log.kWriteLog("CRscCommon::kGetMessageText() return (2) LastError=%u LoadString fail %u.\n", dwError,
                    uMessageID);
    return std::string();
  }
  return m_Msg.kGetMessge(std::string(szID, static_cast<size_t>(nLength)), nShowIfMissing);
}

int CRscCommon::kDispMessageBox(const std::string& strText, const std::string& strCaption, UINT uStyle) {
  return m_Msg.kMessgeBox(strText, strCaption, uStyle);
}

int CRscCommon::kGetLicenseFile(std::string& strText, const std::string& strPrefix) {
  return m_File.kGetLicenseFile(strText, strPrefix);
}
