#include "wizard/adv_list_ctrl.h"

#include <algorithm>

#include "system/program_log.h"

namespace {

// The space between a cell's edge and what is drawn in it.
int frameMargin() { return GetSystemMetrics(SM_CXEDGE); }

}  // namespace

CAdvListCtrl::~CAdvListCtrl() {
  // The records go with the list; the window may be gone already.
  kFreeAllRecords();
}

void CAdvListCtrl::kFreeAllRecords() {
  for (auto& page : m_lstPages) {
    for (CAlvItem& item : *page) {
      if (item.pData) DeleteItemData(item.pData);
      item.pData = nullptr;
    }
  }
}

BOOL CAdvListCtrl::kAttach(HWND hList) {
  m_hWnd = hList;
  if (!m_hWnd) return FALSE;
  m_Header.kAttach(reinterpret_cast<HWND>(SendMessageA(m_hWnd, LVM_GETHEADER, 0, 0)));
  const DWORD dwEx = static_cast<DWORD>(SendMessageA(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  SendMessageA(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, dwEx | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  return TRUE;
}

void CAdvListCtrl::kSetImageList(HIMAGELIST hImageList) {
  m_hImageList = hImageList;
  if (m_hWnd) SendMessageA(m_hWnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(hImageList));
}

int CAdvListCtrl::kInsertColumn(int nColumn, const std::string& strText, int nFormat, int nWidth) {
  LVCOLUMNA column = {};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = nFormat;
  column.cx = nWidth;
  column.pszText = const_cast<char*>(strText.c_str());
  column.iSubItem = nColumn;
  const int nResult = static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(nColumn),
                                                    reinterpret_cast<LPARAM>(&column)));
  if (nResult >= 0) ++m_nColumns;
  return nResult;
}

int CAdvListCtrl::kColumnCount() const { return m_nColumns; }

CAlvItem* CAdvListCtrl::kNewItem() {
  if (!m_lstFree.empty()) {
    CAlvItem* pItem = m_lstFree.back();
    m_lstFree.pop_back();
    return pItem;
  }
  if (m_nUsed == m_lstPages.size() * kPageSize) m_lstPages.push_back(std::make_unique<std::array<CAlvItem, kPageSize>>());
  CAlvItem* pItem = &(*m_lstPages[m_nUsed / kPageSize])[m_nUsed % kPageSize];
  ++m_nUsed;
  return pItem;
}

int CAdvListCtrl::kAddItem(void* pData, BOOL bBold) {
  CAlvItem* pItem = kNewItem();
  pItem->pData = pData;
  pItem->nCheck = 0;
  pItem->bBold = bBold;
  const std::string strText = GetItemText(pData, 0);
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM | (m_hImageList ? LVIF_IMAGE : 0);
  item.iItem = kGetItemCount();
  item.pszText = const_cast<char*>(strText.c_str());
  item.lParam = reinterpret_cast<LPARAM>(pItem);
  item.iImage = m_hImageList ? RequestImage(pData, 0) : 0;
  const int nItem = static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  if (nItem < 0) {
    DeleteItemData(pData);
    *pItem = CAlvItem();
    m_lstFree.push_back(pItem);
    return -1;
  }
  kRefreshItem(nItem);
  return nItem;
}

void CAdvListCtrl::kRefreshItem(int nItem) {
  const CAlvItem* pItem = kGetItem(nItem);
  if (!pItem) return;
  for (int nColumn = 1; nColumn < kColumnCount(); ++nColumn) {
    const std::string strText = GetItemText(pItem->pData, nColumn);
    LVITEMA item = {};
    item.iSubItem = nColumn;
    item.pszText = const_cast<char*>(strText.c_str());
    SendMessageA(m_hWnd, LVM_SETITEMTEXTA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item));
  }
}

