// What the print spooler holds (the present lists) and the operations that
// change it: registering a driver, a language monitor and a print
// processor, and stopping and restarting the spooler with the services that
// depend on it so that driver files in use can be replaced.
//
// The present lists are deep copies of the spooler's answers, in the
// spooler's order; each rebuild releases a list's records first. They are
// built and read on the user-interface thread; the installation thread reads
// the same-kind list while the user-interface thread waits for it, and it
// alone touches the restart lists. Nothing here locks.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "driverinfo/candidate_driver.h"
#include "platform/win32.h"
#include "system/spooler_function.h"
#include "system/spooler_utility.h"

// One present driver: the fields of the spooler's level-3 driver record. A
// reported version of 1024 is kept as 0; the dependent files are one text of
// the names each followed by a comma.
struct CPresentDriver {
  DWORD dwVersion = 0;
  std::string strName;
  std::string strEnvironment;
  std::string strDriverPath;
  std::string strDataFile;
  std::string strConfigFile;
  std::string strHelpFile;
  std::string strDependentFiles;
  std::string strMonitorName;
  std::string strDefaultDataType;
};

// One present printer: the fields of the spooler's level-2 printer record
// without its security descriptor. The device mode is kept with its
// driver-private part.
struct CPresentPrinter {
  std::string strServerName;
  std::string strPrinterName;
  std::string strShareName;
  std::string strPortName;
  std::string strDriverName;
  std::string strComment;
  std::string strLocation;
  std::vector<BYTE> vecDevMode;
  std::string strSepFile;
  std::string strPrintProcessor;
  std::string strDatatype;
  std::string strParameters;
  DWORD dwAttributes = 0;
  DWORD dwPriority = 0;
  DWORD dwDefaultPriority = 0;
  DWORD dwStartTime = 0;
  DWORD dwUntilTime = 0;
  DWORD dwStatus = 0;
  DWORD dwJobs = 0;
  DWORD dwAveragePPM = 0;
};

// One port: the fields of the spooler's level-2 port record.
struct CPresentPort {
  std::string strPortName;
  std::string strMonitorName;
  std::string strDescription;
  DWORD dwPortType = 0;
};

using CPresentDriverList = std::list<CPresentDriver>;
using CPresentPrinterList = std::list<CPresentPrinter>;
using CPresentPortList = std::list<CPresentPort>;
using CNameList = std::list<std::string>;

class CSpoolerInfomation {
 public:
  // The answer of kGetTopPresentDriverVersionNo when no driver matches.
  static constexpr DWORD kNoPresentVersion = 0xFFFF;

  // ---- The spooler's state ------------------------------------------------
  // TRUE when the service "Spooler" runs; FALSE when the manager or the
  // service cannot be opened, or it is in any other state.
  [[nodiscard]] BOOL kCheckSpoolerStatus() const;

  // ---- Present lists --------------------------------------------------------
  // Rebuilds every list in order: drivers, printers (with the connections
  // when bConnections is set), ports, shares, monitors, drivers without
  // printers. Stops at the first failing step; the lists then hold what was
  // appended so far and are rebuilt by the next call.
  [[nodiscard]] BOOL kMakePresentAllList(BOOL bConnections);
  // This system's drivers, then the older environments it serves: on x64
  // "Windows NT x86" and "Windows 4.0", on x86 "Windows 4.0".
  [[nodiscard]] BOOL kMakePresentDriverList();
  [[nodiscard]] BOOL kMakePresentPrinterList(BOOL bConnections);
  // The spooler's ports without duplicates, and a port record for every
  // printer whose port is a network path, modelled on "LPT1:".
  [[nodiscard]] BOOL kMakePortList();
  // The server's share names. A system without the network library, or
  // whose server service is stopped, has no printer sharing and still
  // succeeds; a library without the functions fails.
  [[nodiscard]] BOOL kEnumShareFolder();
  [[nodiscard]] BOOL kMakeLDL();
  // Appends one driver record; FALSE only when memory runs out.
  [[nodiscard]] BOOL kSetDriverData(const DRIVER_INFO_3A& info);

  // The highest version among present drivers of that name (without regard
  // to case) not above dwSearchStartVersion; kNoPresentVersion when none.
  DWORD kGetTopPresentDriverVersionNo(LPCSTR pszDriverName, DWORD dwSearchStartVersion) const;
  // The printers that use the driver, or (with bSameKind) a driver of the
  // same kind, in printer order.
  const CPresentPrinterList& kGetUpdatePrinterList(LPCSTR pszDriverName, DWORD dwVersion, LPCSTR pszDriverFile,
                                                   LPCSTR pszPlatform, BOOL bSameKind);
  // The present drivers of the same kind as the candidate, and (with
  // bAddSameDrv) those of its name and version; with bExistPrinter only
  // those that a printer uses.
  const CPresentDriverList& kGetSameKindDriverList(LPCSTR pszDriverName, DWORD dwVersion, LPCSTR pszDriverFile,
                                                   LPCSTR pszPlatform, BOOL bExistPrinter, BOOL bAddSameDrv);

