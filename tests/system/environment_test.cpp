// The environment probe on simulated machines of every release, processor,
// right and service the machine settings can give.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "advapi32/service_store.h"
#include "kernel32/environ.h"
#include "machine.h"
#include "machine_settings.h"
#include "platform/win32.h"
#include "system/environment.h"
#include "system/program_log.h"

namespace fs = std::filesystem;
namespace reg = winsim::reg;

namespace {

constexpr const char* kMachineKey = "SOFTWARE\\KVSim\\Machine";

// Each test gets a machine of its own, so that a release, a right or a
// service set by one test never shows in another.
class EnvironmentTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* env = std::getenv("KVSIM_ROOT");
    m_strSavedRoot = env ? env : "";
    std::random_device rd;
    m_root = fs::temp_directory_path() / ("kvenv-" + std::to_string(rd()) + std::to_string(rd()));
    std::string error;
    ASSERT_TRUE(winsim::createMachine(m_root, winsim::kDefaultTemplate, &error)) << error;
    setenv("KVSIM_ROOT", m_root.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
  }
  void TearDown() override {
    kProgramLog().kSetDetailLogFileSetting(FALSE, "", 0);
    setenv("KVSIM_ROOT", m_strSavedRoot.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }

  static void setOs(const char* pszName, bool bServer = false, bool bTerminal = false) {
    winsim::OsChoice choice;
    choice.kind = winsim::findOsKind(pszName);
    ASSERT_NE(choice.kind, nullptr) << pszName;
    choice.server = bServer;
    choice.terminal = bTerminal;
    winsim::MachineSettings s;
    std::string error;
    ASSERT_TRUE(winsim::settingsForOs(winsim::machineSettings(), choice, &s, &error)) << error;
    ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  }

  static void change(const std::function<void(winsim::MachineSettings&)>& edit) {
    winsim::MachineSettings s = winsim::machineSettings();
    edit(s);
    std::string error;
    ASSERT_TRUE(winsim::applySettings(s, &error)) << error;
  }

  static void addService(const char* pszName, DWORD dwState = SERVICE_RUNNING, const std::string& strDisplay = "") {
    winsim::svc::Service service;
    service.name = pszName;
    service.displayName = strDisplay;
    service.startType = SERVICE_AUTO_START;
    service.state = dwState;
    std::string error;
    ASSERT_TRUE(winsim::svc::addService(service, &error)) << error;
  }

  std::string m_strSavedRoot;
  fs::path m_root;
};

// ---- The OS kind table ------------------------------------------------------------

struct OsRow {
  const char* pszOs;
  bool bServer;
  bool bTerminal;
  BOOL bCheck;      // result of kGetOsVersionCheck
  DWORD dwKind;     // the whole kind word afterwards
  BOOL bWin9x, bWinnt, bWin2k, bWinXP, bWinVista, bWin7;
};

TEST_F(EnvironmentTest, EveryReleaseClassifiesAsItsRowOfTheKindTable) {
  const OsRow rows[] = {
      {"win95", false, false, FALSE, OSKIND_WIN95, TRUE, FALSE, FALSE, FALSE, FALSE, FALSE},
      {"win98", false, false, FALSE, OSKIND_WIN98, TRUE, FALSE, FALSE, FALSE, FALSE, FALSE},
      {"winme", false, false, FALSE, OSKIND_WINME, TRUE, FALSE, FALSE, FALSE, FALSE, FALSE},
      {"nt4", false, false, FALSE, OSKIND_WINNT4, FALSE, TRUE, FALSE, FALSE, FALSE, FALSE},
      {"nt4", true, true, FALSE, OSKIND_WINNT4, FALSE, TRUE, FALSE, FALSE, FALSE, FALSE},
      {"win2k", false, false, TRUE, OSKIND_WIN2K, FALSE, FALSE, TRUE, FALSE, FALSE, FALSE},
      {"win2k", true, false, TRUE, OSKIND_WIN2K | OSKIND_SERVER, FALSE, FALSE, TRUE, FALSE, FALSE, FALSE},
      {"win2k", true, true, TRUE, OSKIND_WIN2K | OSKIND_SERVER | OSKIND_TERMINAL, FALSE, FALSE, TRUE, FALSE, FALSE,
       FALSE},
      {"xp", false, false, TRUE, OSKIND_WINXP, FALSE, FALSE, TRUE, TRUE, FALSE, FALSE},
      // Windows Server 2003 is version 5.2.
      {"xp", true, false, TRUE, OSKIND_WINXP | OSKIND_SERVER, FALSE, FALSE, TRUE, TRUE, FALSE, FALSE},
      {"vista", false, false, TRUE, OSKIND_WINVISTA, FALSE, FALSE, TRUE, TRUE, TRUE, FALSE},
      {"vista", true, true, TRUE, OSKIND_WINVISTA | OSKIND_SERVER | OSKIND_TERMINAL, FALSE, FALSE, TRUE, TRUE, TRUE,
       FALSE},
      {"win7", false, false, TRUE, OSKIND_WIN7, FALSE, FALSE, TRUE, TRUE, FALSE, TRUE},
      {"win7", true, false, TRUE, OSKIND_WIN7 | OSKIND_SERVER, FALSE, FALSE, TRUE, TRUE, FALSE, TRUE},
      // 6.2, and the later releases that report themselves as 6.2.
      {"win8", false, false, TRUE, OSKIND_WIN7, FALSE, FALSE, TRUE, TRUE, FALSE, TRUE},
      {"win10", false, false, TRUE, OSKIND_WIN7, FALSE, FALSE, TRUE, TRUE, FALSE, TRUE},
      {"win10", true, true, TRUE, OSKIND_WIN7 | OSKIND_SERVER | OSKIND_TERMINAL, FALSE, FALSE, TRUE, TRUE, FALSE, TRUE},
  };
  for (const OsRow& row : rows) {
    SCOPED_TRACE(std::string(row.pszOs) + (row.bServer ? " server" : "") + (row.bTerminal ? " terminal" : ""));
    setOs(row.pszOs, row.bServer, row.bTerminal);
    EXPECT_EQ(CEnvironment::kGetOsVersionCheck(), row.bCheck);
    EXPECT_EQ(CEnvironment::kGetOsKind(), row.dwKind);
    EXPECT_EQ(CEnvironment::kIsWin9x(), row.bWin9x);
    EXPECT_EQ(CEnvironment::kIsWinnt(), row.bWinnt);
    EXPECT_EQ(CEnvironment::kIsWin2k(), row.bWin2k);
    EXPECT_EQ(CEnvironment::kIsWinXP(), row.bWinXP);
    EXPECT_EQ(CEnvironment::kIsWinVista(), row.bWinVista);
    EXPECT_EQ(CEnvironment::kIsWin7(), row.bWin7);
    EXPECT_EQ(CEnvironment::kIsWinVistaLater(), row.bWinVista || row.bWin7);
    // The modifiers cleared give back the plain kind.
    EXPECT_EQ(CEnvironment::kGetOsKind() & OSKIND_KIND_MASK, row.dwKind & OSKIND_KIND_MASK);
  }
}

TEST_F(EnvironmentTest, VersionNumbersWithoutAReleaseOfTheirOwnClassifyByTheRules) {
  struct Row {
    DWORD dwMajor, dwMinor;
    BOOL bCheck;
    DWORD dwKind;
  };
  // 6.3 reaches a program without a compatibility manifest as 6.2; NT 3.51
  // is older than 4.0 and must not pass for XP.
  const Row rows[] = {
      {5, 2, TRUE, OSKIND_WINXP}, {6, 3, TRUE, OSKIND_WIN7}, {3, 51, FALSE, OSKIND_OTHER}, {3, 10, FALSE, OSKIND_OTHER}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.dwMajor) + "." + std::to_string(row.dwMinor));
    change([&](winsim::MachineSettings& s) {
      s.majorVersion = row.dwMajor;
      s.minorVersion = row.dwMinor;
    });
    EXPECT_EQ(CEnvironment::kGetOsVersionCheck(), row.bCheck);
    EXPECT_EQ(CEnvironment::kGetOsKind(), row.dwKind);
  }
}

