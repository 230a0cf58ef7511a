// The installation proper of a USB printer's driver, without any window:
// the selected candidate driver and then every same-kind driver in use, each
// in the same steps (INF copy into the INF store, spooler stop, file copy
// with expansion and the in-use rule, spooler start, language monitor,
// driver and print processor).
//
// Whoever shows the progress (the installation page, or a test) gives the
// engine an observer: the engine calls its wait point before each step,
// asks it whether a cancel is pending, and tells it when the texts and the
// progress changed. kRun returns only after the engine has put the services
// it stopped back into their running state and, on a failure or a cancel,
// undone what this run changed; nothing of the engine runs after it.
//
// Every change is written to the journal (install_journal.h) before it is
// made, so that a failure is undone here and a killed run at the next start.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "driverinfo/candidate_driver.h"
#include "install/install_journal.h"
#include "system/spooler_infomation.h"

class CKV_SETUPApp;

class CInstallEngine {
 public:
  class CObserver {
   public:
    virtual ~CObserver() = default;
    // Before each step: FALSE when the installation must end (a cancel).
    virtual BOOL kWaitPoint() = 0;
    // Whether a cancel has been asked for; read without waiting.
    virtual BOOL kIsCancelled() = 0;
    // The texts or the progress changed; the engine waits until it returns.
    virtual void kUpdate() = 0;
  };

  // What a run did, read once kRun has returned.
  struct CResult {
    BOOL bError = FALSE;      // the installation failed
    BOOL bCancelled = FALSE;  // it ended at a cancel
    // The message of the failure and its detail; empty for a failure that
    // shows none (the INF copy).
    std::string strMessageKey;
    std::string strMessageDetail;
    // A file waits for its replacement at the next restart.
    BOOL bRestartNeeded = FALSE;
    // The drivers registered, in order.
    std::vector<std::string> lstInstalledDrivers;
    // What the undo after a failure or a cancel did and what it could not
    // undo, one line each, for the report.
    std::vector<std::string> lstUndone;
    // The services the run stopped are running again (or none was stopped).
    BOOL bServicesRunning = TRUE;
  };

  CInstallEngine(CKV_SETUPApp& app, CObserver& observer);
  ~CInstallEngine();
  CInstallEngine(const CInstallEngine&) = delete;
  CInstallEngine& operator=(const CInstallEngine&) = delete;

  // Installs m_CDE of the application and the same-kind drivers in use.
  void kRun();
  const CResult& kGetResult() const { return m_Result; }

  // The progress range for a number of same-kind drivers in use: five
  // steps for the selected driver and five for each of them.
  static int kProgressRange(size_t nSameKind) { return static_cast<int>(nSameKind) * 5 + 5; }
  // The percentage shown at a position (integer division).
  static unsigned kPercent(int nPos, int nRange) {
    return nRange > 0 ? static_cast<unsigned>(nPos * 100 / nRange) : 0u;
  }
  // Whether an in-use file in the system directory is left as it is: its
  // time equals the package file's (both seconds since 1970, UTC).
  static bool kInUseUnchanged(std::int64_t tmInstalled, std::int64_t tmSource) { return tmInstalled == tmSource; }

  // Copies one file through a temporary name beside the target and renames
  // it over the target, so that the target is either the old file or the
  // whole new one. A compressed source that expands short of the length its
  // header declares is a failed copy; the short file is removed. With a
  // journal, the temporary file and the old target (kept as a backup until
  // the installation commits) are recorded before they are made. FALSE
  // after logging which file and why.
  static BOOL kCopyThroughTemporary(CKV_SETUPApp& app, const std::string& strSource, const std::string& strTarget,
                                    CInstallJournal* pJournal = nullptr);
  // Schedules a replacement at the next restart (MoveFileExA with
  // MOVEFILE_DELAY_UNTIL_REBOOT); FALSE after logging.
  static BOOL kRebootCopyFile(const std::string& strSource, const std::string& strTarget);

  // What the observer shows; written by the engine before kUpdate.
  std::string m_strStatus;
  std::string m_strStepLabel;
  std::atomic<int> m_nProgressRange{0};
  std::atomic<int> m_nProgressPos{0};
  std::string m_strOEMInf;
  CCandidateDriver m_InstallCDE;

 private:
  BOOL kWaitPoint() { return m_Observer.kWaitPoint(); }
  void kProgressStep();
  void kSendUpdate() { m_Observer.kUpdate(); }
  // Records a failure's message; the observer shows it after kRun.
  void kFail(const char* pszKey, const std::string& strDetail);
  // Ends the run: services running again, a failure or a cancel undone, a
  // success committed.
  void kEndRun(BOOL bError);
  BOOL kInstallInfFile();
  BOOL kStopServices();
  BOOL kCreateTemporaryFileWin2k();
  // The in-use rule for one file of the system directory: replaced at the
  // next restart unless its time equals the package's. FALSE when the copy
  // into the temporary file or the scheduling failed.
  BOOL kReplaceAtRestart(const std::string& strSource, const std::string& strTarget, std::int64_t tmSource,
                         int nExit, const std::string& strReported);
  BOOL kAddMonitor();
  BOOL kAddDriver();
  std::string kText(const char* pszKey) const;

  CKV_SETUPApp& m_app;
  CObserver& m_Observer;
  CInstallJournal m_Journal;
  CPresentDriverList m_lstSameKind;
  CPresentDriverList::const_iterator m_itNext;
  BOOL m_bSpoolerStopped = FALSE;
  CResult m_Result;
};
