// The static controls of a page's white header band (the band, the title,
// the subtitle and the picture): each is drawn on a white brush of its own.
#pragma once

#include "platform/win32.h"

class CKVIStaticTitle {
 public:
  // Creates the white brush (a failure is logged; the control then keeps
  // the dialog's colours).
  CKVIStaticTitle();
  ~CKVIStaticTitle();
  CKVIStaticTitle(const CKVIStaticTitle&) = delete;
  CKVIStaticTitle& operator=(const CKVIStaticTitle&) = delete;

  void kAttach(HWND hWnd) { m_hWnd = hWnd; }
  HWND kGetSafeHwnd() const { return m_hWnd; }
  // The answer to the colour request of this control (WM_CTLCOLORSTATIC):
  // white background, the white brush. NULL when the brush is missing.
  HBRUSH kOnCtlColor(HDC hDC) const;

 private:
  HWND m_hWnd = nullptr;
  HBRUSH m_hBrush = nullptr;
};
