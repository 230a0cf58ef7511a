// The main frame: its window, the message map and the relays between the
// external installer and the parent installer.
#include "wizard/main_frame.h"

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "resources/message_ids.h"
#include "system/program_log.h"
#include "wizard/complete_dialog.h"
#include "wizard/install_prepare_dialog.h"
#include "wizard/license_dialog.h"
#include "wizard/setup_kind_dialog.h"
#include "wizard/update_printer_dialog.h"
#include "wizard/usb_printer_list.h"

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
      // The installation page ends first, after its thread has put the
      // services back; its handler closes the wizard then.
      if (m_app.m_pInstallPrepareDialog) {
        kProgramLog().kWriteLog("CMainFrame WM_CLOSE waits for the installation page.\n");
        m_app.m_pInstallPrepareDialog->kRequestEnd();
        return 0;
      }
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
  m_app.kWriteKVISETUPLogInfo();
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


// ---- The wizard's own states ---------------------------------------------------

namespace {

void logEntry(const char* pszHandler, WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::%s wParam=%X lParam=%X\n", pszHandler, static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
}

}  // namespace

void CMainFrame::kCancel(const char* pszHandler, int nNumber) {
  m_app.m_bCancel = 1;
  kPost(pszHandler, WM_CLOSE, "WM_CLOSE", nNumber);
}

LRESULT CMainFrame::kOnDispLicenseDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispLicenseDialog";
  logEntry(kName, wParam, lParam);
  if (m_app.m_bBSwitch) {
    kPost(kName, WM_DISP_SETUPKIND, "WM_DISP_SETUPKIND", 1);
    return 1;
  }
  if (!m_app.m_bShowLicensePage) {
    kPost(kName, WM_DISP_SETUPKIND, "WM_DISP_SETUPKIND", 2);
    return 1;
  }
  m_app.m_nSetupKind = SETUPKIND_ADD;
  const INT_PTR nResult = CLicenseDialog(m_hWnd).DoModal();
  kProgramLog().kWriteLog("CMainFrame::%s() CLicenseDialog nResult=[%d]\n", kName, static_cast<int>(nResult));
  if (nResult == IDOK) {
    kPost(kName, WM_DISP_SETUPKIND, "WM_DISP_SETUPKIND", 3);
  } else {
    kCancel(kName, 4);
  }
  return 1;
}

LRESULT CMainFrame::kOnDispSetupKindDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispSetupKindDialog";
  logEntry(kName, wParam, lParam);
  if (m_app.m_bBSwitch) {
    m_app.m_bNetworkSearch = 0;
    m_app.m_bUSBInstall = 0;
  } else {
    const INT_PTR nResult = CSetupKindDialog(m_hWnd).DoModal();
    kProgramLog().kWriteLog("CMainFrame::%s() CSetupKindDialog nResult=[%d]\n", kName, static_cast<int>(nResult));
    if (nResult != IDOK) {
      kCancel(kName, 1);
      return 1;
    }
  }
  kProgramLog().kWriteLog("CMainFrame::%s() m_nSetupKind=[%d] m_bNetworkSearch=[%d] m_bUSBInstall=[%d]\n", kName,
                          m_app.m_nSetupKind, m_app.m_bNetworkSearch, m_app.m_bUSBInstall);
  if (m_app.m_pDriverInfomation->VEXOGetCandidateDriverList().empty() && !m_app.kMakeSetupInfomation()) {
    // kMakeSetupInfomation has told the user why. The end is not a success:
    // the parent installer hears that the run was broken off.
    m_app.m_bBreakOff = 1;
    kPost(kName, WM_CLOSE, "WM_CLOSE", 2);
    return 1;
  }
  if (m_app.m_nSetupKind == SETUPKIND_ADD && !m_app.m_bDivertPrinter && m_app.m_lstSetupCandidate.empty()) {
    // Every driver of the package is for another system: there is nothing
    // to add, and the run must not end as if it had added something.
    kProgramLog().kWriteLog("CMainFrame::%s() no setup candidate for this system.\n", kName);
    m_app.kDispErrorMessage(msgid::IDS_ERR_NOSETUPINFO, "", "", MB_OK | MB_ICONEXCLAMATION);
    m_app.m_bBreakOff = 1;
    kPost(kName, WM_CLOSE, "WM_CLOSE", 3);
    return 1;
  }
  if (m_app.m_nSetupKind == SETUPKIND_UPDATE) {
    kPost(kName, WM_DISP_UPDATEPRINTER, "WM_DISP_UPDATEPRINTER", 4);
  } else if (m_app.m_bNetworkSearch && CEnvironment::kIsWin2k()) {
    kPost(kName, WM_DISP_SEARCHPRINTER, "WM_DISP_SEARCHPRINTER", 5);
  } else if (m_app.m_bUSBInstall && CEnvironment::kIsWin2k()) {
    kPost(kName, WM_DISP_USBPRINTERLIST, "WM_DISP_USBPRINTERLIST", 6);
  } else {
    kPost(kName, WM_EXECUTE_NELI, "WM_EXECUTE_NELI", 7);
  }
  return 1;
}

