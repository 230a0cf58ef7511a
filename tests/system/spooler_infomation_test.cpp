// The spooler information on simulated machines: the present lists and the
// operations that register drivers, monitors and print processors and stop
// and restart the spooler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/service_store.h"
#include "driverinfo/vexo_error.h"
#include "kernel32/environ.h"
#include "machine.h"
#include "netapi32/shares.h"
#include "platform/win32.h"
#include "system/environment.h"
#include "system/spooler_function.h"
#include "system/spooler_infomation.h"
#include "winspool/spool_store.h"

namespace fs = std::filesystem;
namespace reg = winsim::reg;

namespace {

constexpr const char* kFaultsKey = "SOFTWARE\\KVSim\\Faults";
constexpr const char* kMachineKey = "SOFTWARE\\KVSim\\Machine";

char* s(const char* text) { return const_cast<char*>(text); }

std::vector<std::string> names(const CPresentDriverList& lst) {
  std::vector<std::string> v;
  for (const auto& d : lst) v.push_back(d.strName);
  return v;
}
std::vector<std::string> names(const CPresentPrinterList& lst) {
  std::vector<std::string> v;
  for (const auto& p : lst) v.push_back(p.strPrinterName);
  return v;
}
std::vector<std::string> names(const CNameList& lst) { return {lst.begin(), lst.end()}; }

class SpoolerInfomationTest : public testing::Test {
 protected:
  void SetUp() override { makeMachine(winsim::kDefaultTemplate); }
  void TearDown() override { dropMachine(); }

  void makeMachine(const char* pszTemplate) {
    const char* env = std::getenv("KVSIM_ROOT");
    m_strSaved = env ? env : "";
    std::random_device rd;
    m_root = fs::temp_directory_path() / ("kvspl-" + std::to_string(rd()) + std::to_string(rd()));
    std::string error;
    ASSERT_TRUE(winsim::createMachine(m_root, pszTemplate, &error)) << error;
    setenv("KVSIM_ROOT", m_root.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  }
  void dropMachine() {
    setenv("KVSIM_ROOT", m_strSaved.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }

  static void put(const std::string& winPath) {
    const auto host = winsim::hostPath(winPath);
    ASSERT_TRUE(host.has_value()) << winPath;
    fs::create_directories(host->parent_path());
    std::ofstream(*host, std::ios::binary) << "data of " << winPath;
  }

  // Stages the driver's files in the environment's driver directory and
  // registers it with the spooler.
  static void addDriver(const char* pszEnv, DWORD dwVersion, const char* pszName, const char* pszFile = "KVDRV.DLL") {
    char szDir[MAX_PATH] = {};
    DWORD cb = 0;
    ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, s(pszEnv), 1, reinterpret_cast<LPBYTE>(szDir), sizeof szDir, &cb));
    for (const char* f : {pszFile, "KVDATA.GPD", "KVUI.DLL"}) put(std::string(szDir) + "\\" + f);
    DRIVER_INFO_6A d{};
    d.cVersion = dwVersion;
    d.pName = s(pszName);
    d.pEnvironment = s(pszEnv);
    d.pDriverPath = s(pszFile);
    d.pDataFile = s("KVDATA.GPD");
    d.pConfigFile = s("KVUI.DLL");
    ASSERT_TRUE(AddPrinterDriverExA(nullptr, 6, reinterpret_cast<LPBYTE>(&d), APD_COPY_ALL_FILES))
        << pszName << " " << GetLastError();
  }
  static void addPrinter(const char* pszName, const char* pszDriver, const char* pszPort = "LPT1:") {
    PRINTER_INFO_2A p{};
    p.pPrinterName = s(pszName);
    p.pPortName = s(pszPort);
    p.pDriverName = s(pszDriver);
    p.pPrintProcessor = s("WinPrint");
    p.pDatatype = s("RAW");
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&p));
    ASSERT_NE(h, nullptr) << pszName << " " << GetLastError();
    ClosePrinter(h);
  }
  static void setFault(const char* pszKnob, DWORD dwCode) {
    ASSERT_TRUE(reg::setDword(reg::Hive::LocalMachine, kFaultsKey, pszKnob, dwCode));
  }
  static void setFaultList(const char* pszKnob, const char* pszNames) {
    ASSERT_TRUE(reg::setString(reg::Hive::LocalMachine, kFaultsKey, pszKnob, pszNames));
  }
  static void addService(const char* pszName, const std::vector<std::string>& vecDepends) {
    winsim::svc::Service service;
    service.name = pszName;
    service.displayName = std::string(pszName) + " Display";
    service.startType = SERVICE_AUTO_START;
    service.state = SERVICE_RUNNING;
    service.dependencies = vecDepends;
    std::string error;
    ASSERT_TRUE(winsim::svc::addService(service, &error)) << error;
  }
  static DWORD stateOf(const char* pszName) {
    const auto service = winsim::svc::findService(pszName);
    return service ? service->state : 0;
  }

  fs::path m_root;
  std::string m_strSaved;
  CSpoolerInfomation m_info;
};

