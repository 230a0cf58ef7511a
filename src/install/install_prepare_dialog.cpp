// The installation page and its thread.
#include "install/install_prepare_dialog.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "install/driver_check.h"
#include "res/resource.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/text_utility.h"

namespace {

constexpr UINT_PTR kStartTimer = 1;
constexpr DWORD kSzddMagic1 = 0x44445A53;  // "SZDD"
constexpr DWORD kSzddMagic2 = 0x3327F088;

std::string formatStatus(const std::string& strLabel, const std::string& strName) {
  return strLabel + " [" + strName + "]";
}

// The length an SZDD file's header declares for its expanded data; -1 when
// the file is not stored that way (or cannot be read).
long long declaredExpandedSize(const std::string& strPath) {
  CHandleOwner file(CreateFileA(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.kIsValid()) return -1;
  unsigned char header[14] = {};
  DWORD dwRead = 0;
  if (!ReadFile(file.kGet(), header, sizeof header, &dwRead, nullptr) || dwRead != sizeof header) return -1;
  auto le32 = [&](int at) {
    return static_cast<DWORD>(header[at]) | static_cast<DWORD>(header[at + 1]) << 8 |
           static_cast<DWORD>(header[at + 2]) << 16 | static_cast<DWORD>(header[at + 3]) << 24;
  };
  if (le32(0) != kSzddMagic1 || le32(4) != kSzddMagic2) return -1;
  return le32(10);
}

long long fileSize(const std::string& strPath) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The folder part of a path, without the last backslash.
std::string folderOf(const std::string& strPath) {
  const size_t n = strPath.find_last_of('\\');
  return n == std::string::npos ? std::string(".") : strPath.substr(0, n);
}

// A "KVIS" temporary file in a folder; empty after logging on failure.
std::string makeTemporaryName(const std::string& strFolder) {
  char szName[MAX_PATH] = {};
  if (GetTempFileNameA(strFolder.c_str(), "KVIS", 0, szName) == 0) {
    kProgramLog().kWriteLog("CInstallPrepareDialog GetTempFileName fail. LastError=%u Folder=[%s]\n", GetLastError(),
                            strFolder.c_str());
    return {};
  }
  return szName;
}

// Removes the temporary files of the copy ("KVI" and up to four hex digits,
// ".tmp") that a run ended in the middle of the copy left in a folder. Only
// for folders other than the system directory: there a temporary file may
// be waiting for its replacement at the next restart.
void removeLeftTemporaries(const std::string& strFolder) {
  WIN32_FIND_DATAA data{};
  HANDLE hFind = FindFirstFileA((strFolder + "\\KVI*.tmp").c_str(), &data);
  if (hFind == INVALID_HANDLE_VALUE) return;
  do {
    const std::string strName = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || strName.size() < 8 || strName.size() > 11) continue;
    bool bOurs = true;
    for (size_t i = 3; i + 4 < strName.size(); ++i) {
      if (!std::isxdigit(static_cast<unsigned char>(strName[i]))) bOurs = false;
    }
    if (!bOurs) continue;
    const std::string strPath = strFolder + "\\" + strName;
    const BOOL bDeleted = DeleteFileA(strPath.c_str());
    kProgramLog().kWriteLog("CInstallPrepareDialog remove a temporary file left by an earlier run [%s] return [%d]\n",
                            strPath.c_str(), bDeleted);
  } while (FindNextFileA(hFind, &data));
  FindClose(hFind);
}

}  // namespace

CInstallPrepareDialog::CInstallPrepareDialog(CKV_SETUPApp& app) : CUsbPage(app, IDD_INSTALLPREPARE) {}

CInstallPrepareDialog::~CInstallPrepareDialog() {
  if (m_hThread) CloseHandle(m_hThread);
  if (m_hInstallEvent) CloseHandle(m_hInstallEvent);
  if (m_hCancelEvent) CloseHandle(m_hCancelEvent);
}

