// The installation page and its thread.
#include "wizard/install_prepare_dialog.h"

#include <cstdio>
#include <string>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "res/resource.h"
#include "system/program_log.h"

namespace {

constexpr UINT_PTR kStartTimer = 1;

}  // namespace

CInstallPrepareDialog::CInstallPrepareDialog(CKV_SETUPApp& app) : CUsbPage(app, IDD_INSTALLPREPARE) {}

CInstallPrepareDialog::~CInstallPrepareDialog() {
  // The window has gone: no message of the thread can be answered any
  // more, and none needs to be (a send to a window that is gone returns).
  if (m_hThread) {
    m_bThreadEnd = TRUE;
    if (m_hInstallEvent) SetEvent(m_hInstallEvent);
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
  }
  if (m_hInstallEvent) CloseHandle(m_hInstallEvent);
  if (m_hCancelEvent) CloseHandle(m_hCancelEvent);
  if (m_app.m_pInstallPrepareDialog == this) m_app.m_pInstallPrepareDialog = nullptr;
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
  if (m_hThread || m_bEnded) return;
  CInstallEngine::CObserver& observer = *this;
  m_pEngine = std::make_unique<CInstallEngine>(m_app, observer);
  m_hThread = CreateThread(nullptr, 0, kGoProgress, this, 0, nullptr);
  if (!m_hThread) {
    kProgramLog().kWriteLog("CInstallPrepareDialog::OnTimer() return FALSE (1) LastError=%u CreateThread fail.\n",
                            GetLastError());
    m_pEngine.reset();
    m_bEnded = TRUE;
    m_app.kDispErrorMessage("IDS_ERR_CANNOT_KEEPON", "CreateThread", "", MB_OK | MB_ICONEXCLAMATION);
    kEndDialog(2);
  }
}

BOOL CInstallPrepareDialog::OnMessage(UINT uMsg, WPARAM, LPARAM, LRESULT& lResult) {
  if (uMsg == WM_UPDATEDATA && WM_UPDATEDATA != 0) {
    kTakeProgress();
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

void CInstallPrepareDialog::OnDestroy() {
  // However the window goes, the thread ends first (the destructor waits
  // for it too, for a page whose window never came).
  if (m_hThread && !m_bEnded) {
    m_bEnded = TRUE;
    m_bThreadEnd = TRUE;
    SetEvent(m_hInstallEvent);
    kWaitForThreadEnd();
  }
}

void CInstallPrepareDialog::kOnCommand(int nId, int nCode) {
  if (nCode != BN_CLICKED) return;
  if (nId == IDCANCEL) kOnCancel();
}

void CInstallPrepareDialog::kRequestEnd() {
  kProgramLog().kWriteLog("CInstallPrepareDialog::kRequestEnd() the wizard is closing.\n");
  kOnCancel();
}

void CInstallPrepareDialog::kTakeProgress() {
  if (!m_pEngine) return;
  // The thread waits in its send while these are read.
  m_strStatus = m_pEngine->m_strStatus;
  m_strStepLabel = m_pEngine->m_strStepLabel;
  m_nProgressRange = m_pEngine->m_nProgressRange;
  m_nProgressPos = m_pEngine->m_nProgressPos;
  char szPercent[64];
  std::snprintf(szPercent, sizeof szPercent, "%u %s", CInstallEngine::kPercent(m_nProgressPos, m_nProgressRange),
                m_strPercentUnit.c_str());
  m_strPercent = szPercent;
}

void CInstallPrepareDialog::kOnUpdateData() {
  SetDlgItemTextA(m_hWnd, IDC_STATUS, m_strStatus.c_str());
  SetDlgItemTextA(m_hWnd, IDC_PERCENT, m_strPercent.c_str());
  SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, m_nProgressRange));
  SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(m_nProgressPos), 0);
}

void CInstallPrepareDialog::kWaitForThreadEnd() {
  // Only sent messages are answered here: the thread's WM_UPDATEDATA.
  for (HANDLE h : {m_hCancelEvent, m_hThread}) {
    if (!h) continue;
    for (;;) {
      const DWORD dw = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE);
      if (dw != WAIT_OBJECT_0 + 1) break;
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
  }
  if (m_hThread) CloseHandle(m_hThread);
  m_hThread = nullptr;
  if (m_hInstallEvent) CloseHandle(m_hInstallEvent);
  m_hInstallEvent = nullptr;
}

void CInstallPrepareDialog::kTakeResult() {
  if (!m_pEngine) return;
  m_Result = m_pEngine->kGetResult();
  m_strOEMInf = m_pEngine->m_strOEMInf;
  m_bThreadError = m_Result.bError;
  m_pEngine.reset();
  if (m_Result.bRestartNeeded) {
    // The new files are in use only after the restart.
    m_app.m_bOSReboot = 1;
  }
  m_app.m_lstInstallUndone.insert(m_app.m_lstInstallUndone.end(), m_Result.lstUndone.begin(), m_Result.lstUndone.end());
  if (m_bThreadError) {
    m_app.m_bInstallError = 1;
    // The message comes once the services run again and the run is undone;
    // the frame closes the wizard after the page has ended.
    if (!m_Result.strMessageKey.empty()) {
      m_app.kDispErrorMessage(m_Result.strMessageKey, m_Result.strMessageDetail, "", MB_OK | MB_ICONEXCLAMATION);
    }
  }
}

void CInstallPrepareDialog::kOnEndInstall() {
  if (m_bEnded) return;
  m_bEnded = TRUE;
  kWaitForThreadEnd();
  kTakeResult();
  if (m_bThreadError) {
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
    m_bEnded = TRUE;
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
  kTakeResult();
  // A failure that came before the cancel took effect is still a failure.
  if (!m_bThreadError) m_app.m_bCancel = 1;
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

void CInstallPrepareDialog::kUpdate() { SendMessageA(m_hWnd, WM_UPDATEDATA, 0, 0); }

void CInstallPrepareDialog::kExecInstallThread() {
  m_pEngine->kRun();
  // The engine has ended: the services run again and a failure is undone.
  // After the event the page may go at once, so only copies are used.
  const HWND hWnd = m_hWnd;
  const bool bPost = m_pEngine->kGetResult().bError || !m_bThreadEnd;
  const HANDLE hCancelEvent = m_hCancelEvent;
  if (bPost) PostMessageA(hWnd, WM_ENDINSTALL, 0, 0);
  SetEvent(hCancelEvent);
}
