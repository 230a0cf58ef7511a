// The setup configuration of a driver package, "KVISETUP.INI" beside the
// program: which wizard pages appear, the defaults of the user's choices,
// the USB port monitor and identifiers of the printer, and the plug-in
// components with their setup programs.
//
// The file is read once at start-up. Every key has a default, so a missing
// key (or a missing file) never fails the reading; only a few malformed
// values do, and then m_strCurrentKey names the key for the message the
// start-up shows. The values become visible to the rest of the program only
// when the whole reading succeeds: a failed reading leaves the published
// record as it was.
#pragma once

#include <string>
#include <vector>

#include "app/plugin_info.h"
#include "platform/win32.h"

// The USB vendor id a package's printers are taken to carry when the
// configuration names none. It is a value that no maker holds, so that a
// package which forgets its own id never matches somebody else's printer.
inline constexpr const char kDefaultVendorID[] = "VID_0000";

// The choices of the configuration keys with named values.
enum : int {
  CONNECTKIND_USB = 0,
  CONNECTKIND_OTHER = 1,
  SETUPKIND_INI_ADD = 0,
  SETUPKIND_INI_REP = 1,
  SETUPKIND_INI_DEL = 2,
  SETUPKIND_INI_USB = 3,
  PLUGINORDER_INI = 0,
  PLUGINORDER_DSC = 1,
  PRINTERTYPE_SINGLE = 0,
  PRINTERTYPE_MULTI = 1,
  AGREE_NOSELECT = 0,
  AGREE_AGREE = 1,
  AGREE_NOTAGREE = 2,
  CONNECTTYPE_NOSELECT = 0,
  CONNECTTYPE_NETWORK = 1,
  CONNECTTYPE_USB = 2,
};

// The settings, in the order of the file's documentation. Flags hold 0 or 1.
struct CSetupIniSettings {
  int bShowLicenseDialog = 1;
  int bShowModelDialog = 0;
  int bShowConnectDialog = 0;
  int bShowSetupDialog = 1;
  int bShowCompleteDialog = 1;
  int bShowNextComponentDialog = 0;
  int nConnectKind = CONNECTKIND_USB;
  int nSetupKind = SETUPKIND_INI_ADD;
  int bSpoolerControl = 0;
  int nRebootLevel = 3;
  int nPluginOrder = PLUGINORDER_INI;
  std::string strNextComponent;
  int bDriverSelectMode = 0;
  std::string strPortMonitorName = "USBMON";
  std::string strPortMonitorFile = "USBMON.DLL";
  int bExecAddMonitor = 1;
  int bVisibleUpdatePrinter = 1;
  int bVisibleDeletePrinter = 0;
  int bVisibleUSBPrinter = 1;
  std::string strPowerOFFBitmap;
  std::string strPowerONBitmap;
  int bShowDefaultPrinterDialog = 1;
  int bDefaultPrinterDialogOmitValue = 1;
  int nPrinterType = PRINTERTYPE_SINGLE;
  std::string strVendorID = kDefaultVendorID;
  std::string strProductID;
  std::string strMultipleInterfaceID;
  DWORD dwUSBConnectWaitTime = 180000;  // milliseconds
  std::string strTargetDriverName;
  int bUSBInst = 1;
  int nDefaultAgreeElement = AGREE_AGREE;
  int nDefaultConnectTypeElement = CONNECTTYPE_NETWORK;
  int bNetworkPrinterSearch = 1;
  int nIconType = 1;
  // The plug-ins that apply to the running system, in file order.
  std::vector<CPluginInfo> lstPlugin;
};

class CKVISetupIniInfo {
 public:
  static constexpr const char* kFileName = "KVISETUP.INI";
  static constexpr const char* kSetupSection = "Setup";

  CKVISetupIniInfo() = default;

