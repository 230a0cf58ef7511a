#include "wizard/license_dialog.h"

#include <vector>

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "resources/message_ids.h"
#include "system/program_log.h"

CLicenseDialog::CLicenseDialog(HWND hWndParent) : CKVIDlgForm(IDD_LICENSE, hWndParent) {}

BOOL CLicenseDialog::OnInitDialog() {
  m_strCaption = kGetMessage(msgid::IDS_DLG_LICENSE_CAPTION);
  m_strTitle = kGetMessage(msgid::IDS_DLG_LICENSE_TITLE);
  m_strSubTitle = kGetMessage(msgid::IDS_DLG_LICENSE_SUBTITLE);
  m_strGuide = kGetMessage(msgid::IDS_DLG_LICENSE_GUIDE);
  CKVIDlgForm::OnInitDialog();
  kPlaceHeaderPicture(IDC_HEADER_FRAME_1012);
  kSetItemMessage(IDC_RADIO_AGREE, msgid::IDS_DLG_LICENSE_RADIO_YES);
  kSetItemMessage(IDC_RADIO_DISAGREE, msgid::IDS_DLG_LICENSE_RADIO_NO);
  kSetItemMessage(IDOK, msgid::IDS_DLG_LICENSE_IDOK);
  kSetItemMessage(IDCANCEL, msgid::IDS_DLG_LICENSE_IDCANCEL);

  const CSetupIniSettings* pIni = SETUP_GLOBAL.m_pSetupIniInfo;
  const int nAgree = pIni ? pIni->nDefaultAgreeElement : AGREE_AGREE;
  kSetCheck(IDC_RADIO_AGREE, nAgree == AGREE_AGREE);
  kSetCheck(IDC_RADIO_DISAGREE, nAgree == AGREE_NOTAGREE);
  kEnableItem(IDOK, kIsChecked(IDC_RADIO_AGREE));

  std::string strText;
  const int nRet = SETUP_GLOBAL.m_pRscCommon ? SETUP_GLOBAL.m_pRscCommon->kGetLicenseFile(strText, "DI_") : 99;
  if (nRet != 0) {
    kProgramLog().kWriteLog("CLicenseDialog::OnInitDialog RSCCOM->kGetLicenseFile nRet=%d\n", nRet);
    strText.clear();
    if (!kLoadBinaryData(strText)) {
      kProgramLog().kWriteLog("CLicenseDialog::OnInitDialog License text load error.\n");
      SETUP_GLOBAL.kDispErrorMessage(msgid::IDS_ERR_OTHERERR, "", "", MB_OK | MB_ICONEXCLAMATION);
      EndDialog(IDCANCEL);
      return TRUE;
    }
  }
  kSetItemText(IDC_TEXT, strText);
  return kStartOn({IDOK, 1003, IDCANCEL});
}

BOOL CLicenseDialog::kLoadBinaryData(std::string& strText) {
  HMODULE hModule = GetModuleHandleA(nullptr);
  HRSRC hInfo = FindResourceA(hModule, MAKEINTRESOURCEA(IDR_LICENSE), MAKEINTRESOURCEA(10));
  if (!hInfo) {
    kProgramLog().kWriteLog("CLicenseDialog::kLoadBinaryData FindResource API fail. LastError=%u\n",
                            static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  const DWORD dwSize = SizeofResource(hModule, hInfo);
  if (dwSize == 0) {
    kProgramLog().kWriteLog("CLicenseDialog::kLoadBinaryData SizeofResource API fail. LastError=%u\n",
                            static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  HGLOBAL hData = LoadResource(hModule, hInfo);
  if (!hData) {
    kProgramLog().kWriteLog("CLicenseDialog::kLoadBinaryData LoadResource API fail. LastError=%u\n",
                            static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  const void* pData = LockResource(hData);
  if (!pData) {
    kProgramLog().kWriteLog("CLicenseDialog::kLoadBinaryData LockResource API fail. LastError=%u\n",
                            static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  std::vector<char> buffer;
  try {
    buffer.assign(static_cast<const char*>(pData), static_cast<const char*>(pData) + dwSize);
    buffer.push_back(0);
  } catch (const std::bad_alloc&) {
    kProgramLog().kWriteLog("CLicenseDialog::kLoadBinaryData Memory Allocation error. LastError=%u\n",
                            static_cast<unsigned>(GetLastError()));
    return FALSE;
  }
  strText = buffer.data();
  return TRUE;
}

BOOL CLicenseDialog::OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) {
  if (wNotifyCode == BN_CLICKED && wID == IDC_RADIO_AGREE) {
    kEnableItem(IDOK, TRUE);
    return TRUE;
  }
  if (wNotifyCode == BN_CLICKED && wID == IDC_RADIO_DISAGREE) {
    kEnableItem(IDOK, FALSE);
    return TRUE;
  }
  return CKVIDlgForm::OnCommand(wID, wNotifyCode, hControl);
}
