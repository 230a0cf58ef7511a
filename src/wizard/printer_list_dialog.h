// The list page: the printers the search found, in a sortable list of three
// columns (printer, address, description). Ends with 1 when a printer was
// chosen (its three texts are kept) and 2 on Cancel.
#pragma once

#include <string>
#include <vector>

#include "wizard/kvi_dlg_form.h"
#include "wizard/list_model.h"

class CNetworkPrinter;

// The page's list: a CListModel that tells the page how the user last
// sorted it.
class CPrinterListModel : public CListModel {
 public:
  int kGetSortColumn() const { return m_Header.m_nSortColumn; }
  BOOL kIsSortAscending() const { return m_Header.m_bAscending; }
};

class CPrinterListDialog : public CKVIDlgForm {
 public:
  // The columns' initial widths.
  static constexpr int kInitialWidths[3] = {135, 100, 295};

  CPrinterListDialog(HWND hWndParent, const std::vector<CNetworkPrinter>* pPrinters);

  // The chosen line's texts (after result 1).
  std::string m_strPrinterName;
  std::string m_strAddress;
  std::string m_strDescription;

  // The column widths after filling: nNeeded is each column's widest text
  // plus twice the average character width (column 0 with the small image),
  // nHeader each header's text plus the same margin, nClient the list's
  // client width. The description column gets max(needed, header); the
  // address column starts at max(needed, header) and gives up pixels, down
  // to its header's width, while column 0 would get less than its own
  // max(needed, header); column 0 takes what remains.
  static void kCalcColumnWidths(int nClient, const int nNeeded[3], const int nHeader[3], int nWidths[3]);

  // The list (for the tests).
  CPrinterListModel& kGetList() { return m_list; }
  // Fills the list from the printers and sorts it (by address the first
  // time, afterwards as the user last sorted).
  void kPrinterListDataSet();
  // TRUE when a line is selected; OK follows it.
  BOOL kIsSelectedDevice();

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL OnNotify(NMHDR* pHeader, LRESULT& lResult) override;
  BOOL OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) override;
  void OnDestroy() override;

 private:
  void kSetColumnWidths(const int nWidest[3]);

  const std::vector<CNetworkPrinter>* m_pPrinters;
  CPrinterListModel m_list;
  HIMAGELIST m_hImageList = nullptr;
  BOOL m_bFilled = FALSE;
};
