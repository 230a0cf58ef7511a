// The power-on page and the time-out question.
#include "wizard/power_on_dialog.h"

#include <dbt.h>
#include <newdev.h>

#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "res/resource.h"
#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/text_utility.h"
#include "wizard/power_off_dialog.h"

namespace {

constexpr UINT_PTR kWaitTimer = 1;
// GUID_DEVINTERFACE_USB_DEVICE
constexpr GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr const char kUsbPrintKey[] = "SYSTEM\\CURRENTCONTROLSET\\ENUM\\USBPRINT";
// The device's configuration flags that mean "no working driver".
constexpr DWORD kConfigFlagReinstall = 0x20;       // CONFIGFLAG_REINSTALL
constexpr DWORD kConfigFlagFailedInstall = 0x40;   // CONFIGFLAG_FAILEDINSTALL
constexpr DWORD kConfigFlagFinishInstall = 0x400;  // CONFIGFLAG_FINISH_INSTALL

std::vector<std::string> subKeysOf(HKEY hKey) {
  std::vector<std::string> out;
  for (DWORD i = 0;; ++i) {
    char szName[256];
    DWORD cch = sizeof szName;
    if (RegEnumKeyExA(hKey, i, szName, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    out.emplace_back(szName, cch);
  }
  return out;
}

// A device counts as installed only with its driver in place: a device
// whose installation failed or is unfinished keeps its description but has
// no driver key.
bool deviceHasDriver(CDriverInfomation& facade, HDEVINFO hSet, SP_DEVINFO_DATA* pData) {
  DWORD dwFlags = 0;
  if (facade.kSetupDiGetDeviceRegistryProperty(hSet, pData, SPDRP_CONFIGFLAGS, nullptr,
                                               reinterpret_cast<PBYTE>(&dwFlags), sizeof dwFlags, nullptr) &&
      (dwFlags & (kConfigFlagFailedInstall | kConfigFlagFinishInstall | kConfigFlagReinstall)) != 0) {
    return false;
  }
  char szDriver[256] = {};
  return facade.kSetupDiGetDeviceRegistryProperty(hSet, pData, SPDRP_DRIVER, nullptr, reinterpret_cast<PBYTE>(szDriver),
                                                  sizeof szDriver - 1, nullptr) &&
         szDriver[0] != '\0';
}

}  // namespace

// ---- The application's device count ---------------------------------------------

int CKV_SETUPApp::kIsInstalledDeviceCount(HWND hWnd) {
  HDEVINFO hSet = m_pDriverInfomation->kSetupDiGetClassDevs(nullptr, nullptr, hWnd, DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (hSet == INVALID_HANDLE_VALUE) return 0;
  int nCount = 0;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; m_pDriverInfomation->kSetupDiEnumDeviceInfo(hSet, i, &data); ++i) {
    char szDesc[256] = {};
    if (m_pDriverInfomation->kSetupDiGetDeviceRegistryProperty(hSet, &data, SPDRP_DEVICEDESC, nullptr,
                                                               reinterpret_cast<PBYTE>(szDesc), sizeof szDesc - 1,
                                                               nullptr) &&
        kIEquals(szDesc, m_CDE.strDriverName) && deviceHasDriver(*m_pDriverInfomation, hSet, &data)) {
      ++nCount;
    }
  }
  m_pDriverInfomation->kSetupDiDestroyDeviceInfoList(hSet);
  kProgramLog().kWriteLog("CKV_SETUPApp::kIsInstalledDeviceCount() return [%d]\n", nCount);
  return nCount;
}

// ---- Power-on page -----------------------------------------------------------------

CPowerOnDialog::CPowerOnDialog(CKV_SETUPApp& app) : CUsbPage(app, IDD_POWERON) {}

CPowerOnDialog::~CPowerOnDialog() { kStopWaiting(TRUE); }

std::string CPowerOnDialog::kMakePnpDevRegKey(const std::string& strHardwareID) {
  if (strHardwareID.empty()) {
    kProgramLog().kWriteLog("CPowerOnDialog::kMakePnpDevRegKey() return (1) LastError=%u strHardwareID is empty.\n",
                            GetLastError());
    return {};
  }
  const size_t n = strHardwareID.find('\\');
  if (n != std::string::npos && n + 1 >= strHardwareID.size()) {
    kProgramLog().kWriteLog(
        "CPowerOnDialog::kMakePnpDevRegKey() return (2) LastError=%u separator not found in strHardwareID.\n",
        GetLastError());
    return {};
  }
  // An ID without the enumerator ("MakerModelXXXX", the compatible form
  // Windows gives every USB printer too) is the model part itself.
  const std::string strPart = n == std::string::npos ? strHardwareID : strHardwareID.substr(n + 1);
  return strPart.size() < 5 ? strPart : strPart.substr(0, strPart.size() - 4);
}

std::string CPowerOnDialog::kMakeDeleteDeviceString(const std::string& strHardwareID) {
  if (strHardwareID.empty()) {
    kProgramLog().kWriteLog(
        "CPowerOnDialog::kMakeDeleteDeviceString() return (1) LastError=%u strHardwareID is empty.\n", GetLastError());
    return {};
  }
  return strHardwareID.size() < 5 ? strHardwareID : strHardwareID.substr(0, strHardwareID.size() - 4);
}

UINT CPowerOnDialog::kWaitTime(DWORD dwConfigured) {
  if (dwConfigured < 60000 || dwConfigured > 600000) return 180000;
  return dwConfigured;
}

BOOL CPowerOnDialog::SetLogPalete(UINT nResource, int nPaletteIndex) {
  return kLoadPowerPicture(m_app, m_Picture, m_app.m_strPowerOnBitmap, nResource, nPaletteIndex, "CPowerOnDialog",
                           "PowerOn");
}

void CPowerOnDialog::kStopWaiting(BOOL bUnregister) {
  if (m_hWnd) KillTimer(m_hWnd, kWaitTimer);
  if (m_hDevNotify && m_hUser32) {
    if (bUnregister) {
      auto pfnUnregister = kProcAs<decltype(&::UnregisterDeviceNotification)>(GetProcAddress(m_hUser32, "UnregisterDeviceNotification"));
      if (pfnUnregister) pfnUnregister(m_hDevNotify);
    }
    m_hDevNotify = nullptr;
  }
  if (m_hUser32) FreeLibrary(m_hUser32);
  m_hUser32 = nullptr;
}

BOOL CPowerOnDialog::OnInitDialog() {
  kSetPageTexts("IDS_DLG_POWERON_TITLE", "IDS_DLG_POWERON_SUBTITLE");
  SendDlgItemMessageA(m_hWnd, IDC_POWERON_ANIMATION, ACM_OPENA, reinterpret_cast<WPARAM>(GetModuleHandleA(nullptr)),
                      reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_AVI_POWERON)));
  SendDlgItemMessageA(m_hWnd, IDC_POWERON_ANIMATION, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, 0xFFFF));
  kSetItemText(IDCANCEL, "IDS_DLG_POWERON_IDCANCEL");
  kSetItemText(IDC_POWERON_ONE, "IDS_DLG_POWERON_ONE");
  kSetItemText(IDC_POWERON_TWO, "IDS_DLG_POWERON_TWO");
  kSetItemText(IDC_POWERON_THREE, "IDS_DLG_POWERON_THREE");
  kSetItemText(IDC_POWERON_OPE1, "IDS_DLG_POWERON_OPE1");
  kSetItemText(IDC_POWERON_OPE2, "IDS_DLG_POWERON_OPE2");
  kSetItemText(IDC_POWERON_OPE3, "IDS_DLG_POWERON_OPE3");
  kSetItemText(IDC_GUIDE, "IDS_DLG_POWERON_GUIDE1");
  kSetItemText(IDC_GUIDE2, "IDS_DLG_POWERON_GUIDE2");
  kSetItemText(IDC_POWERON_HARDWIZARD1, "IDS_DLG_POWERON_HARDWIZARD1");
  kSetItemText(IDC_POWERON_HARDWIZARD2, "IDS_DLG_POWERON_HARDWIZARD2");
  kSetItemText(IDC_POWERON_WAITING, "IDS_DLG_POWERON_WAITING");
  kHideItem(IDOK);

  m_hUser32 = LoadLibraryA("user32.dll");
  int nFail = 0;
  decltype(&::RegisterDeviceNotificationA) pfnRegister = nullptr;
  if (!m_hUser32) {
    nFail = 1;
  } else if (!(pfnRegister = kProcAs<decltype(&::RegisterDeviceNotificationA)>(GetProcAddress(m_hUser32, "RegisterDeviceNotificationA")))) {
    nFail = 2;
  } else {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kUsbDeviceInterface;
    m_hDevNotify = pfnRegister(m_hWnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!m_hDevNotify) nFail = 3;
  }
  if (nFail) {
    static const char* const kWhy[] = {"", "LoadLibrary fail.", "GetProcAddress fail.",
                                       "RegisterDeviceNotification fail."};
    kProgramLog().kWriteLog("CPowerOnDialog::OnInitDialog() return FALSE (%d) LastError=%u %s\n", nFail,
                            GetLastError(), kWhy[nFail]);
    kStopWaiting(FALSE);
    m_app.kDispErrorMessage("IDS_ERR_CANNOT_KEEPON", "", "", MB_OK | MB_ICONEXCLAMATION);
    return TRUE;
  }

  const CCandidateDriver& cde = m_app.m_CDE;
  m_strPnpDevRegKey = cde.strPnpDevRegKey.empty() ? kMakePnpDevRegKey(cde.strHardwareID) : cde.strPnpDevRegKey.str();
  m_strDeleteDeviceString =
      cde.strDeleteDeviceString.empty() ? kMakeDeleteDeviceString(cde.strHardwareID) : cde.strDeleteDeviceString.str();
  m_bInstalledUnkownDeviceWin2k = FALSE;
  m_bUnKnownDeviceInstalled = FALSE;
  m_bProcOnDeviceChange = TRUE;
  if (CEnvironment::kIsWin2k()) {
    m_bInstalledUnkownDeviceWin2k = kIsInstalledUnkownDeviceWin2k(m_strPnpDevRegKey);
    if (m_bInstalledUnkownDeviceWin2k && kInstallUnKnownDeviceWin2k(cde.strHardwareID, cde.strInfPath) == 1 &&
        kIsInstalledDevice()) {
      kProgramLog().kWriteLog("CPowerOnDialog::OnInitDialog() return TRUE (4)\n");
      kStopWaiting(TRUE);
      kEndDialog(1);
      return TRUE;
    }
  }
  SetLogPalete(IDB_POWERON, 46);
  m_uWaitTime = kWaitTime(m_app.m_pSetupIniInfo ? m_app.m_pSetupIniInfo->dwUSBConnectWaitTime : 0);
  kProgramLog().kWriteLog("CPowerOnDialog::OnInitDialog() wait time %u ms\n", m_uWaitTime);
  SetTimer(m_hWnd, kWaitTimer, m_uWaitTime, nullptr);
  m_nInitialDeviceCount = m_app.kIsInstalledDeviceCount(m_hWnd);
  // Only more installed devices than before the copy mean that the printer
  // came while the files were copied; fewer mean one was unplugged.
  if (m_nInitialDeviceCount > m_app.m_nInstalledDeviceCount) {
    kProgramLog().kWriteLog("CPowerOnDialog::OnInitDialog() return TRUE (5)\n");
    kStopWaiting(TRUE);
    kEndDialog(1);
  }
  return TRUE;
}

