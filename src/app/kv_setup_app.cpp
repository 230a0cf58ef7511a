// The application object: construction, the start-up checks, the end, and
// the messages it shows or sends.
#include "app/kv_setup_app.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "resources/message_ids.h"
#include "resources/rsc_msg.h"
#include "app/window_messages.h"
#include "driverinfo/driver_info_log.h"
#include "driverinfo/vexo_error.h"
#include "system/program_log.h"

namespace {

// Every subsystem that keeps a detail log of its own gets the same settings:
// a log left out would silently drop the numbered exits administrators look
// for (the package analysis is where most setups fail).
void setDetailLogs(CRscCommon& rsc, BOOL bEnable, const std::string& strPath, DWORD dwLevel) {
  kProgramLog().kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  rsc.kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
  kDriverInfoLog().kSetDetailLogFileSetting(bEnable, strPath, dwLevel);
}

}  // namespace

CKV_SETUPApp& kSetupGlobal() {
  // Never destroyed: the detail log and the service objects may still be
  // used while the process ends.
  static CKV_SETUPApp* pApp = new CKV_SETUPApp;
  return *pApp;
}

CKV_SETUPApp::CKV_SETUPApp()
    : m_pCommonFunc(std::make_unique<CCommonFunction>()),
      m_pEnvironment(std::make_unique<CEnvironment>()),
      m_pSpoolerInfomation(std::make_unique<CSpoolerInfomation>()),
      m_pDriverInfomation(std::make_unique<CDriverInfomation>()),
      m_pRscCommon(std::make_unique<CRscCommon>("KV_")),
      m_strDefaultCaption(kAppName) {
  setDetailLogs(*m_pRscCommon, FALSE, "", 0);
  m_dwOutputLevel = CDetailLog::kReadOutputLevel();
  m_bKeepDetailLog = m_dwOutputLevel != 0 ? 1 : 0;
}

CKV_SETUPApp::~CKV_SETUPApp() = default;

BOOL CKV_SETUPApp::kStartupExit(int nExit, const char* pszReason, bool bWithLastError) {
  if (bWithLastError) {
    kProgramLog().kWriteLog("CKV_SETUPApp::InitInstance() return FALSE (%d) LastError=%u %s\n", nExit,
                            GetLastError(), pszReason);
  } else {
    kProgramLog().kWriteLog("CKV_SETUPApp::InitInstance() return FALSE (%d) %s\n", nExit, pszReason);
  }
  m_nStartupExit = nExit;
  return FALSE;
}

