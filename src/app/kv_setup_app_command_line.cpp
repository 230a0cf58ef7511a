// The command line: scanning the arguments before any window exists, and
// validating what was scanned once the message catalogue can explain a
// refusal.
#include <cctype>
#include <cstdlib>

#include "app/kv_setup_app.h"
#include "system/command_line_text.h"
#include "resources/message_ids.h"
#include "system/program_log.h"
#include "system/text_utility.h"

namespace {

// One switch character and whether it takes a value ("+A:name") or stands
// alone ("+B").
struct CSwitchRule {
  char cSwitch;
  bool bValue;
};

const CSwitchRule kSwitchRules[] = {
    {'1', false}, {'3', true},  {'4', true},  {'6', true},  {'8', true},  {'A', true},  {'B', false},
    {'D', true},  {'E', true},  {'F', false}, {'G', true},  {'H', true},  {'I', false}, {'M', true},
    {'N', true},  {'P', true},  {'Q', true},  {'R', true},  {'S', false}, {'U', true},  {'W', true},
    {'Z', false},
};

const CSwitchRule* findSwitch(char cSwitch) {
  for (const CSwitchRule& rule : kSwitchRules) {
    if (rule.cSwitch == cSwitch) return &rule;
  }
  return nullptr;
}


std::string trimSpace(const std::string& strText) {
  size_t nBegin = 0;
  size_t nEnd = strText.size();
  while (nBegin < nEnd && std::isspace(static_cast<unsigned char>(strText[nBegin]))) ++nBegin;
  while (nEnd > nBegin && std::isspace(static_cast<unsigned char>(strText[nEnd - 1]))) --nEnd;
  return strText.substr(nBegin, nEnd - nBegin);
}

// The comma-separated pieces of a value, empty pieces skipped (so
// consecutive commas count as one), each trimmed of white space.
std::vector<std::string> splitPieces(const std::string& strValue) {
  std::vector<std::string> lstPieces;
  size_t nAt = 0;
  while (nAt <= strValue.size()) {
    size_t nComma = strValue.find(',', nAt);
    if (nComma == std::string::npos) nComma = strValue.size();
    if (nComma > nAt) lstPieces.push_back(trimSpace(strValue.substr(nAt, nComma - nAt)));
    nAt = nComma + 1;
  }
  return lstPieces;
}

// How a character of +Q decides whether its page is shown: "1" shows it,
// "0" shows it unless in batch mode, anything else hides it.
int pageFromQ(char c, int bBatch) {
  if (c == '1') return 1;
  if (c == '0') return bBatch ? 0 : 1;
  return 0;
}

}  // namespace

void CKV_SETUPApp::kResetCommandLine() {
  m_b1Switch = m_b3Switch = m_b4Switch = m_b6Switch = m_b8Switch = 0;
  m_bASwitch = m_bBSwitch = m_bDSwitch = m_bESwitch = m_bFSwitch = 0;
  m_bHSwitch = m_bHSwitchPlus = m_bISwitch = m_bMSwitch = m_bNSwitch = 0;
  m_bPSwitch = m_bQSwitch = m_bRSwitch = m_bUSwitch = m_bWSwitch = m_bZSwitch = 0;
  m_bImmediateEnd = 0;
  m_strInitializeFile.clear();
  m_strShareName.clear();
  m_strDriversNameIniFile.clear();
  m_strInitPrnMode.clear();
  m_strAddDriverName.clear();
  m_strDeleteComponentName.clear();
  m_nRebootMethod = RebootMethod_Undecided;
  m_strRestrictPath.clear();
  m_strLangCode.clear();
  m_strInstManMessage.clear();
  m_strPrinterNameParam.clear();
  m_strPortParam.clear();
  m_strQSwitchValue.clear();
  m_strRenewDriverName.clear();
  m_strUserCode.clear();
  m_strInstManHWnd.clear();
  m_strErrorCommandLine.clear();
  m_nCommandLineError = 0;
  m_strHSwitchValue.clear();
  m_strPrinterName.clear();
  m_strDivertPrinterName.clear();
  m_strDivertMode.clear();
  m_bDivertPrinter = 0;
  m_strPortName.clear();
  m_strMonitorName.clear();
  m_strPortAddress.clear();
  m_strPrintProtocol.clear();
  m_bShowLicensePage = 1;
  m_bShowCompletePage = 1;
  m_nInitPrnSelect = INITPRN_SELECT;
  m_strInitPrnSelectValue.clear();
  m_strInitPrnParam.clear();
  m_bCancel = 0;
}

