// The search page: runs the network search on a worker thread while the
// user may stop it. Ends with 6 (search done: SETUP_GLOBAL's network printer
// list holds what was found), 1 (stopped: install without a network
// printer) or 2 (the library or a system object is missing).
#pragma once

#include "wizard/kvi_dlg_form.h"

class CNetworkPrinterList;

class CSearchPrinterDialog : public CKVIDlgForm {
 public:
  static constexpr INT_PTR kSearchDone = 6;
  static constexpr UINT_PTR kStartTimer = 1;
  static constexpr UINT kStartDelayMs = 500;

  explicit CSearchPrinterDialog(HWND hWndParent);
  ~CSearchPrinterDialog() override;

 protected:
  BOOL OnInitDialog() override;
  // The page's one button: stop the search.
  void OnOK() override;
  // Escape stops the search as the button does: the page never ends while
  // its thread still runs.
  void OnCancel() override;
  void OnTimer(UINT_PTR nIDEvent) override;
  BOOL OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
  void OnDestroy() override;

 private:
  static DWORD WINAPI kSearchThread(LPVOID pParam);
  LRESULT kOnEndInstall(WPARAM wParam, LPARAM lParam);
  void kStop();
  // Waits for the thread's end and closes its handle and the events.
  void kWaitForThread();
  void kCloseEvents();

  CNetworkPrinterList* m_pList = nullptr;
  HANDLE m_hThread = nullptr;
  HANDLE m_hEventInstall = nullptr;
  HANDLE m_hEventCancel = nullptr;
  BOOL m_bTimer = FALSE;
  BOOL m_bEnded = FALSE;
};