BOOL CPowerOnDialog::kIsInstalledDevice() {
  HDEVINFO hSet = m_app.m_pDriverInfomation->kSetupDiGetClassDevs(nullptr, nullptr, m_hWnd,
                                                                  DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (hSet == INVALID_HANDLE_VALUE) return FALSE;
  BOOL bFound = FALSE;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; !bFound && m_app.m_pDriverInfomation->kSetupDiEnumDeviceInfo(hSet, i, &data); ++i) {
    char szDesc[256] = {};
    if (!m_app.m_pDriverInfomation->kSetupDiGetDeviceRegistryProperty(
            hSet, &data, SPDRP_DEVICEDESC, nullptr, reinterpret_cast<PBYTE>(szDesc), sizeof szDesc - 1, nullptr)) {
      continue;
    }
    kProgramLog().kWriteLog("CPowerOnDialog::kIsInstalledDevice : %s\n", szDesc);
    if (kIEquals(szDesc, m_app.m_CDE.strDriverName) &&
        deviceHasDriver(*m_app.m_pDriverInfomation, hSet, &data)) {
      bFound = TRUE;
    }
  }
  m_app.m_pDriverInfomation->kSetupDiDestroyDeviceInfoList(hSet);
  return bFound;
}

BOOL CPowerOnDialog::kIsInstalledUnkownDeviceWin2k(const std::string& strPnpDevRegKey) {
  auto done = [](BOOL bResult, int nExit) {
    kProgramLog().kWriteLog("CPowerOnDialog::kIsInstalledUnkownDeviceWin2k() return %s (%d)\n",
                            bResult ? "TRUE" : "FALSE", nExit);
    return bResult;
  };
  CRegKeyOwner root;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsbPrintKey, 0, KEY_READ, root.kOut()) != ERROR_SUCCESS) return done(FALSE, 1);
  std::string strDevice;
  for (const std::string& strName : subKeysOf(root.kGet())) {
    if (!strPnpDevRegKey.empty() && strName.find(strPnpDevRegKey) != std::string::npos) strDevice = strName;
  }
  if (strDevice.empty()) return done(FALSE, 2);
  CRegKeyOwner device;
  if (RegOpenKeyExA(root.kGet(), strDevice.c_str(), 0, KEY_READ, device.kOut()) != ERROR_SUCCESS) return done(FALSE, 3);
  const std::vector<std::string> lstInstance = subKeysOf(device.kGet());
  if (lstInstance.empty()) return done(FALSE, 4);
  CRegKeyOwner instance;
  if (RegOpenKeyExA(device.kGet(), lstInstance.front().c_str(), 0, KEY_READ, instance.kOut()) != ERROR_SUCCESS) {
    return done(FALSE, 5);
  }
  char szClass[128] = {};
  DWORD cb = sizeof szClass;
  if (RegQueryValueExA(instance.kGet(), "Class", nullptr, nullptr, reinterpret_cast<LPBYTE>(szClass), &cb) !=
      ERROR_SUCCESS) {
    m_bProcOnDeviceChange = TRUE;
    return done(TRUE, 8);
  }
  DWORD dwFlags = 0;
  cb = sizeof dwFlags;
  if (RegQueryValueExA(instance.kGet(), "ConfigFlags", nullptr, nullptr, reinterpret_cast<LPBYTE>(&dwFlags), &cb) !=
      ERROR_SUCCESS) {
    return done(FALSE, 9);
  }
  if (dwFlags == 0x40 || dwFlags == 0x400 || dwFlags == 0x440) {
    kProgramLog().kWriteLog("********* ConfigFlags check! [ %08x ]\n", static_cast<unsigned>(dwFlags));
    m_bProcOnDeviceChange = TRUE;
    return done(TRUE, 10);
  }
  if (dwFlags == 0) {
    cb = sizeof szClass;
    if (RegQueryValueExA(instance.kGet(), "Class", nullptr, nullptr, reinterpret_cast<LPBYTE>(szClass), &cb) !=
        ERROR_SUCCESS) {
      return done(TRUE, 11);
    }
  }
  return done(FALSE, 12);
}

