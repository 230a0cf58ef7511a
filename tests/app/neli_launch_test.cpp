// The external installer's command line in every form, and its launch with
// the stand-in installer: the status it reports, and an installer that is
// missing, crashes, is cancelled or fails under +1.
#include <string>
#include <vector>

#include "app/app_fixture.h"
#include "app/window_messages.h"
#include "system/command_line_text.h"
#include "wizard/main_frame.h"

namespace {

// The Windows path of a host file of the build: the host's "/" is Z:.
std::string windowsPathOf(const std::string& strHost) {
  std::string strOut = "Z:" + strHost;
  for (char& c : strOut) {
    if (c == '/') c = '\\';
  }
  return strOut;
}

class NeliLaunch : public apptest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
    ASSERT_TRUE(CMainFrame::kRegisterClass());
    m_app.m_pMainFrame = std::make_unique<CMainFrame>(m_app);
    m_app.m_hMainWnd = m_app.m_pMainFrame->kCreate("frame");
    ASSERT_NE(m_app.m_hMainWnd, nullptr);
    m_app.kRegisterMessageID();
    m_app.m_strLangCode = "0409";
    m_app.m_strInitPrnParam = "SELECT";
    char szTemp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, szTemp);
    CreateDirectoryA(szTemp, nullptr);
    m_app.m_strLogFile = std::string(szTemp) + "INNELI.LOG";
  }
  void TearDown() override {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVSim\\NELI");
    AppFixture::TearDown();
  }
  CMainFrame& frame() { return *m_app.m_pMainFrame; }
  std::string line(BOOL bAddForce = FALSE) { return frame().kMakeNELICommandLine("C:\\N.EXE", "C:\\I.INI", bAddForce); }
  std::string head(const char* pszH = "+H:0409") {
    char sz[128];
    std::snprintf(sz, sizeof sz, "\"C:\\N.EXE\" +X:\"C:\\I.INI\" %s +W:%08x +M:%05x", pszH,
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_app.m_hMainWnd)), WM_APPBASE_MESSAGE);
    return sz;
  }
  void knob(const char* pszName, DWORD dwValue) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVSim\\NELI", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &hKey, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof(dwValue));
    RegCloseKey(hKey);
  }
  // Runs the handler in batch delete mode (the stand-in then has little to
  // do) and returns the messages the frame posted to itself.
  std::vector<UINT> runInstaller() {
    m_app.m_strModulePath = windowsPathOf(KV_STAGE_DIR) + "\\";
    m_app.m_bBSwitch = 1;
    m_app.m_nSetupKind = SETUPKIND_DELETE;
    m_app.m_strDeleteComponentName = "KV Nothing";
    frame().kOnExecuteNELI(0, 0);
    return posted();
  }
  std::vector<UINT> posted() {
    std::vector<UINT> lst;
    MSG msg;
    while (PeekMessageA(&msg, m_app.m_hMainWnd, 0, 0, PM_REMOVE)) {
      // What the installer posted besides its status stays for the frame.
      if (msg.message == WM_APPMESSAGE_PROGRESS || msg.message == WM_APPMESSAGE_CONNENCT) continue;
      if (msg.message >= 0xC000 || msg.message == WM_CLOSE) lst.push_back(msg.message);
    }
    return lst;
  }
};

TEST_F(NeliLaunch, ModuleNameFollowsTheArchitecture) { EXPECT_EQ(frame().kGetNELIModuleName(), "NELI64.EXE"); }