BOOL CInstallPrepareDialog::OnInitDialog() {
  m_app.m_pInstallPrepareDialog = this;
  kSetPageTexts("IDS_DLG_FILECOPY_TITLE", "IDS_DLG_FILECOPY_SUBTITLE");
  kSetItemText(IDC_GUIDE, "IDS_DLG_FILECOPY_GUIDE");
  kSetItemText(IDCANCEL, "IDS_DLG_FILECOPY_IDCANCEL");
  m_strPercentUnit = kText("IDS_PERCENT");
  m_bThreadEnd = FALSE;
  m_bThreadError = FALSE;
  m_hInstallEvent = CreateEventA(nullptr, TRUE, TRUE, "INSTALL");
  m_hCancelEvent = m_hInstallEvent ? CreateEventA(nullptr, TRUE, FALSE, "INSTALLCANCEL") : nullptr;
  // Named events outlive a killed run only as long as a process holds them;
  // a fresh page starts from the documented states either way.
  if (m_hInstallEvent) SetEvent(m_hInstallEvent);
  if (m_hCancelEvent) ResetEvent(m_hCancelEvent);
  if (!m_hInstallEvent || !m_hCancelEvent) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::OnInitDialog() return FALSE (1) LastError=%u CreateEvent fail.\n",
                            GetLastError());
    m_app.kDispErrorMessage("IDS_ERR_CANNOT_KEEPON", "CreateEvent", "", MB_OK | MB_ICONEXCLAMATION);
    kEndDialog(2);
    return TRUE;
  }
  SetTimer(m_hWnd, kStartTimer, 500, nullptr);
  return TRUE;
}

void CInstallPrepareDialog::OnTimer(UINT_PTR nId) {
  if (nId != kStartTimer) return;
  KillTimer(m_hWnd, kStartTimer);
  if (m_hThread) return;
  m_hThread = CreateThread(nullptr, 0, kGoProgress, this, 0, nullptr);
  if (!m_hThread) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::OnTimer() return FALSE (1) LastError=%u CreateThread fail.\n",
                            GetLastError());
    m_app.kDispErrorMessage("IDS_ERR_CANNOT_KEEPON", "CreateThread", "", MB_OK | MB_ICONEXCLAMATION);
    kEndDialog(2);
  }
}

BOOL CInstallPrepareDialog::OnMessage(UINT uMsg, WPARAM, LPARAM, LRESULT& lResult) {
  if (uMsg == WM_UPDATEDATA && WM_UPDATEDATA != 0) {
    kOnUpdateData();
    lResult = 0;
    return TRUE;
  }
  if (uMsg == WM_ENDINSTALL && WM_ENDINSTALL != 0) {
    kOnEndInstall();
    lResult = 0;
    return TRUE;
  }
  return FALSE;
}

void CInstallPrepareDialog::kOnCommand(int nId, int nCode) {
  if (nCode != BN_CLICKED) return;
  if (nId == IDCANCEL) kOnCancel();
}

void CInstallPrepareDialog::kOnUpdateData() {
  SetDlgItemTextA(m_hWnd, IDC_STATUS, m_strStatus.c_str());
  SetDlgItemTextA(m_hWnd, IDC_PERCENT, m_strPercent.c_str());
  SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, m_nProgressRange));
  SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(m_nProgressPos), 0);
}

