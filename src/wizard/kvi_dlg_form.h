// The common base of every wizard page: a modal dialog built from one of the
// program's dialog templates, with the white header band (title, subtitle,
// picture), the guide text, and the page start every page shares (title
// font, texts, the one-second appearance, the foreground rule, the picture
// of the configured icon type).
//
// How a page is written:
//   class CMyPage : public CKVIDlgForm {
//    public:
//     explicit CMyPage(HWND hParent) : CKVIDlgForm(IDD_MYPAGE, hParent) {}
//    protected:
//     BOOL OnInitDialog() override {
//       m_strCaption = kGetMessage(msgid::IDS_...);   // the four texts first,
//       m_strTitle = ...; m_strSubTitle = ...; m_strGuide = ...;
//       CKVIDlgForm::OnInitDialog();                  // then the page start,
//       kPlaceHeaderPicture(IDC_HEADER_FRAME_1012);    // then the page's own work
//       return TRUE;
//     }
//     BOOL OnCommand(WORD wID, WORD wCode, HWND hCtl) override;  // buttons, boxes
//   };
//   INT_PTR nResult = CMyPage(hFrame).DoModal();       // 1 OK, 2 Cancel, -1 not created
//
// Every message reaches the page on the user-interface thread, in this order
// of hooks: WM_INITDIALOG -> OnInitDialog; WM_COMMAND -> OnCommand (the
// default calls OnOK for IDOK and OnCancel for IDCANCEL); WM_TIMER -> OnTimer;
// WM_NOTIFY -> OnNotify; WM_DRAWITEM -> OnDrawItem; registered messages
// (0xC000 and up), WM_APP messages and WM_DEVICECHANGE -> OnMessage. A hook
// returns TRUE when it handled the message.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>

#include "platform/win32.h"
#include "wizard/kvi_static_title.h"

class CKVIDlgForm {
 public:
  CKVIDlgForm(UINT nIDTemplate, HWND hWndParent);
  virtual ~CKVIDlgForm();
  CKVIDlgForm(const CKVIDlgForm&) = delete;
  CKVIDlgForm& operator=(const CKVIDlgForm&) = delete;

  // Shows the page modally and returns its result: 1 (OK or Next),
  // 2 (Cancel), another value a page ends with, or -1 when the page could
  // not be created.
  INT_PTR DoModal();

  HWND kGetSafeHwnd() const { return m_hWnd; }
  UINT kGetTemplateId() const { return m_nIDTemplate; }

  // The seam of the frame's tests: while a runner is set, DoModal hands the
  // page to it instead of showing it, and returns what the runner returns.
  // An empty function shows the pages again.
  using PageRunner = std::function<INT_PTR(CKVIDlgForm& page)>;
  static void kSetPageRunner(PageRunner runner);

  // The window caption (m_strDefaultCaption when empty), title, subtitle and
  // guide; a page sets them before the page start runs.
  std::string m_strCaption;
  std::string m_strTitle;
  std::string m_strSubTitle;
  std::string m_strGuide;

 protected:
  // The page start; a page calls it first in its own OnInitDialog, after
  // setting the four texts. Returns TRUE (the focus goes to the first control).
  virtual BOOL OnInitDialog();
  virtual BOOL OnCommand(WORD wID, WORD wNotifyCode, HWND hControl);
  // End the page with 1 and 2.
  virtual void OnOK();
  virtual void OnCancel();
  virtual void OnTimer(UINT_PTR nIDEvent);
  virtual BOOL OnNotify(NMHDR* pHeader, LRESULT& lResult);
  virtual BOOL OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw);
  // Registered messages, WM_APP messages, WM_DEVICECHANGE and anything the
  // other hooks do not take.
  virtual BOOL OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
  // The page window is going away (kill timers, stop threads here).
  virtual void OnDestroy() {}

  void EndDialog(INT_PTR nResult);
  HWND GetDlgItem(int nID) const;

  // ---- Helpers of the pages ----------------------------------------------
  // The catalogue text of a message id in the current language.
  static std::string kGetMessage(const char* pszKey);
  // A control's text from the catalogue, or as given.
  void kSetItemMessage(int nID, const char* pszKey);
  void kSetItemText(int nID, const std::string& strText);
  std::string kGetItemText(int nID) const;
  void kEnableItem(int nID, BOOL bEnable);
  void kShowItem(int nID, BOOL bShow);
  // Puts the first focus on the first of the controls that is visible and
  // enabled, and returns what the page's WM_INITDIALOG then answers (FALSE
  // when it set the focus). A read-only text box that took the dialog's
  // first focus would open with all its text selected and scrolled to its
  // end; pages with a long text start on a button instead.
  BOOL kStartOn(std::initializer_list<int> lstIDs);
  BOOL kIsChecked(int nID) const;
  void kSetCheck(int nID, BOOL bCheck);
  BOOL kIsItemEnabled(int nID) const;
  // Moves the header picture 1047 so that its top and right margins inside
  // the header frame nFrameID are equal: half of (frame height minus
  // picture height).
  void kPlaceHeaderPicture(int nFrameID);

  HWND m_hWnd = nullptr;
  HWND m_hWndParent = nullptr;
  UINT m_nIDTemplate = 0;
  CKVIStaticTitle m_stHeaderBand;     // 1006
  CKVIStaticTitle m_stSubTitle;       // 51
  CKVIStaticTitle m_stTitle;          // 50
  CKVIStaticTitle m_stHeaderPicture;  // 1047
  HWND m_hGuide = nullptr;            // 1002
  HFONT m_hTitleFont = nullptr;

 private:
  static INT_PTR CALLBACK kDialogProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
  INT_PTR kHandle(UINT uMsg, WPARAM wParam, LPARAM lParam);
  void kBringToForeground();
};