void CMainFrame::kMakeUpdatePrinterList() {
  m_app.m_lstUpdatePrinters.clear();
  CSpoolerInfomation& spooler = *m_app.m_pSpoolerInfomation;
  if (spooler.kGetPresentPrinterList().empty() && !spooler.kMakePresentAllList(FALSE)) {
    kProgramLog().kWriteLog("CMainFrame::kMakeUpdatePrinterList() kMakePresentAllList fail. LastError=%u\n",
                            static_cast<unsigned>(GetLastError()));
  }
  const CCandidateDriverList& lstCandidate = m_app.m_pDriverInfomation->VEXOGetCandidateDriverList();
  for (const CPresentPrinter& printer : spooler.kGetPresentPrinterList()) {
    const DWORD dwVersion = spooler.kGetTopPresentDriverVersionNo(printer.strDriverName.c_str(), 5);
    for (const CCandidateDriver& cde : lstCandidate) {
      if (lstrcmpiA(cde.strDriverName.c_str(), printer.strDriverName.c_str()) != 0 || cde.dwInfOSVersion < dwVersion) {
        continue;
      }
      bool bListed = false;
      for (const std::string& strName : m_app.m_lstUpdatePrinters) bListed = bListed || strName == printer.strPrinterName;
      if (!bListed) m_app.m_lstUpdatePrinters.push_back(printer.strPrinterName);
    }
  }
  kProgramLog().kWriteLog("CMainFrame::kMakeUpdatePrinterList() m_lstUpdatePrinters=[%u]\n",
                          static_cast<unsigned>(m_app.m_lstUpdatePrinters.size()));
  for (const std::string& strName : m_app.m_lstUpdatePrinters) {
    kProgramLog().kWriteLog("  [%s]\n", strName.c_str());
  }
}

LRESULT CMainFrame::kOnDispUpdatePrinterDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispUpdatePrinterDialog";
  logEntry(kName, wParam, lParam);
  kMakeUpdatePrinterList();
  if (!m_app.m_bBSwitch) {
    const INT_PTR nResult = CUpdatePrinterDialog(m_hWnd).DoModal();
    kProgramLog().kWriteLog("CMainFrame::%s() CUpdatePrinterDialog nResult=[%d]\n", kName, static_cast<int>(nResult));
    if (nResult != IDOK) {
      kCancel(kName, 1);
      return 1;
    }
  }
  kPost(kName, WM_EXECUTE_NELI, "WM_EXECUTE_NELI", 2);
  return 1;
}

LRESULT CMainFrame::kOnDispUSBPrinterListDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispUSBPrinterListDialog";
  logEntry(kName, wParam, lParam);
  const INT_PTR nResult = CUsbPrinterList(m_hWnd).DoModal();
  kProgramLog().kWriteLog("CMainFrame::%s() CUsbPrinterList nResult=[%d]\n", kName, static_cast<int>(nResult));
  if (nResult == IDOK) {
    kPost(kName, WM_DECIDE_INSTALLKIND, "WM_DECIDE_INSTALLKIND", 1);
  } else if (nResult == IDCANCEL) {
    kCancel(kName, 2);
  } else {
    kEndIdleState(kName, "the USB printer page gave no usable result");
  }
  return 1;
}

LRESULT CMainFrame::kOnDispCompleteDialog(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnDispCompleteDialog";
  logEntry(kName, wParam, lParam);
  const auto closeWithoutReboot = [this] {
    kProgramLog().kWriteLog("CMainFrame::kOnDispCompleteDialog() post WM_CLOSE RebootMethod_NotReboot\n");
    PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
  };
  if (m_app.m_bBSwitch) {
    if (m_app.m_bQSwitch) {
      closeWithoutReboot();
      return 1;
    }
    if (m_app.m_bESwitch && m_app.m_nRebootMethod != RebootMethod_Page) {
      if (m_app.m_nRebootMethod == RebootMethod_NotReboot) {
        closeWithoutReboot();
        return 1;
      }
      if (m_app.m_nRebootMethod == RebootMethod_DoReboot) {
        kProgramLog().kWriteLog("CMainFrame::kOnDispCompleteDialog() post UM_EXIT_REBOOT RebootMethod_DoReboot\n");
        PostMessageA(m_hWnd, UM_EXIT_REBOOT, 0, 0);
        return 1;
      }
    }
  } else if (m_app.m_bQSwitch && !m_app.m_bShowCompletePage) {
    closeWithoutReboot();
    return 1;
  }
  const INT_PTR nResult = CCompleteDialog(m_hWnd).DoModal();
  kProgramLog().kWriteLog("CMainFrame::%s() CCompleteDialog nResult=[%d] m_bRebootSelected=[%d]\n", kName,
                          static_cast<int>(nResult), m_app.m_bRebootSelected);
  if (nResult == IDOK && m_app.m_bRebootSelected) {
    kPost(kName, UM_EXIT_REBOOT, "UM_EXIT_REBOOT", 1);
  } else {
    kPost(kName, WM_CLOSE, "WM_CLOSE", 2);
  }
  return 1;
}

LRESULT CMainFrame::kOnExecuteApplication(WPARAM wParam, LPARAM lParam) {
  static constexpr const char* kName = "kOnExecuteApplication";
  logEntry(kName, wParam, lParam);
  if (kCreateProcess(m_strApplicationCommandLine, FALSE)) {
    kPost(kName, WM_DISP_COMPLETE, "WM_DISP_COMPLETE", 1);
  } else {
    m_app.kDispErrorMessage(msgid::IDS_ERR_APPWAKEUP, m_strApplicationCommandLine, "", MB_OK | MB_ICONEXCLAMATION);
    kPost(kName, WM_CLOSE, "WM_CLOSE", 2);
  }
  return 1;
}
