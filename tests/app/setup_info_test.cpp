// The setup information gathered before the wizard starts: which candidate
// drivers are admitted on each system, what the analysis of a package
// leaves in the setup list or shows when it fails, and the present lists
// written to the detail log.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/run_outcome.h"

#include "app_fixture.h"
#include "machine.h"
#include "machine_settings.h"
#include "support/scratch.h"
#include "system/environment.h"

namespace {

namespace fs = std::filesystem;

char* s(const char* pszText) { return const_cast<char*>(pszText); }

// The texts the catalogue of these tests holds for the messages involved.
constexpr const char kNoSetupInfo[] = "No setup information.";
constexpr const char kSearchPath[] = "Search path:";
constexpr const char kReadInf[] = "Bad printer INF.";
constexpr const char kPresentList[] = "No present list.";
constexpr const char kErrKind[] = "Kind:";

class SetupInfo : public apptest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    m_saved = winsim::machineSettings();
    m_pkg.writeUtf16("pkg\\DrvInst\\KV_MSG.INI",
                     u"[English]\nAFX_IDS_APP_TITLE=Test Setup\nIDS_ERR_NOSETUPINFO=No setup information.\n"
                     u"IDS_ERR_SEARCHPATH=Search path:\nIDS_ERR_READINFERR=Bad printer INF.\n"
                     u"IDS_ERR_OTHERERR=Other error.\nIDS_ERR_PRESENTLISTERR=No present list.\n"
                     u"IDS_ERRKIND=Kind:\nIDS_ERRCODE=Code:\n");
    ASSERT_TRUE(m_app.m_pRscCommon->kCollectiveFileAnalyze()) << m_app.m_pRscCommon->kGetErrorMessage();
    ASSERT_TRUE(m_app.kGetLocaleInfo(1));
    m_app.m_strErrKind = kErrKind;
    m_app.m_strErrCode = "Code:";
    ASSERT_EQ(m_app.m_pDriverInfomation->VEXOInitialize(m_pkg.folder() + "INSTDLL\\DrvInst"), VEXOERR_SUCCESS);
    setOs("win7", "amd64");
    takeLog();
  }
  void TearDown() override {
    std::string error;
    EXPECT_TRUE(winsim::applySettings(m_saved, &error)) << error;
    (void)CEnvironment::kGetOsVersionCheck();
    AppFixture::TearDown();
  }

  static void setOs(const char* pszName, const char* pszArch) {
    winsim::OsChoice choice;
    choice.kind = winsim::findOsKind(pszName);
    ASSERT_NE(choice.kind, nullptr) << pszName;
    winsim::MachineSettings settings;
    std::string error;
    ASSERT_TRUE(winsim::settingsForOs(winsim::machineSettings(), choice, &settings, &error)) << error;
    settings = winsim::rederiveForArchitecture(settings, pszArch);
    ASSERT_TRUE(winsim::applySettings(settings, &error)) << error;
    (void)CEnvironment::kGetOsVersionCheck();
  }

  static CCandidateDriver candidate(const std::string& strName, DWORD dwVersion, const std::string& strPlatform,
                                    std::int64_t tmTime = 1000) {
    CCandidateDriver c;
    c.strDriverName = strName;
    c.dwInfOSVersion = dwVersion;
    c.strPlatform = strPlatform;
    c.tmDriverFileTime = tmTime;
    return c;
  }

  // Asks for admission to the list as the analysis does (an admitted
  // candidate is appended); the decision number, negated for a refusal.
  int admit(CCandidateDriverList& lst, const CCandidateDriver& c) {
    takeLog();
    const int nResult = m_app.kCheckElementAddToList(lst, c);
    if (nResult == 1) lst.push_back(c);
    const std::string strLog = takeLog();
    const std::string strMark = "CKV_SETUPApp::kCheckElementAddToList() return [" + std::to_string(nResult) + "] (";
    const size_t nAt = strLog.rfind(strMark);
    if (nAt == std::string::npos) return 100;  // no decision logged
    const int nDecision = std::atoi(strLog.c_str() + nAt + strMark.size());
    return nResult == 1 ? nDecision : -nDecision;
  }

  static std::vector<std::string> namesOf(const CCandidateDriverList& lst) {
    std::vector<std::string> v;
    for (const CCandidateDriver& c : lst) v.push_back(c.strDriverName + "/" + std::to_string(c.dwInfOSVersion) + "/" +
                                                      std::to_string(c.tmDriverFileTime));
    return v;
  }

  // The last message kDispErrorMessage handled in the log: whether it was
  // shown, and its whole text.
  static std::string messageIn(const std::string& strLog, int* pShown = nullptr) {
    const std::string strMark = "CKV_SETUPApp::kDispErrorMessage() ";
    const size_t nAt = strLog.rfind(strMark);
    if (nAt == std::string::npos) return "(none)";
    const size_t nShown = strLog.find("shown=", nAt);
    if (pShown) *pShown = std::atoi(strLog.c_str() + nShown + 6);
    const size_t nOpen = strLog.find("  [", nAt);
    const size_t nClose = strLog.find("]\n", nOpen);
    return strLog.substr(nOpen + 3, nClose - nOpen - 3);
  }
  static bool has(const std::string& strText, const std::string& strPart) {
    return strText.find(strPart) != std::string::npos;
  }

  // Runs the analysis of a package folder; its result, with the log.
  BOOL analyse(const std::string& strFolder, std::string& strLog) {
    m_app.m_strRestrictPath = strFolder;
    takeLog();
    const BOOL bResult = m_app.kMakeSetupInfomation();
    strLog = takeLog();
    return bResult;
  }

  void makeMainWindow() {
    m_app.m_hMainWnd = CreateWindowExA(0, "STATIC", "Test Setup", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                       nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(m_app.m_hMainWnd, nullptr) << GetLastError();
  }

  winsim::MachineSettings m_saved;
};

