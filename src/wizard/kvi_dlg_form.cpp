#include "wizard/kvi_dlg_form.h"

#include <vector>

#include "app/kv_setup_app.h"
#include "res/resource.h"
#include "system/program_log.h"

namespace {

CKVIDlgForm::PageRunner& pageRunner() {
  static CKVIDlgForm::PageRunner runner;
  return runner;
}

// How long a page waits before it shows itself and takes the foreground.
constexpr DWORD kAppearanceDelay = 1000;

}  // namespace

CKVIDlgForm::CKVIDlgForm(UINT nIDTemplate, HWND hWndParent) : m_hWndParent(hWndParent), m_nIDTemplate(nIDTemplate) {}

CKVIDlgForm::~CKVIDlgForm() {
  if (m_hTitleFont) DeleteObject(m_hTitleFont);
}

void CKVIDlgForm::kSetPageRunner(PageRunner runner) { pageRunner() = std::move(runner); }

INT_PTR CKVIDlgForm::DoModal() {
  if (pageRunner()) return pageRunner()(*this);
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_nIDTemplate), m_hWndParent, kDialogProc,
                         reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CKVIDlgForm::kDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  CKVIDlgForm* pPage = nullptr;
  if (uMsg == WM_INITDIALOG) {
    pPage = reinterpret_cast<CKVIDlgForm*>(lParam);
    SetWindowLongPtrA(hDlg, DWLP_USER, lParam);
    pPage->m_hWnd = hDlg;
  } else {
    pPage = reinterpret_cast<CKVIDlgForm*>(GetWindowLongPtrA(hDlg, DWLP_USER));
  }
  if (!pPage) return FALSE;
  const INT_PTR nResult = pPage->kHandle(uMsg, wParam, lParam);
  if (uMsg == WM_NCDESTROY) pPage->m_hWnd = nullptr;
  return nResult;
}

INT_PTR CKVIDlgForm::kHandle(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return TRUE;
    case WM_NOTIFY: {
      LRESULT lResult = 0;
      if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), lResult)) return FALSE;
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, lResult);
      return TRUE;
    }
    case WM_DRAWITEM:
      return OnDrawItem(static_cast<int>(wParam), reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_CTLCOLORSTATIC: {
      // The header band and its texts are drawn on white.
      const HWND hControl = reinterpret_cast<HWND>(lParam);
      const HDC hDC = reinterpret_cast<HDC>(wParam);
      for (const CKVIStaticTitle* pTitle : {&m_stHeaderBand, &m_stSubTitle, &m_stTitle, &m_stHeaderPicture}) {
        if (hControl && pTitle->kGetSafeHwnd() == hControl) return reinterpret_cast<INT_PTR>(pTitle->kOnCtlColor(hDC));
      }
      return FALSE;
    }
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default: {
      LRESULT lResult = 0;
      if (!OnMessage(uMsg, wParam, lParam, lResult)) return FALSE;
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, lResult);
      return TRUE;
    }
  }
}

BOOL CKVIDlgForm::OnInitDialog() {
  m_stHeaderBand.kAttach(GetDlgItem(IDC_HEADER_BAND));
  m_stSubTitle.kAttach(GetDlgItem(IDC_SUBTITLE));
  m_stTitle.kAttach(GetDlgItem(IDC_TITLE));
  m_stHeaderPicture.kAttach(GetDlgItem(IDC_HEADER_PICTURE));
  m_hGuide = GetDlgItem(IDC_GUIDE);

  // The title: the control's own font, two units larger and bold.
  if (HWND hTitle = m_stTitle.kGetSafeHwnd()) {
    HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(hTitle, WM_GETFONT, 0, 0));
    LOGFONTA lf = {};
    if (hFont && GetObjectA(hFont, sizeof(lf), &lf) == static_cast<int>(sizeof(lf))) {
      lf.lfHeight -= 2;
      lf.lfWeight = FW_BOLD;
      if (m_hTitleFont) DeleteObject(m_hTitleFont);
      m_hTitleFont = CreateFontIndirectA(&lf);
      if (m_hTitleFont) SendMessageA(hTitle, WM_SETFONT, reinterpret_cast<WPARAM>(m_hTitleFont), TRUE);
    }
  }

  const std::string& strCaption = m_strCaption.empty() ? SETUP_GLOBAL.m_strDefaultCaption : m_strCaption;
  SetWindowTextA(m_hWnd, strCaption.c_str());
  kSetItemText(IDC_TITLE, m_strTitle);
  kSetItemText(IDC_SUBTITLE, m_strSubTitle);
  kSetItemText(IDC_GUIDE, m_strGuide);

  Sleep(kAppearanceDelay);
  kBringToForeground();

  const CSetupIniSettings* pIni = SETUP_GLOBAL.m_pSetupIniInfo;
  if (pIni && pIni->nIconType == 2) {
    HANDLE hBitmap = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_HEADER_ALT), IMAGE_BITMAP, 0, 0, 0);
    if (hBitmap) {
      SendDlgItemMessageA(m_hWnd, IDC_HEADER_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap));
    }
  }
  return TRUE;
}