int CPowerOnDialog::kInstallUnKnownDeviceWin2k(const std::string& strHardwareID, const std::string& strInfPath) {
  CModuleOwner newdev(LoadLibraryA("NEWDEV.DLL"));
  if (!newdev.kGet()) {
    kProgramLog().kWriteLog("CPowerOnDialog::kInstallUnKnownDeviceWin2k() return FALSE (1) LastError=%u\n",
                            GetLastError());
    return FALSE;
  }
  auto pfnUpdate = kProcAs<decltype(&::UpdateDriverForPlugAndPlayDevicesA)>(GetProcAddress(newdev.kGet(), "UpdateDriverForPlugAndPlayDevicesA"));
  if (!pfnUpdate) {
    kProgramLog().kWriteLog("CPowerOnDialog::kInstallUnKnownDeviceWin2k() return FALSE (2) LastError=%u\n",
                            GetLastError());
    return FALSE;
  }
  kProgramLog().kWriteLog("*****  START : pfnUpdateDriverForPlugAndPlayDevices   ID = [%s] , Inf = [%s]\n",
                          strHardwareID.c_str(), strInfPath.c_str());
  BOOL bReboot = FALSE;
  const BOOL bResult = pfnUpdate(m_hWnd, strHardwareID.c_str(), strInfPath.c_str(), INSTALLFLAG_FORCE, &bReboot);
  if (!bResult) {
    kProgramLog().kWriteLog("UpdateDriverForPlugAndPlayDevices ErrorCode = [%x]\n", GetLastError());
  }
  kProgramLog().kWriteLog("CPowerOnDialog::kInstallUnKnownDeviceWin2k() return [%d]\n", bResult);
  return bResult;
}

