// The installation engine driven without a page, on scratch machines: the
// steps in order, the in-use rule of the copy, the undo of a failed run from
// its journal, the repair of a killed run at the next start, and driver
// file times across time zones. (The guard for the whole machine is tried
// with two programs at once, in the scenario tests.)
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "install/driver_check.h"
#include "install/install_engine.h"
#include "install/install_journal.h"
#include "install_fixture.h"
#include "kernel32/file_state.h"
#include "support/szdd_encoder.h"

namespace {

using installtest::MachineTest;

constexpr const char kInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=%KV%\r\nDriverVer=01/01/2026,1.0.0.0\r\n\r\n"
    "[Manufacturer]\r\n%KV%=KVModels,NTamd64\r\n\r\n[KVModels.NTamd64]\r\n\"KV Engine 100\"=KVENG\r\n\r\n"
    "[KVENG]\r\nCopyFiles=KVFILES\r\nDriverFile=KVENG.DLL\r\n\r\n[KVFILES]\r\nKVENG.DLL\r\n\r\n"
    "[DestinationDirs]\r\nDefaultDestDir=66000\r\n\r\n[Strings]\r\nKV=\"KV Test\"\r\n";

// Answers the engine as a page does, without a window: every wait point
// passes until the cancel it is told to make.
class Observer : public CInstallEngine::CObserver {
 public:
  BOOL kWaitPoint() override {
    ++m_nWaits;
    if (m_nCancelAtWait > 0 && m_nWaits >= m_nCancelAtWait) m_bCancel = TRUE;
    return !m_bCancel;
  }
  BOOL kIsCancelled() override { return m_bCancel; }
  void kUpdate() override {
    if (m_pEngine) m_lstPositions.push_back(m_pEngine->m_nProgressPos);
  }
  CInstallEngine* m_pEngine = nullptr;
  int m_nWaits = 0;
  int m_nCancelAtWait = 0;
  std::atomic<BOOL> m_bCancel{FALSE};
  std::vector<int> m_lstPositions;
};

void setKnob(const char* pszName, DWORD dwValue) {
  HKEY hKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVSim\\Faults", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &hKey, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(hKey, pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue);
  RegCloseKey(hKey);
}

DWORD serviceState(const char* pszName) {
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!hManager) return 0;
  SC_HANDLE hService = OpenServiceA(hManager, pszName, SERVICE_QUERY_STATUS);
  DWORD dwState = 0;
  SERVICE_STATUS status{};
  if (hService && QueryServiceStatus(hService, &status)) dwState = status.dwCurrentState;
  if (hService) CloseServiceHandle(hService);
  CloseServiceHandle(hManager);
  return dwState;
}

void stopService(const char* pszName) {
  SC_HANDLE hManager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  ASSERT_NE(hManager, nullptr);
  SC_HANDLE hService = OpenServiceA(hManager, pszName, SERVICE_STOP | SERVICE_QUERY_STATUS);
  ASSERT_NE(hService, nullptr);
  SERVICE_STATUS status{};
  ControlService(hService, SERVICE_CONTROL_STOP, &status);
  for (int i = 0; i < 200 && serviceState(pszName) != SERVICE_STOPPED; ++i) Sleep(50);
  CloseServiceHandle(hService);
  CloseServiceHandle(hManager);
}

std::string pendingRenames() {
  HKEY hKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &hKey) !=
      ERROR_SUCCESS) {
    return {};
  }
  char szData[4096] = {};
  DWORD cb = sizeof szData;
  std::string out;
  if (RegQueryValueExA(hKey, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(szData), &cb) ==
      ERROR_SUCCESS) {
    out.assign(szData, cb);
  }
  RegCloseKey(hKey);
  return out;
}

