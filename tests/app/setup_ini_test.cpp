// The setup configuration: every key's values and default, the failures
// that stop the reading with the key's name, the plug-in list on each
// system, and the published record.
#include <string>

#include "app_fixture.h"
#include "machine_settings.h"
#include "system/environment.h"

namespace {

class SetupIni : public apptest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    setOs("win7");
  }
  void TearDown() override {
    setOs("win7");
    AppFixture::TearDown();
  }

  static void setOs(const char* pszName) {
    winsim::OsChoice choice;
    choice.kind = winsim::findOsKind(pszName);
    ASSERT_NE(choice.kind, nullptr) << pszName;
    winsim::MachineSettings s;
    std::string error;
    ASSERT_TRUE(winsim::settingsForOs(winsim::machineSettings(), choice, &s, &error)) << error;
    ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
    (void)CEnvironment::kGetOsVersionCheck();
  }

  // Writes the configuration and reads it; the reading's result.
  BOOL read(const std::string& strText) {
    m_pkg.writeAnsi("pkg\\KVISETUP.INI", strText);
    takeLog();
    return m_reader.kOpenRead(iniPath());
  }
  BOOL readSetup(const std::string& strLines) { return read("[Setup]\n" + strLines); }
  std::string iniPath() const { return m_pkg.folder() + "KVISETUP.INI"; }

  // The number of the log line "<function>() return FALSE (n)" last written.
  int exitOf(const std::string& strLog, const std::string& strFunction) {
    const std::string strMark = "CKVISetupIniInfo::" + strFunction + "() return FALSE (";
    const size_t nAt = strLog.rfind(strMark);
    return nAt == std::string::npos ? 0 : std::atoi(strLog.c_str() + nAt + strMark.size());
  }

  CKVISetupIniInfo m_reader;
};