BOOL CPowerOnDialog::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
  kProgramLog().kWriteLog("CPowerOnDialog::OnDeviceChang nEventType=%X dwData=%X\n", nEventType,
                          static_cast<unsigned>(dwData));
  if (!m_bProcOnDeviceChange) return TRUE;
  // After the driver update an event ends the wait only when the device
  // now has its driver; after a failed update the wait goes on.
  if (m_bUnKnownDeviceInstalled) {
    if (kIsInstalledDevice()) {
      kProgramLog().kWriteLog("CPowerOnDialog::OnDeviceChange() (1)\n");
      kStopWaiting(TRUE);
      kEndDialog(1);
    }
    return TRUE;
  }
  if (nEventType != DBT_DEVICEARRIVAL && nEventType != DBT_DEVNODES_CHANGED) return TRUE;
  const std::string strCaption = kText("IDS_DLG_TIMEOUT_CAPTION");
  if (!strCaption.empty()) {
    if (HWND hQuestion = FindWindowA(nullptr, strCaption.c_str())) SendMessageA(hQuestion, WM_COMMAND, IDOK, 0);
  }
  if (!m_bInstalledUnkownDeviceWin2k) {
    // One or more installed devices of the model more than at page start:
    // two printers plugged at once arrive together.
    if (kIsInstalledDevice() && m_app.kIsInstalledDeviceCount(m_hWnd) > m_nInitialDeviceCount) {
      kStopWaiting(m_app.m_dwOsKind != OSKIND_WINME);
      kProgramLog().kWriteLog("CPowerOnDialog::OnDeviceChange() printer arrived.\n");
      kEndDialog(1);
    }
    return TRUE;
  }
  m_bUnKnownDeviceInstalled = TRUE;
  const CCandidateDriver& cde = m_app.m_CDE;
  int nUpdated = kInstallUnKnownDeviceWin2k(cde.strHardwareID, cde.strInfPath);
  if (nUpdated == 0) {
    kProgramLog().kWriteLog("********* Retry kInstallUnKnownDeviceWin2k = [%s][%s]\n", cde.strHardwareID.c_str(),
                            cde.strInfPath.c_str());
    Sleep(1000);
    nUpdated = kInstallUnKnownDeviceWin2k(cde.strHardwareID, cde.strInfPath);
  }
  // Only a device that now has its driver has arrived; a failed update
  // leaves the page waiting (the time-out still offers the manual way).
  if (nUpdated != 0 && kIsInstalledDevice()) {
    kStopWaiting(TRUE);
    kEndDialog(1);
    m_bProcOnDeviceChange = FALSE;
    return TRUE;
  }
  kProgramLog().kWriteLog("CPowerOnDialog::OnDeviceChange() (2) the driver update failed; still waiting.\n");
  return TRUE;
}

