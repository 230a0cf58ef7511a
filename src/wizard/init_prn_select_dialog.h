// The initial-settings page: the new printers whose driver asks for its
// property sheet, all checked; OK confirms that their sheets open, Cancel
// skips them.
#pragma once

#include "wizard/usb_page.h"

class CInitPrnSelectDialog : public CUsbPage {
 public:
  explicit CInitPrnSelectDialog(CKV_SETUPApp& app);

 protected:
  BOOL OnInitDialog() override;
  void kOnCommand(int nId, int nCode) override;
  // The list's lines: a check box showing the line's check, then the name.
  BOOL OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) override;
};