BOOL CKV_SETUPApp::InitInstance() {
  m_nStartupExit = 0;
  INITCOMMONCONTROLSEX icc = {};
  icc.dwSize = sizeof(icc);
  icc.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&icc);

  if (!m_pCommonFunc) return kStartupExit(1, "m_pCommonFunc is NULL");
  if (!m_pEnvironment) return kStartupExit(2, "m_pEnvironment is NULL");
  if (!m_pSpoolerInfomation) return kStartupExit(3, "m_pSpoolerInfomation is NULL");
  if (!m_pDriverInfomation) return kStartupExit(4, "m_pDriverInfomation is NULL");
  if (!m_pRscCommon) return kStartupExit(5, "m_pRscCommon is NULL");

  // The detail log of this run replaces the one of the run before, but
  // never the log of an instance that still runs: this one will end at the
  // duplicate guard, and its lines follow the running instance's.
  char szTemp[MAX_PATH + 1] = {};
  const DWORD dwTemp = GetTempPathA(MAX_PATH, szTemp);
  m_strDetailLogFile.clear();
  if (dwTemp > 0 && dwTemp <= MAX_PATH) {
    m_strDetailLogFile = szTemp;
    if (m_strDetailLogFile.back() != '\\') m_strDetailLogFile += '\\';
    m_strDetailLogFile += CDetailLog::kLogFileName;
    const bool bOtherRuns = kOpenSharedData() && m_pSharedData->lInstanceCount > 0;
    if (!bOtherRuns) DeleteFileA(m_strDetailLogFile.c_str());
  }
  setDetailLogs(*m_pRscCommon, TRUE, m_strDetailLogFile, m_dwOutputLevel);
  kProgramLog().kWriteLog("********************************************************\n");
  kProgramLog().kWriteLog("************     KV_SETUP Detail Log    ****************\n");
  kProgramLog().kWriteLog("********************************************************\n");
  kProgramLog().kWriteLog("\n");

  // A malformed argument is only remembered here: it is reported once the
  // catalogue can explain it.
  (void)kGetCommandLine();
  if (m_bImmediateEnd) return kStartupExit(6, "m_bImmediateEnd is TRUE");

  // The answers stay available also when the classification refuses the
  // system; the refusals follow below, with their messages.
  (void)CEnvironment::kGetOsVersionCheck();
  kProgramLog().kWriteLog("OS Ver = [%u]\n", CEnvironment::kGetOsKind());

  if (kCheckDuplicationExecute() == 1) return kStartupExit(7, "kCheckDuplicationExecute fail");

  if (!CMainFrame::kRegisterClass()) return kStartupExit(8, "pDocTemplate is NULL");
  m_pMainFrame = std::make_unique<CMainFrame>(*this);
  m_hMainWnd = m_pMainFrame->kCreate(m_strDefaultCaption.c_str());
  if (!m_hMainWnd) return kStartupExit(9, "ProcessShellCommand fail.");

  kRegisterMessageID();

  char szModule[MAX_PATH + 1] = {};
  GetModuleFileNameA(nullptr, szModule, MAX_PATH);
  CCommonFunction::kStdAfxGetPathElement(szModule, PATH_ELEMENT_DRIVE_DIR_SLASH, m_strModulePath);

  // The second new-document command re-initialises the empty document; the
  // frame holds no document state, so there is nothing that could fail.
  if (!IsWindow(m_hMainWnd)) return kStartupExit(10, "ProcessShellCommand fail.");

  m_dwOsKind = CEnvironment::kGetOsKind();
  if (CEnvironment::kIsWin9x()) {
    MessageBoxA(m_hMainWnd, "Not compatible with this version of the OS. (3)", "Install Printer Driver",
                kStartupMessageStyle);
    return kStartupExit(11, "Detect 9x OS.");
  }

  m_pRscCommon->kSetWindowHandle(m_hMainWnd);
  if (!m_pRscCommon->kCollectiveFileAnalyze()) {
    m_pRscCommon->kDispMessageBox(m_pRscCommon->kGetErrorMessage(), m_strDefaultCaption, MB_OK | MB_ICONINFORMATION);
    PostMessageA(m_hMainWnd, WM_CLOSE, 0, 0);
    return kStartupExit(12, "kCollectiveFileAnalyze fail.");
  }
  if (!kGetLocaleInfo(1)) {
    m_pRscCommon->kDispMessageBox(m_pRscCommon->kGetErrorMessage(), m_strDefaultCaption, MB_OK | MB_ICONINFORMATION);
    PostMessageA(m_hMainWnd, WM_CLOSE, 0, 0);
    return kStartupExit(13, "kGetLocaleInfo fail.");
  }
  m_strDefaultCaption = m_pRscCommon->kGetMessageText(msgid::AFX_IDS_APP_TITLE);
  m_pRscCommon->kSetCaption(m_strDefaultCaption);

  if (!CEnvironment::kIsWin2k()) {
    kDispErrorMessage(msgid::IDS_ERR_OSVERSION, "", "", kStartupMessageStyle);
    return kStartupExit(14, "Detect not 2k (or later) OS.");
  }
  if (CEnvironment::kIsWOW64()) {
    kDispErrorMessage(msgid::IDS_ERR_OSVERSION, "", "", kStartupMessageStyle);
    return kStartupExit(15, "Detect WOW64 process.");
  }
  if (!kAnalysisCommandLine()) return kStartupExit(16, "kAnalysisCommandLine fail.");
  m_bCmdLineAnalyzed = 1;

  // The installation report. With a parent installer the reports of
  // earlier runs are kept and this run appends to them.
  m_strLogFile = std::string(szTemp) + (dwTemp > 0 && szTemp[dwTemp - 1] != '\\' ? "\\" : "") + "INNELI.LOG";
  std::string strShortLog;
  if (!CCommonFunction::kGetShortPathName(m_strLogFile.c_str(), strShortLog)) {
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, m_strLogFile, "", kStartupMessageStyle);
    return kStartupExit(17, "kGetShortPathName fail.");
  }
  m_strLogFile = strShortLog;
  if (!CCommonFunction::kResetReadOnly(m_strLogFile)) {
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, m_strLogFile, "", kStartupMessageStyle);
    return kStartupExit(18, "kResetReadOnly fail.");
  }
  if (!(m_bWSwitch && m_bMSwitch) && GetFileAttributesA(m_strLogFile.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !DeleteFileA(m_strLogFile.c_str())) {
    kDispErrorMessage(msgid::IDS_ERR_MAKEIFFILE, "", "", kStartupMessageStyle);
    return kStartupExit(19, "DeleteFile fail.");
  }

  if (!kGetLocaleInfo(0)) {
    m_pRscCommon->kDispMessageBox(m_pRscCommon->kGetErrorMessage(), m_strDefaultCaption, MB_OK | MB_ICONINFORMATION);
    PostMessageA(m_hMainWnd, WM_CLOSE, 0, 0);
    return kStartupExit(20, "kGetLocaleInfo fail.");
  }
  const CLangInfo lang = m_pRscCommon->kGetLanguage();
  m_strDefaultCaption = m_pRscCommon->kGetMessageText(msgid::AFX_IDS_APP_TITLE);
  m_pRscCommon->kSetCaption(m_strDefaultCaption);
  char szLang[16];
  std::snprintf(szLang, sizeof(szLang), "%04x", static_cast<unsigned>(lang.dwLangID));
  m_strLangCode = szLang;
  m_strLangOmittedName = lang.strOmittedName;
  m_strLangTwoLetter = lang.strTwoLetter;
  SetWindowTextA(m_hMainWnd, m_strDefaultCaption.c_str());
  kProgramLog().kWriteLog("m_strDefaultCaption = [%s]\n", m_strDefaultCaption.c_str());
  m_strErrKind = m_pRscCommon->kGetMessageText(msgid::IDS_ERRKIND);
  m_strErrCode = m_pRscCommon->kGetMessageText(msgid::IDS_ERRCODE);
  m_dwLangID = lang.dwLangID;

  kSendToIMMessage(2, reinterpret_cast<WPARAM>(m_hMainWnd), static_cast<LPARAM>(WM_SESSIONBASE_MESSAGE));

  if (m_bISwitch &&
      kDispStartMessage(msgid::IDS_MSG_START_CONFIRM1, msgid::IDS_MSG_START_CONFIRM2) == IDNO) {
    return kStartupExit(21, "kDispStartMessage returned IDNO.");
  }

  // The setup configuration. A package without one is incomplete: its
  // absence is refused here, before the reading, which would take every
  // default.
  const std::string strSetupIni = m_strModulePath + CKVISetupIniInfo::kFileName;
  std::string strShortIni;
  if (!CCommonFunction::kGetShortPathName(strSetupIni.c_str(), strShortIni) ||
      GetFileAttributesA(strShortIni.c_str()) == INVALID_FILE_ATTRIBUTES) {
    kDispErrorMessage(msgid::IDS_ERR_READINIFILE, strSetupIni, "", kStartupMessageStyle);
    return kStartupExit(22, "kGetShortPathName fail.");
  }
  if (!m_SetupIniReader.kOpenRead(strShortIni)) {
    kDispErrorMessage(msgid::IDS_ERR_READINIFILE, strShortIni, m_SetupIniReader.kGetCurrentKey(),
                      kStartupMessageStyle);
    return kStartupExit(23, "kOpenRead fail.");
  }
  m_pSetupIniInfo = &CKVISetupIniInfo::kGetPublished();
  m_strPowerOffBitmap = m_pSetupIniInfo->strPowerOFFBitmap;
  m_strPowerOnBitmap = m_pSetupIniInfo->strPowerONBitmap;

  if (m_dwOsKind == OSKIND_OTHER) {
    kDispErrorMessage(msgid::IDS_ERR_OSVERSION, "", "", kStartupMessageStyle);
    kStartupExit(24, "Detect OSKIND_OTHER.");
    kProgramLog().kWriteLog("strSetupIni=[%s]\n", strShortIni.c_str());
    return FALSE;
  }
  const int nCluster = CEnvironment::kCheckClusterService();
  if (nCluster == CLUSTER_SERVICE_FOUND) {
    kDispErrorMessage(msgid::IDS_ERR_OSVERSION, "", "", kStartupMessageStyle);
    return kStartupExit(25, "Detect CLUSTER SERVICE.", false);
  }
  if (nCluster == CLUSTER_SERVICE_CHECK_FAILED) {
    kDispErrorMessage(msgid::IDS_ERR_OTHERERR, "Cluster Service Process", "", kStartupMessageStyle);
    return kStartupExit(26, "kCheckClusterService fail.", false);
  }
  if (!CEnvironment::kCheckAdministrators()) {
    kDispErrorMessage(msgid::IDS_ERR_NO_ADMIN, "", "", kStartupMessageStyle);
    return kStartupExit(27, "kCheckAdministrators returned FALSE.", false);
  }
  kRecoverInstallation();
  if (!m_pSpoolerInfomation->kCheckSpoolerStatus()) {
    kDispErrorMessage(msgid::IDS_ERR_STOPSPOOLER, "", "", kStartupMessageStyle);
    return kStartupExit(28, "kCheckSpoolerStatus returned FALSE.", false);
  }

  // The network search needs the package's network library and the
  // standard TCP/IP port monitor; the monitor's answer is only logged.
  if (m_pSetupIniInfo->bNetworkPrinterSearch == 1) {
    m_bNQAvailable = kCheckNQmodule() == 1 ? 1 : 0;
    if (m_bNQAvailable) (void)kCheckTCPIP();
    if (!CEnvironment::kIsWin2k()) m_bNQAvailable = 0;
    m_bNetworkSearch = m_bNQAvailable;
  } else {
    m_bNetworkSearch = 0;
  }

  const DWORD dwInit = m_pDriverInfomation->VEXOInitialize(m_strModulePath + "INSTDLL" + "\\" + "DrvInst");
  if (dwInit == VEXOERR_SETUPAPI_NOTLOAD) {
    kDispErrorMessage(msgid::IDS_ERR_DLLLOADERR, "", "", kStartupMessageStyle);
    return kStartupExit(29, "VEXOInitialize returned VEXOERR_SETUPAPI_NOTLOAD.", false);
  }
  if (dwInit == VEXOERR_CREATE_CLASS) {
    kDispErrorMessage(msgid::IDS_ERR_CANNOT_KEEPON,
                      kFormatText("%s VEXOInitialize\n%s VEXOERR_CREATE_CLASS", m_strErrKind.c_str(),
                                  m_strErrCode.c_str()),
                      "", kStartupMessageStyle);
    return kStartupExit(30, "VEXOInitialize returned VEXOERR_CREATE_CLASS.", false);
  }
  if (dwInit != VEXOERR_SUCCESS) {
    kDispErrorMessage(msgid::IDS_ERR_OTHERERR,
                      kFormatText("%s VEXOInitialize\n%s (%u)", m_strErrKind.c_str(), m_strErrCode.c_str(), dwInit),
                      "", kStartupMessageStyle);
    return kStartupExit(31, kFormatText("VEXOInitialize returned unknowen code [%d].", static_cast<int>(dwInit)).c_str(),
                        false);
  }

  ShowWindow(m_hMainWnd, SW_SHOWMINIMIZED);
  UpdateWindow(m_hMainWnd);
  m_bUSBDriverExist = 0;
  m_bUSBInstall = 0;
  kProgramLog().kWriteLog("m_bBSwitch %d\n", m_bBSwitch);

  // A USB installation needs the candidates and the spooler's lists before
  // the first page; in batch mode the wizard builds them later.
  if (!m_bBSwitch && CEnvironment::kIsWin2k() && m_pSetupIniInfo->bUSBInst == 1) {
    if (!kMakeSetupInfomation()) return kStartupExit(32, "kMakeSetupInfomation returned FALSE.");
    const char* pszPlatform = CEnvironment::kIsAMD64() ? "NTamd64" : "NTx86";
    for (const CCandidateDriver& candidate : m_pDriverInfomation->VEXOGetCandidateDriverList()) {
      if (candidate.dwInfOSVersion == 3 && candidate.strPlatform == pszPlatform && candidate.bUSBPermit) {
        m_bUSBDriverExist = 1;
        break;
      }
    }
    if (!kMakePresentList()) return kStartupExit(33, "kMakePresentList returned FALSE.");
  }

  char szWindows[MAX_PATH + 1] = {};
  if (CCommonFunction::kStdAfxGetWindowsDir(szWindows, sizeof(szWindows))) m_strWindowsDir = szWindows;

  if (m_pSharedData) m_pSharedData->ullMainWnd = reinterpret_cast<uintptr_t>(m_hMainWnd);
  PostMessageA(m_hMainWnd, WM_DISP_LICENSE, 0, 0);
  kProgramLog().kWriteLog("CKV_SETUPApp::InitInstance() return TRUE\n");
  return TRUE;
}