int CKV_SETUPApp::kStoreSwitch(char cSwitch, char cSign, const std::string& strValue) {
  switch (cSwitch) {
    case '1': m_b1Switch = 1; break;
    case 'B': m_bBSwitch = 1; break;
    case 'F': m_bFSwitch = 1; break;
    case 'I': m_bISwitch = 1; break;
    case 'S': m_bImmediateEnd = 1; break;
    case 'Z': m_bZSwitch = 1; break;
    case '3': m_b3Switch = 1; m_strInitializeFile = strValue; break;
    case '4': m_b4Switch = 1; m_strShareName = strValue; break;
    case '6': m_b6Switch = 1; m_strDriversNameIniFile = strValue; break;
    case '8': m_b8Switch = 1; m_strInitPrnMode = strValue; break;
    case 'A': m_bASwitch = 1; m_strAddDriverName = strValue; break;
    case 'D': m_bDSwitch = 1; m_strDeleteComponentName = strValue; break;
    case 'G': m_strRestrictPath = strValue; break;
    case 'M': m_bMSwitch = 1; m_strInstManMessage = strValue; break;
    case 'Q': m_bQSwitch = 1; m_strQSwitchValue = strValue; break;
    case 'R': m_bRSwitch = 1; m_strRenewDriverName = strValue; break;
    case 'U': m_bUSwitch = 1; m_strUserCode = strValue; break;
    case 'W': m_bWSwitch = 1; m_strInstManHWnd = strValue; break;
    case 'E':
      if (strValue != "0" && strValue != "1" && strValue != "2") return 6;
      m_bESwitch = 1;
      m_nRebootMethod = strValue[0] - '0';
      break;
    case 'H':
      m_bHSwitch = 1;
      m_bHSwitchPlus = cSign == '+' ? 1 : 0;
      m_strLangCode = strValue;
      break;
    case 'N': {
      const std::vector<std::string> lstPieces = splitPieces(strValue);
      // A printer needs a name: a value of nothing but commas and blanks
      // names none.
      if (lstPieces.empty() || lstPieces[0].empty()) return 7;
      m_bNSwitch = 1;
      m_strPrinterNameParam = strValue;
      m_strPrinterName = lstPieces[0];
      if (lstPieces.size() > 1) {
        m_bDivertPrinter = 1;
        m_strDivertPrinterName = lstPieces[1];
      }
      if (lstPieces.size() > 2) {
        m_strDivertMode = lstPieces[2];
        if (!kIEquals(m_strDivertMode, "NoAdd") && !kIEquals(m_strDivertMode, "Add") &&
            !kIEquals(m_strDivertMode, "Force")) {
          return 8;
        }
      }
      break;
    }
    case 'P': {
      const std::vector<std::string> lstPieces = splitPieces(strValue);
      if (lstPieces.empty() || lstPieces[0].empty()) return 9;
      m_bPSwitch = 1;
      m_strPortParam = strValue;
      std::string* const pParts[] = {&m_strPortName, &m_strMonitorName, &m_strPortAddress, &m_strPrintProtocol};
      for (size_t i = 0; i < lstPieces.size() && i < 4; ++i) *pParts[i] = lstPieces[i];
      break;
    }
    default:
      return 5;
  }
  return 0;
}

