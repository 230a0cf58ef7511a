// The page after the installation: it asks for the printer to be connected
// and switched on, and waits until Windows reports the new device and has
// installed it with the new driver. A printer Windows already knows but
// left without a driver is updated with the new driver at once. When
// nothing arrives in time, the time-out question asks whether to wait
// again or give up automatic detection.
#pragma once

#include <string>

#include "wizard/power_picture.h"
#include "wizard/usb_page.h"

class CPowerOnDialog : public CUsbPage {
 public:
  explicit CPowerOnDialog(CKV_SETUPApp& app);
  ~CPowerOnDialog() override;

  // The device key fragment and the delete string made from a hardware ID.
  static std::string kMakePnpDevRegKey(const std::string& strHardwareID);
  static std::string kMakeDeleteDeviceString(const std::string& strHardwareID);
  // The page's wait in milliseconds: USBConnectWaitTime (60 to 600 s),
  // 180 s when the configuration has no usable value.
  static UINT kWaitTime(DWORD dwConfigured);

  BOOL kIsInstalledDevice();
  BOOL kIsInstalledUnkownDeviceWin2k(const std::string& strPnpDevRegKey);
  int kInstallUnKnownDeviceWin2k(const std::string& strHardwareID, const std::string& strInfPath);
  BOOL SetLogPalete(UINT nResource, int nPaletteIndex);

 protected:
  BOOL OnInitDialog() override;
  void kOnCommand(int nId, int nCode) override;
  void OnTimer(UINT_PTR nId) override;
  BOOL OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
  BOOL OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) override;

 private:
  BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
  void kOnTimeoutConfirm();
  // Kills the timer, unregisters the notification and frees user32.dll.
  void kStopWaiting(BOOL bUnregister);

  std::string m_strPnpDevRegKey;
  std::string m_strDeleteDeviceString;
  BOOL m_bInstalledUnkownDeviceWin2k = FALSE;
  BOOL m_bUnKnownDeviceInstalled = FALSE;
  BOOL m_bProcOnDeviceChange = FALSE;
  int m_nInitialDeviceCount = 0;
  HMODULE m_hUser32 = nullptr;
  HDEVNOTIFY m_hDevNotify = nullptr;
  UINT m_uWaitTime = 180000;
  CPowerPicture m_Picture;
};

// The time-out question: Retry (1) or stop automatic detection (2).
class CTimeoutDialog : public CUsbPage {
 public:
  // uWaitSeconds: how long the page waited, for the message.
  CTimeoutDialog(CKV_SETUPApp& app, UINT uWaitSeconds);

 protected:
  BOOL OnInitDialog() override;

 private:
  UINT m_uWaitSeconds;
};