void CInstallPrepareDialog::kWaitForThreadEnd() {
  for (;;) {
    const DWORD dw = MsgWaitForMultipleObjects(1, &m_hCancelEvent, FALSE, INFINITE, QS_SENDMESSAGE);
    if (dw != WAIT_OBJECT_0 + 1) return;
    // Only sent messages are answered here: the thread's WM_UPDATEDATA.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  }
}

void CInstallPrepareDialog::kOnEndInstall() {
  if (m_bEnded) return;
  m_bEnded = TRUE;
  kWaitForThreadEnd();
  if (m_hInstallEvent) CloseHandle(m_hInstallEvent);
  m_hInstallEvent = nullptr;
  if (m_hThread) CloseHandle(m_hThread);
  m_hThread = nullptr;
  if (m_bThreadError) {
    m_app.m_bInstallError = 1;
    kProgramLog().kWriteLog("CInstallPrepareDialog::kOnEndInstall() EndDialog(2)\n");
    kEndDialog(2);
    return;
  }
  m_nProgressPos = m_nProgressRange;
  char szPercent[64];
  std::snprintf(szPercent, sizeof szPercent, "100 %s", m_strPercentUnit.c_str());
  m_strPercent = szPercent;
  kOnUpdateData();
  for (int i = 0; i < 3; ++i) {
    Sleep(500);
    kOnUpdateData();
  }
  kProgramLog().kWriteLog("CInstallPrepareDialog::kOnEndInstall() EndDialog(1)\n");
  kEndDialog(1);
}

void CInstallPrepareDialog::kOnCancel() {
  if (m_bEnded) return;
  if (!m_hThread) {
    m_app.m_bCancel = 1;
    kEndDialog(IDCANCEL);
    return;
  }
  ResetEvent(m_hInstallEvent);
  m_strStatus = kText("IDS_CANCEL_NOW");
  kOnUpdateData();
  m_bThreadEnd = TRUE;
  SetEvent(m_hInstallEvent);
  m_bEnded = TRUE;
  kWaitForThreadEnd();
  CloseHandle(m_hInstallEvent);
  m_hInstallEvent = nullptr;
  CloseHandle(m_hThread);
  m_hThread = nullptr;
  m_app.m_bCancel = 1;
  kProgramLog().kWriteLog("CInstallPrepareDialog::OnCancel() EndDialog(IDCANCEL)\n");
  kEndDialog(IDCANCEL);
}

// ---- The thread -------------------------------------------------------------------

DWORD WINAPI CInstallPrepareDialog::kGoProgress(LPVOID pParam) {
  static_cast<CInstallPrepareDialog*>(pParam)->kExecInstallThread();
  return 0;
}

BOOL CInstallPrepareDialog::kWaitPoint() {
  WaitForSingleObject(m_hInstallEvent, INFINITE);
  return !m_bThreadEnd;
}

void CInstallPrepareDialog::kSendUpdate() { SendMessageA(m_hWnd, WM_UPDATEDATA, 0, 0); }

void CInstallPrepareDialog::kProgressStep() {
  if (m_bThreadEnd) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kGoProgress() return m_bThreadEnd is TRUE.\n");
    return;
  }
  ++m_nProgressPos;
  char szPercent[64];
  std::snprintf(szPercent, sizeof szPercent, "%u %s", kPercent(m_nProgressPos, m_nProgressRange),
                m_strPercentUnit.c_str());
  m_strPercent = szPercent;
  kSendUpdate();
}

void CInstallPrepareDialog::kThreadMessage(const char* pszKey, const std::string& strDetail1,
                                           const std::string& strDetail2) {
  // The message also closes the wizard, which may end before the page has
  // handled the thread's end: the result is recorded first, so that a
  // failed installation is never reported as a success.
  m_bThreadError = TRUE;
  m_app.m_bInstallError = 1;
  m_app.kDispErrorMessage(pszKey, strDetail1, strDetail2, MB_OK | MB_ICONEXCLAMATION);
}

void CInstallPrepareDialog::kEndThread(BOOL bError) {
  // The spooler never stays stopped: whatever ended the thread, what the
  // stop recorded is started again (a failure is only logged here; the
  // step that failed has its own message).
  if (m_bSpoolerStopped) {
    m_bSpoolerStopped = FALSE;
    if (!m_app.m_pSpoolerInfomation->kStartSpoolerService()) {
      kProgramLog().kWriteLog("ExecInstallThread kStartSpoolerService fail while ending.\n");
    }
  }
  if (bError) m_bThreadError = TRUE;
  const bool bPost = bError || !m_bThreadEnd;
  SetEvent(m_hCancelEvent);
  if (bPost) PostMessageA(m_hWnd, WM_ENDINSTALL, 0, 0);
}

