// The USB path's pages on the common page base: the application they work
// on, the catalogue texts by key, and the page start with the standard
// caption, title and subtitle.
#pragma once

#include <string>

#include "platform/win32.h"
#include "wizard/kvi_dlg_form.h"

class CKV_SETUPApp;

class CUsbPage : public CKVIDlgForm {
 public:
  CUsbPage(CKV_SETUPApp& app, int nTemplate) : CKVIDlgForm(static_cast<UINT>(nTemplate), nullptr), m_app(app) {}

  // Shows the page modally over a parent; its result (-1 when it could not
  // be shown).
  INT_PTR kDoModal(HWND hParent) {
    m_hWndParent = hParent;
    return DoModal();
  }

 protected:
  // Button clicks; IDOK ends with 1, IDCANCEL with 2 unless a page says
  // otherwise.
  virtual void kOnCommand(int nId, int nCode);
  BOOL OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) override;

  void kEndDialog(INT_PTR nResult) { EndDialog(nResult); }
  std::string kText(const char* pszKey) const { return kGetMessage(pszKey); }
  void kSetItemText(int nId, const char* pszKey) { kSetItemMessage(nId, pszKey); }
  void kSetCaption(const char* pszKey) { SetWindowTextA(m_hWnd, kGetMessage(pszKey).c_str()); }
  // The page start of every wizard page with the standard caption, the
  // page's title and subtitle.
  void kSetPageTexts(const char* pszTitle, const char* pszSubtitle);
  // Hides and disables a control.
  void kHideItem(int nId) {
    kShowItem(nId, FALSE);
    kEnableItem(nId, FALSE);
  }

  CKV_SETUPApp& m_app;
};