// ---- Admission to the setup list ------------------------------------------------

TEST_F(SetupInfo, DriverVersionsAdmittedPerSystemKind) {
  const struct {
    const char* pszOs;
    const char* pszArch;
    bool bAdmit[4];  // versions 0 to 3
  } rows[] = {
      {"win98", "x86", {true, false, false, false}},  {"winme", "x86", {true, false, false, false}},
      {"nt4", "x86", {false, false, true, false}},    {"win2k", "x86", {false, false, true, true}},
      {"xp", "x86", {false, false, true, true}},      {"xp", "amd64", {false, false, true, true}},
      {"vista", "x86", {false, false, false, true}},  {"win7", "amd64", {false, false, false, true}},
      {"win10", "amd64", {false, false, false, true}},
  };
  for (const auto& row : rows) {
    setOs(row.pszOs, row.pszArch);
    const std::string strPlatform = CEnvironment::kGetPerentDriverPlatform();
    for (DWORD dwVersion = 0; dwVersion <= 3; ++dwVersion) {
      CCandidateDriverList lst;
      EXPECT_EQ(admit(lst, candidate("KV Laser", dwVersion, strPlatform)), row.bAdmit[dwVersion] ? 7 : -1)
          << row.pszOs << " " << row.pszArch << " version " << dwVersion;
    }
  }
}

TEST_F(SetupInfo, PlatformDecorationMustBeTheSystems) {
  CCandidateDriverList lst;
  EXPECT_EQ(admit(lst, candidate("KV x86", 3, "NTx86")), -2);
  EXPECT_EQ(admit(lst, candidate("KV ia64", 3, "NTia64")), -2);
  EXPECT_EQ(admit(lst, candidate("KV none", 3, "")), -2);
  // The decoration is compared without regard to case.
  EXPECT_EQ(admit(lst, candidate("KV x64", 3, "ntAMD64")), 7);
  // The version range is checked before the platform.
  EXPECT_EQ(admit(lst, candidate("KV old", 2, "NTx86")), -1);
  setOs("win7", "x86");
  EXPECT_EQ(admit(lst, candidate("KV x64 again", 3, "NTamd64")), -2);
  EXPECT_EQ(admit(lst, candidate("KV x86", 3, "NTx86")), 7);
  EXPECT_EQ(namesOf(lst), (std::vector<std::string>{"KV x64/3/1000", "KV x86/3/1000"}));
}

TEST_F(SetupInfo, SameNameAndVersionKeepsTheLaterDriverFile) {
  CCandidateDriverList lst;
  ASSERT_EQ(admit(lst, candidate("Other", 3, "NTamd64", 5)), 7);
  ASSERT_EQ(admit(lst, candidate("KV Laser", 3, "NTamd64", 1000)), 7);
  // Equal time: the entry already listed stays.
  EXPECT_EQ(admit(lst, candidate("KV Laser", 3, "NTamd64", 1000)), -3);
  EXPECT_EQ(admit(lst, candidate("KV Laser", 3, "NTamd64", 999)), -3);
  // A later file replaces it; the name is compared without regard to case.
  EXPECT_EQ(admit(lst, candidate("kv laser", 3, "NTamd64", 1001)), 4);
  EXPECT_EQ(namesOf(lst), (std::vector<std::string>{"Other/3/5", "kv laser/3/1001"}));
}

