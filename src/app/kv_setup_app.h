// The application: one object per process, reachable as SETUP_GLOBAL. It
// owns the service objects, the detail log settings, the command-line
// results, the setup configuration, the language, the result flags of the
// installation and the paths of its output files, and runs the start-up
// checks in a fixed order, each ending the program with a numbered exit
// when it fails.
#pragma once

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "app/interface_file_infomation.h"
#include "app/kvi_setup_ini_info.h"
#include "driverinfo/candidate_driver.h"
#include "driverinfo/driver_infomation.h"
#include "platform/win32.h"
#include "resources/rsc_common.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/spooler_infomation.h"
#include "wizard/main_frame.h"
#include "wizard/network_printer_list.h"

// The memory every running instance of the program file shares: how many
// instances run (stored plus one, so that fresh zeroed memory means none)
// and the main window of the first.
struct CSharedInstanceData {
  volatile LONG lInstanceCount;
  LONG lReserved;
  volatile unsigned long long ullMainWnd;
};

// One printer added since start-up: its name and its driver's.
struct CAddedPrinterInfo {
  std::string strPrinterName;
  std::string strDriverName;
};

// One added printer whose driver asks for its property sheet, and whether
// the user wants to see it.
struct CInitializePrinterInfo {
  std::string strPrinterName;
  std::string strDriverName;
  BOOL bShowProperty = TRUE;
};

// The reboot choices of +E.
enum : int {
  RebootMethod_Undecided = -1,
  RebootMethod_Page = 0,
  RebootMethod_NotReboot = 1,
  RebootMethod_DoReboot = 2,
};

// The setup kinds of the command line and the wizard.
enum : short {
  SETUPKIND_ADD = 0,
  SETUPKIND_UPDATE = 1,
  SETUPKIND_DELETE = 2,
};

// The initial-settings choices of +8.
enum : int {
  INITPRN_NODISPLAY = 0,
  INITPRN_DISPLAY = 1,
  INITPRN_SELECT = 2,
  INITPRN_OTHER = 3,
};

// The message box styles of start-up messages.
inline constexpr UINT kStartupMessageStyle = MB_OK | MB_ICONEXCLAMATION;   // 48
inline constexpr UINT kStartConfirmStyle = MB_YESNO | MB_ICONQUESTION;      // 36

class CKV_SETUPApp {
 public:
  // The application's name: the first caption, before the catalogue is
  // loaded.
  static constexpr const char* kAppName = "KV_SETUP";

  // Creates the service objects, switches the detail log off and reads its
  // level from the machine's registry.
  CKV_SETUPApp();
  ~CKV_SETUPApp();
  CKV_SETUPApp(const CKV_SETUPApp&) = delete;
  CKV_SETUPApp& operator=(const CKV_SETUPApp&) = delete;

  // The arguments after the program name, as the runtime split them.
  void kSetArguments(std::vector<std::string> lstArguments) { m_lstArguments = std::move(lstArguments); }

  // The start-up checks that exist so far, in their fixed order. TRUE when
  // every one passed; FALSE after the numbered exit of the first that
  // failed (m_nStartupExit).
  BOOL InitInstance();
  // The process exit code; reports the status word to a parent installer
  // and removes the detail log unless it is to be kept.
  int ExitInstance();

  // Scans the arguments into the command-line members. FALSE after a
  // malformed argument, which m_strErrorCommandLine remembers; the switches
  // before it keep their effect. Shows nothing.
  BOOL kGetCommandLine();
  // Reports a scanning error or refuses a bad combination, +H value, +G
  // folder or +6 file with a message box. FALSE after such a message.
  [[nodiscard]] BOOL kAnalysisCommandLine();

  // Shows the catalogue text of strKey with the details on lines of their
  // own, then closes the main window. Nothing is shown without a main
  // window, without a text, or in silent mode (+1 once the command line is
  // validated). Returns the button pressed, 0 when nothing was shown.
  int kDispErrorMessage(const std::string& strKey, const std::string& strDetail1, const std::string& strDetail2,
                        UINT uStyle);
  // Asks the question made of the two catalogue texts (Yes/No); 1 without
  // asking when a text is missing or there is no main window.
  int kDispStartMessage(const std::string& strKey1, const std::string& strKey2);
  // Posts base + kind to the parent installer named by +W and +M; always 1.
  int kSendToIMMessage(DWORD dwMessID, WPARAM wParam, LPARAM lParam);
  // Sends a copy-data block of the external installer on to the parent
  // installer and waits until the parent has handled it; always 1.
  int kSendMessageToIM(const COPYDATASTRUCT* pCopyData);
  // Asks the system to restart. FALSE when the version cannot be read.
  BOOL kRebootExit();
  // mode 1: the temporary language; mode 0: the final one.
  BOOL kGetLocaleInfo(int nMode);

