// Message lookup and message boxes.
#include "resources/rsc_msg.h"

namespace {

void replaceAll(std::string& strText, const char* pszFrom, char cTo) {
  const std::string strFrom(pszFrom);
  size_t nPos = 0;
  while ((nPos = strText.find(strFrom, nPos)) != std::string::npos) {
    strText.replace(nPos, strFrom.size(), 1, cTo);
    nPos += 1;
  }
}

// Tells the simulated system's UI renderers which catalogue message a text
// is, so that a test script can answer a box by the message's id in any
// language. Windows has no such function: the lookup finds nothing there and
// the call is skipped.
void noteMessageText(const std::string& strMessageID, const std::string& strText) {
  typedef void(WINAPI * PFN_NOTE)(LPCSTR, LPCSTR);
  static const PFN_NOTE pfnNote = [] {
    HMODULE hUser = GetModuleHandleA("user32.dll");
    return hUser ? reinterpret_cast<PFN_NOTE>(reinterpret_cast<void*>(GetProcAddress(hUser, "WinsimNoteMessageText")))
                 : nullptr;
  }();
  if (pfnNote) pfnNote(strMessageID.c_str(), strText.c_str());
}

}  // namespace

std::string CRscMsg::kReplaceEscape(const std::string& strText) {
  std::string strOut = strText;
  replaceAll(strOut, "\\n", '\n');
  replaceAll(strOut, "\\t", '\t');
  replaceAll(strOut, "\\r", '\r');
  return strOut;
}

std::string CRscMsg::kAppendDetail(const std::string& strText, const std::string& strDetail1,
                                   const std::string& strDetail2) {
  std::string strOut = strText;
  if (!strDetail1.empty()) strOut += "\n" + strDetail1;
  if (!strDetail2.empty()) strOut += "\n" + strDetail2;
  return strOut;
}

std::string CRscMsg::kGetMessge(const std::string& strMessageID, int nShowIfMissing) {
  const auto it = m_rBase.m_mapMessage.find(strMessageID);
  if (it != m_rBase.m_mapMessage.end()) {
    m_Log.kWriteLogLevel99("CRscMsg::kGetMessge() return (1) [%s]\n", strMessageID.c_str());
    std::string strText = kReplaceEscape(it->second.strMessage);
    noteMessageText(strMessageID, strText);
    return strText;
  }
  m_rBase.kSetNoMessageIdError(strMessageID, m_rBase.m_strIRCFilePath);
  m_Log.kWriteLog("CRscMsg::kGetMessge() return (2) LastError=%u Message ID not found. ID=%s\n", GetLastError(),
                  strMessageID.c_str());
  if (nShowIfMissing == 1) {
    // The box shows the error text itself; showing it must not overwrite
    // the description of the missing message unless the box fails too.
    const std::string strError = m_rBase.m_strErrorMessage;
    (void)kMessgeBox(strError, std::string(), MB_OK | MB_ICONINFORMATION);
  }
  return std::string();
}

int CRscMsg::kMessgeBox(const std::string& strText, const std::string& strCaption, UINT uStyle) {
  const std::string& strUse = strCaption.empty() ? m_rBase.m_strCaption : strCaption;
  const int nResult = MessageBoxA(m_rBase.m_hWnd, strText.c_str(), strUse.c_str(), uStyle);
  if (nResult == 0) {
    const DWORD dwError = GetLastError();
    m_rBase.kSetWinApiError("MessageBox", dwError, "CRscMsg::kMessgeBox");
    m_Log.kWriteLog("CRscMsg::kMessgeBox() return 0 (1) LastError=%u MessageBox fail.\n", dwError);
    return 0;
  }
  m_Log.kWriteLogLevel1("CRscMsg::kMessgeBox() return %d (2)\n", nResult);
  return nResult;
}
