// The installation page: a worker thread installs the selected candidate
// driver and then every same-kind driver in use, each in the same steps
// (INF copy into the INF store, spooler stop, file copy, spooler start,
// language monitor, driver and print processor), while the page shows a
// progress bar, a percentage and the step under way.
//
// The thread reports with WM_UPDATEDATA (sent: the page moves the texts into
// its controls while the thread waits) and WM_ENDINSTALL (posted). It is
// paced by the manual-reset event "INSTALL" (the thread waits on it before
// each step) and signals "INSTALLCANCEL" when it ends, in every way. A cancel
// is asked for through m_bThreadEnd, which the thread reads at its wait
// points. Whenever the thread stopped the spooler, it starts it again before
// it ends, whatever the way it ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "driverinfo/candidate_driver.h"
#include "system/spooler_infomation.h"
#include "wizard/usb_page.h"

class CInstallPrepareDialog : public CUsbPage {
 public:
  explicit CInstallPrepareDialog(CKV_SETUPApp& app);
  ~CInstallPrepareDialog() override;

  // The progress range for a number of same-kind drivers in use: five
  // steps for the selected driver and five for each of them.
  static int kProgressRange(size_t nSameKind) { return static_cast<int>(nSameKind) * 5 + 5; }
  // The percentage shown at a position (integer division).
  static unsigned kPercent(int nPos, int nRange) {
    return nRange > 0 ? static_cast<unsigned>(nPos * 100 / nRange) : 0u;
  }
  // Whether an in-use file in the system directory is left as it is: its
  // time equals the package file's.
  static bool kInUseUnchanged(std::int64_t tmInstalled, std::int64_t tmSource) { return tmInstalled == tmSource; }

  // Copies one file through a temporary name beside the target and renames
  // it over the target, so that the target is either the old file or the
  // whole new one. A compressed source that expands short of the length its
  // header declares is a failed copy; the short file is removed. FALSE
  // after logging which file and why.
  static BOOL kCopyThroughTemporary(CKV_SETUPApp& app, const std::string& strSource, const std::string& strTarget);
  // Schedules a replacement at the next restart (MoveFileExA with
  // MOVEFILE_DELAY_UNTIL_REBOOT); FALSE after logging.
  static BOOL kRebootCopyFile(const std::string& strSource, const std::string& strTarget);

  // Results, read by the frame and the tests after the page ended.
  BOOL m_bThreadError = FALSE;
  std::string m_strOEMInf;
  int m_nProgressRange = 0;
  int m_nProgressPos = 0;

 protected:
  BOOL OnInitDialog() override;
  void kOnCommand(int nId, int nCode) override;
  void OnTimer(UINT_PTR nId) override;
  BOOL OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

 private:
  static DWORD WINAPI kGoProgress(LPVOID pParam);
  void kExecInstallThread();
  // The wait point: FALSE when the thread must end (a cancel was asked for).
  BOOL kWaitPoint();
  void kProgressStep();
  void kSendUpdate();
  // Shows a failure's message from the thread, the failure recorded first.
  void kThreadMessage(const char* pszKey, const std::string& strDetail1, const std::string& strDetail2);
  // Ends the thread: spooler running again, results flagged, end posted.
  void kEndThread(BOOL bError);
  BOOL kInstallInfFile();
  BOOL kCreateTemporaryFileWin2k();
  void kOnUpdateData();
  void kOnEndInstall();
  void kOnCancel();
  // Waits for "INSTALLCANCEL" while answering the thread's sent messages.
  void kWaitForThreadEnd();

  CCandidateDriver m_InstallCDE;
  CPresentDriverList m_lstSameKind;
  CPresentDriverList::const_iterator m_itNext;
  HANDLE m_hInstallEvent = nullptr;
  HANDLE m_hCancelEvent = nullptr;
  HANDLE m_hThread = nullptr;
  std::atomic<BOOL> m_bThreadEnd{FALSE};
  BOOL m_bSpoolerStopped = FALSE;
  BOOL m_bEnded = FALSE;
  std::string m_strStatus;
  std::string m_strPercent;
  std::string m_strPercentUnit;
  std::string m_strStepLabel;
};