  // Registers the wizard's window messages, in their fixed order.
  void kRegisterMessageID();
  // 0 when this instance may run, 1 when another one runs (it is brought to
  // the front).
  int kCheckDuplicationExecute();
  // 1 when the network search library of the package loads.
  int kCheckNQmodule();
  // 1 when the standard TCP/IP port monitor answers.
  int kCheckTCPIP();

  // The candidate drivers of the package that suit this system, into
  // m_lstSetupCandidate. Shows its own message and returns FALSE on failure.
  BOOL kMakeSetupInfomation();
  // 1 when the candidate is admitted to the list (an entry of the same name
  // may have been removed for it), 0 when it is refused. The decision number
  // (1) to (7) and its reason, as the log line gives them, go to the optional
  // out-parameters; kvpkg shows them. Static: the rule reads only the
  // environment probe, so tools judge with the very same code.
  static int kCheckElementAddToList(CCandidateDriverList& lstCandidate, const CCandidateDriver& candidate,
                                    int* pnDecision = nullptr, std::string* pstrReason = nullptr);
  // One admission rule a candidate breaks: its decision number (1, 2, 3 or
  // 5) and reason, as the log line gives them.
  struct CAdmissionRefusal {
    int nDecision;
    const char* pszReason;
  };
  // Every admission rule the candidate breaks against the list, in the order
  // the admission tests them; empty when it would be admitted. The list is
  // only read. kCheckElementAddToList refuses with the first of these, so
  // tools that show every reason judge by the same rules.
  static std::vector<CAdmissionRefusal> kListAdmissionRefusals(const CCandidateDriverList& lstCandidate,
                                                               const CCandidateDriver& candidate);
  // The present driver, printer and port lists, kept and written to the
  // detail log. Shows its own message and returns FALSE on failure.
  BOOL kMakePresentList();

  // ---- Service objects, owned by the application ------------------------
  std::unique_ptr<CCommonFunction> m_pCommonFunc;
  std::unique_ptr<CEnvironment> m_pEnvironment;
  std::unique_ptr<CSpoolerInfomation> m_pSpoolerInfomation;
  std::unique_ptr<CDriverInfomation> m_pDriverInfomation;
  std::unique_ptr<CRscCommon> m_pRscCommon;

  // ---- Result flags of the installation ----------------------------------
  int m_bOSReboot = 0;
  int m_bInstallError = 0;
  int m_bBreakOff = 0;
  int m_bWarning = 0;
  int m_bSuccess = 0;
  int m_bRebootSelected = 0;
  int m_bCancel = 0;

  // ---- Paths and texts ---------------------------------------------------
  std::string m_strDetailLogFile;
  DWORD m_dwOutputLevel = 0;
  int m_bKeepDetailLog = 0;
  std::string m_strLogFile;
  std::string m_strInterfaceFile;
  std::string m_strModulePath;  // ends in a backslash
  std::string m_strWindowsDir;
  std::string m_strDefaultCaption;
  std::string m_strLangCode;
  DWORD m_dwLangID = 0;
  std::string m_strLangOmittedName;
  std::string m_strLangTwoLetter;
  std::string m_strErrKind;
  std::string m_strErrCode;
  std::string m_strPowerOffBitmap;
  std::string m_strPowerOnBitmap;