BOOL CKV_SETUPApp::kGetCommandLine() {
  kResetCommandLine();
  for (const std::string& strArgument : m_lstArguments) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kGetCommandLine() strCommandLine = [%s]\n", strArgument.c_str());
    int nError = 0;
    const CSwitchRule* pRule = strArgument.size() >= 2 ? findSwitch(kUpperAscii(strArgument[1])) : nullptr;
    if (strArgument.size() < 2) {
      nError = 1;
    } else if (strArgument[0] != '+' && strArgument[0] != '-') {
      nError = 2;
    } else if (!pRule) {
      nError = 5;
    } else if (!pRule->bValue) {
      nError = strArgument.size() == 2 ? kStoreSwitch(pRule->cSwitch, strArgument[0], std::string()) : 3;
    } else if (strArgument.size() < 4 || strArgument[2] != ':') {
      nError = 4;
    } else {
      nError = kStoreSwitch(pRule->cSwitch, strArgument[0], strArgument.substr(3));
    }
    if (nError != 0) {
      m_strErrorCommandLine = strArgument;
      m_nCommandLineError = nError;
      kProgramLog().kWriteLog("CKV_SETUPApp::kGetCommandLine() return FALSE (%d)\n", nError);
      return FALSE;
    }
  }
  if (!m_bHSwitch) m_bHSwitchPlus = 1;
  kProgramLog().kWriteLogLevel1("CKV_SETUPApp::kGetCommandLine() return TRUE (10)\n");
  return TRUE;
}

BOOL CKV_SETUPApp::kCommandLineRefused(int nExit, const char* pszKey, const std::string& strDetail) {
  kDispErrorMessage(pszKey, strDetail, "", kStartupMessageStyle);
  kProgramLog().kWriteLog("CKV_SETUPApp::kAnalysisCommandLine() return FALSE (%d) LastError=%u %s [%s]\n", nExit,
                          GetLastError(), pszKey, strDetail.c_str());
  return FALSE;
}

