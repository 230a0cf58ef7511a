#include "wizard/complete_dialog.h"

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "resources/message_ids.h"
#include "system/program_log.h"
#include "wizard/text_from_file.h"

CCompleteDialog::CCompleteDialog(HWND hWndParent) : CKVIDlgForm(IDD_COMPLETE, hWndParent) {}

BOOL CCompleteDialog::kIsInsutallSucceed() {
  const CKV_SETUPApp& app = SETUP_GLOBAL;
  kProgramLog().kWriteLog("CCompleteDialog::kIsInsutallSucceed()\n");
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bSuccess=%d\n", app.m_bSuccess);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bOSReboot=%d\n", app.m_bOSReboot);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bInstallError=%d\n", app.m_bInstallError);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bBreakOff=%d\n", app.m_bBreakOff);
  kProgramLog().kWriteLog("  SETUP_GLOBAL->m_bWarning=%d\n", app.m_bWarning);
  if (app.m_bSuccess == 1 && app.m_bOSReboot == 0 && app.m_bInstallError == 0 && app.m_bBreakOff == 0) {
    kProgramLog().kWriteLog("CCompleteDialog::kIsInsutallSucceed() Normal terminate.\n");
    return TRUE;
  }
  if (app.m_bSuccess == 1 && app.m_bOSReboot == 1 && app.m_bInstallError == 0 && app.m_bBreakOff == 0) {
    kProgramLog().kWriteLog("CCompleteDialog::kIsInsutallSucceed() Normal terminate. (with reboot)\n");
    return TRUE;
  }
  kProgramLog().kWriteLog("CCompleteDialog::kIsInsutallSucceed() Abnormal terminate.\n");
  return FALSE;
}

BOOL CCompleteDialog::OnInitDialog() {
  const BOOL bSucceeded = kIsInsutallSucceed();
  m_strCaption = kGetMessage(msgid::IDS_DLG_LICENSE_CAPTION);
  m_strTitle = kGetMessage(bSucceeded ? msgid::IDS_DLG_COMPLETE_TITLE : msgid::IDS_INSTALLERROR_GUIDE);
  m_strSubTitle = kGetMessage(bSucceeded ? msgid::IDS_DLG_COMPLETE_SUBTITLE : msgid::IDS_INSTALLERROR_SUBGUIDE);
  m_strGuide = kGetMessage(msgid::IDS_DLG_COMPLETE_GUIDE);
  CKVIDlgForm::OnInitDialog();
  kPlaceHeaderPicture(IDC_HEADER_FRAME_1018);
  kSetItemMessage(IDOK, msgid::IDS_DLG_COMPLETE_IDOK);
  kSetItemMessage(IDCANCEL, msgid::IDS_DLG_LICENSE_IDCANCEL);
  kSetItemMessage(IDC_RADIO_REBOOT_NOW, msgid::IDS_DLG_COMPLETE_RADIO_YES);
  kSetItemMessage(IDC_RADIO_REBOOT_LATER, msgid::IDS_DLG_COMPLETE_RADIO_NO);
  kSetItemMessage(IDC_REBOOT_GUIDE, msgid::IDS_DLG_COMPLETE_REBOOT_GUIDE);
  kSetItemMessage(IDC_REBOOT_FRAME, msgid::IDS_DLG_COMPLETE_REBOOT_FRAME);

  if (SETUP_GLOBAL.m_bOSReboot == 1) {
    for (int nID : {IDC_REBOOT_FRAME, IDC_RADIO_REBOOT_NOW, IDC_RADIO_REBOOT_LATER, IDC_REBOOT_GUIDE}) kShowItem(nID, TRUE);
    CheckRadioButton(m_hWnd, IDC_RADIO_REBOOT_NOW, IDC_RADIO_REBOOT_LATER, IDC_RADIO_REBOOT_NOW);
  } else {
    // The report takes the space of the hidden restart choice.
    HWND hText = GetDlgItem(IDC_TEXT);
    HWND hFrame = GetDlgItem(IDC_REBOOT_FRAME);
    RECT rcText, rcFrame;
    if (hText && hFrame && GetWindowRect(hText, &rcText) && GetWindowRect(hFrame, &rcFrame)) {
      MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcText), 2);
      MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcFrame), 2);
      MoveWindow(hText, rcText.left, rcText.top, rcText.right - rcText.left, rcFrame.bottom - rcText.top, TRUE);
    }
  }

  std::string strReport;
  kStdAfxGetTextFromFile(strReport, SETUP_GLOBAL.m_strLogFile);
  if (strReport.empty()) {
    kProgramLog().kWriteLog("CCompleteDialog::OnInitDialog() kStdAfxGetTextFromFile fail. LastError=%u m_strLogFile=[%s]\n",
                            static_cast<unsigned>(GetLastError()), SETUP_GLOBAL.m_strLogFile.c_str());
    SETUP_GLOBAL.kDispErrorMessage(msgid::IDS_ERR_READFILE, SETUP_GLOBAL.m_strLogFile, "", MB_OK | MB_ICONEXCLAMATION);
    EndDialog(IDCANCEL);
    return TRUE;
  }
  kSetItemText(IDC_TEXT, strReport);

  if (!bSucceeded) {
    const std::string strText =
        kGetMessage(msgid::IDS_ERR_DRIVERINSTALL1) + "\n" + kGetMessage(msgid::IDS_ERR_DRIVERINSTALL2);
    if (CRscCommon* pRsc = SETUP_GLOBAL.m_pRscCommon.get()) pRsc->kDispMessageBox(strText, m_strCaption, MB_OK);
  }
  return kStartOn({IDOK, IDCANCEL});
}

void CCompleteDialog::OnOK() {
  if (SETUP_GLOBAL.m_bOSReboot == 1 && kIsChecked(IDC_RADIO_REBOOT_NOW)) SETUP_GLOBAL.m_bRebootSelected = 1;
  EndDialog(IDOK);
}