  // ---- Other state ---------------------------------------------------------
  HANDLE m_hMutex = nullptr;
  HWND m_hMainWnd = nullptr;  // the main frame window, hidden until the wizard starts
  std::unique_ptr<CMainFrame> m_pMainFrame;
  HANDLE m_hSharedData = nullptr;            // the instances' shared memory and its view
  CSharedInstanceData* m_pSharedData = nullptr;
  int m_bInstanceCounted = 0;                // this instance is in the shared counter
  const CSetupIniSettings* m_pSetupIniInfo = nullptr;
  CKVISetupIniInfo m_SetupIniReader;
  short m_nSetupKind = SETUPKIND_ADD;
  int m_bNQAvailable = 0;
  int m_bNetworkSearch = 0;
  int m_bUSBDriverExist = 0;
  int m_bUSBInstall = 0;
  CCandidateDriverList m_lstSetupCandidate;  // the candidates the wizard offers
  CCandidateDriver m_CDE;                    // the candidate chosen for a USB installation
  CPresentDriverList m_lstPDL;               // present drivers, printers and ports at start-up
  CPresentPrinterList m_lstPPL;
  CPresentPortList m_lstPort;
  HWND m_hNELIWnd = nullptr;  // the external installer's window and message, once announced
  DWORD m_dwNELIMessage = 0;
  DWORD m_dwNELIExitCode = 0;
  int m_bCmdLineAnalyzed = 0;
  DWORD m_dwOsKind = 0;  // the OS kind word kept at start-up
  int m_nStartupExit = 0;  // the numbered exit of a failed start-up, 0 otherwise

  // ---- Wizard pages and the frame's lists --------------------------------
  std::vector<std::string> m_lstUpdatePrinters;  // printers the update path renews
  int m_bModelFilter = 0;
  // (end of the wizard's members)

  // ---- External installer, interface file and report ---------------------
  // The interface file for the external installer: the batch variant under
  // +B, else the interactive one. FALSE after its own message; no part of a
  // file that failed half way is left behind.
  BOOL kMakeInterfaceFile();
  BOOL kMakeInterfaceFileUI();
  BOOL kMakeInterfaceFileBAT();
  // The interface file for a printer added by hand on the manual port page:
  // the USB candidate m_CDE on the spooler's default port (the present
  // port list must have been built).
  BOOL kMakeInterfaceFileAddForce();
  // Adds one candidate to the install records (m_lstIFI). FALSE after its
  // message for a driver version the installer does not know.
  BOOL kStoreToIFI(const CCandidateDriver& candidate);
  // [Generic]: the file version and the report's name.
  BOOL kWriteGenericSection();
  // One batch printer object and its port section.
  BOOL kWritePrinterObjectInfomationBAT(const std::string& strDriverName, const CInterfaceFileInfomation& record);
  // Sets m_strInterfaceFile and removes the old interface file and report.
  // FALSE after its message.
  BOOL kDeleteInterfaceFileAndLogFile();
  // Records one candidate for the update path, once per INF file, driver
  // name and version ("%s,%s,%u"). TRUE when it was new.
  BOOL kAddUpdateRecord(const CCandidateDriver& candidate);
  // The update records of the printers in m_lstUpdatePrinters, when the
  // update page has not recorded them itself: every candidate of a
  // printer's driver name at least as new as the newest present version.
  void kMakeUpdateRecords();
  // Rewrites the installation report: the wizard's summary first, then the
  // external installer's log. The old report is replaced only by a
  // complete new one.
  void kWriteKVISETUPLogInfo();
  // Appends one line (text and CR LF) to the file.
  BOOL kWriteLogFile(const std::string& strPath, const std::string& strText);
  // "major, minor, build, revision" of the file's version resource (of the
  // program file for an empty path); empty when it has none.
  std::string kGetFixedFileVersion(const std::string& strPath);
  // The system's description for the report, empty when the version
  // cannot be read.
  std::string kGetCurrentOSName();

  CInterfaceFileInfomationList m_lstIFI;                 // the install records, in writing order
  std::vector<CIFINetworkPrinter> m_lstIFINetworkPrinter;  // chosen network printers (network path)
  CCandidateDriverList m_lstUpdateRecords;               // candidates of the update path
  std::vector<std::string> m_lstUpdateRecordKeys;        // their keys, "%s,%s,%u"
  int m_bDriversNameWriteErr = 0;  // the +6 file could not be written
  int m_bOverDriversNameKey = 0;   // the +6 file had no free "DriverName%02u" key
  // (end of the external installer's members)