void CInstallPrepareDialog::kExecInstallThread() {
  kProgramLog().kWriteLog("ExecInstallThread start.\n");
  if (!kWaitPoint()) return kEndThread(FALSE);
  m_InstallCDE = m_app.m_CDE;
  const CPresentDriverList& lst = m_app.m_pSpoolerInfomation->kGetSameKindDriverList(
      m_InstallCDE.strDriverName.c_str(), m_InstallCDE.dwInfOSVersion, m_InstallCDE.strDriverFile.c_str(),
      m_InstallCDE.strPlatform.c_str(), TRUE, FALSE);
  m_lstSameKind.assign(lst.begin(), lst.end());
  m_itNext = m_lstSameKind.begin();
  m_nProgressRange = kProgressRange(m_lstSameKind.size());
  m_nProgressPos = 0;
  char szPercent[64];
  std::snprintf(szPercent, sizeof szPercent, "%u %s", 0u, m_strPercentUnit.c_str());
  m_strPercent = szPercent;
  kSendUpdate();
  if (!kWaitPoint()) return kEndThread(FALSE);
  const BOOL bSpoolerControl = m_app.m_pSetupIniInfo ? m_app.m_pSetupIniInfo->bSpoolerControl : FALSE;

  for (;;) {
    kProgramLog().kWriteLog("ExecInstallThread driver [%s]\n", m_InstallCDE.strDriverName.c_str());
    // 3. INF copy.
    if (!kInstallInfFile()) {
      kProgramLog().kWriteLog("Exit ExecInstallThread kInstallInfFile fail.\n");
      return kEndThread(TRUE);
    }
    // 4. Stop.
    if (!kWaitPoint()) return kEndThread(FALSE);
    if (CEnvironment::kIsWin2k() && bSpoolerControl) {
      m_strStatus = kText("IDS_INF_STOPSERVICE");
      kSendUpdate();
      m_app.m_pSpoolerInfomation->kStopSpoolerService();
      m_bSpoolerStopped = TRUE;
    }
    kProgressStep();
    // 5. File copy; a cancel here restarts the spooler first (kEndThread).
    if (!kWaitPoint()) return kEndThread(FALSE);
    const BOOL bCopy = kCreateTemporaryFileWin2k();
    kProgramLog().kWriteLog("CInstallPrepareDialog::kCreateTemporaryFile() return [%d]\n", bCopy);
    if (!bCopy) return kEndThread(TRUE);
    kProgressStep();
    // 6. Start.
    if (!kWaitPoint()) return kEndThread(FALSE);
    if (bSpoolerControl && m_bSpoolerStopped) {
      m_strStatus = kText("IDS_INF_STARTSERVICE");
      kSendUpdate();
      m_bSpoolerStopped = FALSE;
      if (!m_app.m_pSpoolerInfomation->kStartSpoolerService()) {
        kThreadMessage("IDS_ERR_SERVICESTART", "", "");
        kProgramLog().kWriteLog("Exit ExecInstallThread kStartSpoolerService fail.\n");
        return kEndThread(TRUE);
      }
    }
    kProgressStep();
    // 7. Monitor.
    if (!kWaitPoint()) return kEndThread(FALSE);
    if (!m_InstallCDE.strLanguageMonitorName.empty()) {
      m_strStepLabel = kText("IDS_INF_ADDMONITOR");
      m_strStatus = formatStatus(m_strStepLabel, m_InstallCDE.strLanguageMonitorName);
      kSendUpdate();
    }
    if (m_app.m_pSpoolerInfomation->kAddMonitor(m_InstallCDE) != VEXOERR_SUCCESS) {
      kThreadMessage("IDS_ERR_ADDMONITOR", m_InstallCDE.strLanguageMonitorName, "");
      kProgramLog().kWriteLog("Exit ExecInstallThread kAddMonitor fail.\n");
      return kEndThread(TRUE);
    }
    kProgressStep();
    // 8. Driver and print processor; a cancel here skips the step.
    if (!kWaitPoint()) return kEndThread(FALSE);
    m_strStepLabel = kText("IDS_INF_ADDDRIVER");
    m_strStatus = formatStatus(m_strStepLabel, m_InstallCDE.strDriverName);
    kSendUpdate();
    const DWORD dwFlags = m_InstallCDE.dwDriverVersionDownOption == 1 ? APD_COPY_NEW_FILES : APD_COPY_ALL_FILES;
    BOOL bDriver = m_app.m_pSpoolerInfomation->kAddPrinterDriver(m_InstallCDE, dwFlags) == VEXOERR_SUCCESS;
    if (bDriver) {
      kProgramLog().kWriteLog("kExecInstallThread kAddPrintProcessor param strPrintProcessor:%s strPrintProcessorDLL:%s\n",
                              m_InstallCDE.strPrintProcessor.c_str(), m_InstallCDE.strPrintProcessorDLL.c_str());
      bDriver = m_app.m_pSpoolerInfomation->kAddPrintProcessor(m_InstallCDE.strPrintProcessor,
                                                               m_InstallCDE.strPrintProcessorDLL);
      if (!bDriver) kProgramLog().kWriteLog("Exit ExecInstallThread kAddPrintProcessor fail.\n");
    }
    if (!bDriver) {
      kThreadMessage("IDS_ERR_ADDDRIVER", m_InstallCDE.strDriverName, "");
      return kEndThread(TRUE);
    }
    kProgressStep();
    // 9. Next same-kind driver.
    if (!kWaitPoint()) return kEndThread(FALSE);
    bool bNext = false;
    while (m_itNext != m_lstSameKind.end() && !bNext) {
      const CPresentDriver& entry = *m_itNext++;
      for (const CCandidateDriver& c : m_app.m_lstSetupCandidate) {
        if (kIEquals(c.strDriverName, entry.strName) && c.dwInfOSVersion == entry.dwVersion) {
          m_InstallCDE = c;
          bNext = true;
          break;
        }
      }
      if (!bNext) break;
    }
    if (!bNext) break;
  }
  kSendUpdate();
  kProgramLog().kWriteLog("ExecInstallThread normal end.\n");
  kEndThread(FALSE);
}

