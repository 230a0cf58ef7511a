// The manual-port page, shown when the USB printer was not detected: the
// external installer will ask for the port. Ends with 1 (go on), 2 (Cancel)
// or kBack (back to the USB wait).
#pragma once

#include "wizard/kvi_dlg_form.h"

class CAddForcePrinterDialog : public CKVIDlgForm {
 public:
  static constexpr INT_PTR kBack = 1012;
  explicit CAddForcePrinterDialog(HWND hWndParent);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) override;
};