  // Turns a double-null-terminated list of names into the names each
  // followed by a comma; null or an empty list gives the empty text.
  static std::string kGetDrvInfoDependentFiles(LPCSTR pszzDependentFiles);

  // ---- Installation --------------------------------------------------------
  // Registers the candidate's driver with the spooler: VEXOERR_SUCCESS (also
  // when the spooler says it is already installed) or VEXOERR_ADDDRIVERERR.
  [[nodiscard]] DWORD kAddPrinterDriver(const CCandidateDriver& driver, DWORD dwFileCopyFlags) const;
  // Registers the candidate's language monitor: VEXOERR_SUCCESS (also when
  // there is none, or it is installed or in use already) or
  // VEXOERR_ADDMONITORERR.
  [[nodiscard]] DWORD kAddMonitor(const CCandidateDriver& driver) const;
  // Registers a print processor; TRUE without a call before Windows 2000
  // or when a name is empty, and when it is installed already.
  [[nodiscard]] BOOL kAddPrintProcessor(const std::string& strName, const std::string& strDll) const;
  // The installed print processors of this system's environment; the list
  // is emptied and filled only on success.
  [[nodiscard]] BOOL kGetPrintProcessors(CNameList& lstProcessor) const;
  // "WinPrint" when installed, else the first print processor.
  [[nodiscard]] BOOL kGetDefaultPrintProcessor(std::string& strProcessor) const;
  // "LPT1:" when the port list has it, else its first port.
  [[nodiscard]] BOOL kGetDefaultPort(std::string& strPort) const;
  // Stops the spooler's running dependent services and then the spooler,
  // remembering each stopped service for kStartSpoolerService. When a
  // service will not stop, it ends there and the spooler keeps running.
  void kStopSpoolerService();
  // Starts again every service the last stop recorded, the spooler first.
  // TRUE when every one runs again.
  [[nodiscard]] BOOL kStartSpoolerService();

  // ---- Renewal of a printer object (install/spooler_infomation_renew.cpp) --
  // Brings a printer in line with a candidate: its print processor and
  // exactly the candidate's colour profiles. TRUE without a change before
  // Windows 2000 and for drivers of a version other than 3. A failure part
  // way keeps the changes made so far.
  [[nodiscard]] BOOL kRenewPrinterObject(const std::string& strPrinterName, CCandidateDriver record);
  // The colour profiles associated with a device (or, without one, every
  // printer-class profile); the list is emptied and filled only on success.
  [[nodiscard]] BOOL kGetColorProfiles(CNameList& lstProfile, LPCSTR pszDeviceName);
  // Installs each profile of a text of names each followed by a comma and
  // associates it with the printer.
  [[nodiscard]] BOOL kInstallICMVer2(LPCSTR pszColorProfiles, LPCSTR pszPrinterName);

  // ---- The lists -------------------------------------------------------------
  const CPresentDriverList& kGetPresentDriverList() const { return m_lstPDL; }
  const CPresentPrinterList& kGetPresentPrinterList() const { return m_lstPPL; }
  const CPresentPortList& kGetPortList() const { return m_lstPort; }
  const CNameList& kGetMonitorList() const { return m_lstMonitor; }
  const CNameList& kGetShareList() const { return m_lstShare; }
  BOOL kIsPrintSharing() const { return m_bPrintSharing; }
  const CPresentDriverList& kGetLostDriverList() const { return m_lstLDL; }
  const CPresentPrinterList& kGetUpdatePrinters() const { return m_lstUPL; }
  const CPresentDriverList& kGetSameKindDrivers() const { return m_lstSKDL; }
  // The services the last stop recorded, the first to start again first.
  const CNameList& kGetRestartServiceList() const { return m_lstRestartService; }
  const CNameList& kGetRestartDisplayNameList() const { return m_lstRestartDisplayName; }

 private:
  [[nodiscard]] BOOL kAppendDrivers(LPCSTR pEnvironment);
  BOOL kIsSameKindPresent(const CPresentDriver& present, LPCSTR pszDriverName, DWORD dwVersion,
                          LPCSTR pszDriverFile, LPCSTR pszPlatform) const;
  // Waits for a service to stop within the budget its wait hint gives;
  // TRUE when it did, with the last status in `status`.
  BOOL kWaitForStop(SC_HANDLE hService, SERVICE_STATUS& status) const;
  void kRememberStopped(const std::string& strName, const std::string& strDisplayName);
  // Starts one recorded service; FALSE with the exit number when it fails
  // for good, TRUE with bStarted telling whether it runs.
  BOOL kStartOneService(SC_HANDLE hManager, const std::string& strName, BOOL& bStarted, int& nExit) const;

  CPresentDriverList m_lstPDL;
  CPresentPrinterList m_lstPPL;
  CPresentPortList m_lstPort;
  CNameList m_lstMonitor;
  CNameList m_lstShare;
  BOOL m_bPrintSharing = FALSE;
  CPresentDriverList m_lstLDL;
  CPresentPrinterList m_lstUPL;
  CPresentDriverList m_lstSKDL;
  CNameList m_lstRestartService;
  CNameList m_lstRestartDisplayName;
  CSpoolerFunction m_SpoolerFunction;
  CSpoolerUtility m_SpoolerUtility;
};
