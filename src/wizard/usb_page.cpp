// The USB path's pages on the common page base.
#include "wizard/usb_page.h"

#include "app/kv_setup_app.h"

void CUsbPage::kOnCommand(int nId, int nCode) {
  if (nCode != BN_CLICKED) return;
  if (nId == IDOK) kEndDialog(1);
  if (nId == IDCANCEL) kEndDialog(2);
}

BOOL CUsbPage::OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) {
  (void)hControl;
  kOnCommand(wID, wNotifyCode);
  return TRUE;
}

void CUsbPage::kSetPageTexts(const char* pszTitle, const char* pszSubtitle) {
  m_strCaption = kGetMessage("IDS_DLG_LICENSE_CAPTION");
  m_strTitle = kGetMessage(pszTitle);
  m_strSubTitle = kGetMessage(pszSubtitle);
  CKVIDlgForm::OnInitDialog();
}