// ---- Present lists ----------------------------------------------------------------

TEST_F(SpoolerInfomationTest, DriversOfAnX64SystemComeInEnvironmentOrder) {
  addDriver("Windows 4.0", 0, "KV Old");
  addDriver("Windows NT x86", 3, "KV x86");
  addDriver("Windows x64", 3, "KV x64");
  ASSERT_TRUE(m_info.kMakePresentAllList(FALSE));
  const auto& lst = m_info.kGetPresentDriverList();
  ASSERT_EQ(names(lst), (std::vector<std::string>{"KV x64", "KV x86", "KV Old"}));
  EXPECT_EQ(lst.back().dwVersion, 0u);
  EXPECT_EQ(lst.back().strEnvironment, "Windows 4.0");
  // No printer uses any of them.
  EXPECT_EQ(names(m_info.kGetLostDriverList()), names(lst));
}

TEST_F(SpoolerInfomationTest, ASystemWithoutThe95FamilysEnvironmentStillBuildsItsLists) {
  dropMachine();
  makeMachine("win10-x64");
  addDriver("Windows x64", 3, "KV x64");
  ASSERT_TRUE(m_info.kMakePresentAllList(FALSE));
  EXPECT_EQ(names(m_info.kGetPresentDriverList()), (std::vector<std::string>{"KV x64"}));
}

TEST_F(SpoolerInfomationTest, AStoppedSpoolerFailsTheBuild) {
  ASSERT_TRUE(m_info.kCheckSpoolerStatus());
  ASSERT_TRUE(winsim::svc::setState("Spooler", SERVICE_STOPPED));
  EXPECT_FALSE(m_info.kCheckSpoolerStatus());
  EXPECT_FALSE(m_info.kMakePresentAllList(FALSE));
}

TEST_F(SpoolerInfomationTest, SameKindLostDriversAndPrintersToUpdate) {
  addDriver("Windows x64", 3, "KV Laser");
  addDriver("Windows x64", 3, "KV Laser Pro");
  addDriver("Windows x64", 3, "Other", "OTHER.DLL");
  addDriver("Windows NT x86", 3, "KV Laser x86");  // same file, other platform
  for (const char* p : {"P1", "P2", "P3"}) addPrinter(p, "KV Laser Pro");
  addPrinter("Q", "Other");
  ASSERT_TRUE(m_info.kMakePresentAllList(FALSE));
  EXPECT_EQ(names(m_info.kGetLostDriverList()), (std::vector<std::string>{"KV Laser", "KV Laser x86"}));

  // The candidate's driver file comes as a bare name, the present one as a
  // full path: only the file-name parts count.
  EXPECT_EQ(names(m_info.kGetSameKindDriverList("KV Laser", 3, "KVDRV.DLL", "NTamd64", TRUE, FALSE)),
            (std::vector<std::string>{"KV Laser Pro"}));  // used by three printers, listed once
  EXPECT_EQ(names(m_info.kGetSameKindDriverList("KV Laser", 3, "kvdrv.dll", "ntamd64", FALSE, TRUE)),
            (std::vector<std::string>{"KV Laser", "KV Laser Pro"}));
  EXPECT_TRUE(m_info.kGetSameKindDriverList("KV Laser", 2, "KVDRV.DLL", "NTamd64", FALSE, TRUE).empty());

  EXPECT_EQ(names(m_info.kGetUpdatePrinterList("KV Laser", 3, "KVDRV.DLL", "NTamd64", TRUE)),
            (std::vector<std::string>{"P1", "P2", "P3"}));
  EXPECT_TRUE(m_info.kGetUpdatePrinterList("KV Laser", 3, "KVDRV.DLL", "NTamd64", FALSE).empty());
  EXPECT_EQ(names(m_info.kGetUpdatePrinterList("Other", 3, "OTHER.DLL", "NTamd64", FALSE)),
            (std::vector<std::string>{"Q"}));
}

