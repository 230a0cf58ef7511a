// The common frame of the USB path's pages: a modal dialog on one of the
// program's templates, its texts taken from the message catalogue, and the
// dialog procedure handing each message to the page object.
#pragma once

#include <string>

#include "platform/win32.h"

class CKV_SETUPApp;

class CUsbPage {
 public:
  CUsbPage(CKV_SETUPApp& app, int nTemplate) : m_app(app), m_nTemplate(nTemplate) {}
  virtual ~CUsbPage() = default;
  CUsbPage(const CUsbPage&) = delete;
  CUsbPage& operator=(const CUsbPage&) = delete;

  // Shows the page modally; its result (-1 when it could not be shown).
  INT_PTR kDoModal(HWND hParent);
  HWND kGetSafeHwnd() const { return m_hWnd; }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  // IDOK ends with 1, IDCANCEL with 2 unless a page says otherwise.
  virtual void OnCommand(int nId, int nCode);
  virtual void OnTimer(UINT_PTR nId) { (void)nId; }
  // Any other message; TRUE when the page handled it (with its result).
  virtual BOOL OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
    (void)uMsg, (void)wParam, (void)lParam, (void)lResult;
    return FALSE;
  }

  void kEndDialog(INT_PTR nResult) { EndDialog(m_hWnd, nResult); }
  std::string kText(const char* pszKey) const;
  void kSetItemText(int nId, const char* pszKey) { SetDlgItemTextA(m_hWnd, nId, kText(pszKey).c_str()); }
  void kSetCaption(const char* pszKey) { SetWindowTextA(m_hWnd, kText(pszKey).c_str()); }
  // The standard page texts: caption, title and subtitle.
  void kSetPageTexts(const char* pszTitle, const char* pszSubtitle);
  // Hides and disables a control.
  void kHideItem(int nId);

  CKV_SETUPApp& m_app;
  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK kDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
  int m_nTemplate;
};