void CPowerOnDialog::OnTimer(UINT_PTR nId) {
  if (nId != kWaitTimer) return;
  KillTimer(m_hWnd, kWaitTimer);
  kProgramLog().kWriteLog("CPowerOnDialog::OnTimer() post WM_DISP_TIMEOUT\n");
  PostMessageA(m_hWnd, WM_DISP_TIMEOUT, 0, 0);
}

void CPowerOnDialog::kOnTimeoutConfirm() {
  CTimeoutDialog question(m_app, m_uWaitTime / 1000);
  const INT_PTR nResult = question.kDoModal(m_hWnd);
  kProgramLog().kWriteLog("CPowerOnDialog::kOnTimeoutConfirm() CTimeoutDialog returned [%d]\n",
                          static_cast<int>(nResult));
  // The printer may have arrived while the question was open; the page has
  // then ended already.
  if (!m_hDevNotify && !m_hUser32) return;
  if (nResult == 1) {
    SetTimer(m_hWnd, kWaitTimer, m_uWaitTime, nullptr);
    return;
  }
  kStopWaiting(TRUE);
  kEndDialog(2);
}

void CPowerOnDialog::kOnCommand(int nId, int nCode) {
  if (nCode != BN_CLICKED) return;
  if (nId == IDCANCEL) {
    kProgramLog().kWriteLog("CPowerOnDialog::OnCancel() automatic detection stopped.\n");
    kStopWaiting(TRUE);
    kEndDialog(2);
  }
}

