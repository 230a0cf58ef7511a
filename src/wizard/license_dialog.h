// The licence page: the licence text of the chosen language (or the
// program's built-in text), agree or do not agree. OK only after agreeing.
#pragma once

#include <string>

#include "wizard/kvi_dlg_form.h"

class CLicenseDialog : public CKVIDlgForm {
 public:
  explicit CLicenseDialog(HWND hWndParent);
  // The built-in licence text (RCDATA 160 of the program); TRUE when loaded.
  BOOL kLoadBinaryData(std::string& strText);

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD wID, WORD wNotifyCode, HWND hControl) override;
};
