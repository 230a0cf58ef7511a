// The common frame of the USB path's pages.
#include "wizard/usb_page.h"

#include "app/kv_setup_app.h"
#include "res/resource.h"

INT_PTR CUsbPage::kDoModal(HWND hParent) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nTemplate), hParent, kDialogProc,
                         reinterpret_cast<LPARAM>(this));
}

void CUsbPage::OnCommand(int nId, int nCode) {
  if (nCode != BN_CLICKED) return;
  if (nId == IDOK) kEndDialog(1);
  if (nId == IDCANCEL) kEndDialog(2);
}

std::string CUsbPage::kText(const char* pszKey) const { return m_app.m_pRscCommon->kGetMessageText(pszKey); }

void CUsbPage::kSetPageTexts(const char* pszTitle, const char* pszSubtitle) {
  kSetCaption("IDS_DLG_LICENSE_CAPTION");
  kSetItemText(IDC_TITLE, pszTitle);
  kSetItemText(IDC_SUBTITLE, pszSubtitle);
}

void CUsbPage::kHideItem(int nId) {
  HWND hItem = GetDlgItem(m_hWnd, nId);
  if (!hItem) return;
  ShowWindow(hItem, SW_HIDE);
  EnableWindow(hItem, FALSE);
}

INT_PTR CALLBACK CUsbPage::kDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CUsbPage* pPage = nullptr;
  if (uMsg == WM_INITDIALOG) {
    pPage = reinterpret_cast<CUsbPage*>(lParam);
    SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
    pPage->m_hWnd = hDlg;
    return pPage->OnInitDialog();
  }
  pPage = reinterpret_cast<CUsbPage*>(GetWindowLongPtrA(hDlg, DWLP_USER));
  if (!pPage) return FALSE;
  switch (uMsg) {
    case WM_COMMAND:
      pPage->OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_TIMER:
      pPage->OnTimer(wParam);
      return TRUE;
    default: {
      LRESULT lResult = 0;
      if (pPage->OnMessage(uMsg, wParam, lParam, lResult)) {
        SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, lResult);
        return TRUE;
      }
      return FALSE;
    }
  }
}