BOOL CPowerOnDialog::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
  if (uMsg == WM_DEVICECHANGE) {
    lResult = OnDeviceChange(static_cast<UINT>(wParam), static_cast<DWORD_PTR>(lParam));
    return TRUE;
  }
  if (WM_DISP_TIMEOUT != 0 && uMsg == WM_DISP_TIMEOUT) {
    kOnTimeoutConfirm();
    lResult = 0;
    return TRUE;
  }
  return FALSE;
}

BOOL CPowerOnDialog::OnDrawItem(int nIDCtl, const DRAWITEMSTRUCT* pDraw) {
  if (nIDCtl != IDC_POWERON_PICTURE) return FALSE;
  m_Picture.kDraw(pDraw);
  return TRUE;
}

// ---- Time-out question ---------------------------------------------------------------

CTimeoutDialog::CTimeoutDialog(CKV_SETUPApp& app, UINT uWaitSeconds)
    : CUsbPage(app, IDD_TIMEOUT), m_uWaitSeconds(uWaitSeconds) {}

BOOL CTimeoutDialog::OnInitDialog() {
  kSetCaption("IDS_DLG_TIMEOUT_CAPTION");
  kSetItemText(IDOK, "IDS_DLG_TIMEOUT_IDOK");
  kSetItemText(IDCANCEL, "IDS_DLG_TIMEOUT_IDCANCEL");
  // The catalogue may name the wait time ("%u" seconds): it is the time
  // the page really waited, which the configuration sets.
  std::string strTimeout = kText("IDS_DLG_TIMEOUT_TIMEOUT");
  const size_t nAt = strTimeout.find("%u");
  if (nAt != std::string::npos) strTimeout.replace(nAt, 2, std::to_string(m_uWaitSeconds));
  const std::string strMessage = strTimeout + kText("IDS_DLG_TIMEOUT_TIMEOUT1");
  SetDlgItemTextA(m_hWnd, IDC_TIMEOUT_MESSAGE, strMessage.c_str());
  return TRUE;
}
