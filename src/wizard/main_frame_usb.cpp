// The USB path of the wizard: install kind, power off, installation, power
// on, the driver checks and the initial settings of the new printers.
#include "app/kv_setup_app.h"
#include "app/window_messages.h"
#include "install/driver_check.h"
#include "wizard/install_prepare_dialog.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/handle_owner.h"
#include "system/program_log.h"
#include "system/text_utility.h"
#include "wizard/init_prn_select_dialog.h"
#include "wizard/main_frame.h"
#include "wizard/power_off_dialog.h"
#include "wizard/power_on_dialog.h"

namespace {

void logEntry(const char* pszHandler, WPARAM wParam, LPARAM lParam) {
  kProgramLog().kWriteLog("CMainFrame::%s wParam=%X lParam=%X\n", pszHandler, static_cast<unsigned>(wParam),
                          static_cast<unsigned>(lParam));
}

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

std::string readString(HKEY hKey, const char* pszName) {
  char szValue[512] = {};
  DWORD cb = sizeof szValue - 1;
  if (RegQueryValueExA(hKey, pszName, nullptr, nullptr, reinterpret_cast<LPBYTE>(szValue), &cb) != ERROR_SUCCESS) {
    return {};
  }
  return szValue;
}

void logRegistryError(int nExit, const char* pszWhat, const std::string& strKey) {
  kProgramLog().kWriteLog("CMainFrame::kUSBPrinter2ndInstallCheck_Win2K Registry access error (%d): %s\n Key:%s\n",
                          nExit, pszWhat, strKey.c_str());
}

}  // namespace

// ---- Install kind ----------------------------------------------------------------

