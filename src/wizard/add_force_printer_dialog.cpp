#include "wizard/add_force_printer_dialog.h"

#include "res/resource.h"
#include "resources/message_ids.h"
#include "system/program_log.h"

CAddForcePrinterDialog::CAddForcePrinterDialog(HWND hWndParent) : CKVIDlgForm(IDD_ADDFORCE, hWndParent) {}

BOOL CAddForcePrinterDialog::OnInitDialog() {
  m_strCaption = kGetMessage(msgid::IDS_DLG_LICENSE_CAPTION);
  m_strTitle = kGetMessage(msgid::IDS_DLG_ADDFORCE_TITLE);
  m_strSubTitle = kGetMessage(msgid::IDS_DLG_ADDFORCE_SUBTITLE);
  m_strGuide = kGetMessage(msgid::IDS_DLG_ADDFORCE_GUIDE1);
  CKVIDlgForm::OnInitDialog();
  kSetItemMessage(IDC_GUIDE2, msgid::IDS_DLG_ADDFORCE_GUIDE2);
  kSetItemMessage(IDC_GUIDE3, msgid::IDS_DLG_ADDFORCE_GUIDE3);
  kSetItemMessage(IDC_GUIDE4, msgid::IDS_DLG_ADDFORCE_GUIDE4);
  kSetItemMessage(IDC_GUIDE5, msgid::IDS_DLG_ADDFORCE_GUIDE5);
  kSetItemMessage(IDC_BACK, msgid::IDS_DLG_ADDFORCE_BACK);
  kSetItemMessage(IDOK, msgid::IDS_DLG_ADDFORCE_IDOK);
  kSetItemMessage(IDCANCEL, msgid::IDS_DLG_ADDFORCE_IDCANCEL);
  return TRUE;
}

BOOL CAddForcePrinterDialog::OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) {
  if (wID == IDC_BACK && wNotifyCode == BN_CLICKED) {
    kProgramLog().kWriteLog("CAddForcePrinterDialog::OnCommand() Back.\n");
    EndDialog(kBack);
    return TRUE;
  }
  return CKVIDlgForm::OnCommand(wID, wNotifyCode, hControl);
}
