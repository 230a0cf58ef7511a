#include "wizard/search_printer_dialog.h"

#include <memory>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "res/resource.h"
#include "resources/message_ids.h"
#include "system/program_log.h"
#include "wizard/network_printer_list.h"

namespace {

// What the search thread needs, copied before it starts, so that the thread
// never reads the page after it has signalled its end (the page may be gone
// by then).
struct SearchJob {
  CNetworkPrinterList* pList;
  HWND hPage;
  HANDLE hEventCancel;
};

}  // namespace

CSearchPrinterDialog::CSearchPrinterDialog(HWND hWndParent) : CKVIDlgForm(IDD_SEARCHPRINTER, hWndParent) {}

CSearchPrinterDialog::~CSearchPrinterDialog() {
  kWaitForThread();
  kCloseEvents();
}

BOOL CSearchPrinterDialog::OnInitDialog() {
  CDetailLog& log = kProgramLog();
  SETUP_GLOBAL.m_pNetworkPrinterList = std::make_unique<CNetworkPrinterList>(SETUP_GLOBAL.m_strModulePath);
  m_pList = SETUP_GLOBAL.m_pNetworkPrinterList.get();
  CKVIDlgForm::OnInitDialog();
  if (!m_pList->m_bNQEnable) {
    log.kWriteLog("CSearchPrinterDialog::OnInitDialog() return TRUE (1) LastError=%u kIsEnableNQCore returned FALSE.\n",
                  static_cast<unsigned>(GetLastError()));
    m_bEnded = TRUE;
    EndDialog(2);
    return TRUE;
  }
  kSetNetworkSearchCancel(FALSE);
  kSetItemMessage(IDC_SEARCH_TEXT1, msgid::IDS_DLG_SEARCH_PRINTER1);
  kSetItemMessage(IDC_SEARCH_TEXT2, msgid::IDS_DLG_SEARCH_PRINTER2);
  kSetItemMessage(IDOK, msgid::IDS_DLG_MONITORSELECT_IDCANCEL);

  m_hEventInstall = CreateEventA(nullptr, TRUE, TRUE, "INSTALL");
  if (m_hEventInstall) {
    // Another search of this run may have left the object signalled.
    SetEvent(m_hEventInstall);
    m_hEventCancel = CreateEventA(nullptr, TRUE, FALSE, "INSTALLCANCEL");
    if (m_hEventCancel) ResetEvent(m_hEventCancel);
  }
  if (!m_hEventInstall || !m_hEventCancel) {
    log.kWriteLog("CSearchPrinterDialog::OnInitDialog() return TRUE (%d) LastError=%u CreateEvent fail.\n",
                  m_hEventInstall ? 3 : 2, static_cast<unsigned>(GetLastError()));
    SETUP_GLOBAL.kDispErrorMessage(msgid::IDS_ERR_OTHERERR, "CreateEvent", "", MB_OK | MB_ICONEXCLAMATION);
    kCloseEvents();
    m_bEnded = TRUE;
    EndDialog(2);
    return TRUE;
  }
  m_bTimer = SetTimer(m_hWnd, kStartTimer, kStartDelayMs, nullptr) != 0;
  return TRUE;
}

void CSearchPrinterDialog::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent != kStartTimer) return;
  KillTimer(m_hWnd, kStartTimer);
  m_bTimer = FALSE;
  if (m_bEnded || m_hThread) return;
  auto* pJob = new SearchJob{m_pList, m_hWnd, m_hEventCancel};
  DWORD dwThreadId = 0;
  m_hThread = CreateThread(nullptr, 0, kSearchThread, pJob, 0, &dwThreadId);
  if (!m_hThread) {
    kProgramLog().kWriteLog("CSearchPrinterDialog::OnTimer() return (1) LastError=%u CreateThread fail.\n",
                            static_cast<unsigned>(GetLastError()));
    delete pJob;
    SETUP_GLOBAL.kDispErrorMessage(msgid::IDS_ERR_OTHERERR, "CreateThread", "", MB_OK | MB_ICONEXCLAMATION);
    m_bEnded = TRUE;
    EndDialog(2);
  }
}

DWORD WINAPI CSearchPrinterDialog::kSearchThread(LPVOID pParam) {
  std::unique_ptr<SearchJob> pJob(static_cast<SearchJob*>(pParam));
  pJob->pList->kEnableCallBackFunc(NQCallBackFunc1);
  pJob->pList->kMakeNetworkPrinterList();
  pJob->pList->kDisableCallBackFunc(NQCallBackFunc1);
  const HWND hPage = pJob->hPage;
  SetEvent(pJob->hEventCancel);
  // A stopped search delivers no completion: the page has already ended.
  if (!kIsNetworkSearchCancel()) PostMessageA(hPage, WM_ENDINSTALL, 0, 0);
  return 0;
}

BOOL CSearchPrinterDialog::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
  if (uMsg == WM_ENDINSTALL && WM_ENDINSTALL != 0) {
    lResult = kOnEndInstall(wParam, lParam);
    return TRUE;
  }
  return CKVIDlgForm::OnMessage(uMsg, wParam, lParam, lResult);
}

LRESULT CSearchPrinterDialog::kOnEndInstall(WPARAM, LPARAM) {
  if (m_bEnded) return 0;
  kWaitForThread();
  kCloseEvents();
  m_bEnded = TRUE;
  kProgramLog().kWriteLog("CSearchPrinterDialog::kOnEndInstall() search done: %u printers.\n",
                          static_cast<unsigned>(m_pList ? m_pList->m_lstNetworkPrinter.size() : 0));
  EndDialog(kSearchDone);
  return 0;
}

void CSearchPrinterDialog::kStop() {
  if (m_bEnded) return;
  kEnableItem(IDOK, FALSE);
  if (m_hEventInstall) ResetEvent(m_hEventInstall);
  kSetNetworkSearchCancel(TRUE);
  if (m_hEventInstall) SetEvent(m_hEventInstall);
  if (m_bTimer) {
    // Stopped before the search began: there is no thread to wait for.
    KillTimer(m_hWnd, kStartTimer);
    m_bTimer = FALSE;
  }
  // The library stops at its next callback.
  kWaitForThread();
  kCloseEvents();
  m_bEnded = TRUE;
  kProgramLog().kWriteLog("CSearchPrinterDialog::OnOK() search stopped.\n");
  EndDialog(IDOK);
}

void CSearchPrinterDialog::OnOK() { kStop(); }
void CSearchPrinterDialog::OnCancel() { kStop(); }

void CSearchPrinterDialog::OnDestroy() {
  if (m_bTimer) KillTimer(m_hWnd, kStartTimer);
  m_bTimer = FALSE;
  if (m_hThread) {
    // The page goes without a stop (the wizard is closing): the thread must
    // not outlive the list it reads.
    kSetNetworkSearchCancel(TRUE);
    kWaitForThread();
  }
}

void CSearchPrinterDialog::kWaitForThread() {
  if (!m_hThread) return;
  if (m_hEventCancel) WaitForSingleObject(m_hEventCancel, INFINITE);
  // The thread only posts after the signal; its end is a moment away.
  WaitForSingleObject(m_hThread, INFINITE);
  CloseHandle(m_hThread);
  m_hThread = nullptr;
}

void CSearchPrinterDialog::kCloseEvents() {
  if (m_hEventInstall) CloseHandle(m_hEventInstall);
  if (m_hEventCancel) CloseHandle(m_hEventCancel);
  m_hEventInstall = nullptr;
  m_hEventCancel = nullptr;
}
