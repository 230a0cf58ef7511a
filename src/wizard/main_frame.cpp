// The main frame: its window, the message map and the relays between the
// external installer and the parent installer.
#include "wizard/main_frame.h"

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "system/program_log.h"

BOOL CMainFrame::kRegisterClass() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = kWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  if (RegisterClassA(&wc)) return TRUE;
  // A second application object of the process finds the class registered.
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CMainFrame::kCreate(const char* pszTitle) {
  m_hWnd = CreateWindowExA(0, kClassName, pszTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, nullptr, nullptr, GetModuleHandleA(nullptr), this);
  return m_hWnd;
}

LRESULT CALLBACK CMainFrame::kWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_NCCREATE) {
    const auto* pCreate = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pCreate->lpCreateParams));
  }
  auto* pFrame = reinterpret_cast<CMainFrame*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (pFrame) {
    BOOL bHandled = FALSE;
    const LRESULT lResult = pFrame->kDispatch(uMsg, wParam, lParam, bHandled);
    if (bHandled) return lResult;
    if (uMsg == WM_NCDESTROY) {
      SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
      pFrame->m_hWnd = nullptr;
    }
  }
  return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

LRESULT CMainFrame::kDispatch(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  bHandled = TRUE;
  // The registered ids are all non-zero once registered; before that no
  // registered message can arrive.
  if (WM_APPBASE_MESSAGE != 0) {
    using Handler = LRESULT (CMainFrame::*)(WPARAM, LPARAM);
    struct Route {
      const UINT* pMessage;
      Handler pHandler;
    };
    static constexpr Route kRoutes[] = {
        {&WM_DISP_LICENSE, &CMainFrame::kOnDispLicenseDialog},
        {&WM_DISP_SETUPKIND, &CMainFrame::kOnDispSetupKindDialog},
        {&WM_DISP_UPDATEPRINTER, &CMainFrame::kOnDispUpdatePrinterDialog},
        {&WM_DISP_COMPLETE, &CMainFrame::kOnDispCompleteDialog},
        {&WM_EXECUTE_NELI, &CMainFrame::kOnExecuteNELI},
        {&WM_APPBASE_MESSAGE, &CMainFrame::kOnBaseProc},
        {&UM_EXIT_REBOOT, &CMainFrame::kOnExitReboot},
        {&WM_DISP_PRINTERLIST, &CMainFrame::kOnDispPrinterListDialog},
        {&WM_DISP_SEARCHPRINTER, &CMainFrame::kOnDispSearchPrinterDialog},
        {&WM_DISP_USBPRINTERLIST, &CMainFrame::kOnDispUSBPrinterListDialog},
        {&WM_DISP_POWEROFF, &CMainFrame::kOnDispPowerOffDialog},
        {&WM_DISP_PREPAREINSTALL, &CMainFrame::kOnDispInstPrepareDialog},
        {&WM_DISP_POWERON, &CMainFrame::kOnDispPowerOnDialog},
        {&WM_EXEC_APPLICATION, &CMainFrame::kOnExecuteApplication},
        {&WM_DECIDE_INSTALLKIND, &CMainFrame::kOnDecideInstallKind},
        {&WM_DRIVER_CHECK, &CMainFrame::kOnDriverCheck},
        {&WM_DISP_ADDFORCE, &CMainFrame::kOnDispAddForceDialog},
        {&WM_EXECUTE_NELIADDFORCE, &CMainFrame::kOnExecuteNELIAddForce},
        {&WM_APPMESSAGE_PROGRESS, &CMainFrame::kOnKVSetupReceiveProgress},
        {&WM_APPMESSAGE_CONNENCT, &CMainFrame::kOnKVSetupReceiveConnect},
        {&WM_SESSIONBASE_MESSAGE, &CMainFrame::kOnInstManCancelProc},
        {&WM_DISP_INITPRNSELECT, &CMainFrame::kOnDispInitPrnSelectDialog},
    };
    for (const Route& route : kRoutes) {
      if (uMsg == *route.pMessage) return (this->*route.pHandler)(wParam, lParam);
    }
  }
  switch (uMsg) {
    case WM_COPYDATA:
      return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_QUERYOPEN:
      // The frame stays minimised; the pages are windows of their own.
      return FALSE;
    case WM_CLOSE:
      DestroyWindow(m_hWnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      bHandled = FALSE;
      return 0;
  }
}

LRESULT CMainFrame::kOnDispLicenseDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispLicenseDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  // The wizard's pages are not part of this program yet: the run ends after
  // its start-up, as a clean run.
  kProgramLog().kWriteLog("CMainFrame::kOnDispLicenseDialog() no wizard pages in this build; the run ends here.\n");
  PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
  return 1;
}