TEST_F(SetupInfo, HigherDriverVersionReplacesNeverTheReverse) {
  setOs("xp", "x86");
  CCandidateDriverList lst;
  ASSERT_EQ(admit(lst, candidate("KV Laser", 2, "NTx86", 2000)), 7);
  // A lower version is refused even with a later file.
  ASSERT_EQ(admit(lst, candidate("KV Jet", 3, "NTx86")), 7);
  EXPECT_EQ(admit(lst, candidate("KV Jet", 2, "NTx86", 5000)), -5);
  EXPECT_EQ(admit(lst, candidate("KV Laser", 3, "NTx86", 1)), 6);
  EXPECT_EQ(admit(lst, candidate("KV LASER", 2, "NTx86", 3000)), -5);
  EXPECT_EQ(namesOf(lst), (std::vector<std::string>{"KV Jet/3/1000", "KV Laser/3/1"}));
}

// Every rule a candidate breaks, for tools; the admission refuses with the first.
TEST_F(SetupInfo, EveryRefusalIsListedAndTheAdmissionTakesTheFirst) {
  const auto decisions = [](const CCandidateDriverList& lst, const CCandidateDriver& c) {
    std::vector<int> v;
    for (const auto& r : CKV_SETUPApp::kListAdmissionRefusals(lst, c)) v.push_back(r.nDecision);
    return v;
  };
  CCandidateDriverList lst;
  ASSERT_EQ(admit(lst, candidate("KV Laser", 3, "NTamd64", 1000)), 7);
  // Version, platform and the listed newer entry, all three.
  const CCandidateDriver worst = candidate("kv laser", 2, "NTx86", 999);
  EXPECT_EQ(decisions(lst, worst), (std::vector<int>{1, 2, 5}));
  EXPECT_EQ(admit(lst, worst), -1);
  EXPECT_EQ(decisions(lst, candidate("KV Laser", 3, "NTx86", 1000)), (std::vector<int>{2, 3}));
  EXPECT_EQ(decisions(lst, candidate("KV Laser", 3, "NTamd64", 1000)), (std::vector<int>{3}));
  // Admitted ones have none, and listing never changes the list.
  EXPECT_TRUE(decisions(lst, candidate("KV Laser", 3, "NTamd64", 1001)).empty());
  EXPECT_TRUE(decisions(lst, candidate("KV Jet", 3, "NTamd64")).empty());
  EXPECT_EQ(namesOf(lst), (std::vector<std::string>{"KV Laser/3/1000"}));
}

// ---- The analysis of the package ---------------------------------------------------

TEST_F(SetupInfo, DeleteKindAndDivertFormAnalyseNothing) {
  // The folder does not exist: an analysis would fail.
  const std::string strMissing = m_pkg.folder() + "nowhere";
  std::string strLog;
  m_app.m_nSetupKind = SETUPKIND_DELETE;
  EXPECT_TRUE(analyse(strMissing, strLog)) << strLog;
  EXPECT_FALSE(has(strLog, "kDispErrorMessage")) << strLog;
  m_app.m_nSetupKind = SETUPKIND_ADD;
  m_app.m_bDivertPrinter = 1;
  EXPECT_TRUE(analyse(strMissing, strLog)) << strLog;
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kMakeSetupInfomation() return TRUE (7) ")) << strLog;
  EXPECT_FALSE(has(strLog, "strSourcePath=")) << strLog;
  EXPECT_TRUE(m_app.m_lstSetupCandidate.empty());
}

TEST_F(SetupInfo, PackageFailuresShowTheirMessages) {
  const std::string strMissing = m_pkg.folder() + "nowhere";
  std::string strLog;
  EXPECT_FALSE(analyse(strMissing, strLog));
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kMakeSetupInfomation() return FALSE (3) ")) << strLog;
  EXPECT_EQ(messageIn(strLog), std::string(kNoSetupInfo) + "\n" + kSearchPath + " " + strMissing);

  const std::string strBadVersion = kvtest::dataPath("packages/bad_version");
  EXPECT_FALSE(analyse(strBadVersion, strLog));
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kMakeSetupInfomation() return FALSE (4) ")) << strLog;
  std::string strText1, strText2;
  m_app.m_pDriverInfomation->VEXOGetErrorInfomatio(strText1, strText2);
  EXPECT_EQ(messageIn(strLog), std::string(kReadInf) + "\n" + strText1 + "\nVersion");
  EXPECT_TRUE(m_app.m_lstSetupCandidate.empty());
}