void CKVIDlgForm::kBringToForeground() {
  // The page belongs in front even when another program's window has the
  // foreground: Windows grants it only to a thread sharing the foreground
  // thread's input.
  const HWND hForeground = GetForegroundWindow();
  const DWORD dwForegroundThread = hForeground ? GetWindowThreadProcessId(hForeground, nullptr) : 0;
  const DWORD dwPageThread = GetWindowThreadProcessId(m_hWnd, nullptr);
  if (dwForegroundThread != 0 && dwForegroundThread != dwPageThread) {
    AttachThreadInput(dwPageThread, dwForegroundThread, TRUE);
    SetForegroundWindow(m_hWnd);
    AttachThreadInput(dwPageThread, dwForegroundThread, FALSE);
  } else {
    SetForegroundWindow(m_hWnd);
  }
}

BOOL CKVIDlgForm::OnCommand(WORD wID, WORD wNotifyCode, HWND /*hControl*/) {
  if (wNotifyCode != BN_CLICKED) return FALSE;
  if (wID == IDOK) {
    OnOK();
    return TRUE;
  }
  if (wID == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  return FALSE;
}

void CKVIDlgForm::OnOK() { EndDialog(IDOK); }
void CKVIDlgForm::OnCancel() { EndDialog(IDCANCEL); }
void CKVIDlgForm::OnTimer(UINT_PTR /*nIDEvent*/) {}
BOOL CKVIDlgForm::OnNotify(NMHDR* /*pHeader*/, LRESULT& /*lResult*/) { return FALSE; }
BOOL CKVIDlgForm::OnDrawItem(int /*nIDCtl*/, const DRAWITEMSTRUCT* /*pDraw*/) { return FALSE; }
BOOL CKVIDlgForm::OnMessage(UINT /*uMsg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*lResult*/) {
  return FALSE;
}

void CKVIDlgForm::EndDialog(INT_PTR nResult) {
  if (m_hWnd) ::EndDialog(m_hWnd, nResult);
}

HWND CKVIDlgForm::GetDlgItem(int nID) const { return m_hWnd ? ::GetDlgItem(m_hWnd, nID) : nullptr; }

std::string CKVIDlgForm::kGetMessage(const char* pszKey) {
  CRscCommon* pRsc = SETUP_GLOBAL.m_pRscCommon.get();
  return pRsc ? pRsc->kGetMessageText(pszKey) : std::string();
}

void CKVIDlgForm::kSetItemMessage(int nID, const char* pszKey) { kSetItemText(nID, kGetMessage(pszKey)); }

void CKVIDlgForm::kSetItemText(int nID, const std::string& strText) {
  if (HWND h = GetDlgItem(nID)) SetWindowTextA(h, strText.c_str());
}

std::string CKVIDlgForm::kGetItemText(int nID) const {
  HWND h = GetDlgItem(nID);
  if (!h) return std::string();
  const int n = GetWindowTextLengthA(h);
  std::vector<char> buffer(static_cast<size_t>(n) + 1, 0);
  GetWindowTextA(h, buffer.data(), n + 1);
  return std::string(buffer.data());
}

void CKVIDlgForm::kEnableItem(int nID, BOOL bEnable) {
  if (HWND h = GetDlgItem(nID)) EnableWindow(h, bEnable);
}

void CKVIDlgForm::kShowItem(int nID, BOOL bShow) {
  if (HWND h = GetDlgItem(nID)) ShowWindow(h, bShow ? SW_SHOW : SW_HIDE);
}

BOOL CKVIDlgForm::kStartOn(std::initializer_list<int> lstIDs) {
  // The page itself is not shown yet while WM_INITDIALOG runs, so
  // IsWindowVisible is FALSE for every control: a control counts as shown
  // by its own WS_VISIBLE style.
  for (const int nID : lstIDs) {
    HWND h = GetDlgItem(nID);
    if (h && (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) && IsWindowEnabled(h)) {
      SetFocus(h);
      return FALSE;
    }
  }
  return TRUE;
}

BOOL CKVIDlgForm::kIsChecked(int nID) const {
  return m_hWnd && IsDlgButtonChecked(m_hWnd, nID) == BST_CHECKED;
}

void CKVIDlgForm::kSetCheck(int nID, BOOL bCheck) {
  if (m_hWnd) CheckDlgButton(m_hWnd, nID, bCheck ? BST_CHECKED : BST_UNCHECKED);
}

BOOL CKVIDlgForm::kIsItemEnabled(int nID) const {
  HWND h = GetDlgItem(nID);
  return h && IsWindowEnabled(h);
}

void CKVIDlgForm::kPlaceHeaderPicture(int nFrameID) {
  HWND hFrame = GetDlgItem(nFrameID);
  HWND hPicture = GetDlgItem(IDC_HEADER_PICTURE);
  if (!hFrame || !hPicture) return;
  RECT rcFrame, rcPicture;
  if (!GetWindowRect(hFrame, &rcFrame) || !GetWindowRect(hPicture, &rcPicture)) return;
  // Both rectangles into the page's client coordinates.
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcFrame), 2);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rcPicture), 2);
  const int nPictureWidth = rcPicture.right - rcPicture.left;
  const int nPictureHeight = rcPicture.bottom - rcPicture.top;
  const int nMargin = ((rcFrame.bottom - rcFrame.top) - nPictureHeight) / 2;
  MoveWindow(hPicture, rcFrame.right - nMargin - nPictureWidth, rcFrame.top + nMargin, nPictureWidth, nPictureHeight,
             TRUE);
}