void CMainFrame::kPost(const char* pszHandler, UINT uMsg, const char* pszName, int nNumber) {
  if (nNumber > 0) {
    kProgramLog().kWriteLog("CMainFrame::%s() post %s (%d)\n", pszHandler, pszName, nNumber);
  } else {
    kProgramLog().kWriteLog("CMainFrame::%s() post %s\n", pszHandler, pszName);
  }
  PostMessageA(m_hWnd, uMsg, 0, 0);
}

void CMainFrame::kEndIdleState(const char* pszHandler, const char* pszWhy) {
  kProgramLog().kWriteLog("CMainFrame::%s() %s; the wizard ends here.\n", pszHandler, pszWhy);
  m_app.m_bBreakOff = 1;
  PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

LRESULT CMainFrame::kOnBaseProc(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnBaseProc wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  // The flags are only ever set here, never cleared.
  if ((wParam & 0x1) == 0) {
    m_app.m_bSuccess = 1;
  } else {
    m_app.m_bInstallError = 1;
  }
  if (wParam & 0x2) m_app.m_bBreakOff = 1;
  if (wParam & 0x4) m_app.m_bWarning = 1;
  if (wParam & 0x10000) m_app.m_bOSReboot = 1;
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bSuccess=[%d]\n", m_app.m_bSuccess);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bInstallError=[%d]\n", m_app.m_bInstallError);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bBreakOff=[%d]\n", m_app.m_bBreakOff);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bWarning=[%d]\n", m_app.m_bWarning);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bOSReboot=[%d]\n", m_app.m_bOSReboot);
  return 1;
}

LRESULT CMainFrame::kOnKVSetupReceiveProgress(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnKVSetupReceiveProgress wParam=%X lParam=%X\n",
                          static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
  const int nResult = m_app.kSendToIMMessage(1, wParam, lParam);
  kProgramLog().kWriteLog("CMainFrame::kOnKVSetupReceiveProgress() kSendToIMMessage lResult=[%d]\n", nResult);
  return 1;
}

LRESULT CMainFrame::kOnKVSetupReceiveConnect(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnKVSetupReceiveConnect wParam=%X lParam=%X\n",
                          static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
  m_app.m_hNELIWnd = reinterpret_cast<HWND>(wParam);
  m_app.m_dwNELIMessage = static_cast<DWORD>(lParam);
  return 1;
}

LRESULT CMainFrame::kOnInstManCancelProc(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnInstManCancelProc wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kProgramLog().kWriteLog("CMainFrame::kOnInstManCancelProc() Canceled from IM wParam=0x%08x  lParam=0x%08x\n",
                          static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
  return 1;
}

LRESULT CMainFrame::kOnExitReboot(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnExitReboot wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  m_app.kRebootExit();
  // The end still reports the status word to the parent installer.
  PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
  return 1;
}

BOOL CMainFrame::OnCopyData(const COPYDATASTRUCT* pCopyDataStruct) {
  const int nResult = m_app.kSendMessageToIM(pCopyDataStruct);
  kProgramLog().kWriteLog("CMainFrame::OnCopyData() kSendMessageToIM return [%d]\n", nResult);
  return TRUE;
}

LRESULT CMainFrame::kOnDispSetupKindDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispSetupKindDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispSetupKindDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispUpdatePrinterDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispUpdatePrinterDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispUpdatePrinterDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispCompleteDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispCompleteDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispCompleteDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnDispUSBPrinterListDialog(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnDispUSBPrinterListDialog wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnDispUSBPrinterListDialog", "this state is not part of this build yet");
  return 1;
}

LRESULT CMainFrame::kOnExecuteApplication(WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::kOnExecuteApplication wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
  kEndIdleState("kOnExecuteApplication", "this state is not part of this build yet");
  return 1;
}