TEST_F(NeliLaunch, CommandLineOfEachSetupKind) {
  // Interactive add without USB: +K and the initial-settings mode.
  EXPECT_EQ(line(), head() + " +K +8:\"SELECT\"");
  m_app.m_bUSBInstall = 1;
  EXPECT_EQ(line(), head() + " +K");
  // Update: +Z, and +6 only when given.
  m_app.m_nSetupKind = SETUPKIND_UPDATE;
  EXPECT_EQ(line(), head() + " +Z");
  m_app.m_b6Switch = 1;
  m_app.m_strDriversNameIniFile = "C:\\D.INI";
  EXPECT_EQ(line(), head() + " +Z +6:\"C:\\D.INI\"");
  // Delete never carries +6 unless diverting.
  m_app.m_nSetupKind = SETUPKIND_DELETE;
  EXPECT_EQ(line(), head() + " +K");
  m_app.m_bDivertPrinter = 1;
  m_app.m_bBSwitch = 1;
  m_app.m_b1Switch = 1;
  m_app.m_bZSwitch = 1;
  m_app.m_strDivertMode = "Force";
  EXPECT_EQ(line(), head() + " +1 +Z +C:Force +6:\"C:\\D.INI\"");
  // Batch add: the batch switches, then +8 without USB.
  m_app.m_bDivertPrinter = 0;
  m_app.m_b6Switch = 0;
  m_app.m_bUSBInstall = 0;
  m_app.m_nSetupKind = SETUPKIND_ADD;
  m_app.m_strInitPrnParam = "NODISPLAY";
  EXPECT_EQ(line(), head() + " +1 +Z +8:\"NODISPLAY\"");
  m_app.m_b1Switch = 0;
  EXPECT_EQ(line(), head() + " +Z +8:\"NODISPLAY\"");
}

TEST_F(NeliLaunch, HostileValuesAreReadBackAsTheyWereGiven) {
  // A quote in +8 or +6 must not end the value: the installer would read
  // another interface file (+X) and uninstall instead of adding.
  m_app.m_bBSwitch = 1;
  m_app.m_nSetupKind = SETUPKIND_ADD;
  m_app.m_b6Switch = 1;
  const std::string strMode = "DISPLAY\" +X:\"C:\\EVIL\\E.INI";
  const std::string strNames = "C:\\names dir\\";
  m_app.m_strInitPrnParam = strMode;
  m_app.m_strDriversNameIniFile = strNames;
  const std::string strLine = frame().kMakeNELICommandLine("C:\\N.EXE", "C:\\I\\", FALSE);
  const std::vector<std::string> lstArgs = kSplitCommandLine(strLine);
  ASSERT_EQ(lstArgs.size(), 7u) << strLine;
  EXPECT_EQ(lstArgs[0], "C:\\N.EXE");
  EXPECT_EQ(lstArgs[1], "+X:C:\\I\\");
  EXPECT_EQ(lstArgs[5], "+8:" + strMode) << strLine;
  EXPECT_EQ(lstArgs[6], "+6:" + strNames) << strLine;
  int nInterfaceFiles = 0;
  for (const std::string& strArg : lstArgs) nInterfaceFiles += strArg.rfind("+X:", 0) == 0 ? 1 : 0;
  EXPECT_EQ(nInterfaceFiles, 1) << strLine;
}

TEST_F(NeliLaunch, CommandLineCarriesTheLanguageByTheHSwitch) {
  m_app.m_bUSBInstall = 1;
  m_app.m_bHSwitch = 1;
  m_app.m_bHSwitchPlus = 1;
  m_app.m_strHSwitchValue = "0411";
  EXPECT_EQ(line(), head("+H:0411") + " +K");
  m_app.m_bHSwitchPlus = 0;
  EXPECT_EQ(line(), head("-H:0x0409") + " +K");
}

TEST_F(NeliLaunch, AddForceCommandLineEndsWithABlank) {
  EXPECT_EQ(line(TRUE), head() + " +Z ");
  m_app.m_strInstManHWnd = "1a2b";
  m_app.m_strInstManMessage = "c001";
  EXPECT_EQ(line(TRUE), head() + " ");
  m_app.m_b6Switch = 1;
  m_app.m_strDriversNameIniFile = "C:\\D.INI";
  EXPECT_EQ(line(TRUE), head() + " +6:\"C:\\D.INI\" ");
}