TEST_F(SetupIni, MissingFileGivesEveryDefault) {
  ASSERT_TRUE(m_reader.kOpenRead(m_pkg.folder() + "NONE.INI"));
  const CSetupIniSettings& s = CKVISetupIniInfo::kGetPublished();
  const CSetupIniSettings d;
  const int CSetupIniSettings::*const flags[] = {
      &CSetupIniSettings::bShowLicenseDialog,     &CSetupIniSettings::bShowModelDialog,
      &CSetupIniSettings::bShowConnectDialog,     &CSetupIniSettings::bShowSetupDialog,
      &CSetupIniSettings::bShowCompleteDialog,    &CSetupIniSettings::bShowNextComponentDialog,
      &CSetupIniSettings::nConnectKind,           &CSetupIniSettings::nSetupKind,
      &CSetupIniSettings::bSpoolerControl,        &CSetupIniSettings::nRebootLevel,
      &CSetupIniSettings::nPluginOrder,           &CSetupIniSettings::bDriverSelectMode,
      &CSetupIniSettings::bExecAddMonitor,        &CSetupIniSettings::bVisibleUpdatePrinter,
      &CSetupIniSettings::bVisibleDeletePrinter,  &CSetupIniSettings::bVisibleUSBPrinter,
      &CSetupIniSettings::bShowDefaultPrinterDialog, &CSetupIniSettings::bDefaultPrinterDialogOmitValue,
      &CSetupIniSettings::nPrinterType,           &CSetupIniSettings::bUSBInst,
      &CSetupIniSettings::nDefaultAgreeElement,   &CSetupIniSettings::nDefaultConnectTypeElement,
      &CSetupIniSettings::bNetworkPrinterSearch,  &CSetupIniSettings::nIconType,
  };
  for (auto pField : flags) EXPECT_EQ(s.*pField, d.*pField);
  // The documented defaults themselves, as a package engineer relies on them.
  EXPECT_EQ((std::vector<int>{s.bShowLicenseDialog, s.bShowModelDialog, s.bShowConnectDialog, s.bShowSetupDialog,
                              s.bShowCompleteDialog, s.bShowNextComponentDialog, s.nConnectKind, s.nSetupKind,
                              s.bSpoolerControl, s.nRebootLevel, s.nPluginOrder, s.bDriverSelectMode,
                              s.bExecAddMonitor, s.bVisibleUpdatePrinter, s.bVisibleDeletePrinter,
                              s.bVisibleUSBPrinter, s.bShowDefaultPrinterDialog, s.bDefaultPrinterDialogOmitValue,
                              s.nPrinterType, s.bUSBInst, s.nDefaultAgreeElement, s.nDefaultConnectTypeElement,
                              s.bNetworkPrinterSearch, s.nIconType}),
            (std::vector<int>{1, 0, 0, 1, 1, 0, 0, 0, 0, 3, 0, 0, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(s.strPortMonitorName, "USBMON");
  EXPECT_EQ(s.strPortMonitorFile, "USBMON.DLL");
  EXPECT_EQ(s.strVendorID, kDefaultVendorID);
  EXPECT_EQ(s.dwUSBConnectWaitTime, 180000u);
  EXPECT_TRUE(s.strNextComponent.empty() && s.strProductID.empty() && s.strMultipleInterfaceID.empty() &&
              s.strTargetDriverName.empty() && s.strPowerOFFBitmap.empty() && s.strPowerONBitmap.empty() &&
              s.lstPlugin.empty());
}

TEST_F(SetupIni, FlagAndChoiceKeys) {
  const struct {
    const char* pszLine;
    int CSetupIniSettings::*pField;
    int nExpected;
  } rows[] = {
      {"ShowLicenseDialog=off", &CSetupIniSettings::bShowLicenseDialog, 0},
      {"ShowLicenseDialog=yes", &CSetupIniSettings::bShowLicenseDialog, 1},
      {"ShowLicenseDialog=", &CSetupIniSettings::bShowLicenseDialog, 1},
      {"ShowModelDialog=yes", &CSetupIniSettings::bShowModelDialog, 0},
      {"ShowModelDialog=on", &CSetupIniSettings::bShowModelDialog, 1},
      {"ShowModelDialog=", &CSetupIniSettings::bShowModelDialog, 0},
      {"ShowConnectDialog=On", &CSetupIniSettings::bShowConnectDialog, 1},
      {"ShowSetupDialog=OFF", &CSetupIniSettings::bShowSetupDialog, 0},
      {"ShowCompleteDialog=Off", &CSetupIniSettings::bShowCompleteDialog, 0},
      {"ShowNextComponentDialog=ON", &CSetupIniSettings::bShowNextComponentDialog, 1},
      {"SpoolerControl=on", &CSetupIniSettings::bSpoolerControl, 1},
      {"DriverSelectMode=on", &CSetupIniSettings::bDriverSelectMode, 1},
      {"ExecAddMonitor=off", &CSetupIniSettings::bExecAddMonitor, 0},
      {"VisibleUpdatePrinter=off", &CSetupIniSettings::bVisibleUpdatePrinter, 0},
      {"VisibleDeletePrinter=on", &CSetupIniSettings::bVisibleDeletePrinter, 1},
      {"VisibleUSBPrinter=off", &CSetupIniSettings::bVisibleUSBPrinter, 0},
      {"ShowDefaultPrinterDialog=off", &CSetupIniSettings::bShowDefaultPrinterDialog, 0},
      {"DefaultPrinterDialogOmitValue=off", &CSetupIniSettings::bDefaultPrinterDialogOmitValue, 0},
      {"USBInst=off", &CSetupIniSettings::bUSBInst, 0},
      {"NetworkPrinterSearch=off", &CSetupIniSettings::bNetworkPrinterSearch, 0},
      {"ConnectKind=other", &CSetupIniSettings::nConnectKind, CONNECTKIND_OTHER},
      {"ConnectKind=LAN", &CSetupIniSettings::nConnectKind, CONNECTKIND_USB},
      {"SetupKind=rep", &CSetupIniSettings::nSetupKind, SETUPKIND_INI_REP},
      {"SetupKind=DEL", &CSetupIniSettings::nSetupKind, SETUPKIND_INI_DEL},
      {"SetupKind=Usb", &CSetupIniSettings::nSetupKind, SETUPKIND_INI_USB},
      {"SetupKind=NEW", &CSetupIniSettings::nSetupKind, SETUPKIND_INI_ADD},
      {"PluginOrder=dsc", &CSetupIniSettings::nPluginOrder, PLUGINORDER_DSC},
      {"PluginOrder=INI", &CSetupIniSettings::nPluginOrder, PLUGINORDER_INI},
      {"PrinterType=single", &CSetupIniSettings::nPrinterType, PRINTERTYPE_SINGLE},
      {"DefaultAgreeElement=NoSelect", &CSetupIniSettings::nDefaultAgreeElement, AGREE_NOSELECT},
      {"DefaultAgreeElement=notagree", &CSetupIniSettings::nDefaultAgreeElement, AGREE_NOTAGREE},
      {"DefaultAgreeElement=maybe", &CSetupIniSettings::nDefaultAgreeElement, AGREE_AGREE},
      {"DefaultConnectTypeElement=USB", &CSetupIniSettings::nDefaultConnectTypeElement, CONNECTTYPE_USB},
      {"DefaultConnectTypeElement=noselect", &CSetupIniSettings::nDefaultConnectTypeElement, CONNECTTYPE_NOSELECT},
      {"DefaultConnectTypeElement=", &CSetupIniSettings::nDefaultConnectTypeElement, CONNECTTYPE_NETWORK},
      {"IconType=2", &CSetupIniSettings::nIconType, 2},
      {"IconType=3", &CSetupIniSettings::nIconType, 1},
      {"RebootLevel=1", &CSetupIniSettings::nRebootLevel, 1},
      {"RebootLevel= 5 ", &CSetupIniSettings::nRebootLevel, 5},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(readSetup(std::string(row.pszLine) + "\n")) << row.pszLine;
    EXPECT_EQ(CKVISetupIniInfo::kGetPublished().*row.pField, row.nExpected) << row.pszLine;
  }
}

TEST_F(SetupIni, TextKeys) {
  ASSERT_TRUE(readSetup("NextComponent=  Next Part  \nTargetDriverName= Drv X \nVendorID= VID_1234 \n"
                        "ProductID=PID_0001\nMultipleInterfaceID=MI_00\nPowerOFFBitmap=off.bmp\n"
                        "PowerONBitmap=res\\on.bmp\n"));
  const CSetupIniSettings& s = CKVISetupIniInfo::kGetPublished();
  EXPECT_EQ(s.strNextComponent, "Next Part");
  EXPECT_EQ(s.strTargetDriverName, "Drv X");
  EXPECT_EQ(s.strVendorID, "VID_1234");
  EXPECT_EQ(s.strProductID, "PID_0001");
  EXPECT_EQ(s.strMultipleInterfaceID, "MI_00");
  EXPECT_EQ(s.strPowerOFFBitmap, "off.bmp");
  EXPECT_EQ(s.strPowerONBitmap, "res\\on.bmp");
  // An empty VendorID falls back to the default; the other ids stay empty.
  ASSERT_TRUE(readSetup("VendorID=\nProductID=\n"));
  EXPECT_EQ(CKVISetupIniInfo::kGetPublished().strVendorID, kDefaultVendorID);
  EXPECT_EQ(CKVISetupIniInfo::kGetPublished().strProductID, "");
}

TEST_F(SetupIni, PortMonitorAndWaitTime) {
  const struct {
    const char* pszLine;
    const char* pszName;
    const char* pszFile;
  } monitors[] = {
      {"PortMonitor=MyMon", "MyMon", "USBMON.DLL"},
      {"PortMonitor=MyMon,MYMON.DLL", "MyMon", "MYMON.DLL"},
      {"PortMonitor= My Mon , my.dll ", "My Mon", "my.dll"},
      {"PortMonitor=MyMon,", "MyMon", "USBMON.DLL"},
      {"PortMonitor=,x.dll", "USBMON", "x.dll"},
      {"PortMonitor=", "USBMON", "USBMON.DLL"},
  };
  for (const auto& row : monitors) {
    ASSERT_TRUE(readSetup(std::string(row.pszLine) + "\n")) << row.pszLine;
    EXPECT_EQ(CKVISetupIniInfo::kGetPublished().strPortMonitorName, row.pszName) << row.pszLine;
    EXPECT_EQ(CKVISetupIniInfo::kGetPublished().strPortMonitorFile, row.pszFile) << row.pszLine;
  }
  const struct {
    const char* pszLine;
    DWORD dwExpected;
  } waits[] = {{"USBConnectWaitTime=30", 180000},  {"USBConnectWaitTime=601", 180000},
               {"USBConnectWaitTime=60", 60000},   {"USBConnectWaitTime=600", 600000},
               {"USBConnectWaitTime=-5", 180000},  {"USBConnectWaitTime=abc", 180000},
               {"USBConnectWaitTime=", 180000},    {"USBConnectWaitTime=240", 240000}};
  for (const auto& row : waits) {
    ASSERT_TRUE(readSetup(std::string(row.pszLine) + "\n")) << row.pszLine;
    EXPECT_EQ(CKVISetupIniInfo::kGetPublished().dwUSBConnectWaitTime, row.dwExpected) << row.pszLine;
  }
  // Both ways out of the reader leave their numbered line.
  ASSERT_TRUE(readSetup("USBConnectWaitTime=30\n"));
  EXPECT_NE(takeLog().find("CKVISetupIniInfo::kUSBConnectWaitTime() return TRUE (1) USBConnectWaitTime=30 "),
            std::string::npos);
  ASSERT_TRUE(readSetup("USBConnectWaitTime=240\n"));
  EXPECT_NE(takeLog().find("CKVISetupIniInfo::kUSBConnectWaitTime() return TRUE (2) USBConnectWaitTime=240000\n"),
            std::string::npos);
}

TEST_F(SetupIni, MalformedValuesStopTheReadingWithTheKeyName) {
  const struct {
    const char* pszLines;
    int nOpenReadExit;
    const char* pszKey;
  } rows[] = {
      {"RebootLevel=7\n", 10, "RebootLevel"},
      {"RebootLevel=\n", 10, "RebootLevel"},
      {"RebootLevel=0\n", 10, "RebootLevel"},
      {"RebootLevel=12\n", 10, "RebootLevel"},
      {"PrinterType=Multi\nProductID=\nMultipleInterfaceID=MI_01\n", 28, "VendorID ProductID MultipleInterfaceID"},
      {"PrinterType=multi\nProductID=PID_1\n", 28, "VendorID ProductID MultipleInterfaceID"},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(readSetup("ShowLicenseDialog=off\n"));
    EXPECT_FALSE(readSetup(row.pszLines)) << row.pszLines;
    EXPECT_EQ(m_reader.kGetCurrentKey(), row.pszKey) << row.pszLines;
    EXPECT_EQ(exitOf(takeLog(), "kOpenRead"), row.nOpenReadExit) << row.pszLines;
    // The published settings are those of the last good reading.
    EXPECT_EQ(CKVISetupIniInfo::kGetPublished().bShowLicenseDialog, 0) << row.pszLines;
  }
  ASSERT_TRUE(readSetup("PrinterType=Multi\nVendorID=VID_1\nProductID=PID_1\nMultipleInterfaceID=MI_01\n"));
  EXPECT_EQ(CKVISetupIniInfo::kGetPublished().nPrinterType, PRINTERTYPE_MULTI);
  EXPECT_NE(takeLog().find("CKVISetupIniInfo::kIsPrinterTypeMulti() return TRUE (3) "), std::string::npos);
  ASSERT_TRUE(readSetup("PrinterType=Single\n"));
  EXPECT_NE(takeLog().find("CKVISetupIniInfo::kIsPrinterTypeMulti() return TRUE (2) "), std::string::npos);
}

TEST_F(SetupIni, PluginsApplyByTheirSystemTokens) {
  m_pkg.makeDir("pkg\\tools");
  m_pkg.writeAnsi("pkg\\tools\\setup.exe", "MZ");
  const std::string strPlugins =
      "[Setup]\n"
      "[Plugin.Tools]\nSupportOS=WINXP, WIN2K\nComponentName=Tools\nSetup=tools\\setup.exe /s\n"
      "StatusMonitorSupport=YES\nPlatform=ntamd64\n"
      "[PLUGIN.VISTA]\nSupportOS=winvista\nComponentName=Later\nSetup=tools\\setup.exe\n"
      "[PlugIn.All]\nComponentName=Everywhere\nSetup=tools\\setup.exe\n"
      "[Plugins]\nComponentName=not a plug-in section\n";
  const struct {
    const char* pszOs;
    const char* pszToken;
    std::vector<std::string> lstSections;
  } rows[] = {
      {"win2k", "WIN2K", {"PLUGIN.TOOLS", "PLUGIN.ALL"}},
      {"xp", "WINXP", {"PLUGIN.TOOLS", "PLUGIN.ALL"}},
      {"vista", "WINVISTA", {"PLUGIN.VISTA", "PLUGIN.ALL"}},
      {"win10", "WINVISTA", {"PLUGIN.VISTA", "PLUGIN.ALL"}},
  };
  for (const auto& row : rows) {
    setOs(row.pszOs);
    EXPECT_EQ(CKVISetupIniInfo::kGetOsToken(), row.pszToken);
    ASSERT_TRUE(read(strPlugins)) << row.pszOs;
    std::vector<std::string> lstSections;
    for (const CPluginInfo& info : CKVISetupIniInfo::kGetPublished().lstPlugin) lstSections.push_back(info.strSectionName);
    EXPECT_EQ(lstSections, row.lstSections) << row.pszOs;
  }
  setOs("win2k");
  ASSERT_TRUE(read(strPlugins));
  const CPluginInfo& tools = CKVISetupIniInfo::kGetPublished().lstPlugin.at(0);
  EXPECT_EQ(tools.strComponentName, "Tools");
  EXPECT_EQ(tools.strSetup, "tools\\setup.exe /s");
  EXPECT_EQ(tools.strStatusMonitorSupport, "YES");
  EXPECT_EQ(tools.strPlatform, "ntamd64");
}

TEST_F(SetupIni, PluginFailuresStopTheReading) {
  m_pkg.writeAnsi("pkg\\setup.exe", "MZ");
  const std::string strGood = "ComponentName=C\nSetup=setup.exe\n";
  const struct {
    std::string strSection;
    int nPluginExit;
    const char* pszKey;
  } rows[] = {
      {"SupportOS=WIN7\n" + strGood, 2, "SupportOS"},
      {"SupportOS=WIN7,WIN2K\n" + strGood, 3, "SupportOS"},
      {"SupportOS=WINXP,,WIN2K\n" + strGood, 3, "SupportOS"},
      {"Setup=setup.exe\n", 4, "ComponentName"},
      {"ComponentName=\nSetup=setup.exe\n", 4, "ComponentName"},
      {"ComponentName=C\n", 5, "Setup"},
      {"ComponentName=C\nSetup=\n", 6, "Setup"},
      {"ComponentName=C\nSetup=missing.exe /x\n", 7, "Setup"},
      {strGood + "StatusMonitorSupport=\n", 8, "StatusMonitorSupport"},
      {strGood + "Platform=\n", 9, "Platform"},
      {strGood + "Platform=NTia64\n", 10, "Platform"},
  };
  for (const auto& row : rows) {
    EXPECT_FALSE(read("[PLUGIN.X]\n" + row.strSection)) << row.strSection;
    const std::string strAgain = takeLog();
    EXPECT_EQ(m_reader.kGetCurrentKey(), row.pszKey) << row.strSection;
    EXPECT_EQ(exitOf(strAgain, "kPluginList"), row.nPluginExit) << row.strSection;
    EXPECT_EQ(exitOf(strAgain, "kOpenRead"), 13) << row.strSection;
  }
  // A plug-in for another system is not checked at all.
  EXPECT_TRUE(read("[PLUGIN.X]\nSupportOS=WINXP\nSetup=missing.exe\n"));
}

}  // namespace
