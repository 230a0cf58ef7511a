// The installation page: a worker thread runs the installation engine
// (install/install_engine.h) while the page shows a progress bar, a
// percentage and the step under way.
//
// The thread reports with WM_UPDATEDATA (sent: the page takes the engine's
// texts into its controls while the thread waits) and WM_ENDINSTALL
// (posted). It is paced by the manual-reset event "INSTALL" (the thread
// waits on it before each step) and signals "INSTALLCANCEL" when it ends, in
// every way. A cancel is asked for through m_bThreadEnd, which the thread
// reads at its wait points.
//
// The page ends only after its thread has ended, and the engine has put the
// services back and undone a failed run before the thread ends: the page
// owns the engine, and nothing of the thread outlives the page. A failure's
// message is shown by the page once the thread has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "install/install_engine.h"
#include "wizard/usb_page.h"

class CInstallPrepareDialog : public CUsbPage, private CInstallEngine::CObserver {
 public:
  explicit CInstallPrepareDialog(CKV_SETUPApp& app);
  ~CInstallPrepareDialog() override;

  // The frame asks the page to end (the wizard is being closed): as a
  // cancel, unless the installation is ending already. The page ends once
  // its thread has.
  void kRequestEnd();

  // Results, read by the frame and the tests after the page ended.
  BOOL m_bThreadError = FALSE;
  std::string m_strOEMInf;
  int m_nProgressRange = 0;
  int m_nProgressPos = 0;
  // What the engine reported, once the thread has ended.
  CInstallEngine::CResult m_Result;

 protected:
  BOOL OnInitDialog() override;
  void kOnCommand(int nId, int nCode) override;
  void OnTimer(UINT_PTR nId) override;
  BOOL OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
  void OnDestroy() override;

 private:
  static DWORD WINAPI kGoProgress(LPVOID pParam);
  void kExecInstallThread();
  // The engine's observer, called on the thread.
  BOOL kWaitPoint() override;
  BOOL kIsCancelled() override { return m_bThreadEnd; }
  void kUpdate() override;
  // Takes the engine's texts and progress (the thread waits meanwhile).
  void kTakeProgress();
  void kOnUpdateData();
  void kOnEndInstall();
  void kOnCancel();
  // Waits for "INSTALLCANCEL" and then for the thread itself, answering the
  // thread's sent messages meanwhile.
  void kWaitForThreadEnd();
  // Takes the engine's result into the application's flags and shows the
  // failure's message.
  void kTakeResult();

  std::unique_ptr<CInstallEngine> m_pEngine;
  HANDLE m_hInstallEvent = nullptr;
  HANDLE m_hCancelEvent = nullptr;
  HANDLE m_hThread = nullptr;
  std::atomic<BOOL> m_bThreadEnd{FALSE};
  BOOL m_bEnded = FALSE;
  std::string m_strStatus;
  std::string m_strPercent;
  std::string m_strPercentUnit;
  std::string m_strStepLabel;
};