BOOL CMainFrame::kUSBPrinter2ndInstallCheck_Win2K(int* pnSeen) {
  const std::string strUsb = "SYSTEM\\CURRENTCONTROLSET\\ENUM\\USB";
  CRegKeyOwner usb;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strUsb.c_str(), 0, KEY_READ, usb.kOut()) != ERROR_SUCCESS) {
    logRegistryError(1, "Registry Access : USB", strUsb);
    return TRUE;
  }
  const std::vector<std::string> lstDevice = subKeysOf(usb.kGet());
  if (lstDevice.empty()) {
    kProgramLog().kWriteLog("CMainFrame::kUSBPrinter2ndInstallCheck_Win2K() return FALSE (2) LastError=%u\n",
                            GetLastError());
    return FALSE;
  }
  std::vector<std::string> lstPrefix, lstLocation;
  for (const std::string& strDevice : lstDevice) {
    CRegKeyOwner device;
    if (RegOpenKeyExA(usb.kGet(), strDevice.c_str(), 0, KEY_READ, device.kOut()) != ERROR_SUCCESS) {
      logRegistryError(3, "Registry Access : USB", strUsb + "\\" + strDevice);
      return TRUE;
    }
    for (const std::string& strInstance : subKeysOf(device.kGet())) {
      CRegKeyOwner instance;
      if (RegOpenKeyExA(device.kGet(), strInstance.c_str(), 0, KEY_READ, instance.kOut()) != ERROR_SUCCESS) {
        logRegistryError(4, "Registry Access : USB", strUsb + "\\" + strDevice + "\\" + strInstance);
        return TRUE;
      }
      const std::string strService = readString(instance.kGet(), "Service");
      kProgramLog().kWriteLog("%s,%s = %s\n", strDevice.c_str(), "Service", strService.c_str());
      if (!kIEquals(strService, "usbprint")) continue;
      lstPrefix.push_back(readString(instance.kGet(), "ParentIdPrefix"));
      lstLocation.push_back(readString(instance.kGet(), "LocationInformation"));
      kProgramLog().kWriteLog("%s,%s = %s\n", strDevice.c_str(), "ParentIdPrefix", lstPrefix.back().c_str());
      kProgramLog().kWriteLog("%s,%s = %s\n", strDevice.c_str(), "LocationInformation", lstLocation.back().c_str());
    }
  }
  // The model key: the hardware ID without "USBPRINT\" and without its
  // four-character suffix.
  const std::string& strHardwareID = m_app.m_CDE.strHardwareID;
  const std::string strModel = strHardwareID.size() > 13 ? strHardwareID.substr(9, strHardwareID.size() - 13) : "";
  const std::string strUsbPrint = "SYSTEM\\CURRENTCONTROLSET\\ENUM\\USBPRINT";
  CRegKeyOwner usbPrint;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, strUsbPrint.c_str(), 0, KEY_READ, usbPrint.kOut()) != ERROR_SUCCESS) {
    logRegistryError(5, "Registry Access : USBPRINT", strUsbPrint);
    return TRUE;
  }
  for (const std::string& strKey : subKeysOf(usbPrint.kGet())) {
    // Windows names the device key after the whole ID, suffix included; a
    // key of the model with any four-character suffix is the model's.
    const bool bModel = !strModel.empty() &&
                        (kIEquals(strKey, strModel) ||
                         (strKey.size() == strModel.size() + 4 && kIEquals(strKey.substr(0, strModel.size()), strModel)));
    if (!bModel) continue;
    *pnSeen = 1;
    CRegKeyOwner model;
    if (RegOpenKeyExA(usbPrint.kGet(), strKey.c_str(), 0, KEY_READ, model.kOut()) != ERROR_SUCCESS) {
      logRegistryError(6, "Registry Access : USBPRINT", strUsbPrint + "\\" + strKey);
      return TRUE;
    }
    for (const std::string& strInstance : subKeysOf(model.kGet())) {
      if (strInstance.size() < 7) continue;
      const std::string strPrefix = strInstance.substr(0, strInstance.size() - 7);
      bool bKnown = false;
      for (const std::string& p : lstPrefix) bKnown |= kIEquals(p, strPrefix);
      if (!bKnown) continue;
      CRegKeyOwner instance;
      if (RegOpenKeyExA(model.kGet(), strInstance.c_str(), 0, KEY_READ, instance.kOut()) != ERROR_SUCCESS) {
        logRegistryError(7, "Registry Access : USBPRINT", strUsbPrint + "\\" + strKey + "\\" + strInstance);
        return TRUE;
      }
      const std::string strClass = readString(instance.kGet(), "Class");
      if (strClass.empty() || kIEquals(strClass, "UnKnown")) continue;
      kProgramLog().kWriteLog("%s,%s = %s\n", strInstance.c_str(), "DeviceDesc",
                              readString(instance.kGet(), "DeviceDesc").c_str());
    }
  }
  return TRUE;
}

LRESULT CMainFrame::kOnDecideInstallKind(WPARAM wParam, LPARAM lParam) {
  logEntry("kOnDecideInstallKind", wParam, lParam);
  const std::string& strDriverName = m_app.m_CDE.strDriverName;
  bool bDriverPresent = false;
  for (const CPresentDriver& d : m_app.m_pSpoolerInfomation->kGetPresentDriverList()) {
    bDriverPresent |= kIEquals(d.strName, strDriverName);
  }
  int nSeen = 0;
  if (CEnvironment::kIsWin2k() && !kUSBPrinter2ndInstallCheck_Win2K(&nSeen)) {
    kProgramLog().kWriteLog(
        "CMainFrame::kOnDecideInstallKind() return 1 (1) LastError=%u kUSBPrinter2ndInstallCheck_Win2K returned "
        "FALSE.\n",
        GetLastError());
    // Nothing would come next: the wizard ends rather than idle.
    kEndIdleState("kOnDecideInstallKind", "the USB enumerator key is empty");
    return 1;
  }
  if (!bDriverPresent || nSeen == 0) {
    kPost("kOnDecideInstallKind", WM_DISP_POWEROFF, "WM_DISP_POWEROFF", 2);
    return 1;
  }
  for (const CPresentPrinter& p : m_app.m_pSpoolerInfomation->kGetPresentPrinterList()) {
    if (p.strPortName.find("USB") == std::string::npos || !kIEquals(p.strDriverName, strDriverName)) continue;
    const std::string strDetail = m_app.m_pRscCommon->kGetMessageText("IDS_ERR_ALREADY_USBPRINTER_NAME") + strDriverName;
    m_app.kDispErrorMessage("IDS_ERR_ALREADY_USBPRINER", strDetail, "", MB_OK | MB_ICONINFORMATION);
    kPost("kOnDecideInstallKind", WM_CLOSE, "WM_CLOSE", 3);
    return 1;
  }
  kPost("kOnDecideInstallKind", WM_DISP_POWEROFF, "WM_DISP_POWEROFF", 4);
  return 1;
}

