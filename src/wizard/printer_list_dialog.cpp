#include "wizard/printer_list_dialog.h"

#include <algorithm>

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "resources/message_ids.h"
#include "system/program_log.h"
#include "wizard/network_printer_list.h"

namespace {

constexpr int kAddressColumn = 1;

int stringWidth(HWND hList, const std::string& strText) {
  return static_cast<int>(SendMessageA(hList, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(strText.c_str())));
}

// The list font's average character width, measured over the alphabet.
int averageCharWidth(HWND hList) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const int nWidth = stringWidth(hList, kAlphabet);
  return std::max(1, (nWidth + 26) / 52);
}

}  // namespace

CPrinterListDialog::CPrinterListDialog(HWND hWndParent, const std::vector<CNetworkPrinter>* pPrinters)
    : CKVIDlgForm(IDD_PRINTERLIST, hWndParent), m_pPrinters(pPrinters) {}

void CPrinterListDialog::kCalcColumnWidths(int nClient, const int nNeeded[3], const int nHeader[3], int nWidths[3]) {
  const int nWant0 = std::max(nNeeded[0], nHeader[0]);
  nWidths[2] = std::max(nNeeded[2], nHeader[2]);
  nWidths[1] = std::max(nNeeded[1], nHeader[1]);
  while (nClient - nWidths[1] - nWidths[2] < nWant0 && nWidths[1] > nHeader[1]) --nWidths[1];
  nWidths[0] = std::max(0, nClient - nWidths[1] - nWidths[2]);
}

BOOL CPrinterListDialog::OnInitDialog() {
  m_strCaption = kGetMessage(msgid::IDS_DLG_LICENSE_CAPTION);
  m_strTitle = kGetMessage(msgid::IDS_DLG_PRINTERLIST_TITLE);
  m_strSubTitle = kGetMessage(msgid::IDS_DLG_PRINTERLISTWEB_SUBTITLE);
  m_strGuide = kGetMessage(msgid::IDS_DLG_PRINTERLISTWEB_GUIDE);
  CKVIDlgForm::OnInitDialog();
  kSetItemMessage(IDOK, msgid::IDS_DLG_ADDFORCE_IDOK);
  kSetItemMessage(IDCANCEL, msgid::IDS_DLG_MONITORSELECT_IDCANCEL);

  HWND hList = GetDlgItem(IDC_PRINTER_LIST);
  // The list draws its cells itself (the address column right-aligned) and
  // tracks the item under the mouse, without which its tooltips never show.
  if (hList) {
    const LONG_PTR lStyle = GetWindowLongPtrA(hList, GWL_STYLE);
    if (!(lStyle & LVS_OWNERDRAWFIXED)) SetWindowLongPtrA(hList, GWL_STYLE, lStyle | LVS_OWNERDRAWFIXED);
    SendMessageA(hList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_TRACKSELECT, LVS_EX_TRACKSELECT);
  }
  m_list.kAttach(hList);
  m_list.kSetLangID(SETUP_GLOBAL.m_dwLangID);
  const CSetupIniSettings* pIni = SETUP_GLOBAL.m_pSetupIniInfo;
  const bool bAltIcons = pIni && pIni->nIconType == 2;
  m_hImageList = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 2, 1);
  if (m_hImageList) {
    const int nIcons[2] = {bAltIcons ? IDI_PRINTER_PORT_ALT : IDI_PRINTER_PORT,
                           bAltIcons ? IDI_PRINTER_NETWORK_ALT : IDI_PRINTER_NETWORK};
    for (int nIcon : nIcons) {
      if (HICON hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nIcon))) ImageList_AddIcon(m_hImageList, hIcon);
    }
    m_list.kSetImageList(m_hImageList);
  }
  const char* const pszHeaders[3] = {msgid::IDS_PRINTER, msgid::IDS_ADDRESS, msgid::IDS_DESCRIPTION};
  for (int n = 0; n < 3; ++n) m_list.kInsertColumn(n, kGetMessage(pszHeaders[n]), LVCFMT_LEFT, kInitialWidths[n]);
  kPrinterListDataSet();
  return FALSE;  // the focus is on the list
}