TEST_F(NeliLaunch, HandleAndMessageAreWrittenInTheirWidths) {
  const unsigned uSaved = WM_APPBASE_MESSAGE;
  WM_APPBASE_MESSAGE = 0xC123;
  m_app.m_bUSBInstall = 1;
  const std::string strLine = line();
  WM_APPBASE_MESSAGE = uSaved;
  EXPECT_NE(strLine.find(" +M:0c123 +K"), std::string::npos) << strLine;
  const size_t nAt = strLine.find("+W:");
  ASSERT_NE(nAt, std::string::npos);
  EXPECT_EQ(strLine.find(' ', nAt) - nAt, 11u) << strLine;
}

TEST_F(NeliLaunch, MissingInstallerEndsTheWizardWithAnError) {
  m_app.m_strModulePath = m_pkg.folder();
  m_app.m_bBSwitch = 1;
  m_app.m_nSetupKind = SETUPKIND_DELETE;
  m_app.m_strDeleteComponentName = "KV Nothing";
  frame().kOnExecuteNELI(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_CLOSE});
  EXPECT_EQ(m_app.m_bInstallError, 1);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("CMainFrame::kOnExecuteNELI() return 1 (1) LastError=2 kGetShortPathName returned FALSE.\n"),
            std::string::npos)
      << strLog;
  EXPECT_NE(strLog.find("kDispErrorMessage() IDS_ERR_NELIWAKEUP"), std::string::npos) << strLog;
}

TEST_F(NeliLaunch, ReportedStatusSetsTheFlagsAndTheWizardGoesOn) {
  knob("Status", 0x10004);
  EXPECT_EQ(runInstaller(), std::vector<UINT>{WM_DISP_COMPLETE});
  EXPECT_EQ(m_app.m_bSuccess, 1);
  EXPECT_EQ(m_app.m_bWarning, 1);
  EXPECT_EQ(m_app.m_bOSReboot, 1);
  EXPECT_EQ(m_app.m_bInstallError, 0);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find(" +X:\""), std::string::npos) << strLog;
  EXPECT_NE(strLog.find("CMainFrame::kOnExecuteNELI() post WM_DISP_COMPLETE\n"), std::string::npos) << strLog;
  // The frame is enabled again.
  EXPECT_TRUE(IsWindowEnabled(m_app.m_hMainWnd));
}

TEST_F(NeliLaunch, CrashedInstallerIsAnInstallationError) {
  knob("Crash", 1);
  EXPECT_EQ(runInstaller(), std::vector<UINT>{WM_DISP_COMPLETE});
  EXPECT_EQ(m_app.m_bInstallError, 1);
  EXPECT_EQ(m_app.m_bSuccess, 0);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("the installer ended without reporting its status: dwExitCode=3221225477"),
            std::string::npos) << strLog;
}

TEST_F(NeliLaunch, SilentCancelledInstallerIsABreakOff) {
  knob("NoPost", 1);
  knob("ExitCode", ERROR_CANCELLED);
  EXPECT_EQ(runInstaller(), std::vector<UINT>{WM_DISP_COMPLETE});
  EXPECT_EQ(m_app.m_bBreakOff, 1);
  EXPECT_EQ(m_app.m_bInstallError, 0);
}

TEST_F(NeliLaunch, SilentModeTakesTheExitCodeAndEndsOnFailure) {
  m_app.m_b1Switch = 1;
  knob("Status", 1);
  knob("ExitCode", 5);
  EXPECT_EQ(runInstaller(), std::vector<UINT>{WM_CLOSE});
  EXPECT_EQ(m_app.m_dwNELIExitCode, 5u);
  EXPECT_EQ(m_app.m_bInstallError, 1);
  EXPECT_NE(takeLog().find("CMainFrame::kOnExecuteNELI() post WM_CLOSE dwExitCode=5\n"), std::string::npos);
}

