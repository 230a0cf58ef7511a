#include "wizard/update_printer_dialog.h"

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "resources/message_ids.h"
#include "system/program_log.h"

CUpdatePrinterDialog::CUpdatePrinterDialog(HWND hWndParent) : CKVIDlgForm(IDD_UPDATEPRINTER, hWndParent) {}

BOOL CUpdatePrinterDialog::OnInitDialog() {
  m_strCaption = kGetMessage(msgid::IDS_DLG_LICENSE_CAPTION);
  m_strTitle = kGetMessage(msgid::IDS_DLG_UPDATE_TITLE);
  m_strSubTitle = kGetMessage(msgid::IDS_DLG_UPDATE_SUBTITLE);
  m_strGuide = kGetMessage(msgid::IDS_DLG_UPDATE_GUIDE);
  CKVIDlgForm::OnInitDialog();
  kPlaceHeaderPicture(IDC_HEADER_FRAME_1016);
  kSetItemMessage(IDOK, msgid::IDS_DLG_LICENSE_IDOK);
  kSetItemMessage(IDCANCEL, msgid::IDS_DLG_LICENSE_IDCANCEL);

  const std::vector<std::string>& lstPrinters = SETUP_GLOBAL.m_lstUpdatePrinters;
  if (lstPrinters.empty()) {
    kProgramLog().kWriteLog(
        "CUpdatePrinterDialog::OnInitDialog() return TRUE (1) LastError=%u no element in m_lstUpdatePrinters.\n",
        static_cast<unsigned>(GetLastError()));
    SETUP_GLOBAL.kDispErrorMessage(msgid::IDS_ERR_NOUPDATEPRINTER, "", "", MB_OK | MB_ICONEXCLAMATION);
    EndDialog(IDCANCEL);
    return TRUE;
  }
  std::string strText;
  for (const std::string& strName : lstPrinters) strText += strName + "\r\n";
  kSetItemText(IDC_TEXT, strText);
  return kStartOn({IDOK, IDCANCEL});
}