int CKV_SETUPApp::ExitInstance() {
  kProgramLog().kWriteLog("CSETUPApp::ExitInstance\n");
  if (!m_strInstManHWnd.empty() && !m_strInstManMessage.empty()) {
    DWORD dwStatus = m_bInstallError ? 1 : ((m_bBreakOff || m_bCancel) ? 2 : 0);
    if (m_bWarning && !m_bInstallError) dwStatus += 4;
    if (m_bOSReboot) dwStatus += 0x10000;
    kProgramLog().kWriteLog("CKV_SETUPApp::ExitInstance() dwStatus = [0x%08x]\n", dwStatus);
    kSendToIMMessage(0, dwStatus, 0);
  }
  if (!m_bKeepDetailLog && !m_bInstallError && !m_bBreakOff && !m_bWarning && !m_strDetailLogFile.empty()) {
    setDetailLogs(*m_pRscCommon, FALSE, "", 0);
    DeleteFileA(m_strDetailLogFile.c_str());
  }
  if (m_hMutex) {
    CloseHandle(m_hMutex);
    m_hMutex = nullptr;
  }
  kCloseSharedData();
  if (m_hMainWnd && IsWindow(m_hMainWnd)) DestroyWindow(m_hMainWnd);
  m_hMainWnd = nullptr;
  // A start-up that failed ends with its exit number, also in silent mode:
  // the external installer never ran, so its exit code (0) would report a
  // failure as success.
  int nExitCode = 0;
  if (m_nStartupExit != 0) {
    nExitCode = m_nStartupExit;
  } else if (m_b1Switch) {
    nExitCode = static_cast<int>(m_dwNELIExitCode);
  }
  kProgramLog().kWriteLog("CKV_SETUPApp::ExitInstance() return [%d]\n", nExitCode);
  return nExitCode;
}