// ---- Power off, installation, power on --------------------------------------------

LRESULT CMainFrame::kOnDispPowerOffDialog(WPARAM wParam, LPARAM lParam) {
  logEntry("kOnDispPowerOffDialog", wParam, lParam);
  CPowerOffDialog page(m_app);
  const INT_PTR nResult = page.kDoModal(m_hWnd);
  if (nResult == 1) {
    m_app.m_nInstalledDeviceCount = m_app.kIsInstalledDeviceCount(m_hWnd);
    kPost("kOnDispPowerOffDialog", WM_DISP_PREPAREINSTALL, "WM_DISP_PREPAREINSTALL", 1);
  } else if (nResult == 2) {
    m_app.m_bCancel = 1;
    kPost("kOnDispPowerOffDialog", WM_CLOSE, "WM_CLOSE", 2);
  } else {
    kEndIdleState("kOnDispPowerOffDialog", "the page ended without a choice");
  }
  return 1;
}

LRESULT CMainFrame::kOnDispInstPrepareDialog(WPARAM wParam, LPARAM lParam) {
  logEntry("kOnDispInstPrepareDialog", wParam, lParam);
  INT_PTR nResult = 0;
  {
    CInstallPrepareDialog page(m_app);
    nResult = page.kDoModal(m_hWnd);
  }
  m_app.m_pInstallPrepareDialog = nullptr;
  if (nResult == 1) {
    kPost("kOnDispInstPrepareDialog", WM_DISP_POWERON, "WM_DISP_POWERON", 1);
  } else {
    kPost("kOnDispInstPrepareDialog", WM_CLOSE, "WM_CLOSE", 2);
  }
  return 1;
}

