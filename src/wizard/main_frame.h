// The wizard's one top-level window. It owns no page of its own: every step
// of the wizard is a registered message that the frame posts to itself,
// and the relays between the external installer and the parent installer
// pass through it.
//
// The handlers live in four files, by the path they serve:
//   main_frame.cpp          message map, licence, setup kind, update, USB model
//                           list, completion, status and relays, reboot
//   main_frame_neli.cpp     the external installer (WM_EXECUTE_NELI and the
//                           add-force variant) and kCreateProcess
//   main_frame_usb.cpp      install kind, power off, installation, power on,
//                           driver check, initial settings
//   main_frame_network.cpp  network search, printer list, add-force page
#pragma once

#include <string>

#include "platform/win32.h"

class CKV_SETUPApp;
struct CAddedPrinterInfo;

class CMainFrame {
 public:
  // The window class of the frame; registering it is the frame's template.
  static constexpr const char* kClassName = "KV_SETUPMainFrame";

  explicit CMainFrame(CKV_SETUPApp& app) : m_app(app) {}
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Registers the frame's window class; FALSE when the system refuses it.
  static BOOL kRegisterClass();
  // Creates the frame window, hidden and without a menu; NULL on failure.
  HWND kCreate(const char* pszTitle);
  HWND kGetSafeHwnd() const { return m_hWnd; }

  // The handlers of the frame's messages; each returns 1 and posts at most
  // one message.
  LRESULT kOnDispLicenseDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispSetupKindDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispUpdatePrinterDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispCompleteDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnExecuteNELI(WPARAM wParam, LPARAM lParam);
  LRESULT kOnBaseProc(WPARAM wParam, LPARAM lParam);
  LRESULT kOnExitReboot(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispPrinterListDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispSearchPrinterDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispUSBPrinterListDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispPowerOffDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispInstPrepareDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispPowerOnDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnExecuteApplication(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDecideInstallKind(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDriverCheck(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispAddForceDialog(WPARAM wParam, LPARAM lParam);
  LRESULT kOnExecuteNELIAddForce(WPARAM wParam, LPARAM lParam);
  LRESULT kOnKVSetupReceiveProgress(WPARAM wParam, LPARAM lParam);
  LRESULT kOnKVSetupReceiveConnect(WPARAM wParam, LPARAM lParam);
  LRESULT kOnInstManCancelProc(WPARAM wParam, LPARAM lParam);
  LRESULT kOnDispInitPrnSelectDialog(WPARAM wParam, LPARAM lParam);
  BOOL OnCopyData(const COPYDATASTRUCT* pCopyDataStruct);

  // Starts a program and waits for it while the frame keeps answering its
  // messages. TRUE when it ran (and, unless bIgnoreExitCode, exited 0).
  BOOL kCreateProcess(const std::string& strCommandLine, BOOL bIgnoreExitCode);

  // The command line of WM_EXEC_APPLICATION; empty unless set.
  std::string m_strApplicationCommandLine;

 private:
  static LRESULT CALLBACK kWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  LRESULT kDispatch(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
  // Posts uMsg to the frame and writes the handler's post line
  // ("CMainFrame::<handler>() post <name> (<n>)").
  void kPost(const char* pszHandler, UINT uMsg, const char* pszName, int nNumber);
  // A state whose page is not part of this build, or that has nothing to
  // post: the wizard ends instead of idling with no page.
  void kEndIdleState(const char* pszHandler, const char* pszWhy);

  // The cancel of a page: the cancel flag, then WM_CLOSE with the
  // handler's numbered post line.
  void kCancel(const char* pszHandler, int nNumber);
  // The printers in use whose drivers the package renews
  // (SETUP_GLOBAL.m_lstUpdatePrinters).
  void kMakeUpdatePrinterList();
  // The network path: keeps only the printers of the package's models when
  // any candidate names a model, and only the chosen printer after the list.
  void kFilterNetworkPrinterList();
  void kKeepSelectedNetworkPrinter(const std::string& strAddress);

  // ---- USB path (main_frame_usb.cpp) -------------------------------------------
 public:
  // Gives the added printers their print processor and colour profiles,
  // at most once per run. FALSE when a renewal failed.
  BOOL kApplyPrintProcessorAndColorProfile();
  BOOL kApplyPrintProcessorAndColorProfile_ReplacePrinter(const CAddedPrinterInfo& info);
  // FALSE only when the USB enumerator key has no sub-keys; *pnSeen becomes
  // 1 when the model's device key exists under the USBPRINT enumerator.
  BOOL kUSBPrinter2ndInstallCheck_Win2K(int* pnSeen);

 private:
  // The post of the power-on handler: its log line names WM_DISP_COMPLETE.
  void kFinishUSBInstallation();
  BOOL m_bIsAppliedPrintProcessorAndColorProfile = FALSE;

  CKV_SETUPApp& m_app;
  HWND m_hWnd = nullptr;
  int m_nApplicationCounter = 0;

 public:
  // ---- The external installer (main_frame_neli.cpp) ----------------------
  // "NELI.EXE" on a 32-bit system, else "NELI64.EXE".
  std::string kGetNELIModuleName() const;
  // The installer's command line for the normal mode (bAddForce FALSE,
  // with the switches of the setup kind) or the add-force mode.
  std::string kMakeNELICommandLine(const std::string& strNELIPath, const std::string& strInterfaceFile,
                                   BOOL bAddForce) const;

 private:
  // Starts the installer with the command line and the start-up record of
  // both launch paths; FALSE when CreateProcess refused.
  static BOOL kStartNELIProcess(const std::string& strCommandLine, PROCESS_INFORMATION& pi);
  // Waits for the process while dispatching the frame's messages; ends
  // early when the installer's status message has been dispatched.
  void kWaitForProcess(HANDLE hProcess);
  // The installer's path in its short form; FALSE when it is not there.
  BOOL kGetNELIPath(std::string& strPath) const;
  // After the installer ended: handles a status it posted last; when it
  // reported none, its end counts as an error (or as cancelled for 1223)
  // and the report is written.
  void kAfterNELIRun(DWORD dwExitCode, const char* pszHandler);

  BOOL m_bNELIReported = FALSE;  // the installer's status message was handled
  int m_nSuccessBefore = 0;      // the result flags before the installer ran
  int m_nInstallErrorBefore = 0;
  DWORD m_dwLastExitCode = 0;    // of the last program kCreateProcess ran
};
