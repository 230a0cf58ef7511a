// The page before the installation: the printer must be disconnected or
// switched off. It shows the power-off picture and counts nothing itself
// (the frame counts the installed devices after it).
#pragma once

#include "wizard/power_picture.h"
#include "wizard/usb_page.h"

// Loads a page's picture: the package's bitmap file named by the
// configuration when there is one and it checks out, else the program's
// own bitmap resource. pszPage is "CPowerOffDialog" or "CPowerOnDialog",
// pszWhich "PowerOff" or "PowerOn" (for the detail log).
BOOL kLoadPowerPicture(CKV_SETUPApp& app, CPowerPicture& picture, const std::string& strConfigured, UINT nResource,
                       int nPaletteIndex, const char* pszPage, const char* pszWhich);

class CPowerOffDialog : public CUsbPage {
 public:
  explicit CPowerOffDialog(CKV_SETUPApp& app);
  BOOL SetLogPalete(UINT nResource, int nPaletteIndex);
  const CPowerPicture& kGetPicture() const { return m_Picture; }

 protected:
  BOOL OnInitDialog() override;
  void kOnCommand(int nId, int nCode) override;
  BOOL OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) override;

 private:
  CPowerPicture m_Picture;
};