TEST_F(EnvironmentTest, AnUnknownPlatformIsRefusedUnclassified) {
  ASSERT_TRUE(reg::setDword(reg::Hive::LocalMachine, kMachineKey, "PlatformId", VER_PLATFORM_WIN32s));
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kGetOsKind(), OSKIND_OTHER);
  EXPECT_FALSE(CEnvironment::kIsWin9x());
  EXPECT_FALSE(CEnvironment::kIsWin2k());
}

TEST_F(EnvironmentTest, VersionDetailsComeFromTheExtendedRecord) {
  setOs("xp", true);
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kGetMajorVersion(), 5u);
  EXPECT_EQ(CEnvironment::kGetMinorVersion(), 2u);
  EXPECT_EQ(CEnvironment::kGetProductType(), VER_NT_SERVER);
  EXPECT_EQ(CEnvironment::kGetServicePack(), "Service Pack 2");
}

// ---- Processor, WOW64, environment names ----------------------------------------------

TEST_F(EnvironmentTest, TheProcessorDecidesEnvironmentAndPlatform) {
  struct Row {
    const char* pszOs;
    const char* pszArch;
    BOOL bX86, bAMD64;
    const char* pszEnvironment;
    const char* pszPlatform;
  };
  const Row rows[] = {
      {"win7", "amd64", FALSE, TRUE, "Windows x64", "NTamd64"},
      {"win7", "x86", TRUE, FALSE, "Windows NT x86", "NTx86"},
      {"xp", "ia64", FALSE, FALSE, "Windows NT x86", "NTx86"},
      // Windows 2000 has no native-information call: it is taken for x86.
      {"win2k", "x86", TRUE, FALSE, "Windows NT x86", "NTx86"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.pszOs) + " " + row.pszArch);
    setOs(row.pszOs);
    change([&](winsim::MachineSettings& s) { s = winsim::rederiveForArchitecture(s, row.pszArch); });
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
    EXPECT_EQ(CEnvironment::kIsX86(), row.bX86);
    EXPECT_EQ(CEnvironment::kIsAMD64(), row.bAMD64);
    EXPECT_FALSE(CEnvironment::kIsWOW64());
    EXPECT_EQ(CEnvironment::kGetEnvironment(), row.pszEnvironment);
    EXPECT_EQ(CEnvironment::kGetPerentDriverPlatform(), row.pszPlatform);
  }
}