TEST_F(NeliLaunch, StatusDispatchedInTheWaitEndsItWhileTheInstallerRuns) {
  knob("Status", 0);
  knob("Linger", 200000);  // two seconds on the tests' clock
  EXPECT_EQ(runInstaller(), std::vector<UINT>{WM_DISP_COMPLETE});
  EXPECT_EQ(m_app.m_bSuccess, 1);
  // The installer still runs: the last words of its log are not there yet.
  const std::string strReport = apptest::readText(m_app.m_strLogFile);
  EXPECT_NE(strReport.find("NELI: status 0x00000000"), std::string::npos) << strReport;
  EXPECT_EQ(strReport.find("NELI: ended"), std::string::npos) << strReport;
  for (int i = 0; i < 500 && apptest::readText(m_app.m_strLogFile).find("NELI: ended") == std::string::npos; ++i) {
    Sleep(1000);
  }
}

TEST_F(NeliLaunch, CreateProcessCountsAFailingExitCodeUnlessIgnoredOrCancelled) {
  const std::string strNeli = "\"" + windowsPathOf(KV_STAGE_DIR) + "\\INSTDLL\\NELI64.EXE\"";
  knob("NoPost", 1);
  knob("ExitCode", ERROR_CANCELLED);
  EXPECT_TRUE(frame().kCreateProcess(strNeli, FALSE));
  EXPECT_EQ(m_app.m_bInstallError, 0);
  knob("ExitCode", 7);
  EXPECT_TRUE(frame().kCreateProcess(strNeli, TRUE));
  EXPECT_EQ(m_app.m_bInstallError, 0);
  EXPECT_TRUE(frame().kCreateProcess(strNeli, FALSE));
  EXPECT_EQ(m_app.m_bInstallError, 1);
  EXPECT_FALSE(frame().kCreateProcess("\"C:\\nowhere\\NELI64.EXE\"", FALSE));
  EXPECT_NE(takeLog().find("CMainFrame::kCreateProcess() return FALSE (1) LastError="), std::string::npos);
}

TEST_F(NeliLaunch, AddForceRunsTheInstallerAndGoesToTheInitialSettings) {
  knob("Status", 0);
  m_app.m_strModulePath = windowsPathOf(KV_STAGE_DIR) + "\\";
  m_app.m_CDE.strDriverName = "KV Nothing";
  m_app.m_CDE.strDriverPath = "C:\\PKG";
  m_app.m_CDE.strPlatform = "NTamd64";
  ASSERT_TRUE(m_app.m_pSpoolerInfomation->kMakePortList());
  ASSERT_TRUE(m_app.kMakeInterfaceFileAddForce());
  frame().kOnExecuteNELIAddForce(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_DISP_INITPRNSELECT});
  EXPECT_EQ(m_app.m_bSuccess, 1);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("CMainFrame::kOnExecuteNELIAddForce() post WM_DISP_INITPRNSELECT (3)\n"), std::string::npos)
      << strLog;
  // No parent installer: the line asks for +Z and ends with a blank.
  EXPECT_NE(strLog.find(" +Z ]\n"), std::string::npos) << strLog;
}

TEST_F(NeliLaunch, AddForceWithoutTheInstallerNamesItsPath) {
  m_app.m_strModulePath = m_pkg.folder();
  frame().kOnExecuteNELIAddForce(0, 0);
  EXPECT_EQ(posted(), std::vector<UINT>{WM_CLOSE});
  EXPECT_EQ(m_app.m_bInstallError, 1);
  const std::string strLog = takeLog();
  EXPECT_NE(strLog.find("CMainFrame::kOnExecuteNELIAddForce() post WM_CLOSE (1) LastError=2"), std::string::npos)
      << strLog;
  EXPECT_NE(strLog.find("INSTDLL\\NELI64.EXE"), std::string::npos) << strLog;
}

}  // namespace
