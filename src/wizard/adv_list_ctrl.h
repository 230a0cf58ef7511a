// The advanced list control: a report-view list of records that the list
// owns, sorted, imaged and texted by its subclass. The network printer list
// page uses it through CListModel.
//
// How a page uses it:
//   CListModel m_list;                                  // a member of the page
//   m_list.kAttach(GetDlgItem(IDC_PRINTER_LIST));        // in OnInitDialog
//   m_list.kInsertColumn(0, "Model", LVCFMT_LEFT, 120);  // columns
//   m_list.kAddItem(new CListModelRecord{...});          // the list owns the record
//   m_list.kSort(1, TRUE);                               // DoSort by a column
//   m_list.kAutoSizeColumn(0);                           // automatic width
//   // OnNotify of the page:  if (m_list.kOnNotify(pHeader, lResult)) return TRUE;
//   // OnDrawItem of the page: if (m_list.kOnDrawItem(pDraw)) return TRUE;
//   int n = m_list.kGetSelectedItem(); void* p = m_list.kGetItemData(n);
//
// Items keep their record, their check state and a bold flag (CAlvItem) in
// pages of 1024 entries; the list view's item parameter points at them.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"

// One item's data: the subclass's record, its check state and whether it is
// drawn bold.
struct CAlvItem {
  void* pData = nullptr;
  int nCheck = 0;
  BOOL bBold = FALSE;
};

// The column header of the list (the list view's own header control).
class CAlvHeader {
 public:
  void kAttach(HWND hHeader) { m_hWnd = hHeader; }
  HWND kGetSafeHwnd() const { return m_hWnd; }
  int m_nSortColumn = -1;
  BOOL m_bAscending = TRUE;

 private:
  HWND m_hWnd = nullptr;
};

// The message window of the list: the text its tooltip shows now.
class CAlvMsgBoard {
 public:
  std::string m_strText;
};

class CAdvListCtrl {
 public:
  // The longest tooltip text, in characters.
  static constexpr size_t kMaxToolTip = 80;

  CAdvListCtrl() = default;
  virtual ~CAdvListCtrl();
  CAdvListCtrl(const CAdvListCtrl&) = delete;
  CAdvListCtrl& operator=(const CAdvListCtrl&) = delete;

  // Takes over a list view of a page (report view expected).
  BOOL kAttach(HWND hList);
  HWND kGetSafeHwnd() const { return m_hWnd; }

  int kInsertColumn(int nColumn, const std::string& strText, int nFormat, int nWidth);
  // Adds a record at the end (the list owns it from now on and frees it
  // with DeleteItemData); the item's index, -1 on failure (the record is
  // freed then too).
  int kAddItem(void* pData, BOOL bBold = FALSE);
  int kGetItemCount() const;
  void* kGetItemData(int nItem) const;
  const CAlvItem* kGetItem(int nItem) const;
  // The selected item, -1 when none.
  int kGetSelectedItem() const;
  void kSelectItem(int nItem);
  void kDeleteAllItems();
  // Sorts by a column with CompareItems; items that compare equal keep
  // their order.
  // FALSE when the list has no window or an item could not be put back.
  BOOL kSort(int nColumn, BOOL bAscending);
  // The automatic width of a column (report view only), and setting it.
  int kCalcColumnWidth(int nColumn) const;
  void kAutoSizeColumn(int nColumn);
  void kSetImageList(HIMAGELIST hImageList);
  // A text cut to the tooltip's length.
  static std::string kCutToolTip(const std::string& strText);
  // The tooltip text of a cell (cut), empty outside the items.
  std::string kGetToolTipText(int nItem, int nColumn) const;

  // The page passes on its WM_NOTIFY and WM_DRAWITEM; TRUE when the list
  // took the message.
  BOOL kOnNotify(NMHDR* pHeader, LRESULT& lResult);
  BOOL kOnDrawItem(const DRAWITEMSTRUCT* pDraw);

  // ---- What the subclass provides ------------------------------------------
  virtual void ItemCheckChanged(int nItem, int nOldCheck, int nNewCheck);
  virtual UINT GetColumnFormat(int nColumn);
  virtual void DeleteItemData(void* pData);
  virtual int CompareItems(void* pA, void* pB, int nColumn, BOOL bAscending) = 0;
  virtual std::string GetItemText(void* pData, int nColumn) = 0;
  virtual int RequestImage(void* pData, int nColumn);
  virtual BOOL HasColumnImage(int nColumn);

 protected:
  // kSort calls these around the sort, with every record about to be
  // compared: a subclass can work out once per record what CompareItems
  // needs of it, instead of once per comparison.
  virtual void kBeginSort(int nColumn, const std::vector<void*>& lstData);
  virtual void kEndSort();

  CAlvItem* kNewItem();
  void kRefreshItem(int nItem);
  // Frees every record the list holds (with DeleteItemData), whether or not
  // its window still exists. A subclass that owns its records calls it from
  // its own destructor: the base destructor can only reach the base's
  // DeleteItemData.
  void kFreeAllRecords();
  int kColumnCount() const;

  HWND m_hWnd = nullptr;
  HIMAGELIST m_hImageList = nullptr;
  CAlvHeader m_Header;
  CAlvMsgBoard m_MsgBoard;
  int m_nHotItem = -1;
  int m_nHotColumn = -1;
  int m_nColumns = 0;

 private:
  static constexpr size_t kPageSize = 1024;
  std::vector<std::unique_ptr<std::array<CAlvItem, kPageSize>>> m_lstPages;
  size_t m_nUsed = 0;
  std::vector<CAlvItem*> m_lstFree;
};