TEST_F(SpoolerInfomationTest, SameKindRule) {
  const struct {
    const char *name1, *file1, *platform1;
    DWORD version1;
    const char *name2, *file2, *platform2;
    DWORD version2;
    BOOL expected;
  } rows[] = {
      {"A", "C:\\x\\KVDRV.DLL", "NTamd64", 3, "B", "kvdrv.dll", "ntamd64", 3, TRUE},
      {"A", "KVDRV.DLL", "NTamd64", 3, "A", "OTHER.DLL", "NTamd64", 3, FALSE},  // same name, other file
      {"A", "KVDRV.DLL", "NTamd64", 3, "A", "KVDRV.DLL", "NTamd64", 3, FALSE},  // itself
      {"KV Laser", "KVDRV.DLL", "NTamd64", 3, "kv laser", "KVDRV.DLL", "NTamd64", 3, TRUE},
      {"A", "KVDRV.DLL", "NTamd64", 3, "B", "KVDRV.DLL", "NTx86", 3, FALSE},
      {"A", "KVDRV.DLL", "NTx86", 2, "B", "KVDRV.DLL", "NTx86", 3, FALSE},
      {nullptr, nullptr, nullptr, 3, "B", "", "", 3, TRUE},  // nulls are empty texts, not a crash
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.name1 ? r.name1 : "(null)") + " / " + r.name2);
    EXPECT_EQ(CSpoolerUtility::kCheckSameKindDriver(r.name1, r.version1, r.file1, r.platform1, r.name2, r.version2,
                                                    r.file2, r.platform2),
              r.expected);
  }
}

TEST_F(SpoolerInfomationTest, TopPresentVersion) {
  const struct {
    DWORD version;
    const char* name;
  } drivers[] = {{3, "KV Laser"}, {2, "kv laser"}, {1024, "KV Old"}, {3, "Other"}};
  for (const auto& d : drivers) {
    DRIVER_INFO_3A info{};
    info.cVersion = d.version;
    info.pName = s(d.name);
    ASSERT_TRUE(m_info.kSetDriverData(info));
  }
  const struct {
    const char* name;
    DWORD start;
    DWORD expected;
  } rows[] = {
      {"KV Laser", 3, 3}, {"KV Laser", 2, 2}, {"KV LASER", 1, 0xFFFF}, {"KV Old", 3, 0}, {"Nobody", 3, 0xFFFF},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.name) + " from " + std::to_string(r.start));
    EXPECT_EQ(m_info.kGetTopPresentDriverVersionNo(r.name, r.start), r.expected);
  }
}

TEST_F(SpoolerInfomationTest, PortsWithoutDuplicatesAndNetworkPathsModelledOnLpt1) {
  winsim::spool::PrinterRecord rec;
  rec.name = "Remote";
  rec.port = "\\\\server\\queue";
  rec.driver = "KV Laser";
  rec.printProcessor = "WinPrint";
  addDriver("Windows x64", 3, "KV Laser");
  ASSERT_TRUE(reg::transact(reg::Hive::LocalMachine,
                            [&](reg::Editor& hive) { return winsim::spool::writePrinter(hive, rec); }));
  ASSERT_TRUE(m_info.kMakePresentAllList(FALSE));
  const auto& ports = m_info.kGetPortList();
  const CPresentPort* pLpt1 = nullptr;
  const CPresentPort* pRemote = nullptr;
  for (const auto& port : ports) {
    if (port.strPortName == "LPT1:") pLpt1 = &port;
    if (port.strPortName == rec.port) pRemote = &port;
  }
  ASSERT_NE(pLpt1, nullptr);
  ASSERT_NE(pRemote, nullptr);
  EXPECT_EQ(&ports.back(), pRemote);
  EXPECT_EQ(pRemote->strMonitorName, pLpt1->strMonitorName);
  EXPECT_EQ(pRemote->strDescription, pLpt1->strDescription);
  EXPECT_EQ(pRemote->dwPortType, pLpt1->dwPortType);
  std::string strPort;
  EXPECT_TRUE(m_info.kGetDefaultPort(strPort));
  EXPECT_EQ(strPort, "LPT1:");
  // A second build gives the same lists, not twice the records.
  const size_t nPorts = ports.size();
  ASSERT_TRUE(m_info.kMakePresentAllList(FALSE));
  EXPECT_EQ(m_info.kGetPortList().size(), nPorts);
}

