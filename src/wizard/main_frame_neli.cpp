// The external installer: the interface file, its launch and the wait for it.
#include <vector>

#include "app/kv_setup_app.h"
#include "app/run_outcome.h"
#include "app/window_messages.h"
#include "resources/message_ids.h"
#include "system/command_line_text.h"
#include "system/program_log.h"
#include "wizard/main_frame.h"

namespace {

// What the system answers for a cancelled operation; an installer that the
// user cancelled ends with it.
constexpr DWORD kExitCancelled = ERROR_CANCELLED;  // 1223

unsigned handleDigits(HWND hWnd) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(hWnd)); }

}  // namespace

std::string CMainFrame::kGetNELIModuleName() const {
  const std::string strNELIModule = CEnvironment::kIsX86() ? "NELI.EXE" : "NELI64.EXE";
  kProgramLog().kWriteLog("CMainFrame::kGetNELIModuleName() return strNELIModule=[%s]\n", strNELIModule.c_str());
  return strNELIModule;
}

BOOL CMainFrame::kGetNELIPath(std::string& strPath) const {
  const std::string strLong = m_app.m_strModulePath + "INSTDLL" + "\\" + kGetNELIModuleName();
  strPath = strLong;
  // The short form of a missing file is no form at all: the installer
  // cannot be started from it.
  if (!CCommonFunction::kGetShortPathName(strLong.c_str(), strPath)) return FALSE;
  if (GetFileAttributesA(strPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    strPath = strLong;
    return FALSE;
  }
  return TRUE;
}

std::string CMainFrame::kMakeNELICommandLine(const std::string& strNELIPath, const std::string& strInterfaceFile,
                                             BOOL bAddForce) const {
  const CKV_SETUPApp& app = m_app;
  const bool bMinusH = app.m_bHSwitch && !app.m_bHSwitchPlus;
  std::string strH;
  if (!app.m_bHSwitch) {
    strH = app.m_strLangCode;
  } else if (app.m_bHSwitchPlus) {
    strH = app.m_strHSwitchValue;
  } else {
    strH = "0x" + app.m_strLangCode;
  }
  // Every value in quotes is quoted by the rules the installer reads its
  // command line with, so that a quote in a value cannot end it and add
  // switches; a plain value keeps the form "+X:\"value\"".
  const char* pszFormat = bMinusH ? "\"%s\" +X:%s -H:%s +W:%08x +M:%05x" : "\"%s\" +X:%s +H:%s +W:%08x +M:%05x";
  std::string strLine = kFormatText(pszFormat, strNELIPath.c_str(), kQuoteCommandLineValue(strInterfaceFile).c_str(),
                                    strH.c_str(), handleDigits(m_hWnd), WM_APPBASE_MESSAGE);
  if (bAddForce) {
    strLine += " ";
    if (app.m_strInstManHWnd.empty() || app.m_strInstManMessage.empty()) strLine += "+Z ";
    if (app.m_b6Switch) strLine += "+6:" + kQuoteCommandLineValue(app.m_strDriversNameIniFile) + " ";
    return strLine;
  }
  auto batchSwitches = [&] {
    if (app.m_b1Switch) strLine += " +1";
    if (app.m_bZSwitch) strLine += " +Z";
  };
  if (app.m_bDivertPrinter) {
    batchSwitches();
    if (!app.m_strDivertMode.empty()) strLine += " +C:" + app.m_strDivertMode;
  } else if (app.m_nSetupKind == SETUPKIND_UPDATE) {
    if (!app.m_bBSwitch) {
      strLine += " +Z";
    } else {
      batchSwitches();
    }
  } else if (app.m_nSetupKind == SETUPKIND_ADD) {
    if (!app.m_bBSwitch) {
      strLine += " +K";
    } else {
      batchSwitches();
    }
    if (!app.m_bUSBInstall) strLine += " +8:" + kQuoteCommandLineValue(app.m_strInitPrnParam);
  } else if (app.m_nSetupKind == SETUPKIND_DELETE) {
    if (!app.m_bBSwitch) {
      strLine += " +K";
    } else {
      batchSwitches();
    }
  }
  if (app.m_b6Switch && (app.m_bDivertPrinter || app.m_nSetupKind != SETUPKIND_DELETE)) {
    strLine += " +6:" + kQuoteCommandLineValue(app.m_strDriversNameIniFile);
  }
  return strLine;
}

BOOL CMainFrame::kStartNELIProcess(const std::string& strCommandLine, PROCESS_INFORMATION& pi) {
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWDEFAULT;
  pi = {};
  // CreateProcess may write into the command line it is given.
  std::vector<char> vecLine(strCommandLine.begin(), strCommandLine.end());
  vecLine.push_back('\0');
  return CreateProcessA(nullptr, vecLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
}

void CMainFrame::kWaitForProcess(HANDLE hProcess) {
  for (;;) {
    const DWORD dwWait = MsgWaitForMultipleObjects(1, &hProcess, FALSE, INFINITE, QS_SENDMESSAGE);
    if (dwWait != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The end of the program is for the message loop to see.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
      // The status has been recorded by its handler: the wizard goes on,
      // whether or not the installer still runs.
      if (msg.message == WM_APPBASE_MESSAGE) {
        m_bNELIReported = TRUE;
        return;
      }
    }
  }
}

void CMainFrame::kAfterNELIRun(DWORD dwExitCode, const char* pszHandler) {
  // A status the installer posted just before it ended waits in the queue;
  // it is handled now so that its outcome is known here.
  MSG msg;
  if (!m_bNELIReported && m_hWnd &&
      PeekMessageA(&msg, m_hWnd, WM_APPBASE_MESSAGE, WM_APPBASE_MESSAGE, PM_REMOVE)) {
    if (msg.message == WM_APPBASE_MESSAGE) {
      DispatchMessageA(&msg);
      m_bNELIReported = TRUE;
    } else if (msg.message == WM_QUIT) {
      // WM_QUIT passes every filter; it stays for the message loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
    }
  }
  if (m_app.m_bSuccess != m_nSuccessBefore || m_app.m_bInstallError != m_nInstallErrorBefore) {
    m_bNELIReported = TRUE;
  }
  if (m_bNELIReported) return;
  // An installer that ended without a word (it crashed, or was cancelled
  // before it could report) must not pass for a successful one.
  if (dwExitCode == kExitCancelled) {
    m_app.m_bBreakOff = 1;
    m_app.kRecordRunFailure(KVEXIT_NELI_REPORTED_BREAKOFF, "the external installer ended cancelled without a word");
  } else {
    m_app.m_bInstallError = 1;
    m_app.kRecordRunFailure(KVEXIT_NELI_REPORTED_ERROR, "the external installer ended without reporting its status");
  }
  kProgramLog().kWriteLog("CMainFrame::%s() the installer ended without reporting its status: dwExitCode=%u; "
                          "m_bInstallError=[%d] m_bBreakOff=[%d]\n",
                          pszHandler, dwExitCode, m_app.m_bInstallError, m_app.m_bBreakOff);
  m_app.kWriteKVISETUPLogInfo();
}

LRESULT CMainFrame::kOnExecuteNELI(WPARAM wParam, LPARAM lParam) {
  CDetailLog& log = kProgramLog();
  log.kWriteLog("CMainFrame::kOnExecuteNELI wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                static_cast<unsigned>(lParam));
  if (!m_app.kMakeInterfaceFile()) {
    // The installer never ran: nothing was installed.
    m_app.m_bInstallError = 1;
    m_app.kRecordRunFailure(KVEXIT_INTERFACE_FILE, "the interface file could not be written");
    kPost("kOnExecuteNELI", WM_CLOSE, "WM_CLOSE", 0);
    return 1;
  }
  std::string strNELIPath;
  if (!kGetNELIPath(strNELIPath)) {
    log.kWriteLog("CMainFrame::kOnExecuteNELI() return 1 (1) LastError=%u kGetShortPathName returned FALSE.\n",
                  GetLastError());
    log.kWriteLog("  strNELIPath=[%s]\n", strNELIPath.c_str());
    m_app.m_bInstallError = 1;
    m_app.kRecordRunFailure(KVEXIT_NELI_MISSING, "the external installer is not in the package");
    m_app.kDispErrorMessage(msgid::IDS_ERR_NELIWAKEUP, "", "", kStartupMessageStyle);
    return 1;
  }
  std::string strShortInterface;
  if (!CCommonFunction::kGetShortPathName(m_app.m_strInterfaceFile.c_str(), strShortInterface)) {
    log.kWriteLog("CMainFrame::kOnExecuteNELI() return 1 (2) LastError=%u kGetShortPathName returned FALSE.\n",
                  GetLastError());
    log.kWriteLog("  SETUP_GLOBAL->m_strInterfaceFile=[%s]\n", m_app.m_strInterfaceFile.c_str());
    m_app.m_bInstallError = 1;
    m_app.kRecordRunFailure(KVEXIT_INTERFACE_FILE, "the interface file has no short path");
    m_app.kDispErrorMessage(msgid::IDS_ERR_NELIWAKEUP, "", "", kStartupMessageStyle);
    return 1;
  }
  m_app.m_strInterfaceFile = strShortInterface;
  const std::string strConst = kMakeNELICommandLine(strNELIPath, m_app.m_strInterfaceFile, FALSE);
  log.kWriteLog("CMainFrame::kOnExecuteNELI strConst=%s\n", strConst.c_str());

  m_bNELIReported = FALSE;
  m_nSuccessBefore = m_app.m_bSuccess;
  m_nInstallErrorBefore = m_app.m_bInstallError;
  PROCESS_INFORMATION pi = {};
  if (!kStartNELIProcess(strConst, pi)) {
    log.kWriteLog("CMainFrame::kOnExecuteNELI() post WM_CLOSE LastError=%u CreateProcess fail.\n", GetLastError());
    log.kWriteLog("  strConst=[%s]\n", strConst.c_str());
    m_app.m_bInstallError = 1;
    m_app.kRecordRunFailure(KVEXIT_NELI_NOT_STARTED, "the external installer could not be started");
    m_app.kDispErrorMessage(msgid::IDS_ERR_NELIWAKEUP, "", "", kStartupMessageStyle);
    return 1;
  }
  if (pi.hProcess) {
    WaitForInputIdle(pi.hProcess, INFINITE);
    EnableWindow(m_hWnd, FALSE);
    kWaitForProcess(pi.hProcess);
    // The wait may end on the status while the installer still runs; its
    // exit code is then STILL_ACTIVE and says nothing.
    DWORD dwExitCode = 0;
    GetExitCodeProcess(pi.hProcess, &dwExitCode);
    kAfterNELIRun(dwExitCode, "kOnExecuteNELI");
    // A batch run without a parent window keeps the code of an installer
    // that has ended, for its own exit code (run_outcome.h); it does not
    // wait for one that still runs after reporting.
    if (!m_app.m_b1Switch && m_app.kUsesRunExitCodes() && dwExitCode != STILL_ACTIVE) {
      m_app.m_dwNELIExitCode = dwExitCode;
    }
    if (m_app.m_b1Switch) {
      if (dwExitCode == STILL_ACTIVE) {
        // With +1 the installer's exit code becomes the wizard's own: it is
        // worth waiting for, still answering messages.
        HANDLE hProcess = pi.hProcess;
        while (MsgWaitForMultipleObjects(1, &hProcess, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
          MSG msg;
          while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
          }
        }
        GetExitCodeProcess(pi.hProcess, &dwExitCode);
      }
      m_app.m_dwNELIExitCode = dwExitCode;
      if (dwExitCode != 0) {
        log.kWriteLog("CMainFrame::kOnExecuteNELI() post WM_CLOSE dwExitCode=%d\n", static_cast<int>(dwExitCode));
        EnableWindow(m_hWnd, TRUE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return 1;
      }
    }
  }
  EnableWindow(m_hWnd, TRUE);
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  kPost("kOnExecuteNELI", WM_DISP_COMPLETE, "WM_DISP_COMPLETE", 0);
  return 1;
}

LRESULT CMainFrame::kOnExecuteNELIAddForce(WPARAM wParam, LPARAM lParam) {
  CDetailLog& log = kProgramLog();
  log.kWriteLog("CMainFrame::kOnExecuteNELIAddForce wParam=%X lParam=%X\n", static_cast<unsigned>(wParam),
                static_cast<unsigned>(lParam));
  std::string strNELIPath;
  if (!kGetNELIPath(strNELIPath)) {
    log.kWriteLog("CMainFrame::kOnExecuteNELIAddForce() post WM_CLOSE (1) LastError=%u kGetShortPathName returned "
                  "FALSE.\n",
                  GetLastError());
    log.kWriteLog("  strNELIPath=[%s]\n", strNELIPath.c_str());
    m_app.m_bInstallError = 1;
    m_app.kRecordRunFailure(KVEXIT_NELI_MISSING, "the external installer is not in the package");
    m_app.kDispErrorMessage(msgid::IDS_ERR_NELIWAKEUP, strNELIPath, "", kStartupMessageStyle);
    return 1;
  }
  std::string strShortInterface;
  if (!CCommonFunction::kGetShortPathName(m_app.m_strInterfaceFile.c_str(), strShortInterface)) {
    log.kWriteLog("CMainFrame::kOnExecuteNELIAddForce() post WM_CLOSE (2) LastError=%u kGetShortPathName returned "
                  "FALSE.\n",
                  GetLastError());
    log.kWriteLog("  SETUP_GLOBAL->m_strInterfaceFile=[%s]\n", m_app.m_strInterfaceFile.c_str());
    m_app.m_bInstallError = 1;
    m_app.kDispErrorMessage(msgid::IDS_ERR_NELIWAKEUP, strNELIPath, "", kStartupMessageStyle);
    return 1;
  }
  m_app.m_strInterfaceFile = strShortInterface;
  const std::string strConst = kMakeNELICommandLine(strNELIPath, m_app.m_strInterfaceFile, TRUE);
  log.kWriteLog("CMainFrame::kOnExecuteNELIAddForce strConst=%s\n", strConst.c_str());
  if (kCreateProcess(strConst, TRUE)) {
    kAfterNELIRun(m_dwLastExitCode, "kOnExecuteNELIAddForce");
    kPost("kOnExecuteNELIAddForce", WM_DISP_INITPRNSELECT, "WM_DISP_INITPRNSELECT", 3);
    return 1;
  }
  log.kWriteLog("CMainFrame::kOnExecuteNELIAddForce() post WM_CLOSE (4) LastError=%u kCreateProcess returned "
                "FALSE.\n",
                GetLastError());
  m_app.m_bInstallError = 1;
  m_app.kRecordRunFailure(KVEXIT_NELI_NOT_STARTED, "the external installer could not be started");
  m_app.kDispErrorMessage(msgid::IDS_ERR_NELIWAKEUP, strNELIPath, "", kStartupMessageStyle);
  return 1;
}

BOOL CMainFrame::kCreateProcess(const std::string& strCommandLine, BOOL bIgnoreExitCode) {
  CDetailLog& log = kProgramLog();
  log.kWriteLog("CMainFrame::kCreateProcess lpCommandLine = [%s]\n", strCommandLine.c_str());
  m_bNELIReported = FALSE;
  m_nSuccessBefore = m_app.m_bSuccess;
  m_nInstallErrorBefore = m_app.m_bInstallError;
  PROCESS_INFORMATION pi = {};
  if (!kStartNELIProcess(strCommandLine, pi)) {
    // The caller logs the failure too: the error outlives this log line.
    const DWORD dwError = GetLastError();
    log.kWriteLog("CMainFrame::kCreateProcess() return FALSE (1) LastError=%u CreateProcess fail.\n", dwError);
    SetLastError(dwError);
    return FALSE;
  }
  WaitForInputIdle(pi.hProcess, INFINITE);
  if (!pi.hProcess) {
    log.kWriteLog("CMainFrame::kCreateProcess() return FALSE (2) LastError=%u pi.hProcess is NULL.\n",
                  GetLastError());
    if (pi.hThread) CloseHandle(pi.hThread);
    return FALSE;
  }
  EnableWindow(m_hWnd, FALSE);
  kWaitForProcess(pi.hProcess);
  EnableWindow(m_hWnd, TRUE);
  DWORD dwExitCode = 0;
  GetExitCodeProcess(pi.hProcess, &dwExitCode);
  log.kWriteLog("GetExitCodeProcess = [%u]\n", dwExitCode);
  m_dwLastExitCode = dwExitCode;
  if (!bIgnoreExitCode && dwExitCode != 0 && dwExitCode != kExitCancelled) m_app.m_bInstallError = 1;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return TRUE;
}
