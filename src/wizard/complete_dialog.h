// The completion page: whether the installation succeeded, the installation
// report and, when a restart is needed, the choice to restart now.
#pragma once

#include "wizard/kvi_dlg_form.h"

class CCompleteDialog : public CKVIDlgForm {
 public:
  explicit CCompleteDialog(HWND hWndParent);
  // TRUE when the installation counts as successful (a needed restart
  // included; a warning does not matter).
  static BOOL kIsInsutallSucceed();

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
};