TEST_F(EnvironmentTest, TheNinetyFiveFamilyHasItsOwnEnvironment) {
  setOs("win98");
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kGetEnvironment(), "Windows 4.0");
}

TEST_F(EnvironmentTest, AThirtyTwoBitProcessOnASixtyFourBitSystemIsRefused) {
  for (const char* pszArch : {"amd64", "ia64"}) {
    SCOPED_TRACE(pszArch);
    setOs("xp");
    change([&](winsim::MachineSettings& s) {
      s = winsim::rederiveForArchitecture(s, pszArch);
      s.wow64 = true;
    });
    EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
    EXPECT_TRUE(CEnvironment::kIsWOW64());
    EXPECT_TRUE(CEnvironment::kIsWin2k()) << "the kind is known before the processor";
  }
}

// ---- Terminal services and the product suite --------------------------------------------

TEST_F(EnvironmentTest, TerminalServicesOfNt4ComeFromTheProductSuite) {
  setOs("nt4", true, true);
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_TRUE(CEnvironment::kIsInstallTerminalService());
  setOs("nt4", true, false);
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_FALSE(CEnvironment::kIsInstallTerminalService());
}

TEST_F(EnvironmentTest, TheProductSuiteIsMatchedExactlyAndReadSafely) {
  const char* const kKey = "System\\CurrentControlSet\\Control\\ProductOptions";
  ASSERT_TRUE(reg::setMultiString(reg::Hive::LocalMachine, kKey, "ProductSuite", {"Enterprise", "Terminal Server"}));
  EXPECT_TRUE(CEnvironment::kValidateProductSuite("Terminal Server"));
  EXPECT_TRUE(CEnvironment::kValidateProductSuite("Enterprise"));
  EXPECT_FALSE(CEnvironment::kValidateProductSuite("terminal server"));
  EXPECT_FALSE(CEnvironment::kValidateProductSuite("Terminal"));
  EXPECT_FALSE(CEnvironment::kValidateProductSuite(""));

  // A list stored without its terminating NULs is still read to its end only.
  reg::Value raw;
  raw.type = REG_MULTI_SZ;
  const char kBytes[] = "Small Business\0Terminal Server";
  const std::string bytes(kBytes, sizeof(kBytes) - 1);
  raw.data.assign(bytes.begin(), bytes.end());
  ASSERT_TRUE(reg::setValue(reg::Hive::LocalMachine, kKey, "ProductSuite", raw));
  EXPECT_TRUE(CEnvironment::kValidateProductSuite("Terminal Server"));

  ASSERT_TRUE(reg::setString(reg::Hive::LocalMachine, kKey, "ProductSuite", "Terminal Server"));
  EXPECT_FALSE(CEnvironment::kValidateProductSuite("Terminal Server")) << "a REG_SZ is no suite list";
  ASSERT_TRUE(reg::deleteValue(reg::Hive::LocalMachine, kKey, "ProductSuite"));
  EXPECT_FALSE(CEnvironment::kValidateProductSuite("Terminal Server"));
}

// ---- Administrators -----------------------------------------------------------------------

TEST_F(EnvironmentTest, AdministratorRightsFollowTheMachine) {
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_TRUE(CEnvironment::kCheckAdministrators());
  change([](winsim::MachineSettings& s) { s.admin = false; });
  EXPECT_FALSE(CEnvironment::kCheckAdministrators());
  // The 95 family has no rights to check.
  setOs("win98");
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_TRUE(CEnvironment::kCheckAdministrators());
}

// ---- Cluster service ------------------------------------------------------------------------

