// The update page: the printers whose drivers the update renews.
#pragma once

#include "wizard/kvi_dlg_form.h"

class CUpdatePrinterDialog : public CKVIDlgForm {
 public:
  explicit CUpdatePrinterDialog(HWND hWndParent);

 protected:
  BOOL OnInitDialog() override;
};