TEST_F(SetupInfo, BatchTargetMissingIsAnErrorOfItsOwnToldSilentlyUnderPlus1) {
  // A driver name the package does not hold is the caller's mistake: an
  // error with its own exit code, told in the detail log (and the report);
  // under +1 no box is shown, since nobody would answer it.
  makeMainWindow();
  m_app.m_b1Switch = 1;
  m_app.m_bCmdLineAnalyzed = 1;
  m_app.m_bBSwitch = 1;
  m_app.m_bASwitch = 1;
  m_app.m_strAddDriverName = "KV Missing";
  const std::string strPackage = kvtest::dataPath("packages/amd64_ok");
  std::string strLog;
  int nShown = -1;
  EXPECT_FALSE(analyse(strPackage, strLog));
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kMakeSetupInfomation() return FALSE (2) LastError=0 "
                          "bTargetDriverExist is FALSE.\n"))
      << strLog;
  EXPECT_EQ(messageIn(strLog, &nShown), std::string(kNoSetupInfo) + "\n+A:KV Missing");
  EXPECT_EQ(nShown, 0);
  EXPECT_EQ(m_app.m_nRunFailure, KVEXIT_UNKNOWN_DRIVER);
  // The package's own driver was admitted all the same.
  EXPECT_EQ(m_app.m_lstSetupCandidate.size(), 1u);

  // Other failures stay silent under +1 too.
  EXPECT_FALSE(analyse(m_pkg.folder() + "nowhere", strLog));
  messageIn(strLog, &nShown);
  EXPECT_EQ(nShown, 0);

  // Without +1 the box tells the user.
  m_app.m_b1Switch = 0;
  m_app.m_bASwitch = 0;
  m_app.m_bRSwitch = 1;
  m_app.m_nSetupKind = SETUPKIND_UPDATE;
  m_app.m_strRenewDriverName = "KV Old";
  EXPECT_FALSE(analyse(strPackage, strLog));
  EXPECT_EQ(messageIn(strLog, &nShown), std::string(kNoSetupInfo) + "\n+R:KV Old");
  EXPECT_EQ(nShown, 1);
}

TEST_F(SetupInfo, BatchTargetMustBeAdmittedOnThisSystem) {
  m_app.m_bBSwitch = 1;
  m_app.m_bASwitch = 1;
  m_app.m_strAddDriverName = "kv test PRINTER";
  const std::string strPackage = kvtest::dataPath("packages/amd64_ok");
  std::string strLog;
  EXPECT_TRUE(analyse(strPackage, strLog)) << strLog;
  ASSERT_EQ(m_app.m_lstSetupCandidate.size(), 1u);
  EXPECT_EQ(m_app.m_lstSetupCandidate.front().strDriverName, "KV Test Printer");
  // A second analysis rebuilds the list rather than adding to it.
  EXPECT_TRUE(analyse(strPackage, strLog)) << strLog;
  EXPECT_EQ(m_app.m_lstSetupCandidate.size(), 1u);

  // The package holds the driver for x64 only.
  setOs("win7", "x86");
  EXPECT_FALSE(analyse(strPackage, strLog));
  EXPECT_TRUE(has(strLog, "return FALSE (2) ")) << strLog;
  EXPECT_TRUE(m_app.m_lstSetupCandidate.empty());
}

// ---- Present lists -------------------------------------------------------------------

class PresentList : public SetupInfo {
 protected:
  void TearDown() override {
    setPortFault(0);
    HANDLE hPrinter = nullptr;
    if (OpenPrinterA(s("KV Office"), &hPrinter, nullptr)) {
      DeletePrinter(hPrinter);
      ClosePrinter(hPrinter);
    }
    DeletePrinterDriverA(nullptr, s("Windows x64"), s("KV Laser"));
    SetupInfo::TearDown();
  }