BOOL CKV_SETUPApp::kAnalysisCommandLine() {
  if (m_nCommandLineError != 0 || !m_strErrorCommandLine.empty()) return kCommandLineRefused(1, msgid::IDS_ERR_CMDLINE, m_strErrorCommandLine);

  if (m_bHSwitch) {
    if (m_bHSwitchPlus) {
      kProgramLog().kWriteLog("CKV_SETUPApp::kAnalysisCommandLine() +H switch specified. parameter [%s]\n",
                              m_strLangCode.c_str());
      if (m_strLangCode.size() != 4) return kCommandLineRefused(2, msgid::IDS_ERR_CMDLINE, "+H:" + m_strLangCode);
      if (!CCommonFunction::kIsHexString(m_strLangCode.c_str())) {
        return kCommandLineRefused(3, msgid::IDS_ERR_CMDLINE, "+H:" + m_strLangCode);
      }
      m_strHSwitchValue = m_strLangCode;
      m_strLangCode = "0x" + m_strHSwitchValue;
    } else {
      kProgramLog().kWriteLog("CKV_SETUPApp::kAnalysisCommandLine() -H switch specified. parameter [%s]\n",
                              m_strLangCode.c_str());
    }
  }

  // Values that reach the interface file or the external installer's
  // command line as one line each: a line break (or another control
  // character) would add entries or switches of its own.
  {
    const struct {
      int bGiven;
      const char* pszSwitch;
      const std::string* pValue;
    } kOneLine[] = {{m_bNSwitch, "+N:", &m_strPrinterNameParam}, {m_bPSwitch, "+P:", &m_strPortParam},
                    {m_bUSwitch, "+U:", &m_strUserCode},          {m_b3Switch, "+3:", &m_strInitializeFile},
                    {m_b4Switch, "+4:", &m_strShareName},         {m_bASwitch, "+A:", &m_strAddDriverName},
                    {m_bDSwitch, "+D:", &m_strDeleteComponentName}, {m_bRSwitch, "+R:", &m_strRenewDriverName},
                    {m_b8Switch, "+8:", &m_strInitPrnMode},       {m_b6Switch, "+6:", &m_strDriversNameIniFile}};
    for (const auto& value : kOneLine) {
      if (value.bGiven && kHasControlCharacter(*value.pValue)) {
        return kCommandLineRefused(26, msgid::IDS_ERR_CMDLINE, value.pszSwitch + *value.pValue);
      }
    }
  }

  if (!m_strRestrictPath.empty()) {
    std::string strFull;
    if (CCommonFunction::kStdAfxGetFullPath(m_strModulePath, m_strRestrictPath.c_str(), strFull)) {
      m_strRestrictPath = strFull;
    }
    const DWORD dwAttributes = GetFileAttributesA(m_strRestrictPath.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) {
      return kCommandLineRefused(4, msgid::IDS_ERR_CMDLINE, "+G:" + m_strRestrictPath);
    }
    if (!(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return kCommandLineRefused(5, msgid::IDS_ERR_CMDLINE, "+G:" + m_strRestrictPath);
    }
  } else {
    m_strRestrictPath = m_strModulePath;
  }

  if (m_bBSwitch) {
    const int nOnSwitchCount = m_bASwitch + m_bDSwitch + m_bRSwitch;
    if (m_bASwitch) m_nSetupKind = SETUPKIND_ADD;
    if (m_bDSwitch) m_nSetupKind = SETUPKIND_DELETE;
    if (m_bRSwitch) m_nSetupKind = SETUPKIND_UPDATE;
    kProgramLog().kWriteLogLevel1("CKV_SETUPApp::kAnalysisCommandLine() nOnSwitchCount=%d\n", nOnSwitchCount);
    if (nOnSwitchCount > 1) {
      std::string strDetail;
      const struct {
        int bGiven;
        const char* pszText;
        const std::string* pValue;
      } kKinds[] = {{m_bASwitch, "+A:", &m_strAddDriverName},
                    {m_bDSwitch, "+D:", &m_strDeleteComponentName},
                    {m_bRSwitch, "+R:", &m_strRenewDriverName}};
      for (const auto& kind : kKinds) {
        if (!kind.bGiven) continue;
        if (!strDetail.empty()) strDetail += "\n";
        strDetail += kind.pszText + *kind.pValue;
      }
      return kCommandLineRefused(18, msgid::IDS_ERR_CMDLINE, strDetail);
    }
    if (nOnSwitchCount == 0) {
      if (!m_bDivertPrinter) return kCommandLineRefused(19, msgid::IDS_ERR_CMDLINE, "+B");
      if (CEnvironment::kIsWin9x()) return kCommandLineRefused(20, msgid::IDS_ERR_CMDLINE, "+N:" + m_strPrinterNameParam);
    } else if (m_bDivertPrinter) {
      // With a driver to add, update or remove, the printer is not diverted:
      // only its name stays.
      m_bDivertPrinter = 0;
      m_strPrinterNameParam.clear();
      m_strDivertPrinterName.clear();
      m_strDivertMode.clear();
    }
  } else {
    // The switches that only a batch run can act on.
    const struct {
      int bGiven;
      std::string strDetail;
    } kBatchOnly[] = {
        {m_bASwitch, "+A:" + m_strAddDriverName},
        {m_bDSwitch, "+D:" + m_strDeleteComponentName},
        {m_bESwitch, "+E:" + std::to_string(m_nRebootMethod)},
        {m_bFSwitch, "+F"},
        {m_bNSwitch, "+N:" + m_strPrinterName},
        {m_bPSwitch, "+P:" + m_strPortParam},
        {m_bRSwitch, "+R:" + m_strRenewDriverName},
        {m_bUSwitch, "+U:" + m_strUserCode},
        {m_bZSwitch, "+Z"},
        {m_b1Switch, "+1"},
        {m_b3Switch, "+3:" + m_strInitializeFile},
        {m_b4Switch, "+4:" + m_strShareName},
    };
    for (size_t i = 0; i < std::size(kBatchOnly); ++i) {
      if (kBatchOnly[i].bGiven) {
        return kCommandLineRefused(static_cast<int>(6 + i), msgid::IDS_ERR_CMDLINE, kBatchOnly[i].strDetail);
      }
    }
  }

  if (m_bWSwitch != m_bMSwitch) return kCommandLineRefused(21, msgid::IDS_ERR_OR_SWITCH, "+M:\n+W:");

  if (m_b6Switch && !m_strDriversNameIniFile.empty()) {
    const std::string strGiven = m_strDriversNameIniFile;
    std::string strFull = strGiven;
    if (!CCommonFunction::kStdAfxGetFullPath(m_strModulePath, strGiven.c_str(), strFull)) strFull = strGiven;
    std::string strFolder;
    std::string strName;
    CCommonFunction::kStdAfxGetPathElement(strFull, PATH_ELEMENT_DRIVE_DIR, strFolder);
    CCommonFunction::kStdAfxGetPathElement(strFull, PATH_ELEMENT_FILE_NAME, strName);
    std::string strShortFolder;
    if (!CCommonFunction::kGetShortPathName(strFolder.c_str(), strShortFolder)) {
      return kCommandLineRefused(22, msgid::IDS_ERR_CMDLINE, "+6:" + strGiven);
    }
    if (strShortFolder.empty() || strShortFolder.back() != '\\') strShortFolder += "\\";
    m_strDriversNameIniFile = strShortFolder + strName;
    // The external installer writes the driver names there: the file, or
    // the folder it will be made in, must be writable.
    const std::string strFileName =
        GetFileAttributesA(m_strDriversNameIniFile.c_str()) != INVALID_FILE_ATTRIBUTES ? m_strDriversNameIniFile
                                                                                        : strShortFolder;
    kProgramLog().kWriteLog("CKV_SETUPApp::kAnalysisCommandLine() strFileName=[%s]\n", strFileName.c_str());
    const DWORD dwAttributes = GetFileAttributesA(strFileName.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES) return kCommandLineRefused(23, msgid::IDS_ERR_CANNOT_KEEPON, "");
    if (dwAttributes & FILE_ATTRIBUTE_READONLY) return kCommandLineRefused(24, msgid::IDS_ERR_CANNOT_KEEPON, "");
  }

  if (m_bQSwitch && !m_strQSwitchValue.empty()) {
    m_strQSwitchValue += "00000000000000000000";
    m_bShowCompletePage = pageFromQ(m_strQSwitchValue[9], m_bBSwitch);
    m_bShowLicensePage = pageFromQ(m_strQSwitchValue[0], m_bBSwitch);
  }

  if (m_b8Switch) {
    static const struct {
      const char* pszValue;
      int nSelect;
    } kModes[] = {{"NODISPLAY", INITPRN_NODISPLAY}, {"DISPLAY", INITPRN_DISPLAY}, {"SELECT", INITPRN_SELECT}};
    m_nInitPrnSelect = INITPRN_OTHER;
    for (const auto& mode : kModes) {
      if (kIEquals(m_strInitPrnMode, mode.pszValue)) m_nInitPrnSelect = mode.nSelect;
    }
    if (m_nInitPrnSelect == INITPRN_OTHER) m_strInitPrnSelectValue = m_strInitPrnMode;
    m_strInitPrnParam = m_strInitPrnMode;
  } else if (m_bBSwitch) {
    m_nInitPrnSelect = INITPRN_NODISPLAY;
    m_strInitPrnParam = "NODISPLAY";
  } else {
    m_nInitPrnSelect = INITPRN_SELECT;
    m_strInitPrnParam = "SELECT";
  }
  kProgramLog().kWriteLogLevel1("CKV_SETUPApp::kAnalysisCommandLine() return TRUE (25)\n");
  return TRUE;
}
