// The USB model page: the models of the package that can be installed for
// a USB connection on this platform. A single model is taken without
// showing the page.
#pragma once

#include "wizard/kvi_dlg_form.h"

class CUsbPrinterList : public CKVIDlgForm {
 public:
  explicit CUsbPrinterList(HWND hWndParent);
  // Fills the model list (list box 1029) and returns how many models it
  // holds; with exactly one, that model is the selected USB candidate.
  int kMakeUsbPrinterList();

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) override;
  void OnOK() override;
};