  // ---- USB path --------------------------------------------------------------
  // The printers added since start-up (m_listAPL). FALSE when the spooler
  // could not be asked.
  BOOL kMakeAPL();
  // The first printer added since start-up: its driver, name and port, each
  // cut to its buffer. TRUE with the buffers untouched when there is none.
  BOOL kGetAddedPrinter(char* pszDriverName, DWORD cchDriverName, char* pszPrinterName, DWORD cchPrinterName,
                        char* pszPortName, DWORD cchPortName);
  // Rebuilds m_listIPL: the added printers whose driver asks for its
  // property sheet.
  void kMakeIPL();
  // Makes the first added printer the default one after a USB connection;
  // TRUE without a change when there was none.
  BOOL kSetDefaultPrinter();
  // Opens the property sheet of each marked initial-settings printer.
  void kShowPrinterProperty();
  // The present devices, of every class, whose description is the USB
  // candidate's driver name; 0 when the devices cannot be listed.
  int kIsInstalledDeviceCount(HWND hWnd);
  int m_nInstalledDeviceCount = 0;
  int m_bUSBConnected = 0;
  std::list<CAddedPrinterInfo> m_listAPL;
  std::list<CInitializePrinterInfo> m_listIPL;
  // The installation page while it is open (the frame clears it).
  class CInstallPrepareDialog* m_pInstallPrepareDialog = nullptr;
  // What the undo of a failed installation did, one report line each.
  std::vector<std::string> m_lstInstallUndone;
  // At start-up, before the spooler check: finishes the undo of an
  // installation that was killed (kv_setup_app_recovery.cpp).
  void kRecoverInstallation();
  // (m_bDriversNameWriteErr and m_bOverDriversNameKey, which the USB path
  // sets too, are declared once, with the external installer's members.)
  // (end of the USB members)

  // ---- Network path ----------------------------------------------------------
  // The network printer list: made by the search page, filtered by model,
  // cut to the chosen printer by the list page; kept to the wizard's end.
  std::unique_ptr<CNetworkPrinterList> m_pNetworkPrinterList;
  // (end of the network members)

  // ---- Command line: switches and values ---------------------------------
  int m_b1Switch = 0;
  int m_b3Switch = 0;
  std::string m_strInitializeFile;
  int m_b4Switch = 0;
  std::string m_strShareName;
  int m_b6Switch = 0;
  std::string m_strDriversNameIniFile;
  int m_b8Switch = 0;
  std::string m_strInitPrnMode;
  int m_bASwitch = 0;
  std::string m_strAddDriverName;
  int m_bBSwitch = 0;
  int m_bDSwitch = 0;
  std::string m_strDeleteComponentName;
  int m_bESwitch = 0;
  int m_nRebootMethod = RebootMethod_Undecided;
  int m_bFSwitch = 0;
  std::string m_strRestrictPath;
  int m_bHSwitch = 0;
  int m_bHSwitchPlus = 1;
  int m_bISwitch = 0;
  int m_bMSwitch = 0;
  std::string m_strInstManMessage;
  int m_bNSwitch = 0;
  std::string m_strPrinterNameParam;
  int m_bPSwitch = 0;
  std::string m_strPortParam;
  int m_bQSwitch = 0;
  std::string m_strQSwitchValue;
  int m_bRSwitch = 0;
  std::string m_strRenewDriverName;
  int m_bImmediateEnd = 0;
  int m_bUSwitch = 0;
  std::string m_strUserCode;
  int m_bWSwitch = 0;
  std::string m_strInstManHWnd;
  int m_bZSwitch = 0;

  // ---- Command line: derived values --------------------------------------
  std::string m_strErrorCommandLine;
  // The scanning error's number (0 after a good scan): an empty argument
  // is malformed too, and its text alone could not tell.
  int m_nCommandLineError = 0;
  std::string m_strHSwitchValue;
  std::string m_strPrinterName;
  std::string m_strDivertPrinterName;
  std::string m_strDivertMode;
  int m_bDivertPrinter = 0;
  std::string m_strPortName;
  std::string m_strMonitorName;
  std::string m_strPortAddress;
  std::string m_strPrintProtocol;
  int m_bShowLicensePage = 1;
  int m_bShowCompletePage = 1;
  int m_nInitPrnSelect = INITPRN_SELECT;
  std::string m_strInitPrnSelectValue;
  std::string m_strInitPrnParam;

 private:
  void kResetCommandLine();
  // Stores one well-formed switch; the error number of a bad value, else 0.
  int kStoreSwitch(char cSwitch, char cSign, const std::string& strValue);
  BOOL kCommandLineRefused(int nExit, const char* pszKey, const std::string& strDetail);
  BOOL kStartupExit(int nExit, const char* pszReason, bool bWithLastError = true);
  // Opens the memory shared by the instances of this program file.
  BOOL kOpenSharedData();
  // Leaves the shared counter and closes the shared memory.
  void kCloseSharedData();

  std::vector<std::string> m_lstArguments;
};

// The one application object of the process.
CKV_SETUPApp& kSetupGlobal();
#define SETUP_GLOBAL (kSetupGlobal())