TEST_F(SpoolerInfomationTest, DependentFilesText) {
  EXPECT_EQ(CSpoolerInfomation::kGetDrvInfoDependentFiles(nullptr), "");
  EXPECT_EQ(CSpoolerInfomation::kGetDrvInfoDependentFiles("\0"), "");
  EXPECT_EQ(CSpoolerInfomation::kGetDrvInfoDependentFiles("a\0b\0"), "a,b,");
}

// ---- Registration ----------------------------------------------------------------

class SpoolerInstallTest : public SpoolerInfomationTest {
 protected:
  static CCandidateDriver candidate() {
    CCandidateDriver c;
    c.strDriverName = "KV Laser";
    c.strPlatform = "NTamd64";
    c.dwInfOSVersion = 3;
    c.strDriverFile = "KVDRV.DLL";
    c.strDataFile = "KVDATA.GPD";
    c.strConfigFile = "KVUI.DLL";
    c.strDefaultDataType = "RAW";
    c.pDriverFileList = std::make_shared<CDriverFileList>();
    const struct {
      const char *file, *dirId;
    } files[] = {{"KVDRV.DLL", "66000"}, {"KVRES.DLL", "66000"}, {"KVPROC.DLL", "66001"},
                 {"KVMON.DLL", "66002"}, {"KV.ICM", "66003"}};
    for (const auto& f : files) {
      CDriverFile file;
      file.strFileName = f.file;
      file.strDirId = f.dirId;
      c.pDriverFileList->push_back(file);
    }
    return c;
  }
  static void stage() {
    for (const char* f : {"KVDRV.DLL", "KVDATA.GPD", "KVUI.DLL", "KVRES.DLL", "KVPROC.DLL", "KVMON.DLL", "KV.ICM"})
      put(std::string("C:\\Windows\\system32\\spool\\drivers\\x64\\") + f);
  }
};

TEST_F(SpoolerInstallTest, Version3DriverLeavesOutProcessorMonitorAndProfile) {
  stage();
  ASSERT_EQ(m_info.kAddPrinterDriver(candidate(), APD_COPY_ALL_FILES), VEXOERR_SUCCESS);
  const auto* env = winsim::spool::callEnvironment("Windows x64");
  ASSERT_NE(env, nullptr);
  const auto driver = winsim::spool::findDriver(*env, "KV Laser");
  ASSERT_TRUE(driver.has_value());
  EXPECT_EQ(driver->dependentFiles, (std::vector<std::string>{"KVDRV.DLL", "KVRES.DLL"}));
  // Adding the same driver again is no failure.
  EXPECT_EQ(m_info.kAddPrinterDriver(candidate(), APD_COPY_NEW_FILES), VEXOERR_SUCCESS);
}

TEST_F(SpoolerInstallTest, DriverErrorsTheSpoolerMayAnswer) {
  stage();
  const struct {
    DWORD error;
    DWORD expected;
  } rows[] = {
      {ERROR_PRINTER_DRIVER_ALREADY_INSTALLED, VEXOERR_SUCCESS},
      {ERROR_ACCESS_DENIED, VEXOERR_ADDDRIVERERR},
      {ERROR_PRINTER_DRIVER_BLOCKED, VEXOERR_ADDDRIVERERR},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.error);
    setFault("Spooler.AddPrinterDriverExA", r.error);
    EXPECT_EQ(m_info.kAddPrinterDriver(candidate(), APD_COPY_ALL_FILES), r.expected);
  }
}

TEST_F(SpoolerInstallTest, MonitorAlreadyThereOrInUseIsNoFailure) {
  CCandidateDriver c = candidate();
  EXPECT_EQ(m_info.kAddMonitor(c), VEXOERR_SUCCESS);  // no language monitor at all
  c.strLanguageMonitorName = "Local Port";
  c.strLanguageMonitorDLL = "localspl.dll";
  EXPECT_EQ(m_info.kAddMonitor(c), VEXOERR_SUCCESS);  // installed already
  c.strLanguageMonitorName = "KV Language Monitor";
  c.strLanguageMonitorDLL = "kvmissing.dll";
  EXPECT_EQ(m_info.kAddMonitor(c), VEXOERR_ADDMONITORERR);  // its DLL is nowhere
  for (DWORD dwError : {ERROR_PRINT_MONITOR_IN_USE, ERROR_ALREADY_EXISTS}) {
    setFault("Spooler.AddMonitorA", dwError);
    EXPECT_EQ(m_info.kAddMonitor(c), VEXOERR_SUCCESS) << dwError;
  }
}