void CMainFrame::kFinishUSBInstallation() {
  m_app.m_bUSBConnected = 1;
  m_app.m_bSuccess = 1;
  if (!m_app.m_pSpoolerInfomation->kGetPresentPrinterList().empty()) {
    const std::string strText = m_app.m_pRscCommon->kGetMessageText("IDS_MSG_DEFUALT_PRINTER");
    if (m_app.m_pRscCommon->kDispMessageBox(strText, m_app.m_strDefaultCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
      m_app.kSetDefaultPrinter();
    }
  }
  if (m_app.m_b6Switch) {
    char szDriver[260] = {};
    char szPrinter[260] = {};
    char szPort[260] = {};
    if (m_app.kGetAddedPrinter(szDriver, sizeof szDriver, szPrinter, sizeof szPrinter, szPort, sizeof szPort) &&
        szDriver[0] != '\0' && m_app.m_bUSBConnected) {
      BOOL bOver = FALSE;
      if (!CCommonFunction::kMakePrinterDriverNameFile(m_app.m_strDriversNameIniFile.c_str(), szDriver, &bOver)) {
        kProgramLog().kWriteLog("CMainFrame::kOnDispPowerOnDialog() kMakePrinterDriverNameFile fail.\n");
        m_app.m_pRscCommon->kDispMessageBox(m_app.m_pRscCommon->kGetMessageText("IDS_DRIVERSNAMEWRITEERR"),
                                            m_app.m_strDefaultCaption, MB_OK | MB_ICONEXCLAMATION);
        m_app.m_bDriversNameWriteErr = 1;
      }
      if (bOver) m_app.m_bOverDriversNameKey = 1;
    }
  }
  m_app.kWriteKVISETUPLogInfo();
  // The log line names the state after the initial settings, as
  // administrators have always read it.
  kProgramLog().kWriteLog("CMainFrame::kOnDispPowerOnDialog() post WM_DISP_COMPLETE (1)\n");
  PostMessageA(m_hWnd, WM_DISP_INITPRNSELECT, 0, 0);
}

LRESULT CMainFrame::kOnDispPowerOnDialog(WPARAM wParam, LPARAM lParam) {
  logEntry("kOnDispPowerOnDialog", wParam, lParam);
  INT_PTR nResult = 0;
  {
    CPowerOnDialog page(m_app);
    nResult = page.kDoModal(m_hWnd);
  }
  if (nResult == 1) {
    kFinishUSBInstallation();
  } else {
    kPost("kOnDispPowerOnDialog", WM_DISP_ADDFORCE, "WM_DISP_ADDFORCE", 2);
  }
  return 1;
}

// ---- Driver check ------------------------------------------------------------------

LRESULT CMainFrame::kOnDriverCheck(WPARAM wParam, LPARAM lParam) {
  logEntry("kOnDriverCheck", wParam, lParam);
  CDriverCheck check(m_app);
  if (!check.kCheckVersionDown()) {
    kPost("kOnDriverCheck", WM_CLOSE, "WM_CLOSE", 1);
  } else if (!check.kCheckExistSameDriver()) {
    kPost("kOnDriverCheck", WM_CLOSE, "WM_CLOSE", 2);
  } else if (!check.kCheckOSRebootBefore()) {
    kPost("kOnDriverCheck", WM_CLOSE, "WM_CLOSE", 3);
  }
  return 1;
}

// ---- Initial settings -------------------------------------------------------------------

BOOL CMainFrame::kApplyPrintProcessorAndColorProfile_ReplacePrinter(const CAddedPrinterInfo& info) {
  const CCandidateDriver& cde = m_app.m_CDE;
  if (cde.bPreventSameKindUpdate) {
    kProgramLog().kWriteLog("CMainFrame::kApplyPrintProcessorAndColorProfile_ReplacePrinter() PreventSameKindUpdate is ON.\n");
    return TRUE;
  }
  const CPresentPrinterList lstPrinter = m_app.m_pSpoolerInfomation->kGetUpdatePrinterList(
      info.strDriverName.c_str(), cde.dwInfOSVersion, cde.strDriverFile.c_str(), cde.strPlatform.c_str(), TRUE);
  if (lstPrinter.empty()) {
    kProgramLog().kWriteLog("CMainFrame::kApplyPrintProcessorAndColorProfile_ReplacePrinter() UpdatePrinterList is NONE.\n");
    return TRUE;
  }
  for (const CPresentPrinter& p : lstPrinter) {
    for (const CCandidateDriver& c : m_app.m_lstSetupCandidate) {
      if (!kIEquals(c.strDriverName, p.strDriverName)) continue;
      if (!m_app.m_pSpoolerInfomation->kRenewPrinterObject(p.strPrinterName, c)) return FALSE;
    }
  }
  return TRUE;
}

BOOL CMainFrame::kApplyPrintProcessorAndColorProfile() {
  kProgramLog().kWriteLog("CMainFrame::kApplyPrintProcessorAndColorProfile() m_bIsAppliedPrintProcessorAndColorProfile=%d\n",
                          m_bIsAppliedPrintProcessorAndColorProfile);
  if (m_bIsAppliedPrintProcessorAndColorProfile) {
    kProgramLog().kWriteLog("CMainFrame::kApplyPrintProcessorAndColorProfile() no processing with succeed.\n");
    return TRUE;
  }
  if (!CEnvironment::kIsWin2k()) {
    kProgramLog().kWriteLog("CMainFrame::kApplyPrintProcessorAndColorProfile() not win2k, no processing with succeed.\n");
    return TRUE;
  }
  if (m_app.m_bUSBInstall) {
    for (const CAddedPrinterInfo& info : m_app.m_listAPL) {
      kProgramLog().kWriteLog("Added PrinterName:%s\n", info.strPrinterName.c_str());
      if (info.strPrinterName.empty()) {
        kProgramLog().kWriteLog("No Added Printer.\n");
        continue;
      }
      if (!m_app.m_pSpoolerInfomation->kRenewPrinterObject(info.strPrinterName, m_app.m_CDE)) return FALSE;
      kApplyPrintProcessorAndColorProfile_ReplacePrinter(info);
    }
  }
  m_bIsAppliedPrintProcessorAndColorProfile = TRUE;
  kProgramLog().kWriteLog("CMainFrame::kApplyPrintProcessorAndColorProfile() normal terminate.\n");
  return TRUE;
}

LRESULT CMainFrame::kOnDispInitPrnSelectDialog(WPARAM wParam, LPARAM lParam) {
  logEntry("kOnDispInitPrnSelectDialog", wParam, lParam);
  const char* const kHandler = "kOnDispInitPrnSelectDialog";
  if (!m_app.m_bSuccess || m_app.m_bInstallError || m_app.m_bBreakOff) {
    kProgramLog().kWriteLog(
        "CMainFrame::kOnExecPluinApplication is not done Because the installation result is an error.\n");
    kPost(kHandler, WM_DISP_COMPLETE, "WM_DISP_COMPLETE", 0);
    return 1;
  }
  BOOL bMade = m_app.kMakeAPL() && !m_app.m_listAPL.empty();
  if (!bMade) {
    Sleep(1000);
    bMade = m_app.kMakeAPL() && !m_app.m_listAPL.empty();
  }
  if (!bMade) {
    // kDispErrorMessage would close the wizard; this error only skips the
    // follow-up work, so the box is shown directly.
    const std::string strText = m_app.m_pRscCommon->kGetMessageText("IDS_ERR_OTHERERR");
    if (!(m_app.m_bCmdLineAnalyzed && m_app.m_b1Switch) && !strText.empty()) {
      m_app.m_pRscCommon->kDispMessageBox(strText + "\nCreat AddPrinterList Process", m_app.m_strDefaultCaption,
                                          MB_OK | MB_ICONEXCLAMATION);
    }
    kProgramLog().kWriteLog("CMainFrame::kOnExecPluinApplication kMakeAPL fail.\n");
    kPost(kHandler, WM_DISP_COMPLETE, "WM_DISP_COMPLETE", 0);
    return 1;
  }
  if (!kApplyPrintProcessorAndColorProfile()) {
    kProgramLog().kWriteLog("kApplyPrintProcessorAndColorProfile fail.\n");
  }
  if (m_app.m_bBSwitch) {
    kPost(kHandler, WM_DISP_COMPLETE, "WM_DISP_COMPLETE", 0);
    return 1;
  }
  if (m_app.m_bUSBInstall && m_app.m_bSuccess && !m_app.m_bInstallError && !m_app.m_bBreakOff) {
    m_app.kMakeIPL();
    if (m_app.m_nInitPrnSelect == INITPRN_SELECT && !m_app.m_listIPL.empty()) {
      CInitPrnSelectDialog page(m_app);
      if (page.kDoModal(m_hWnd) != 1) {
        kPost(kHandler, WM_DISP_COMPLETE, "WM_DISP_COMPLETE", 0);
        return 1;
      }
    }
    if (m_app.m_nInitPrnSelect != INITPRN_NODISPLAY) m_app.kShowPrinterProperty();
  }
  kPost(kHandler, WM_DISP_COMPLETE, "WM_DISP_COMPLETE", 0);
  return 1;
}
