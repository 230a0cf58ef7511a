#include "wizard/usb_printer_list.h"

#include <vector>

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "resources/message_ids.h"
#include "system/program_log.h"

namespace {

// A candidate that can be installed for USB on this platform.
bool isUsbCandidate(const CCandidateDriver& cde) { return cde.dwInfOSVersion == 3 && cde.bUSBPermit == 1; }

const char* thisPlatform() { return CEnvironment::kIsAMD64() ? "NTamd64" : "NTx86"; }

// The model chosen by name: the candidate admitted for this system first
// (the list holds the same name for other platforms too), else the first of
// this platform in the package's list.
const CCandidateDriver* chosenCandidate(const std::string& strName) {
  const auto fits = [&](const CCandidateDriver& cde) {
    return isUsbCandidate(cde) && lstrcmpiA(cde.strPlatform.c_str(), thisPlatform()) == 0 &&
           lstrcmpiA(cde.strDriverName.c_str(), strName.c_str()) == 0;
  };
  for (const CCandidateDriver& cde : SETUP_GLOBAL.m_lstSetupCandidate) {
    if (fits(cde)) return &cde;
  }
  if (CDriverInfomation* pInfo = SETUP_GLOBAL.m_pDriverInfomation.get()) {
    for (const CCandidateDriver& cde : pInfo->VEXOGetCandidateDriverList()) {
      if (fits(cde)) return &cde;
    }
  }
  return nullptr;
}

}  // namespace

CUsbPrinterList::CUsbPrinterList(HWND hWndParent) : CKVIDlgForm(IDD_USBPRINTERLIST, hWndParent) {}

int CUsbPrinterList::kMakeUsbPrinterList() {
  const char* pszPlatform = thisPlatform();
  const CCandidateDriver* pOnly = nullptr;
  int nCount = 0;
  CDriverInfomation* pInfo = SETUP_GLOBAL.m_pDriverInfomation.get();
  if (!pInfo) return 0;
  for (const CCandidateDriver& cde : pInfo->VEXOGetCandidateDriverList()) {
    if (!isUsbCandidate(cde) || lstrcmpiA(cde.strPlatform.c_str(), pszPlatform) != 0) continue;
    SendDlgItemMessageA(m_hWnd, IDC_USB_MODELS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(cde.strDriverName.c_str()));
    pOnly = &cde;
    ++nCount;
  }
  if (nCount == 1) SETUP_GLOBAL.m_CDE = *pOnly;
  return nCount;
}

BOOL CUsbPrinterList::OnInitDialog() {
  CKVIDlgForm::OnInitDialog();
  kPlaceHeaderPicture(IDC_HEADER_FRAME_1012);
  const int nCount = kMakeUsbPrinterList();
  if (nCount == 1) {
    kProgramLog().kWriteLog(
        "CUsbPrinterList::OnInitDialog() return TRUE (1) LastError=%u kMakeUsbPrinterList returned 1.\n",
        static_cast<unsigned>(GetLastError()));
    EndDialog(IDOK);
    return TRUE;
  }
  SetWindowTextA(m_hWnd, kGetMessage(msgid::IDS_DLG_LICENSE_CAPTION).c_str());
  kSetItemMessage(IDC_TITLE, msgid::IDS_DLG_USBPRINTERLIST_TITLE);
  kSetItemMessage(IDC_SUBTITLE, msgid::IDS_DLG_USBPRINTERLIST_SUBTITLE);
  kSetItemMessage(IDC_GUIDE, msgid::IDS_DLG_USBPRINTERLIST_GUIDE);
  kSetItemMessage(IDOK, msgid::IDS_DLG_USBPRINTERLIST_IDOK);
  kSetItemMessage(IDCANCEL, msgid::IDS_DLG_USBPRINTERLIST_IDCANCEL);
  kEnableItem(IDOK, FALSE);
  return TRUE;
}

BOOL CUsbPrinterList::OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) {
  if (wID == IDC_USB_MODELS && wNotifyCode == LBN_SELCHANGE) {
    if (SendDlgItemMessageA(m_hWnd, IDC_USB_MODELS, LB_GETCURSEL, 0, 0) != LB_ERR) kEnableItem(IDOK, TRUE);
    return TRUE;
  }
  return CKVIDlgForm::OnCommand(wID, wNotifyCode, hControl);
}

void CUsbPrinterList::OnOK() {
  const LRESULT nSel = SendDlgItemMessageA(m_hWnd, IDC_USB_MODELS, LB_GETCURSEL, 0, 0);
  if (nSel == LB_ERR) return;
  const LRESULT nLen = SendDlgItemMessageA(m_hWnd, IDC_USB_MODELS, LB_GETTEXTLEN, static_cast<WPARAM>(nSel), 0);
  if (nLen == LB_ERR) return;
  std::vector<char> buffer(static_cast<size_t>(nLen) + 1, 0);
  SendDlgItemMessageA(m_hWnd, IDC_USB_MODELS, LB_GETTEXT, static_cast<WPARAM>(nSel),
                      reinterpret_cast<LPARAM>(buffer.data()));
  if (const CCandidateDriver* pCde = chosenCandidate(buffer.data())) SETUP_GLOBAL.m_CDE = *pCde;
  EndDialog(IDOK);
}