TEST_F(EnvironmentTest, TheClusterServiceIsLookedForOnServersOnly) {
  addService("ClusSvc", SERVICE_RUNNING, "Cluster Service");
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kCheckClusterService(), CLUSTER_SERVICE_NONE) << "a workstation is never a cluster node";

  setOs("win7", true);
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kCheckClusterService(), CLUSTER_SERVICE_FOUND);
  ASSERT_TRUE(winsim::svc::setState("ClusSvc", SERVICE_STOPPED));
  EXPECT_EQ(CEnvironment::kCheckClusterService(), CLUSTER_SERVICE_FOUND) << "a stopped cluster service counts";
}

TEST_F(EnvironmentTest, AServerWithoutTheClusterServiceHasNone) {
  setOs("win2k", true);
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kCheckClusterService(), CLUSTER_SERVICE_NONE);
}

TEST_F(EnvironmentTest, TheClusterServiceIsFoundBeyondTheFirstBufferOfServices) {
  // More services than one 48 KB buffer holds, with the cluster service among
  // the last, so that the enumeration has to go on where it stopped.
  const std::string strLong(300, 'd');
  reg::transact(reg::Hive::LocalMachine, [&](reg::Editor& hive) {
    for (int i = 0; i < 400; ++i) {
      char szName[32];
      std::snprintf(szName, sizeof(szName), "Aux%03d", i);
      const std::string key = std::string(winsim::svc::kServicesKey) + "\\" + szName;
      hive.createKey(key);
      hive.setString(key, "DisplayName", strLong);
      hive.setDword(key, "Type", SERVICE_WIN32_OWN_PROCESS);
    }
    return true;
  });
  addService("clussvc", SERVICE_STOPPED);
  setOs("win7", true);
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kCheckClusterService(), CLUSTER_SERVICE_FOUND);
}

TEST_F(EnvironmentTest, KvsimMovesEveryAnswer) {
  std::error_code ec;
  const fs::path kvsim = fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "bin" / "kvsim";
  if (!fs::exists(kvsim)) GTEST_SKIP() << "kvsim not built beside the tests";
  const std::string run = "'" + kvsim.string() + "' --root '" + winsim::machineRoot().string() + "' ";
  auto kvsimRun = [&](const std::string& args) { return WEXITSTATUS(std::system((run + args + " >/dev/null 2>&1").c_str())); };

  ASSERT_EQ(kvsimRun("set os win7 --server"), 0);
  ASSERT_EQ(kvsimRun("service add ClusSvc --display 'Cluster Service' --depends RpcSs"), 0);
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kGetOsKind(), OSKIND_WIN7 | OSKIND_SERVER);
  EXPECT_EQ(CEnvironment::kCheckClusterService(), CLUSTER_SERVICE_FOUND);
  ASSERT_EQ(kvsimRun("service set ClusSvc stopped"), 0);
  EXPECT_EQ(CEnvironment::kCheckClusterService(), CLUSTER_SERVICE_FOUND);

  ASSERT_EQ(kvsimRun("set admin off"), 0);
  EXPECT_FALSE(CEnvironment::kCheckAdministrators());
  ASSERT_EQ(kvsimRun("set arch x86"), 0);
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kGetEnvironment(), "Windows NT x86");
  ASSERT_EQ(kvsimRun("set arch amd64"), 0);
  ASSERT_EQ(kvsimRun("set wow64 on"), 0);
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_TRUE(CEnvironment::kIsWOW64());
  ASSERT_EQ(kvsimRun("set os win98"), 0);
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_TRUE(CEnvironment::kIsWin9x());

  EXPECT_EQ(kvsimRun("service add ClusSvc"), 2) << "the name is taken";
  EXPECT_EQ(kvsimRun("service add Other --depends NoSuchService"), 2);
  EXPECT_EQ(kvsimRun("service set NoSuchService running"), 2);
  EXPECT_EQ(kvsimRun("service set ClusSvc paused"), 64) << "not a state: a command-line mistake";
}

// ---- The detail log ---------------------------------------------------------------------------

TEST_F(EnvironmentTest, TheDetailLogGetsTheNumberedExitAndTheKindWord) {
  const fs::path logFile = m_root / "drive_c" / "env.log";
  kProgramLog().kSetDetailLogFileSetting(TRUE, "C:\\env.log", 1);
  setOs("nt4");
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_EQ(CEnvironment::kConvPlatformToEnv("NTia64", 3), "");
  setOs("win7", true, true);
  ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
  std::string text = winsim::readWholeFile(logFile).value_or("");
  EXPECT_NE(text.find("os.dwMajorVersion [4]\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("CEnvironment::kGetOsVersionCheck() return FALSE (4) LastError="), std::string::npos) << text;
  EXPECT_NE(text.find("kConvPlatformToEnv : Invalid parameter detect. strPlatform=[NTia64] dwVersion=[3]\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("kCheckOSVersion m_bXP=TRUE\r\n"), std::string::npos);
  EXPECT_NE(text.find("return TRUE (6) OsKind=[0x01010080]"), std::string::npos) << text;
}

}  // namespace