bool registered(const char* pszDriver) {
  DWORD cbNeeded = 0, dwCount = 0;
  EnumPrinterDriversA(nullptr, nullptr, 3, nullptr, 0, &cbNeeded, &dwCount);
  if (cbNeeded == 0) return false;
  std::vector<BYTE> buffer(cbNeeded);
  if (!EnumPrinterDriversA(nullptr, nullptr, 3, buffer.data(), cbNeeded, &cbNeeded, &dwCount)) return false;
  const auto* p = reinterpret_cast<const DRIVER_INFO_3A*>(buffer.data());
  for (DWORD i = 0; i < dwCount; ++i) {
    if (lstrcmpiA(p[i].pName, pszDriver) == 0) return true;
  }
  return false;
}

class EngineTest : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    char szSystem[MAX_PATH] = {};
    GetSystemDirectoryA(szSystem, MAX_PATH);
    m_strSystemDir = szSystem;
    m_strPlatformDir = m_strDriverDir.substr(0, m_strDriverDir.size() - 2);
    put("C:\\PKG\\KV.INF", kInf);
    put("C:\\PKG\\KVENG.DLL", "the new driver");
    m_app->m_pSetupIniInfo = &m_settings;
    m_app->m_CDE = candidate("KV Engine 100", "KVENG.DLL");
    m_app->m_CDE.strInfPath = "C:\\PKG\\KV.INF";
    m_app->m_CDE.strConfigFile = "KVENG.DLL";
    m_app->m_CDE.strDataFile = "KVENG.DLL";
    addFile("KVENG.DLL", m_strPlatformDir);
  }
  void TearDown() override {
    m_app->m_pSetupIniInfo = nullptr;
    MachineTest::TearDown();
  }
  CDriverFile& addFile(const std::string& strName, const std::string& strTargetDir) {
    CDriverFile f;
    f.strFileName = strName;
    f.strSourceDir = "C:\\PKG";
    f.strTargetDir = strTargetDir;
    m_app->m_CDE.pDriverFileList->push_back(f);
    return m_app->m_CDE.pDriverFileList->back();
  }
  CInstallEngine::CResult run(Observer& observer) {
    CInstallEngine engine(*m_app, observer);
    observer.m_pEngine = &engine;
    engine.kRun();
    observer.m_pEngine = nullptr;
    return engine.kGetResult();
  }
  CInstallEngine::CResult run() {
    Observer observer;
    return run(observer);
  }
  // A language monitor DLL in the system directory, held by the spooler,
  // older than the package's.
  void lockedOlderMonitor() {
    put(m_strSystemDir + "\\KVLM64.DLL", "the monitor in use");
    setTime(m_strSystemDir + "\\KVLM64.DLL", 1600000000);
    const auto host = winsim::hostPath(m_strSystemDir + "\\KVLM64.DLL");
    ASSERT_TRUE(winsim::files::setLock(winsim::files::fileKey(*host), winsim::files::LockMode::Exclusive));
    // A monitor's file is never one of the driver's dependent files.
    CDriverFile& f = addFile("KVLM64.DLL", m_strSystemDir);
    f.tmSourceFileTime = 1700000000;
    f.strDirId = "66002";
  }

  CSetupIniSettings m_settings;
  std::string m_strSystemDir;
  std::string m_strPlatformDir;
};