void CPrinterListDialog::kPrinterListDataSet() {
  HWND hList = m_list.kGetSafeHwnd();
  m_list.kDeleteAllItems();
  int nWidest[3] = {0, 0, 0};
  if (m_pPrinters) {
    for (const CNetworkPrinter& printer : *m_pPrinters) {
      auto* pRecord = new CListModelRecord{printer.strModelName, printer.strAddress, printer.strDescription, {}};
      if (m_list.kAddItem(pRecord) < 0) continue;
      const std::string* texts[3] = {&printer.strModelName, &printer.strAddress, &printer.strDescription};
      for (int n = 0; n < 3; ++n) nWidest[n] = std::max(nWidest[n], stringWidth(hList, *texts[n]));
    }
  }
  const int nCount = m_list.kGetItemCount();
  kEnableItem(IDOK, nCount > 0);
  // The first filling sorts by address; later ones keep the user's order.
  if (!m_bFilled) {
    if (!m_list.kSort(kAddressColumn, TRUE)) {
      kProgramLog().kWriteLog("CPrinterListDialog::kPrinterListDataSet DoSort (1) fail.\n");
    }
  } else {
    const int nColumn = m_list.kGetSortColumn();
    if (!m_list.kSort(nColumn >= 0 ? nColumn : kAddressColumn, m_list.kIsSortAscending())) {
      kProgramLog().kWriteLog("CPrinterListDialog::kPrinterListDataSet DoSort (2) fail.\n");
    }
  }
  m_bFilled = TRUE;
  if (nCount > 0) m_list.kSelectItem(0);
  if (hList) SetFocus(hList);
  kSetColumnWidths(nWidest);
}

void CPrinterListDialog::kSetColumnWidths(const int nWidest[3]) {
  HWND hList = m_list.kGetSafeHwnd();
  if (!hList) return;
  const int nMargin = 2 * averageCharWidth(hList);
  const char* const pszHeaders[3] = {msgid::IDS_PRINTER, msgid::IDS_ADDRESS, msgid::IDS_DESCRIPTION};
  int nNeeded[3], nHeader[3];
  for (int n = 0; n < 3; ++n) {
    nNeeded[n] = nWidest[n] + nMargin;
    nHeader[n] = stringWidth(hList, kGetMessage(pszHeaders[n])) + nMargin;
  }
  nNeeded[0] += GetSystemMetrics(SM_CXSMICON);
  RECT rc = {};
  GetClientRect(hList, &rc);
  int nWidths[3];
  kCalcColumnWidths(rc.right - rc.left, nNeeded, nHeader, nWidths);
  for (int n = 0; n < 3; ++n) SendMessageA(hList, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(n), nWidths[n]);
}

BOOL CPrinterListDialog::kIsSelectedDevice() {
  const int nCount = m_list.kGetItemCount();
  if (nCount == 0) {
    kProgramLog().kWriteLog("CPrinterListDialog::kIsSelectedDevice() return FALSE (1) nCnt is zero.\n");
    return FALSE;
  }
  const int nItem = m_list.kGetSelectedItem();
  if (nItem >= 0 &&
      (SendMessageA(m_list.kGetSafeHwnd(), LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), LVIS_SELECTED) & LVIS_SELECTED)) {
    kProgramLog().kWriteLog("CPrinterListDialog::kIsSelectedDevice() return TRUE (2)\n");
    return TRUE;
  }
  kProgramLog().kWriteLog("CPrinterListDialog::kIsSelectedDevice() return FALSE (3)\n");
  return FALSE;
}

BOOL CPrinterListDialog::OnNotify(NMHDR* pHeader, LRESULT& lResult) {
  if (pHeader && pHeader->hwndFrom == m_list.kGetSafeHwnd()) {
    switch (pHeader->code) {
      case NM_CLICK:
      case NM_RCLICK:
        kEnableItem(IDOK, kIsSelectedDevice());
        lResult = 0;
        return TRUE;
      case NM_DBLCLK:
        if (kIsSelectedDevice()) {
          kEnableItem(IDOK, TRUE);
          PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        lResult = 0;
        return TRUE;
      default:
        break;
    }
  }
  if (m_list.kOnNotify(pHeader, lResult)) return TRUE;
  return CKVIDlgForm::OnNotify(pHeader, lResult);
}

BOOL CPrinterListDialog::OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) {
  if (m_list.kOnDrawItem(pDraw)) return TRUE;
  return CKVIDlgForm::OnDrawItem(nIDCtl, pDraw);
}

void CPrinterListDialog::OnOK() {
  const int nItem = m_list.kGetSelectedItem();
  const auto* pRecord = nItem >= 0 ? static_cast<const CListModelRecord*>(m_list.kGetItemData(nItem)) : nullptr;
  if (!pRecord) {
    // OK without a line (the Enter key): nothing to choose.
    kEnableItem(IDOK, FALSE);
    return;
  }
  m_strPrinterName = pRecord->strModelName;
  m_strAddress = pRecord->strAddress;
  m_strDescription = pRecord->strDescription;
  kProgramLog().kWriteLog("CPrinterListDialog::OnOK() [%s] [%s] [%s]\n", m_strPrinterName.c_str(),
                          m_strAddress.c_str(), m_strDescription.c_str());
  EndDialog(IDOK);
}

void CPrinterListDialog::OnDestroy() {
  if (m_hImageList) {
    m_list.kSetImageList(nullptr);
    ImageList_Destroy(m_hImageList);
    m_hImageList = nullptr;
  }
}