TEST_F(SpoolerInstallTest, PrintProcessors) {
  EXPECT_TRUE(m_info.kAddPrintProcessor("WinPrint", "winprint.dll"));  // installed already
  EXPECT_TRUE(m_info.kAddPrintProcessor("", "kvproc.dll"));
  EXPECT_FALSE(m_info.kAddPrintProcessor("KV Processor", "kvmissing.dll"));
  CNameList lst{"stale"};
  ASSERT_TRUE(m_info.kGetPrintProcessors(lst));
  EXPECT_EQ(names(lst), (std::vector<std::string>{"WinPrint"}));
  std::string strProcessor;
  ASSERT_TRUE(m_info.kGetDefaultPrintProcessor(strProcessor));
  EXPECT_EQ(strProcessor, "WinPrint");
}

TEST_F(SpoolerInfomationTest, AListThatGrewBetweenSizeAndFillIsAskedForAgain) {
  // Another process may add a port between the two calls: the size is asked
  // again, a few times, instead of failing the whole start-up.
  CSpoolerFunction function;
  CSpoolerArray<PORT_INFO_2A> ports;
  setFault("Spooler.ListGrows", 2);
  ASSERT_TRUE(function.kEnumPorts(ports));
  EXPECT_GT(ports.kCount(), 0u);
  EXPECT_EQ(reg::getDword(reg::Hive::LocalMachine, kFaultsKey, "Spooler.ListGrows", 9), 0u);
  // A list that keeps growing ends the asking: nothing half-read is kept.
  setFault("Spooler.ListGrows", 3);
  EXPECT_FALSE(function.kEnumPorts(ports));
  EXPECT_EQ(ports.kCount(), 0u);
  EXPECT_TRUE(ports.m_vecBuffer.empty());
}

TEST_F(SpoolerInfomationTest, AShareNameTooLongForTheListIsLeftOut) {
  // 255 characters and the end fit the list's 256 bytes; one more does not,
  // and a name cut short would name another share.
  const std::string strFits(255, 'S');
  const std::string strTooLong(256, 'L');
  for (const std::string& strName : {strFits, strTooLong, std::string("Laser")}) {
    ASSERT_TRUE(reg::setMultiString(reg::Hive::LocalMachine, winsim::net::kSharesKey, strName,
                                    {"Path=C:\\", "Type=0"}));
  }
  ASSERT_TRUE(m_info.kEnumShareFolder());
  const std::vector<std::string> lstShares = names(m_info.kGetShareList());
  auto holds = [&](const std::string& strName) {
    return std::find(lstShares.begin(), lstShares.end(), strName) != lstShares.end();
  };
  EXPECT_TRUE(holds("Laser"));
  EXPECT_TRUE(holds(strFits));
  EXPECT_FALSE(holds(strTooLong));
  for (const std::string& strName : lstShares) EXPECT_LT(strName.size(), 256u);
}

// ---- Spooler stop and start ----------------------------------------------------------

TEST_F(SpoolerInfomationTest, StopRecordsSpoolerFirstThenDependentsInReverse) {
  // B depends on A, A on the spooler: they stop B, A, spooler and start
  // spooler, A, B. The machine's own dependent, Fax, stops first and so
  // starts last.
  addService("KvA", {"Spooler"});
  addService("KvB", {"KvA"});
  m_info.kStopSpoolerService();
  EXPECT_EQ(names(m_info.kGetRestartServiceList()), (std::vector<std::string>{"Spooler", "KvA", "KvB", "Fax"}));
  EXPECT_EQ(names(m_info.kGetRestartDisplayNameList()),
            (std::vector<std::string>{"Print Spooler", "KvA Display", "KvB Display", "Fax"}));
  for (const char* name : {"Spooler", "KvA", "KvB", "Fax"}) EXPECT_EQ(stateOf(name), DWORD{SERVICE_STOPPED}) << name;
  ASSERT_TRUE(m_info.kStartSpoolerService());
  for (const char* name : {"Spooler", "KvA", "KvB", "Fax"}) EXPECT_EQ(stateOf(name), DWORD{SERVICE_RUNNING}) << name;
}