  // Resets the working settings to their defaults, reads every key of the
  // file in a fixed order and, when all succeed, publishes the result.
  // FALSE stops at the first failing key: m_strCurrentKey names it and the
  // published record keeps its earlier values. A missing file reads as a
  // file without keys (every default, TRUE). The OS must have been
  // classified first (the plug-ins are chosen by it).
  [[nodiscard]] BOOL kOpenRead(const std::string& strIniFile);

  // The key being read when the last reading stopped ("RebootLevel"; for
  // the multi-interface check the three key names separated by blanks).
  const std::string& kGetCurrentKey() const { return m_strCurrentKey; }
  // The settings of this reader, also after a failure (for diagnosis).
  const CSetupIniSettings& kGetSettings() const { return m_Settings; }

  // The settings of the last successful reading of the process: read-only
  // for the whole program after start-up.
  static const CSetupIniSettings& kGetPublished();

  // The readers, in the order kOpenRead runs them. Each sets
  // m_strCurrentKey to its key first.
  BOOL kShowLicenseDialog();
  BOOL kShowModelDialog();
  BOOL kShowConnectDialog();
  BOOL kShowSetupDialog();
  BOOL kShowCompleteDialog();
  BOOL kShowNextComponentDialog();
  BOOL kConnectKind();
  BOOL kSetupKind();
  BOOL kSpoolerControl();
  BOOL kRebootLevel();
  BOOL kPluginOrder();
  BOOL kDriverSelectMode();
  BOOL kPluginList();
  BOOL kPortMonitor();
  BOOL kExecAddMonitor();
  BOOL kNextComponent();
  BOOL kVisibleUpdatePrinter();
  BOOL kVisibleDeletePrinter();
  BOOL kVisibleUSBPrinter();
  BOOL kPowerOffBitmap();
  BOOL kPowerOnBitmap();
  BOOL kShowDefaultPrinterDialog();
  BOOL kDefaultPrinterDialogOmitValue();
  BOOL kPrinterType();
  BOOL kVendorID();
  BOOL kProductID();
  BOOL kMultipleInterfaceID();
  BOOL kIsPrinterTypeMulti();
  BOOL kUSBConnectWaitTime();
  BOOL kTargetDriverName();
  BOOL kUSBInst();
  BOOL kDefaultAgreeElement();
  BOOL kDefaultConnectTypeElement();
  BOOL kNetworkPrinterSearch();
  BOOL kIconType();

  // The plug-in token of the running system: "WIN95", "WINNT4", "WINVISTA"
  // (Vista and later), "WINXP" or "WIN2K".
  static std::string kGetOsToken();

 private:
  // A value name and the number it stands for.
  struct CChoice {
    const char* pszValue;
    int nNumber;
  };
  enum class CReadResult { kValue, kMissing, kFailed };

  // Reads one key of section "Setup": its trimmed text (kValue, possibly
  // empty), kMissing, or kFailed after an empty read with an unexpected
  // last error (logged with the reader's name).
  CReadResult kReadKey(const char* pszReader, const char* pszKey, std::string& strValue);
  // An on/off key (1 unless "OFF") or an off/on key (0 unless "ON").
  BOOL kReadFlag(const char* pszReader, const char* pszKey, bool bDefaultOn, int& nField);
  // A key of named values; any other text and a missing key give nDefault.
  BOOL kReadChoice(const char* pszReader, const char* pszKey, const CChoice* pChoices, size_t nChoices, int nDefault,
                   int& nField);
  // A trimmed text; a missing key gives strDefault, and so does an empty
  // value when bDefaultIfEmpty is set.
  BOOL kReadString(const char* pszReader, const char* pszKey, const char* pszDefault, bool bDefaultIfEmpty,
                   std::string& strField);
  BOOL kReadBitmap(const char* pszReader, const char* pszKey, std::string& strField);
  BOOL kPluginFail(int nExit, const char* pszKey, const std::string& strSection);

  std::string m_strIniFile;
  std::string m_strCurrentKey;
  CSetupIniSettings m_Settings;
};