int CKV_SETUPApp::kDispErrorMessage(const std::string& strKey, const std::string& strDetail1,
                                    const std::string& strDetail2, UINT uStyle) {
  const std::string strText = m_pRscCommon->kGetMessageText(strKey);
  const std::string strMessage = CRscMsg::kAppendDetail(strText, strDetail1, strDetail2);
  const bool bSilent = m_bCmdLineAnalyzed && m_b1Switch;
  const bool bShow = m_hMainWnd != nullptr && !strText.empty() && !bSilent;
  kProgramLog().kWriteLog("CKV_SETUPApp::kDispErrorMessage() %s shown=%d\n", strKey.c_str(), bShow ? 1 : 0);
  kProgramLog().kWriteLog("  [%s]\n", strMessage.c_str());
  int nButton = 0;
  if (bShow) nButton = m_pRscCommon->kDispMessageBox(strMessage, m_strDefaultCaption, uStyle);
  // Every error ends the wizard, shown or not.
  if (m_hMainWnd) PostMessageA(m_hMainWnd, WM_CLOSE, 0, 0);
  return nButton;
}

int CKV_SETUPApp::kDispStartMessage(const std::string& strKey1, const std::string& strKey2) {
  const std::string strText1 = m_pRscCommon->kGetMessageText(strKey1);
  const std::string strText2 = m_pRscCommon->kGetMessageText(strKey2);
  if (strText1.empty() || strText2.empty() || !m_hMainWnd) return 1;
  return m_pRscCommon->kDispMessageBox(strText1 + "\n" + strText2, m_strDefaultCaption, kStartConfirmStyle);
}

BOOL CKV_SETUPApp::kGetLocaleInfo(int nMode) {
  const BOOL bResult =
      nMode == 1 ? m_pRscCommon->kTempDecideLanguage("0X0409") : m_pRscCommon->kDecideLanguage(m_strLangCode);
  kProgramLog().kWriteLog("CKV_SETUPApp::kGetLocaleInfo() return [%d]\n", bResult);
  return bResult;
}
