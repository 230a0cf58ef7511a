// The setup-kind page: add a printer (with a network search or a USB
// connection, never both) or update the printers in use.
#pragma once

#include "wizard/kvi_dlg_form.h"

class CSetupKindDialog : public CKVIDlgForm {
 public:
  explicit CSetupKindDialog(HWND hWndParent);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) override;
  void OnOK() override;

 private:
  void kOnClickNetwork();
  void kOnClickUsb();
};
