#include "wizard/setup_kind_dialog.h"

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "resources/message_ids.h"

CSetupKindDialog::CSetupKindDialog(HWND hWndParent) : CKVIDlgForm(IDD_SETUPKIND, hWndParent) {}

BOOL CSetupKindDialog::OnInitDialog() {
  m_strCaption = kGetMessage(msgid::IDS_DLG_LICENSE_CAPTION);
  m_strTitle = kGetMessage(msgid::IDS_DLG_SETUPKIND_TITLE);
  m_strSubTitle = kGetMessage(msgid::IDS_DLG_SETUPKIND_SUBTITLE);
  m_strGuide = kGetMessage(msgid::IDS_DLG_SETUPKIND_GUIDE);
  CKVIDlgForm::OnInitDialog();
  kPlaceHeaderPicture(IDC_HEADER_FRAME_1014);
  kSetItemMessage(IDOK, msgid::IDS_DLG_LICENSE_IDOK);
  kSetItemMessage(IDCANCEL, msgid::IDS_DLG_LICENSE_IDCANCEL);
  kSetItemMessage(IDC_RADIO_ADD, msgid::IDS_DLG_SETUPKIND_ADD);
  kSetItemMessage(IDC_RADIO_UPDATE, msgid::IDS_DLG_SETUPKIND_REP);
  kSetItemMessage(IDC_CHECK_NETWORK, msgid::IDS_DLG_SETUPKIND_NETWORK);
  kSetItemMessage(IDC_CHECK_USB, msgid::IDS_DLG_SETUPKIND_USB);

  CheckRadioButton(m_hWnd, IDC_RADIO_ADD, IDC_RADIO_UPDATE, IDC_RADIO_ADD);

  const CSetupIniSettings* pIni = SETUP_GLOBAL.m_pSetupIniInfo;
  const int bVisibleUpdate = pIni ? pIni->bVisibleUpdatePrinter : 1;
  const int nConnect = pIni ? pIni->nDefaultConnectTypeElement : CONNECTTYPE_NOSELECT;
  if (bVisibleUpdate == 1) {
    kShowItem(IDC_ADD_TEXT, FALSE);
    kEnableItem(IDC_ADD_TEXT, FALSE);
  } else {
    // Adding is the only choice: offered as plain text where its radio was.
    kShowItem(IDC_RADIO_UPDATE, FALSE);
    kEnableItem(IDC_RADIO_UPDATE, FALSE);
    kSetItemMessage(IDC_ADD_TEXT, msgid::IDS_DLG_SETUPKIND_ADD_TEXT);
    RECT rc;
    HWND hRadio = GetDlgItem(IDC_RADIO_ADD);
    if (hRadio && GetWindowRect(hRadio, &rc)) {
      MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
      if (HWND hText = GetDlgItem(IDC_ADD_TEXT)) {
        MoveWindow(hText, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
      }
    }
    kShowItem(IDC_ADD_TEXT, TRUE);
    kEnableItem(IDC_ADD_TEXT, TRUE);
    kShowItem(IDC_RADIO_ADD, FALSE);
    kEnableItem(IDC_RADIO_ADD, FALSE);
  }

  if (SETUP_GLOBAL.m_bNQAvailable != 1) {
    kEnableItem(IDC_CHECK_NETWORK, FALSE);
  } else if (nConnect == CONNECTTYPE_NETWORK) {
    kSetCheck(IDC_CHECK_NETWORK, TRUE);
  }
  if (!SETUP_GLOBAL.m_bUSBDriverExist) {
    kShowItem(IDC_CHECK_USB, FALSE);
    kEnableItem(IDC_CHECK_USB, FALSE);
  } else if (nConnect == CONNECTTYPE_USB) {
    kSetCheck(IDC_CHECK_USB, TRUE);
  }
  kEnableItem(IDC_CHECK_USB, !kIsChecked(IDC_CHECK_NETWORK) && SETUP_GLOBAL.m_bUSBDriverExist);
  // A USB box ticked in advance greys out the network box as a click on it
  // would; otherwise both could be ticked and both paths chosen at once.
  kOnClickUsb();
  return TRUE;
}

void CSetupKindDialog::kOnClickNetwork() {
  kEnableItem(IDC_CHECK_USB, !kIsChecked(IDC_CHECK_NETWORK) && SETUP_GLOBAL.m_bUSBDriverExist);
}

void CSetupKindDialog::kOnClickUsb() {
  kEnableItem(IDC_CHECK_NETWORK, !kIsChecked(IDC_CHECK_USB) && SETUP_GLOBAL.m_bNQAvailable == 1);
}

BOOL CSetupKindDialog::OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) {
  if (wNotifyCode == BN_CLICKED) {
    switch (wID) {
      case IDC_CHECK_NETWORK:
        kOnClickNetwork();
        return TRUE;
      case IDC_CHECK_USB:
        kOnClickUsb();
        return TRUE;
      case IDC_RADIO_ADD:
        kEnableItem(IDC_CHECK_NETWORK, SETUP_GLOBAL.m_bNQAvailable == 1);
        kOnClickNetwork();
        kOnClickUsb();
        return TRUE;
      case IDC_RADIO_UPDATE:
        kEnableItem(IDC_CHECK_NETWORK, FALSE);
        kEnableItem(IDC_CHECK_USB, FALSE);
        return TRUE;
      default:
        break;
    }
  }
  return CKVIDlgForm::OnCommand(wID, wNotifyCode, hControl);
}

void CSetupKindDialog::OnOK() {
  if (kIsChecked(IDC_RADIO_ADD)) SETUP_GLOBAL.m_nSetupKind = SETUPKIND_ADD;
  if (kIsChecked(IDC_RADIO_UPDATE)) SETUP_GLOBAL.m_nSetupKind = SETUPKIND_UPDATE;
  SETUP_GLOBAL.m_bNetworkSearch = 0;
  SETUP_GLOBAL.m_bUSBInstall = 0;
  if (SETUP_GLOBAL.m_nSetupKind == SETUPKIND_ADD) {
    SETUP_GLOBAL.m_bNetworkSearch = kIsChecked(IDC_CHECK_NETWORK) ? 1 : 0;
    SETUP_GLOBAL.m_bUSBInstall = kIsChecked(IDC_CHECK_USB) ? 1 : 0;
  }
  EndDialog(IDOK);
}