TEST_F(EngineTest, AWholeRunCopiesRegistersAndCommitsInFiveSteps) {
  put(m_strPlatformDir + "\\KVENG.DLL", "an old driver file");
  m_settings.bSpoolerControl = 1;
  Observer observer;
  const CInstallEngine::CResult r = run(observer);
  EXPECT_FALSE(r.bError) << log();
  EXPECT_FALSE(r.bCancelled);
  EXPECT_FALSE(r.bRestartNeeded);
  EXPECT_EQ(r.lstInstalledDrivers, std::vector<std::string>{"KV Engine 100"});
  EXPECT_EQ(read(m_strPlatformDir + "\\KVENG.DLL"), "the new driver");
  EXPECT_FALSE(exists(m_strPlatformDir + "\\KVENG.DLL.KVBAK")) << "the backup goes with the commit";
  EXPECT_TRUE(registered("KV Engine 100"));
  EXPECT_EQ(serviceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(serviceState("Fax"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(CInstallJournal::kIsEmpty());
  // The progress rises by one for each of the five steps.
  std::vector<int> lstSteps;
  for (size_t i = 1; i < observer.m_lstPositions.size(); ++i) {
    if (observer.m_lstPositions[i] != observer.m_lstPositions[i - 1]) lstSteps.push_back(observer.m_lstPositions[i]);
  }
  EXPECT_EQ(lstSteps, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_NE(log().find("ExecInstallThread normal end."), std::string::npos);
}

TEST_F(EngineTest, ADamagedFileForAnInUseSystemFileIsNeverScheduled) {
  // The package's compressed monitor is 20 bytes: its header and nothing.
  lockedOlderMonitor();
  const std::string strDamaged = kvtest::szddEncode(std::string(4000, 'm'), 'L').substr(0, 20);
  put("C:\\PKG\\KVLM64.DL_", strDamaged);
  const CInstallEngine::CResult r = run();
  EXPECT_TRUE(r.bError);
  EXPECT_EQ(r.strMessageKey, "IDS_ERR_COPYFILE");
  EXPECT_FALSE(r.bRestartNeeded);
  EXPECT_EQ(pendingRenames().find("KVLM64"), std::string::npos) << pendingRenames();
  EXPECT_EQ(pendingRenames().find("KVI"), std::string::npos) << pendingRenames();
  const auto host = winsim::hostPath(m_strSystemDir + "\\KVLM64.DLL");
  ASSERT_TRUE(winsim::files::clearLock(winsim::files::fileKey(*host)));
  EXPECT_EQ(read(m_strSystemDir + "\\KVLM64.DLL"), "the monitor in use");
  WIN32_FIND_DATAA data{};
  HANDLE h = FindFirstFileA((m_strSystemDir + "\\KVI*.tmp").c_str(), &data);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "left: " << data.cFileName;
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  EXPECT_NE(log().find("kSetupDecompressOrCopyFile (1) return=0"), std::string::npos);
  EXPECT_NE(log().find("kCreateTemporaryFileWin2k() return FALSE (3)"), std::string::npos);
  EXPECT_FALSE(registered("KV Engine 100"));
  EXPECT_TRUE(CInstallJournal::kIsEmpty());
}

TEST_F(EngineTest, AWholeFileForAnInUseSystemFileWaitsForTheRestart) {
  lockedOlderMonitor();
  put("C:\\PKG\\KVLM64.DL_", kvtest::szddEncode(std::string(4000, 'm'), 'L'));
  const CInstallEngine::CResult r = run();
  EXPECT_FALSE(r.bError) << log();
  EXPECT_TRUE(r.bRestartNeeded) << "the new monitor is in use only after the restart";
  const std::string strPending = pendingRenames();
  EXPECT_NE(strPending.find("KVLM64.DLL"), std::string::npos) << strPending;
  EXPECT_EQ(read(m_strSystemDir + "\\KVLM64.DLL"), "the monitor in use");
  EXPECT_TRUE(CInstallJournal::kIsEmpty()) << "a committed run keeps no journal";

  // The same time as the package's file: nothing is scheduled.
  HKEY hKey = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                          KEY_ALL_ACCESS, &hKey),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(hKey, "PendingFileRenameOperations"), ERROR_SUCCESS);
  RegCloseKey(hKey);
  m_app->m_CDE.pDriverFileList->back().tmSourceFileTime = 1600000000;
  const CInstallEngine::CResult again = run();
  EXPECT_FALSE(again.bError);
  EXPECT_FALSE(again.bRestartNeeded);
  EXPECT_EQ(pendingRenames().find("KVLM64"), std::string::npos);
}

TEST_F(EngineTest, AFailedCopyWithTheSpoolerStoppedPutsEverythingBack) {
  m_settings.bSpoolerControl = 1;
  put(m_strPlatformDir + "\\KVENG.DLL", "an old driver file");
  put("C:\\PKG\\KVUI.DLL", "the new ui");
  addFile("KVUI.DLL", m_strPlatformDir);
  put("C:\\PKG\\KVDATA.GPD", "the data");
  addFile("KVDATA.GPD", m_strPlatformDir);
  // The third file cannot be written: the first two were.
  const auto host = winsim::hostPath(m_strPlatformDir + "\\KVDATA.GPD");
  put(m_strPlatformDir + "\\KVDATA.GPD", "old data");
  ASSERT_TRUE(winsim::files::setLock(winsim::files::fileKey(*host), winsim::files::LockMode::Exclusive));
  const CInstallEngine::CResult r = run();
  ASSERT_TRUE(winsim::files::clearLock(winsim::files::fileKey(*host)));
  EXPECT_TRUE(r.bError);
  EXPECT_EQ(r.strMessageKey, "IDS_ERR_COPYFILE");
  EXPECT_TRUE(r.bServicesRunning);
  EXPECT_EQ(serviceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(serviceState("Fax"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(read(m_strPlatformDir + "\\KVENG.DLL"), "an old driver file") << "the replaced file is back";
  EXPECT_FALSE(exists(m_strPlatformDir + "\\KVUI.DLL")) << "the new file is gone";
  EXPECT_EQ(read(m_strPlatformDir + "\\KVDATA.GPD"), "old data");
  EXPECT_FALSE(exists(m_strPlatformDir + "\\KVENG.DLL.KVBAK"));
  EXPECT_TRUE(CInstallJournal::kIsEmpty());
  // The report's lines name what was undone, the services among them.
  std::string strUndone;
  for (const std::string& s : r.lstUndone) strUndone += s + "\n";
  EXPECT_NE(strUndone.find("File restored: " + m_strPlatformDir + "\\KVENG.DLL"), std::string::npos) << strUndone;
  EXPECT_NE(strUndone.find("File removed: " + m_strPlatformDir + "\\KVUI.DLL"), std::string::npos) << strUndone;
  EXPECT_NE(strUndone.find("Services running again: Spooler"), std::string::npos) << strUndone;
}

TEST_F(EngineTest, APrintProcessorRefusedAfterTheDriverLeavesNoDriverRegistered) {
  m_app->m_CDE.strPrintProcessor = "KVPROC";
  m_app->m_CDE.strPrintProcessorDLL = "KVPROC.DLL";  // not in the print processor directory
  const CInstallEngine::CResult r = run();
  EXPECT_TRUE(r.bError);
  EXPECT_EQ(r.strMessageKey, "IDS_ERR_ADDDRIVER");
  EXPECT_NE(log().find("AddPrinterDriverEx Success"), std::string::npos) << "the driver was accepted first";
  EXPECT_NE(log().find("Exit ExecInstallThread kAddPrintProcessor fail."), std::string::npos);
  EXPECT_FALSE(registered("KV Engine 100"));
  EXPECT_FALSE(exists(m_strPlatformDir + "\\KVENG.DLL"));
  std::string strUndone;
  for (const std::string& s : r.lstUndone) strUndone += s + "\n";
  EXPECT_NE(strUndone.find("Driver registration removed: KV Engine 100"), std::string::npos) << strUndone;
  EXPECT_NE(strUndone.find("Not undone, print processor stays registered: KVPROC"), std::string::npos) << strUndone;
}

TEST_F(EngineTest, ADriverThatWasThereBeforeStaysRegisteredAfterAFailure) {
  addDriver("KV Engine 100", "KVENG.DLL");
  setKnob("Spooler.AddPrintProcessorA", 5);
  m_app->m_CDE.strPrintProcessor = "KVPROC";
  m_app->m_CDE.strPrintProcessorDLL = "KVPROC.DLL";
  const CInstallEngine::CResult r = run();
  EXPECT_TRUE(r.bError);
  EXPECT_TRUE(registered("KV Engine 100"));
}

TEST_F(EngineTest, ACancelAtEachWaitPointLeavesNothingOfTheRun) {
  m_settings.bSpoolerControl = 1;
  put(m_strPlatformDir + "\\KVENG.DLL", "an old driver file");
  for (int nWait = 1; nWait <= 8; ++nWait) {
    Observer observer;
    observer.m_nCancelAtWait = nWait;
    const CInstallEngine::CResult r = run(observer);
    EXPECT_TRUE(r.bCancelled) << nWait;
    EXPECT_FALSE(r.bError) << nWait;
    EXPECT_EQ(serviceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING)) << nWait;
    EXPECT_EQ(read(m_strPlatformDir + "\\KVENG.DLL"), "an old driver file") << nWait;
    EXPECT_FALSE(registered("KV Engine 100")) << nWait;
    EXPECT_TRUE(CInstallJournal::kIsEmpty()) << nWait;
  }
}

// ---- The journal -----------------------------------------------------------------

TEST_F(EngineTest, TheUndoOfAKilledRunMayBeRepeated) {
  // What a run killed during its copy leaves: the spooler and its
  // dependant stopped, a temporary file, a replaced file with its backup.
  put(m_strPlatformDir + "\\KVENG.DLL", "the new driver");
  put(m_strPlatformDir + "\\KVENG.DLL.KVBAK", "an old driver file");
  put(m_strPlatformDir + "\\KVI1A2B.tmp", "");
  CInstallJournal journal;
  ASSERT_NE(journal.kAdd("services", {"Spooler", "Fax"}), 0u);
  ASSERT_NE(journal.kAdd("backup", {m_strPlatformDir + "\\KVENG.DLL", m_strPlatformDir + "\\KVENG.DLL.KVBAK"}), 0u);
  ASSERT_NE(journal.kAdd("temporary", {m_strPlatformDir + "\\KVI1A2B.tmp"}), 0u);
  stopService("Fax");
  stopService("Spooler");
  ASSERT_EQ(serviceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));

  m_app->kRecoverInstallation();
  EXPECT_EQ(serviceState("Spooler"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(serviceState("Fax"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(read(m_strPlatformDir + "\\KVENG.DLL"), "an old driver file");
  EXPECT_FALSE(exists(m_strPlatformDir + "\\KVI1A2B.tmp"));
  EXPECT_TRUE(CInstallJournal::kIsEmpty());
  EXPECT_NE(log().find("kRecoverInstallation() repair: Services running again: Spooler, Fax"), std::string::npos);
  EXPECT_NE(log().find("kRecoverInstallation() repair: Temporary file removed:"), std::string::npos);

  // The same entries again, their work done already: nothing changes.
  ASSERT_NE(journal.kAdd("services", {"Spooler", "Fax"}), 0u);
  ASSERT_NE(journal.kAdd("backup", {m_strPlatformDir + "\\KVENG.DLL", m_strPlatformDir + "\\KVENG.DLL.KVBAK"}), 0u);
  ASSERT_NE(journal.kAdd("temporary", {m_strPlatformDir + "\\KVI1A2B.tmp"}), 0u);
  ASSERT_NE(journal.kAdd("temporary", {""}), 0u);
  const std::vector<std::string> lst = CInstallJournal::kUndo();
  EXPECT_EQ(lst.size(), 4u);
  EXPECT_EQ(read(m_strPlatformDir + "\\KVENG.DLL"), "an old driver file");
  EXPECT_TRUE(CInstallJournal::kIsEmpty());
}

TEST_F(EngineTest, ASpoolerStoppedBySomeoneElseIsNotStartedByTheRepair) {
  stopService("Fax");
  stopService("Spooler");
  ASSERT_EQ(serviceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
  m_app->kRecoverInstallation();
  EXPECT_EQ(serviceState("Spooler"), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(EngineTest, AReplacementWaitingForTheRestartIsKeptAndSaidSo) {
  put(m_strSystemDir + "\\KVI77.tmp", "the new monitor");
  ASSERT_TRUE(CInstallEngine::kRebootCopyFile(m_strSystemDir + "\\KVI77.tmp", m_strSystemDir + "\\KVLM64.DLL"));
  CInstallJournal journal;
  ASSERT_NE(journal.kAdd("temporary", {m_strSystemDir + "\\KVI77.tmp"}), 0u);
  ASSERT_NE(journal.kAdd("pending", {m_strSystemDir + "\\KVLM64.DLL", m_strSystemDir + "\\KVI77.tmp"}), 0u);
  const std::vector<std::string> lst = CInstallJournal::kUndo();
  ASSERT_EQ(lst.size(), 2u);
  EXPECT_EQ(lst[0], "Not undone, replaced at the next restart: " + m_strSystemDir + "\\KVLM64.DLL");
  EXPECT_EQ(lst[1], "Temporary file kept for the replacement at the next restart: " + m_strSystemDir + "\\KVI77.tmp");
  EXPECT_EQ(read(m_strSystemDir + "\\KVI77.tmp"), "the new monitor");
}

// ---- Times across zones ----------------------------------------------------------

class ZoneTest : public EngineTest, public testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    m_strSavedTz = tz ? tz : "";
    m_bHadTz = tz != nullptr;
    setenv("TZ", GetParam(), 1);
    tzset();
    EngineTest::SetUp();
  }
  void TearDown() override {
    EngineTest::TearDown();
    if (m_bHadTz) {
      setenv("TZ", m_strSavedTz.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  std::string m_strSavedTz;
  bool m_bHadTz = false;
};

TEST_P(ZoneTest, AnInstalledDriverIsComparedWithThePackageInOneTimeBase) {
  // 2023-11-14 22:13:20 UTC on the installed file, and the package's times
  // as the candidate list takes them: seconds since 1970 UTC.
  addDriver("KV Laser 5000", "KVDRV.DLL");
  addPrinter("Office", "KV Laser 5000");
  setTime(m_strDriverDir + "\\KVDRV.DLL", 1700000000);
  ASSERT_TRUE(m_app->m_pSpoolerInfomation->kMakePresentAllList(FALSE));
  m_app->m_CDE = candidate("KV Laser 5000", "KVDRV.DLL");
  m_app->m_lstSetupCandidate.assign(1, m_app->m_CDE);
  EXPECT_EQ(CDriverCheck::kGetInstalledFileTime(m_strDriverDir + "\\KVDRV.DLL"), 1700000000);
  CDriverCheck check(*m_app);
  const struct Row {
    std::int64_t tmPackage;
    BOOL bPass;
  } rows[] = {{1700000000, TRUE}, {1700000000 - 3600, FALSE}, {1700000000 - 1, FALSE}, {1700000000 + 3600, TRUE}};
  for (const Row& row : rows) {
    m_app->m_lstSetupCandidate.front().tmDriverFileTime = row.tmPackage;
    EXPECT_EQ(check.kCheckVersionDown(), row.bPass) << GetParam() << " package " << row.tmPackage;
  }
}

TEST_P(ZoneTest, AnUnchangedFileInUseIsLeftAlone) {
  lockedOlderMonitor();
  m_app->m_CDE.pDriverFileList->back().tmSourceFileTime = 1600000000;
  put("C:\\PKG\\KVLM64.DLL", "the same monitor");
  const CInstallEngine::CResult r = run();
  EXPECT_FALSE(r.bError) << log();
  EXPECT_FALSE(r.bRestartNeeded) << GetParam();
  EXPECT_EQ(pendingRenames().find("KVLM64"), std::string::npos) << GetParam();
}

TEST_P(ZoneTest, AVanishedDriverFileIsDated1990LocalTime) {
  struct tm local {};
  local.tm_year = 90;
  local.tm_mon = 0;
  local.tm_mday = 1;
  local.tm_isdst = -1;
  EXPECT_EQ(CDriverCheck::kGetInstalledFileTime("C:\\NO\\SUCH.DLL"), static_cast<std::int64_t>(mktime(&local)))
      << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Zones, ZoneTest, testing::Values("UTC", "Asia/Tokyo", "America/New_York"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string s = info.param;
                           for (char& c : s) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return s;
                         });

}  // namespace