int CAdvListCtrl::kGetItemCount() const {
  return m_hWnd ? static_cast<int>(SendMessageA(m_hWnd, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

const CAlvItem* CAdvListCtrl::kGetItem(int nItem) const {
  if (!m_hWnd || nItem < 0) return nullptr;
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = nItem;
  if (!SendMessageA(m_hWnd, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<const CAlvItem*>(item.lParam);
}

void* CAdvListCtrl::kGetItemData(int nItem) const {
  const CAlvItem* pItem = kGetItem(nItem);
  return pItem ? pItem->pData : nullptr;
}

int CAdvListCtrl::kGetSelectedItem() const {
  if (!m_hWnd) return -1;
  return static_cast<int>(SendMessageA(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CAdvListCtrl::kSelectItem(int nItem) {
  if (!m_hWnd) return;
  ListView_SetItemState(m_hWnd, nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CAdvListCtrl::kDeleteAllItems() {
  const int nCount = kGetItemCount();
  for (int n = 0; n < nCount; ++n) {
    CAlvItem* pItem = const_cast<CAlvItem*>(kGetItem(n));
    if (!pItem) continue;
    if (pItem->pData) DeleteItemData(pItem->pData);
    *pItem = CAlvItem();
    m_lstFree.push_back(pItem);
  }
  if (m_hWnd) SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0);
}

void CAdvListCtrl::kBeginSort(int /*nColumn*/, const std::vector<void*>& /*lstData*/) {}

void CAdvListCtrl::kEndSort() {}

BOOL CAdvListCtrl::kSort(int nColumn, BOOL bAscending) {
  if (!m_hWnd) return FALSE;
  m_Header.m_nSortColumn = nColumn;
  m_Header.m_bAscending = bAscending;
  // The items are taken out in their order, sorted stably and put back, so
  // that items comparing equal keep their order in either build.
  struct Entry {
    CAlvItem* pItem;
    UINT uState;
  };
  std::vector<Entry> lstEntries;
  const int nCount = kGetItemCount();
  for (int n = 0; n < nCount; ++n) {
    CAlvItem* pItem = const_cast<CAlvItem*>(kGetItem(n));
    const UINT uState = static_cast<UINT>(SendMessageA(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(n),
                                                       LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK));
    if (pItem) lstEntries.push_back({pItem, uState});
  }
  std::vector<void*> lstData;
  lstData.reserve(lstEntries.size());
  for (const Entry& entry : lstEntries) lstData.push_back(entry.pItem->pData);
  kBeginSort(nColumn, lstData);
  std::stable_sort(lstEntries.begin(), lstEntries.end(), [&](const Entry& a, const Entry& b) {
    return CompareItems(a.pItem->pData, b.pItem->pData, nColumn, bAscending) < 0;
  });
  kEndSort();
  BOOL bComplete = TRUE;
  SendMessageA(m_hWnd, LVM_DELETEALLITEMS, 0, 0);
  for (size_t n = 0; n < lstEntries.size(); ++n) {
    const Entry& entry = lstEntries[n];
    const std::string strText = GetItemText(entry.pItem->pData, 0);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE | (m_hImageList ? LVIF_IMAGE : 0);
    item.iItem = static_cast<int>(n);
    item.pszText = const_cast<char*>(strText.c_str());
    item.lParam = reinterpret_cast<LPARAM>(entry.pItem);
    item.state = entry.uState;
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK;
    item.iImage = m_hImageList ? RequestImage(entry.pItem->pData, 0) : 0;
    const int nItem = static_cast<int>(SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (nItem >= 0) {
      kRefreshItem(nItem);
    } else {
      bComplete = FALSE;
    }
  }
  return bComplete;
}

int CAdvListCtrl::kCalcColumnWidth(int nColumn) const {
  if (!m_hWnd || (GetWindowLongPtrA(m_hWnd, GWL_STYLE) & LVS_TYPEMASK) != LVS_REPORT) return -1;
  const int nCount = kGetItemCount();
  if (nCount == 0) return 2 * GetSystemMetrics(SM_CXEDGE);
  auto* pSelf = const_cast<CAdvListCtrl*>(this);
  HDC hDC = GetDC(m_hWnd);
  HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
  // A list that was never given a font draws with the system's dialog font.
  if (!hFont) hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HFONT hBold = nullptr;
  LOGFONTA lf = {};
  if (hFont && GetObjectA(hFont, sizeof(lf), &lf) == static_cast<int>(sizeof(lf))) {
    lf.lfWeight = FW_BOLD;
    hBold = CreateFontIndirectA(&lf);
  }
  HGDIOBJ hOld = hFont ? SelectObject(hDC, hFont) : nullptr;
  int nWidest = 0;
  for (int n = 0; n < nCount; ++n) {
    const CAlvItem* pItem = kGetItem(n);
    if (!pItem) continue;
    const std::string strText = pSelf->GetItemText(pItem->pData, nColumn);
    SelectObject(hDC, (pItem->bBold && hBold) ? hBold : hFont);
    SIZE size = {};
    if (GetTextExtentPoint32A(hDC, strText.c_str(), static_cast<int>(strText.size()), &size)) {
      nWidest = std::max<int>(nWidest, size.cx);
    }
  }
  if (hOld) SelectObject(hDC, hOld);
  if (hBold) DeleteObject(hBold);
  ReleaseDC(m_hWnd, hDC);
  const DWORD dwEx = static_cast<DWORD>(SendMessageA(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  if (nColumn == 0) {
    nWidest += GetSystemMetrics(SM_CXSMICON) + GetSystemMetrics(SM_CXFRAME);
    if (dwEx & LVS_EX_CHECKBOXES) nWidest += GetSystemMetrics(SM_CXSMICON);
  } else if (pSelf->HasColumnImage(nColumn)) {
    nWidest += GetSystemMetrics(SM_CXSMICON) + GetSystemMetrics(SM_CXFRAME);
  }
  return nWidest;
}

void CAdvListCtrl::kAutoSizeColumn(int nColumn) {
  const int nWidth = kCalcColumnWidth(nColumn);
  if (nWidth >= 0) SendMessageA(m_hWnd, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nColumn), nWidth);
}

std::string CAdvListCtrl::kCutToolTip(const std::string& strText) {
  // The tooltip's own buffer holds 80 characters with the terminator.
  return strText.size() < kMaxToolTip ? strText : strText.substr(0, kMaxToolTip - 1);
}

std::string CAdvListCtrl::kGetToolTipText(int nItem, int nColumn) const {
  const CAlvItem* pItem = kGetItem(nItem);
  if (!pItem || nColumn < 0 || nColumn >= kColumnCount()) return std::string();
  return kCutToolTip(const_cast<CAdvListCtrl*>(this)->GetItemText(pItem->pData, nColumn));
}

BOOL CAdvListCtrl::kOnNotify(NMHDR* pHeader, LRESULT& lResult) {
  if (!pHeader) return FALSE;
  if (pHeader->code == TTN_GETDISPINFOA) {
    auto* pInfo = reinterpret_cast<NMTTDISPINFOA*>(pHeader);
    m_MsgBoard.m_strText = kGetToolTipText(m_nHotItem, m_nHotColumn);
    lstrcpynA(pInfo->szText, m_MsgBoard.m_strText.c_str(), sizeof(pInfo->szText));
    pInfo->lpszText = pInfo->szText;
    lResult = 0;
    return TRUE;
  }
  if (pHeader->code == TTN_GETDISPINFOW) {
    auto* pInfo = reinterpret_cast<NMTTDISPINFOW*>(pHeader);
    m_MsgBoard.m_strText = kGetToolTipText(m_nHotItem, m_nHotColumn);
    const int n = MultiByteToWideChar(CP_ACP, 0, m_MsgBoard.m_strText.c_str(), -1, pInfo->szText,
                                      static_cast<int>(sizeof(pInfo->szText) / sizeof(pInfo->szText[0])));
    if (n <= 0) pInfo->szText[0] = 0;
    pInfo->szText[sizeof(pInfo->szText) / sizeof(pInfo->szText[0]) - 1] = 0;
    pInfo->lpszText = pInfo->szText;
    lResult = 0;
    return TRUE;
  }
  if (pHeader->hwndFrom != m_hWnd) return FALSE;
  if (pHeader->code == LVN_HOTTRACK) {
    const auto* pView = reinterpret_cast<const NMLISTVIEW*>(pHeader);
    m_nHotItem = pView->iItem;
    m_nHotColumn = pView->iSubItem;
    lResult = 0;
    return TRUE;
  }
  if (pHeader->code == LVN_COLUMNCLICK) {
    const auto* pView = reinterpret_cast<const NMLISTVIEW*>(pHeader);
    const BOOL bAscending = m_Header.m_nSortColumn == pView->iSubItem ? !m_Header.m_bAscending : TRUE;
    kSort(pView->iSubItem, bAscending);
    lResult = 0;
    return TRUE;
  }
  if (pHeader->code == LVN_ITEMCHANGED) {
    const auto* pView = reinterpret_cast<const NMLISTVIEW*>(pHeader);
    if ((pView->uChanged & LVIF_STATE) && ((pView->uNewState ^ pView->uOldState) & LVIS_STATEIMAGEMASK)) {
      auto* pItem = const_cast<CAlvItem*>(kGetItem(pView->iItem));
      const int nOld = static_cast<int>(((pView->uOldState & LVIS_STATEIMAGEMASK) >> 12)) - 1;
      const int nNew = static_cast<int>(((pView->uNewState & LVIS_STATEIMAGEMASK) >> 12)) - 1;
      if (pItem) pItem->nCheck = nNew;
      ItemCheckChanged(pView->iItem, nOld, nNew);
    }
    return FALSE;  // the page may want the change too
  }
  return FALSE;
}

BOOL CAdvListCtrl::kOnDrawItem(const DRAWITEMSTRUCT* pDraw) {
  if (!pDraw || pDraw->hwndItem != m_hWnd) return FALSE;
  const CAlvItem* pItem = kGetItem(static_cast<int>(pDraw->itemID));
  if (!pItem) return TRUE;
  HDC hDC = pDraw->hDC;
  const BOOL bEnabled = IsWindowEnabled(m_hWnd);
  HFONT hFont = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
  HFONT hBold = nullptr;
  if (pItem->bBold && hFont) {
    LOGFONTA lf = {};
    if (GetObjectA(hFont, sizeof(lf), &lf) == static_cast<int>(sizeof(lf))) {
      lf.lfWeight = FW_BOLD;
      hBold = CreateFontIndirectA(&lf);
    }
  }
  HGDIOBJ hOldFont = SelectObject(hDC, hBold ? hBold : hFont);
  COLORREF crText, crBack;
  if ((pDraw->itemState & ODS_SELECTED) && bEnabled) {
    crText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    crBack = GetSysColor(COLOR_HIGHLIGHT);
  } else {
    crText = bEnabled ? static_cast<COLORREF>(SendMessageA(m_hWnd, LVM_GETTEXTCOLOR, 0, 0)) : GetSysColor(COLOR_GRAYTEXT);
    crBack = static_cast<COLORREF>(SendMessageA(m_hWnd, LVM_GETTEXTBKCOLOR, 0, 0));
    if (crBack == CLR_NONE) crBack = GetSysColor(COLOR_WINDOW);
  }
  HBRUSH hBack = CreateSolidBrush(crBack);
  const COLORREF crOldText = SetTextColor(hDC, crText);
  const COLORREF crOldBack = SetBkColor(hDC, crBack);
  const int nMargin = frameMargin();
  const DWORD dwEx = static_cast<DWORD>(SendMessageA(m_hWnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  int nLeft = pDraw->rcItem.left;
  for (int nColumn = 0; nColumn < kColumnCount(); ++nColumn) {
    const int nWidth = static_cast<int>(SendMessageA(m_hWnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nColumn), 0));
    RECT rcCell = {nLeft, pDraw->rcItem.top, nLeft + nWidth, pDraw->rcItem.bottom};
    FillRect(hDC, &rcCell, hBack);
    RECT rcText = rcCell;
    rcText.left += nMargin;
    rcText.right -= nMargin;
    if (nColumn == 0) {
      if (dwEx & LVS_EX_CHECKBOXES) rcText.left += GetSystemMetrics(SM_CXSMICON) + nMargin;
      if (m_hImageList && RequestImage(pItem->pData, 0) >= 0) rcText.left += GetSystemMetrics(SM_CXSMICON) + nMargin;
    }
    std::string strText = GetItemText(pItem->pData, nColumn);
    DrawTextExA(hDC, strText.data(), static_cast<int>(strText.size()), &rcText, GetColumnFormat(nColumn), nullptr);
    if (dwEx & LVS_EX_GRIDLINES) {
      HPEN hPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
      HGDIOBJ hOldPen = SelectObject(hDC, hPen);
      MoveToEx(hDC, rcCell.left, rcCell.bottom - 1, nullptr);
      LineTo(hDC, rcCell.right, rcCell.bottom - 1);
      MoveToEx(hDC, rcCell.right - 1, rcCell.top, nullptr);
      LineTo(hDC, rcCell.right - 1, rcCell.bottom);
      SelectObject(hDC, hOldPen);
      DeleteObject(hPen);
    }
    nLeft += nWidth;
  }
  SetTextColor(hDC, crOldText);
  SetBkColor(hDC, crOldBack);
  SelectObject(hDC, hOldFont);
  DeleteObject(hBack);
  if (hBold) DeleteObject(hBold);
  return TRUE;
}

void CAdvListCtrl::ItemCheckChanged(int nItem, int nOldCheck, int nNewCheck) {
  kProgramLog().kWriteLog("CAdvListCtrl::ItemCheckChanged nItem=%d nOldCheck=%d nNewCheck=%d\n", nItem, nOldCheck,
                          nNewCheck);
}

UINT CAdvListCtrl::GetColumnFormat(int /*nColumn*/) {
  return DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
}

void CAdvListCtrl::DeleteItemData(void* /*pData*/) {}

int CAdvListCtrl::RequestImage(void* /*pData*/, int /*nColumn*/) { return -1; }

BOOL CAdvListCtrl::HasColumnImage(int nColumn) { return nColumn == 0 && m_hImageList != nullptr; }
