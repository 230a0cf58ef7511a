// What the wizard will offer, gathered before it starts: the candidate
// drivers of the package that suit this system, and the lists of what the
// spooler already holds.
#include "app/kv_setup_app.h"
#include "app/run_outcome.h"
#include "app/setup_candidate_admission.h"
#include "resources/message_ids.h"
#include "system/program_log.h"

namespace {

BOOL sameNameNoCase(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The printer-driver versions a system of this kind can install: the 95
// family takes version 0 only, NT 4.0 version 2 only, Windows 2000 and XP
// versions 2 and 3, Vista and later version 3 only.
BOOL versionFitsSystem(DWORD dwVersion) {
  if (CEnvironment::kIsWin9x()) return dwVersion == 0;
  if (CEnvironment::kIsWinnt()) return dwVersion == 2;
  if (CEnvironment::kIsWinVistaLater()) return dwVersion == 3;
  if (CEnvironment::kIsWin2k()) return dwVersion == 2 || dwVersion == 3;
  return FALSE;
}

}  // namespace

int CKV_SETUPApp::kCheckElementAddToList(CCandidateDriverList& lstCandidate, const CCandidateDriver& candidate,
                                         int* pnDecision, std::string* pstrReason) {
  const auto decide = [&candidate, pnDecision, pstrReason](int nResult, int nDecision, const char* pszReason) {
    if (pnDecision) *pnDecision = nDecision;
    if (pstrReason) *pstrReason = pszReason;
    kProgramLog().kWriteLog(
        "CKV_SETUPApp::kCheckElementAddToList() return [%d] (%d) LastError=%u strDriverName=[%s] "
        "dwInfOSVersion=[%u] strPlatform=[%s] %s\n",
        nResult, nDecision, GetLastError(), candidate.strDriverName.c_str(), candidate.dwInfOSVersion,
        candidate.strPlatform.c_str(), pszReason);
    return nResult;
  };

  const std::vector<CAdmissionRefusal> lstRefusal = kListAdmissionRefusals(lstCandidate, candidate);
  if (!lstRefusal.empty()) return decide(0, lstRefusal.front().nDecision, lstRefusal.front().pszReason);

  // Admitted: an entry of the same name (the list never holds two) gives way.
  for (auto it = lstCandidate.begin(); it != lstCandidate.end(); ++it) {
    if (!sameNameNoCase(it->strDriverName, candidate.strDriverName)) continue;
    const bool bSameVersion = it->dwInfOSVersion == candidate.dwInfOSVersion;
    lstCandidate.erase(it);
    if (bSameVersion) return decide(1, 4, "same version, candidate is newer.");
    return decide(1, 6, "higher version than listed one.");
  }
  return decide(1, 7, "new driver name.");
}

std::vector<CKV_SETUPApp::CAdmissionRefusal> CKV_SETUPApp::kListAdmissionRefusals(
    const CCandidateDriverList& lstCandidate, const CCandidateDriver& candidate) {
  std::vector<CAdmissionRefusal> lstRefusal;
  if (!versionFitsSystem(candidate.dwInfOSVersion)) lstRefusal.push_back({1, "driver version not for this OS."});
  if (!sameNameNoCase(candidate.strPlatform, CEnvironment::kGetPerentDriverPlatform())) {
    lstRefusal.push_back({2, "platform not for this OS."});
  }
  // Only the first entry of the same name decides: the list never holds two.
  for (const CCandidateDriver& entry : lstCandidate) {
    if (!sameNameNoCase(entry.strDriverName, candidate.strDriverName)) continue;
    if (entry.dwInfOSVersion == candidate.dwInfOSVersion) {
      if (entry.tmDriverFileTime >= candidate.tmDriverFileTime) {
        lstRefusal.push_back({3, "same version, listed one is newer."});
      }
    } else if (candidate.dwInfOSVersion < entry.dwInfOSVersion) {
      lstRefusal.push_back({5, "lower version than listed one."});
    }
    break;
  }
  return lstRefusal;
}

BOOL CKV_SETUPApp::kMakeSetupInfomation() {
  const auto fail = [](int nExit, const std::string& strReason) {
    kProgramLog().kWriteLog("CKV_SETUPApp::kMakeSetupInfomation() return FALSE (%d) LastError=%u %s\n", nExit,
                            GetLastError(), strReason.c_str());
    return FALSE;
  };

  // Removing a component, or only diverting a printer, needs no candidates.
  if (m_nSetupKind == SETUPKIND_DELETE || m_bDivertPrinter) {
    kProgramLog().kWriteLog(
        "CKV_SETUPApp::kMakeSetupInfomation() return TRUE (7) LastError=%u m_nSetupKind=[%d] m_bDivertPrinter=[%d]\n",
        GetLastError(), m_nSetupKind, m_bDivertPrinter);
    return TRUE;
  }
  // An update offers every driver of the package; any other kind only those
  // the description file lists.
  const BOOL bListedOnly = m_nSetupKind == SETUPKIND_UPDATE ? FALSE : TRUE;

  std::string strSourcePath;
  if (!CCommonFunction::kGetShortPathName(m_strRestrictPath.c_str(), strSourcePath)) strSourcePath = m_strRestrictPath;
  kProgramLog().kWriteLog("CKV_SETUPApp::kMakeSetupInfomation() strSourcePath=[%s] m_strLangCode=[%s] flag=[%d]\n",
                          strSourcePath.c_str(), m_strLangCode.c_str(), bListedOnly);
  const DWORD dwResult = m_pDriverInfomation->VEXOMakeCandidateDriverList(strSourcePath, m_strLangCode, bListedOnly);
  if (dwResult == VEXOERR_SOURCEPATHNG) {
    const std::string strDetail =
        kFormatText("%s %s", m_pRscCommon->kGetMessageText(msgid::IDS_ERR_SEARCHPATH).c_str(), m_strRestrictPath.c_str());
    kRecordRunFailure(KVEXIT_PACKAGE_ANALYSIS, "the package folder cannot be searched");
    kDispErrorMessage(msgid::IDS_ERR_NOSETUPINFO, strDetail, "", kStartupMessageStyle);
    return fail(3, "VEXOMakeCandidateDriverList returned VEXOERR_SOURCEPATHNG.");
  }
  if (dwResult == VEXOERR_READINFERR) {
    std::string strErrorText1;
    std::string strErrorText2;
    m_pDriverInfomation->VEXOGetErrorInfomatio(strErrorText1, strErrorText2);
    kRecordRunFailure(KVEXIT_PACKAGE_ANALYSIS, "a printer INF of the package cannot be read");
    kDispErrorMessage(msgid::IDS_ERR_READINFERR, kFormatText("%s\n%s", strErrorText1.c_str(), strErrorText2.c_str()),
                      "", kStartupMessageStyle);
    return fail(4, "VEXOMakeCandidateDriverList returned VEXOERR_READINFERR.");
  }
  if (dwResult != VEXOERR_SUCCESS) {
    kRecordRunFailure(KVEXIT_PACKAGE_ANALYSIS, "the package's analysis failed");
    kDispErrorMessage(msgid::IDS_ERR_OTHERERR,
                      kFormatText("%s VEXOMakeCandidateDriverList\n%s (%u)", m_strErrKind.c_str(),
                                  m_strErrCode.c_str(), dwResult),
                      "", kStartupMessageStyle);
    return fail(5, kFormatText("VEXOMakeCandidateDriverList returned unknowen code [%d].", static_cast<int>(dwResult)));
  }
  // The facade always answers with its list (an empty one at worst), so the
  // "candidate list missing" exit (1) cannot arise here.
  const CCandidateDriverList& lstCandidate = m_pDriverInfomation->VEXOGetCandidateDriverList();

  // A rebuild starts from an empty list, so nothing of an earlier analysis
  // stays on offer.
  m_lstSetupCandidate.clear();
  BOOL bTargetDriverExist = FALSE;
  // Admitted candidates join the list through the admission's index.
  CSetupCandidateAdmission admission(m_lstSetupCandidate);
  for (const CCandidateDriver& candidate : lstCandidate) {
    if (admission.kAdmit(candidate) != 1) continue;
    if (m_bBSwitch) {
      if (m_bASwitch) {
        if (sameNameNoCase(candidate.strDriverName, m_strAddDriverName)) bTargetDriverExist = TRUE;
      } else if (m_bRSwitch) {
        if (sameNameNoCase(candidate.strDriverName, m_strRenewDriverName)) bTargetDriverExist = TRUE;
      }
    }
  }

  if (m_bBSwitch && !bTargetDriverExist) {
    const std::string strDetail = m_bASwitch ? kFormatText("%s:%s", "+A", m_strAddDriverName.c_str())
                                             : kFormatText("%s:%s", "+R", m_strRenewDriverName.c_str());
    // The caller's mistake: an error of its own number, told in the detail
    // log and the report (in silent mode no box is shown).
    kRecordRunFailure(KVEXIT_UNKNOWN_DRIVER, "the driver named on the command line is not offered here");
    kDispErrorMessage(msgid::IDS_ERR_NOSETUPINFO, strDetail, "", kStartupMessageStyle);
    return fail(2, "bTargetDriverExist is FALSE.");
  }

  if (m_nSetupKind == SETUPKIND_UPDATE && !m_bBSwitch && !m_pSpoolerInfomation->kMakePresentAllList(FALSE)) {
    kDispErrorMessage(msgid::IDS_ERR_PRESENTLISTERR, kFormatText("%s kMakePresentAllList", m_strErrKind.c_str()), "",
                      kStartupMessageStyle);
    return fail(6, "kMakePresentAllList fail.");
  }
  kProgramLog().kWriteLog("CKV_SETUPApp::kMakeSetupInfomation() return TRUE (8) LastError=%u m_lstSetupCandidate=[%u]\n",
                          GetLastError(), static_cast<unsigned>(m_lstSetupCandidate.size()));
  return TRUE;
}

BOOL CKV_SETUPApp::kMakePresentList() {
  if (!m_pSpoolerInfomation->kMakePresentAllList(FALSE)) {
    kDispErrorMessage(msgid::IDS_ERR_PRESENTLISTERR, "", "", kStartupMessageStyle);
    kProgramLog().kWriteLog("CKV_SETUPApp::kMakePresentList() return FALSE (1) LastError=%u kMakePresentAllList fail.\n",
                            GetLastError());
    return FALSE;
  }
  m_lstPDL = m_pSpoolerInfomation->kGetPresentDriverList();
  m_lstPPL = m_pSpoolerInfomation->kGetPresentPrinterList();
  m_lstPort = m_pSpoolerInfomation->kGetPortList();

  CDetailLog& log = kProgramLog();
  log.kWriteLog("\n\n[Present Driver]\n");
  for (const CPresentDriver& driver : m_lstPDL) {
    log.kWriteLog("*--------------- Present Driver -------------------*\n");
    log.kWriteLog("    cVersion        = [%u]\n", driver.dwVersion);
    log.kWriteLog("    pName           = [%s]\n", driver.strName.c_str());
    log.kWriteLog("    pEnvironment    = [%s]\n", driver.strEnvironment.c_str());
    log.kWriteLog("    pDriverPath     = [%s]\n", driver.strDriverPath.c_str());
    log.kWriteLog("    pDataFile       = [%s]\n", driver.strDataFile.c_str());
    log.kWriteLog("    pConfigFile     = [%s]\n", driver.strConfigFile.c_str());
    log.kWriteLog("    pHelpFile       = [%s]\n", driver.strHelpFile.c_str());
    log.kWriteLog("    pMonitorName    = [%s]\n", driver.strMonitorName.c_str());
  }
  log.kWriteLog("\n\n[Present Printer]\n");
  for (const CPresentPrinter& printer : m_lstPPL) {
    log.kWriteLog("*--------------- Present Printer -------------------*\n");
    log.kWriteLog("    pPrinterName    = [%s]\n", printer.strPrinterName.c_str());
    log.kWriteLog("    pShareName      = [%s]\n", printer.strShareName.c_str());
    log.kWriteLog("    pPortName       = [%s]\n", printer.strPortName.c_str());
    log.kWriteLog("    pDriverName     = [%s]\n", printer.strDriverName.c_str());
    log.kWriteLog("    pComment        = [%s]\n", printer.strComment.c_str());
  }
  log.kWriteLog("\n\n[Present Port]\n");
  for (const CPresentPort& port : m_lstPort) {
    log.kWriteLog("*--------------- Present Port -------------------*\n");
    log.kWriteLog("    pPortName       = [%s]\n", port.strPortName.c_str());
    log.kWriteLog("    pMonitorName    = [%s]\n", port.strMonitorName.c_str());
    log.kWriteLog("    pDescription    = [%s]\n", port.strDescription.c_str());
  }
  log.kWriteLog("CKV_SETUPApp::kMakePresentList() return TRUE (2) LastError=%u\n", GetLastError());
  return TRUE;
}