BOOL CInstallPrepareDialog::kInstallInfFile() {
  m_strOEMInf.clear();
  if (CEnvironment::kIsWin2k()) {
    std::string strInf;
    if (!CCommonFunction::kGetShortPathName(m_InstallCDE.strInfPath.c_str(), strInf)) strInf = m_InstallCDE.strInfPath;
    char szDest[MAX_PATH] = {};
    BOOL bFailed = FALSE;
    if (m_app.m_pDriverInfomation->kSetupCopyOEMInf(strInf.c_str(), nullptr, SPOST_PATH, 0, szDest, MAX_PATH,
                                                      nullptr, nullptr, &bFailed)) {
      m_strOEMInf = szDest;
    } else {
      kProgramLog().kWriteLog("CInstallPrepareDialog::kInstallInfFile() SetupCopyOEMInf fail. LastError=%u Inf=[%s]\n",
                              GetLastError(), strInf.c_str());
    }
  }
  kProgramLog().kWriteLog("CInstallPrepareDialog::kInstallInfFile() m_strOEMInf=[%s]\n", m_strOEMInf.c_str());
  return !m_strOEMInf.empty();
}

BOOL CInstallPrepareDialog::kRebootCopyFile(const std::string& strSource, const std::string& strTarget) {
  std::string strShortSource, strShortTarget;
  if (!CCommonFunction::kGetShortPathName(strSource.c_str(), strShortSource)) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kRebootCopyFile() return FALSE (1) LastError=%u\n", GetLastError());
    return FALSE;
  }
  if (!CCommonFunction::kGetShortPathName(strTarget.c_str(), strShortTarget)) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kRebootCopyFile() return FALSE (2) LastError=%u\n", GetLastError());
    return FALSE;
  }
  if (!MoveFileExA(strShortSource.c_str(), strShortTarget.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kRebootCopyFile() return FALSE (3) LastError=%u\n", GetLastError());
    return FALSE;
  }
  kProgramLog().kWriteLog("OSREBOOT FILE REBOOTOVERWRITE = [%s]\n", strShortTarget.c_str());
  return TRUE;
}