TEST_F(SpoolerInfomationTest, ADependentThatNeverStopsIsWaitedForWithinTheBudget) {
  addService("KvA", {"Spooler"});
  setFaultList("ServiceNeverStops", "KvA");
  ASSERT_TRUE(reg::setDword(reg::Hive::LocalMachine, kMachineKey, "ServiceWaitHint", 0));
  const DWORD dwStart = GetTickCount();
  m_info.kStopSpoolerService();
  const DWORD dwWaited = GetTickCount() - dwStart;
  // A hint of 0 stands for 20 seconds: 100 + 1.5 x 20,000 ms in steps of
  // 500. The machine clock also counts the calls between the pauses, scaled
  // up like the pauses (much more so on a busy host), so only a wait far
  // beyond the budget is a fault: one that ignores it never ends.
  EXPECT_GE(dwWaited, 30100u);
  EXPECT_LT(dwWaited, 120000u);
  for (const auto& name : m_info.kGetRestartServiceList()) {
    EXPECT_NE(name, "Spooler");
    EXPECT_NE(name, "KvA");
  }
  EXPECT_EQ(stateOf("Spooler"), DWORD{SERVICE_RUNNING});
  EXPECT_TRUE(m_info.kStartSpoolerService());  // nothing to start
}

TEST_F(SpoolerInfomationTest, TheStateIsLookedAtOnlyWhileTheBudgetLasts) {
  // A hint of 0: 30,100 ms, polled every 500 ms. The state read by the 60th
  // query (at 30 s) still counts; the 61st query (at 30.5 s) is made with the
  // budget spent, and its "stopped" comes too late. The polls are counted,
  // not timed, so a busy host cannot move the stop across the boundary.
  ASSERT_TRUE(reg::setDword(reg::Hive::LocalMachine, kMachineKey, "ServiceWaitHint", 0));
  setFaultList("ServiceNeverStops", "Fax");
  for (const DWORD dwQueries : {61u, 60u}) {
    setFault("ServiceStopQueries", dwQueries);
    const DWORD dwStart = GetTickCount();
    m_info.kStopSpoolerService();
    const DWORD dwWaited = GetTickCount() - dwStart;
    // The machine clock also counts the calls between the pauses, scaled up
    // like them: only the lower bound is exact, the upper one is generous.
    EXPECT_GE(dwWaited, dwQueries * 500u) << dwQueries;
    EXPECT_LT(dwWaited, 600000u) << dwQueries;
    EXPECT_EQ(stateOf("Fax"), DWORD{SERVICE_STOPPED}) << dwQueries;
    if (dwQueries == 61) {
      EXPECT_TRUE(m_info.kGetRestartServiceList().empty());
      EXPECT_EQ(stateOf("Spooler"), DWORD{SERVICE_RUNNING});
      // Fax did stop, late; the next round starts from a running Fax again.
      ASSERT_TRUE(winsim::svc::setState("Fax", SERVICE_RUNNING));
    } else {
      EXPECT_EQ(names(m_info.kGetRestartServiceList()), (std::vector<std::string>{"Spooler", "Fax"}));
      EXPECT_EQ(stateOf("Spooler"), DWORD{SERVICE_STOPPED});
    }
  }
}

TEST_F(SpoolerInfomationTest, ARefusedStopLeavesTheSpoolerRunning) {
  addService("KvA", {"Spooler"});
  addService("KvB", {"Spooler"});
  setFaultList("ServiceRefusesStop", "KvB");
  m_info.kStopSpoolerService();
  EXPECT_EQ(stateOf("Spooler"), DWORD{SERVICE_RUNNING});
  // What did stop is started again.
  ASSERT_TRUE(m_info.kStartSpoolerService());
  EXPECT_EQ(stateOf("KvA"), DWORD{SERVICE_RUNNING});
}

TEST_F(SpoolerInfomationTest, ABrokenPipeOnTheSpoolersStopCountsAsStopped) {
  setFaultList("ServiceBrokenPipeOnStop", "Spooler");
  const DWORD dwStart = GetTickCount();
  m_info.kStopSpoolerService();
  EXPECT_GE(GetTickCount() - dwStart, 2000u);
  EXPECT_EQ(names(m_info.kGetRestartServiceList()), (std::vector<std::string>{"Spooler", "Fax"}));
  ASSERT_TRUE(m_info.kStartSpoolerService());
  EXPECT_EQ(stateOf("Spooler"), DWORD{SERVICE_RUNNING});
}

TEST_F(SpoolerInfomationTest, ASpoolerThatFailsToStartFailsTheRestart) {
  m_info.kStopSpoolerService();
  ASSERT_EQ(stateOf("Spooler"), DWORD{SERVICE_STOPPED});
  setFaultList("ServiceFailsToStart", "Spooler");
  EXPECT_FALSE(m_info.kStartSpoolerService());
  setFaultList("ServiceFailsToStart", "");
  EXPECT_TRUE(m_info.kStartSpoolerService());
}

}  // namespace
