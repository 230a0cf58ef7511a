#include "wizard/kvi_static_title.h"

#include "system/program_log.h"

CKVIStaticTitle::CKVIStaticTitle() {
  m_hBrush = CreateSolidBrush(RGB(0xFF, 0xFF, 0xFF));
  if (!m_hBrush) {
    kProgramLog().kWriteLog("CKVIStaticTitle::CKVIStaticTitle CreateSolidBrush fail. LastError=%u\n",
                            static_cast<unsigned>(GetLastError()));
  }
}

CKVIStaticTitle::~CKVIStaticTitle() {
  if (m_hBrush) DeleteObject(m_hBrush);
}

HBRUSH CKVIStaticTitle::kOnCtlColor(HDC hDC) const {
  if (!m_hBrush) return nullptr;
  SetBkColor(hDC, RGB(0xFF, 0xFF, 0xFF));
  return m_hBrush;
}