BOOL CInstallPrepareDialog::kCopyThroughTemporary(CKV_SETUPApp& app, const std::string& strSource,
                                                  const std::string& strTarget) {
  const std::string strTemp = makeTemporaryName(folderOf(strTarget));
  if (strTemp.empty()) return FALSE;
  if (!app.m_pDriverInfomation->kSetupDecompressOrCopyFile(strSource, strTemp, 0, nullptr)) {
    const DWORD dwError = GetLastError();
    DeleteFileA(strTemp.c_str());
    kProgramLog().kWriteLog("CInstallPrepareDialog kSetupDecompressOrCopyFile fail. LastError=%u [%s] -> [%s]\n",
                            dwError, strSource.c_str(), strTarget.c_str());
    return FALSE;
  }
  // The package may hold the file under its "_" name only.
  long long llDeclared = declaredExpandedSize(strSource);
  if (llDeclared < 0 && GetFileAttributesA(strSource.c_str()) == INVALID_FILE_ATTRIBUTES) {
    llDeclared = declaredExpandedSize(CCommonFunction::kMakeCompressedName(strSource));
  }
  const long long llActual = fileSize(strTemp);
  if (llDeclared >= 0 && llActual != llDeclared) {
    DeleteFileA(strTemp.c_str());
    kProgramLog().kWriteLog("CInstallPrepareDialog expanded file is short: declared %lld, expanded %lld [%s]\n",
                            llDeclared, llActual, strSource.c_str());
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  (void)CCommonFunction::kResetReadOnly(strTarget);
  if (!MoveFileExA(strTemp.c_str(), strTarget.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    const DWORD dwError = GetLastError();
    DeleteFileA(strTemp.c_str());
    kProgramLog().kWriteLog("CInstallPrepareDialog rename over the target fail. LastError=%u [%s]\n", dwError,
                            strTarget.c_str());
    SetLastError(dwError);
    return FALSE;
  }
  return TRUE;
}

BOOL CInstallPrepareDialog::kCreateTemporaryFileWin2k() {
  m_strStepLabel = kText("IDS_INF_FILECOPY");
  char szSystem[MAX_PATH] = {};
  GetSystemDirectoryA(szSystem, MAX_PATH);
  const std::string strSystemDir = szSystem;
  auto fail = [&](int nExit, const std::string& strPath) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::kCreateTemporaryFileWin2k() return FALSE (%d) LastError=%u [%s]\n",
                            nExit, GetLastError(), strPath.c_str());
    kThreadMessage("IDS_ERR_COPYFILE", strPath, "");
    return FALSE;
  };
  std::string strMonitorName, strMonitorSource;
  std::int64_t tmMonitor = 0;
  BOOL bMonitorInSystem = FALSE;
  if (m_InstallCDE.pDriverFileList) {
    std::vector<std::string> lstSwept;
    for (const CDriverFile& f : *m_InstallCDE.pDriverFileList) {
      if (kIEquals(f.strTargetDir, strSystemDir)) continue;
      bool bSeen = false;
      for (const std::string& s : lstSwept) bSeen = bSeen || kIEquals(s, f.strTargetDir);
      if (bSeen) continue;
      lstSwept.push_back(f.strTargetDir);
      removeLeftTemporaries(f.strTargetDir);
    }
    for (const CDriverFile& f : *m_InstallCDE.pDriverFileList) {
      const std::string strLongSource = f.strSourceDir + "\\" + f.strFileName;
      const std::string strLongTarget = f.strTargetDir + "\\" + f.strFileName;
      std::string strSource, strTarget;
      if (!CCommonFunction::kGetShortPathName(strLongSource.c_str(), strSource)) {
        // A file stored compressed exists only under its "_" name.
        if (GetFileAttributesA(CCommonFunction::kMakeCompressedName(strLongSource).c_str()) == INVALID_FILE_ATTRIBUTES) {
          return fail(1, strLongSource);
        }
        strSource = strLongSource;
      }
      if (!CCommonFunction::kGetShortPathName(strLongTarget.c_str(), strTarget)) strTarget = strLongTarget;
      if (kIEquals(f.strTargetDir, strSystemDir) && CCommonFunction::kStdAfxFileIsExisted(strTarget.c_str()) &&
          CCommonFunction::kStdAfxFileIsUsed(strTarget.c_str())) {
        if (kInUseUnchanged(CDriverCheck::kGetInstalledFileTime(strTarget), f.tmSourceFileTime)) continue;
        const std::string strTemp = makeTemporaryName(f.strTargetDir);
        if (strTemp.empty()) return fail(3, strLongSource);
        if (!m_app.m_pDriverInfomation->kSetupDecompressOrCopyFile(strSource, strTemp, 0, nullptr)) {
          kProgramLog().kWriteLog("kSetupDecompressOrCopyFile (1) return=%d\n", 0);
        }
        if (!kRebootCopyFile(strTemp, strTarget)) return fail(3, strLongSource);
        continue;
      }
      m_strStatus = formatStatus(m_strStepLabel, f.strFileName);
      if (!m_bThreadEnd) kSendUpdate();
      if (!kCopyThroughTemporary(m_app, strSource, strTarget)) return fail(4, strLongSource);
      if (kIEquals(f.strFileName, m_InstallCDE.strLanguageMonitorDLL) && !m_InstallCDE.strLanguageMonitorDLL.empty()) {
        if (kIEquals(f.strTargetDir, strSystemDir)) {
          bMonitorInSystem = TRUE;
        } else {
          strMonitorName = f.strFileName;
          strMonitorSource = strSource;
          tmMonitor = f.tmSourceFileTime;
        }
      }
    }
  }
  if (!strMonitorName.empty() && !bMonitorInSystem) {
    const std::string strLongTarget = strSystemDir + "\\" + strMonitorName;
    std::string strTarget;
    if (!CCommonFunction::kGetShortPathName(strLongTarget.c_str(), strTarget)) strTarget = strLongTarget;
    if (CCommonFunction::kStdAfxFileIsExisted(strTarget.c_str()) && CCommonFunction::kStdAfxFileIsUsed(strTarget.c_str())) {
      if (!kInUseUnchanged(CDriverCheck::kGetInstalledFileTime(strTarget), tmMonitor)) {
        const std::string strTemp = makeTemporaryName(strSystemDir);
        if (strTemp.empty() || !m_app.m_pDriverInfomation->kSetupDecompressOrCopyFile(strMonitorSource, strTemp, 0, nullptr) ||
            !kRebootCopyFile(strTemp, strTarget)) {
          return fail(7, strMonitorSource);
        }
      }
    } else if (!kCopyThroughTemporary(m_app, strMonitorSource, strTarget)) {
      kProgramLog().kWriteLog("  strMonitorSrc=[%s]\n", strMonitorSource.c_str());
      kProgramLog().kWriteLog("  strDestFile=[%s]\n", strTarget.c_str());
      return fail(8, strMonitorSource);
    }
  }
  return TRUE;
}
