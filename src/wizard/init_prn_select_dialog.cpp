// The initial-settings page.
#include "wizard/init_prn_select_dialog.h"

#include <vector>

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "system/program_log.h"
#include "system/text_utility.h"

CInitPrnSelectDialog::CInitPrnSelectDialog(CKV_SETUPApp& app) : CUsbPage(app, IDD_INITPRNSELECT) {}

BOOL CInitPrnSelectDialog::OnInitDialog() {
  kSetPageTexts("IDS_DLG_INITPRNSELECT_TITLE", "IDS_DLG_INITPRNSELECT_SUBTITLE");
  kSetItemText(IDC_GUIDE, "IDS_DLG_INITPRNSELECT_GUIDE1");
  kSetItemText(IDC_GUIDE2, "IDS_DLG_INITPRNSELECT_GUIDE2");
  kSetItemText(IDC_ASTER, "IDS_DLG_INITPRNSELECT_ASTER");
  kSetItemText(IDC_GUIDE3, "IDS_DLG_INITPRNSELECT_GUIDE3");
  kSetItemText(IDC_PRNLST_LABEL, "IDS_DLG_INITPRNSELECT_PRNLST");
  kSetItemText(IDOK, "IDS_DLG_INITPRNSELECT_IDOK");
  kSetItemText(IDCANCEL, "IDS_DLG_INITPRNSELECT_IDCANCEL");
  HWND hList = GetDlgItem(IDC_PRNLST);
  HDC hDC = hList ? GetDC(hList) : nullptr;
  int nExtent = 0;
  for (const CInitializePrinterInfo& info : m_app.m_listIPL) {
    // Every line is checked: the item data of a line holds its check.
    const LRESULT nIndex = SendMessageA(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(info.strPrinterName.c_str()));
    if (nIndex >= 0) SendMessageA(hList, LB_SETITEMDATA, static_cast<WPARAM>(nIndex), 1);
    SIZE size{};
    if (hDC && !info.strPrinterName.empty() &&
        GetTextExtentPoint32A(hDC, info.strPrinterName.c_str(), static_cast<int>(info.strPrinterName.size()), &size)) {
      const int nAverage = size.cx / static_cast<int>(info.strPrinterName.size());
      if (size.cx + nAverage * 3 > nExtent) nExtent = size.cx + nAverage * 3;
    }
  }
  if (hDC) ReleaseDC(hList, hDC);
  SendMessageA(hList, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(nExtent), 0);
  EnableWindow(hList, FALSE);
  return TRUE;
}

void CInitPrnSelectDialog::kOnCommand(int nId, int nCode) {
  if (nCode != BN_CLICKED) return;
  if (nId == IDCANCEL) {
    kEndDialog(2);
    return;
  }
  if (nId != IDOK) return;
  HWND hList = GetDlgItem(IDC_PRNLST);
  const LRESULT nCount = SendMessageA(hList, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < nCount; ++i) {
    const LRESULT nLen = SendMessageA(hList, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (nLen < 0) continue;
    std::vector<char> vecText(static_cast<size_t>(nLen) + 1, '\0');
    SendMessageA(hList, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(vecText.data()));
    const BOOL bChecked = SendMessageA(hList, LB_GETITEMDATA, static_cast<WPARAM>(i), 0) != 0;
    for (CInitializePrinterInfo& info : m_app.m_listIPL) {
      if (kIEquals(info.strPrinterName, vecText.data())) info.bShowProperty = bChecked;
    }
  }
  kEndDialog(1);
}

BOOL CInitPrnSelectDialog::OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) {
  if (nIDCtl != IDC_PRNLST || !pDraw || pDraw->CtlType != ODT_LISTBOX) return CUsbPage::OnDrawItem(nIDCtl, pDraw);
  // An empty list asks only for its focus rectangle.
  if (pDraw->itemID == static_cast<UINT>(-1)) return TRUE;
  const HWND hList = pDraw->hwndItem;
  const HDC hDC = pDraw->hDC;
  const BOOL bDisabled = (pDraw->itemState & ODS_DISABLED) != 0 || !IsWindowEnabled(hList);
  const BOOL bSelected = !bDisabled && (pDraw->itemState & ODS_SELECTED) != 0;
  RECT rcLine = pDraw->rcItem;
  FillRect(hDC, &rcLine, GetSysColorBrush(bSelected ? COLOR_HIGHLIGHT : COLOR_WINDOW));

  // The check box: a square as high as the line allows, at most 13 pixels,
  // centred on the line.
  const int nLine = rcLine.bottom - rcLine.top;
  int nBox = nLine - 2;
  if (nBox > 13) nBox = 13;
  if (nBox < 6) nBox = 6;
  RECT rcBox;
  rcBox.left = rcLine.left + 2;
  rcBox.top = rcLine.top + (nLine - nBox) / 2;
  rcBox.right = rcBox.left + nBox;
  rcBox.bottom = rcBox.top + nBox;
  UINT uState = DFCS_BUTTONCHECK | DFCS_FLAT;
  if (pDraw->itemData != 0) uState |= DFCS_CHECKED;
  if (bDisabled) uState |= DFCS_INACTIVE;
  DrawFrameControl(hDC, &rcBox, DFC_BUTTON, uState);

  const LRESULT nLen = SendMessageA(hList, LB_GETTEXTLEN, pDraw->itemID, 0);
  if (nLen > 0) {
    std::vector<char> vecText(static_cast<size_t>(nLen) + 1, '\0');
    SendMessageA(hList, LB_GETTEXT, pDraw->itemID, reinterpret_cast<LPARAM>(vecText.data()));
    RECT rcText = rcLine;
    rcText.left = rcBox.right + 4;
    const int nOldMode = SetBkMode(hDC, TRANSPARENT);
    const COLORREF crOld =
        SetTextColor(hDC, GetSysColor(bDisabled ? COLOR_GRAYTEXT : bSelected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextA(hDC, vecText.data(), -1, &rcText, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT);
    SetTextColor(hDC, crOld);
    SetBkMode(hDC, nOldMode);
  }
  return TRUE;
}