  // Makes the spooler's port enumeration fail (0: work again).
  static void setPortFault(DWORD dwError) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVSim\\Faults", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &hKey, nullptr),
              ERROR_SUCCESS);
    if (dwError != 0) {
      RegSetValueExA(hKey, "Spooler.EnumPortsA", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwError),
                     sizeof(dwError));
    } else {
      RegDeleteValueA(hKey, "Spooler.EnumPortsA");
    }
    RegCloseKey(hKey);
  }

  static void addDriverAndPrinter() {
    char szDir[MAX_PATH] = {};
    DWORD cb = 0;
    ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, s("Windows x64"), 1, reinterpret_cast<LPBYTE>(szDir), sizeof szDir,
                                           &cb));
    for (const char* pszFile : {"KVDRV.DLL", "KVDATA.GPD", "KVUI.DLL"}) {
      const auto host = winsim::hostPath(std::string(szDir) + "\\" + pszFile);
      ASSERT_TRUE(host.has_value());
      fs::create_directories(host->parent_path());
      std::ofstream(*host, std::ios::binary) << "data";
    }
    DRIVER_INFO_6A d{};
    d.cVersion = 3;
    d.pName = s("KV Laser");
    d.pEnvironment = s("Windows x64");
    d.pDriverPath = s("KVDRV.DLL");
    d.pDataFile = s("KVDATA.GPD");
    d.pConfigFile = s("KVUI.DLL");
    ASSERT_TRUE(AddPrinterDriverExA(nullptr, 6, reinterpret_cast<LPBYTE>(&d), APD_COPY_ALL_FILES)) << GetLastError();
    PRINTER_INFO_2A p{};
    p.pPrinterName = s("KV Office");
    p.pPortName = s("LPT1:");
    p.pDriverName = s("KV Laser");
    p.pComment = s("second floor");
    p.pPrintProcessor = s("WinPrint");
    p.pDatatype = s("RAW");
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&p));
    ASSERT_NE(h, nullptr) << GetLastError();
    ClosePrinter(h);
  }
};

TEST_F(PresentList, DumpsDriversPrintersAndPorts) {
  addDriverAndPrinter();
  takeLog();
  ASSERT_TRUE(m_app.kMakePresentList());
  const std::string strLog = takeLog();

  ASSERT_EQ(m_app.m_lstPDL.size(), 1u);
  ASSERT_EQ(m_app.m_lstPPL.size(), 1u);
  const CPresentDriver& driver = m_app.m_lstPDL.front();
  std::string strPorts;
  for (const CPresentPort& port : m_app.m_lstPort) {
    strPorts += "*--------------- Present Port -------------------*\n"
                "    pPortName       = [" + port.strPortName + "]\n"
                "    pMonitorName    = [" + port.strMonitorName + "]\n"
                "    pDescription    = [" + port.strDescription + "]\n";
  }
  const std::string strExpected =
      "\n\n[Present Driver]\n"
      "*--------------- Present Driver -------------------*\n"
      "    cVersion        = [3]\n"
      "    pName           = [KV Laser]\n"
      "    pEnvironment    = [Windows x64]\n"
      "    pDriverPath     = [" + driver.strDriverPath + "]\n"
      "    pDataFile       = [" + driver.strDataFile + "]\n"
      "    pConfigFile     = [" + driver.strConfigFile + "]\n"
      "    pHelpFile       = []\n"
      "    pMonitorName    = []\n"
      "\n\n[Present Printer]\n"
      "*--------------- Present Printer -------------------*\n"
      "    pPrinterName    = [KV Office]\n"
      "    pShareName      = []\n"
      "    pPortName       = [LPT1:]\n"
      "    pDriverName     = [KV Laser]\n"
      "    pComment        = [second floor]\n"
      "\n\n[Present Port]\n" + strPorts +
      "CKV_SETUPApp::kMakePresentList() return TRUE (2) LastError=0\n";
  EXPECT_TRUE(has(strLog, strExpected)) << strLog;
  EXPECT_TRUE(has(driver.strDriverPath, "KVDRV.DLL")) << driver.strDriverPath;
  EXPECT_TRUE(has(strPorts, "[LPT1:]")) << strPorts;
}

TEST_F(PresentList, SpoolerFailureFailsBothBuilds) {
  setPortFault(ERROR_ACCESS_DENIED);
  takeLog();
  EXPECT_FALSE(m_app.kMakePresentList());
  std::string strLog = takeLog();
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kMakePresentList() return FALSE (1) ")) << strLog;
  EXPECT_EQ(messageIn(strLog), kPresentList);

  // An interactive update also needs the present lists.
  m_app.m_nSetupKind = SETUPKIND_UPDATE;
  EXPECT_FALSE(analyse(kvtest::dataPath("packages/amd64_ok"), strLog));
  EXPECT_TRUE(has(strLog, "CKV_SETUPApp::kMakeSetupInfomation() return FALSE (6) ")) << strLog;
  EXPECT_EQ(messageIn(strLog), std::string(kPresentList) + "\n" + kErrKind + " kMakePresentAllList");
  // Under +B the update leaves them to the installation.
  m_app.m_bBSwitch = 1;
  m_app.m_bRSwitch = 1;
  m_app.m_strRenewDriverName = "KV Test Printer";
  EXPECT_TRUE(analyse(kvtest::dataPath("packages/amd64_ok"), strLog)) << strLog;
}

}  // namespace
