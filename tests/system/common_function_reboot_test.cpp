// The two checks of the reboot decision on simulated machines: driver files
// loaded by programs other than the spooler, and driver upgrades the spooler
// holds pending.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "kernel32/environ.h"
#include "machine.h"
#include "machine_settings.h"
#include "os_kinds.h"
#include "platform/win32.h"
#include "psapi/process_store.h"
#include "system/common_function.h"
#include "system/environment.h"
#include "system/program_log.h"

namespace fs = std::filesystem;
namespace procs = winsim::procs;

namespace {

constexpr const char* kSpooler = "C:\\Windows\\System32\\spoolsv.exe";
constexpr const char* kApp = "C:\\Program Files\\Paint\\paint.exe";

class RebootCheckTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* env = std::getenv("KVSIM_ROOT");
    m_strSaved = env ? env : "";
    std::random_device rd;
    m_root = fs::temp_directory_path() / ("kvreboot-" + std::to_string(rd()) + std::to_string(rd()));
    std::string error;
    ASSERT_TRUE(winsim::createMachine(m_root, winsim::kDefaultTemplate, &error)) << error;
    setenv("KVSIM_ROOT", m_root.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    ASSERT_TRUE(CEnvironment::kGetOsVersionCheck());
    char szDir[MAX_PATH] = {};
    DWORD cb = 0;
    ASSERT_TRUE(GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(szDir), sizeof szDir, &cb));
    m_strDriverDir = szDir;
    m_strLog = (m_root / "detail.log").string();
    kProgramLog().kSetDetailLogFileSetting(TRUE, "Z:" + m_strLog, 99);

    m_candidate.strDriverName = "KV Laser 5000";
    m_candidate.strDriverFile = "KVDRV.DLL";
    m_candidate.strConfigFile = "KVUI.DLL";
    m_candidate.strDataFile = "KV5000.GPD";
    m_candidate.dwInfOSVersion = 3;
    m_candidate.pDriverFileList = std::make_shared<CDriverFileList>();
    for (const char* name : {"KVDRV.DLL", "KVUI.DLL", "KV5000.GPD", "KVRES.DLL"}) {
      CDriverFile file;
      file.strFileName = name;
      m_candidate.pDriverFileList->push_back(file);
    }
  }
  void TearDown() override {
    kProgramLog().kSetDetailLogFileSetting(FALSE, "", 0);
    setenv("KVSIM_ROOT", m_strSaved.c_str(), 1);
    winsim::resetMachineRoot();
    winsim::resetEnvironmentBlock();
    std::error_code ec;
    fs::remove_all(m_root, ec);
  }

  std::string inDriverDir(const std::string& strName) const { return m_strDriverDir + "\\3\\" + strName; }
  static void run(const char* pszImage, const std::vector<std::string>& modules) {
    ASSERT_TRUE(procs::add(pszImage, modules)) << pszImage;
  }
  // The detail log's lines that name the function, in order.
  std::vector<std::string> exits(const char* pszFunction) const {
    std::ifstream in(m_strLog);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      if (line.find(std::string("CCommonFunction::") + pszFunction + "()") != std::string::npos) lines.push_back(line);
    }
    return lines;
  }
  std::string lastExit(const char* pszFunction) const {
    const auto lines = exits(pszFunction);
    if (lines.empty()) return "<none>";
    const std::string& line = lines.back();
    const size_t open = line.find(" return ");
    const size_t close = line.find(')', open);
    return open == std::string::npos ? line : line.substr(open + 8, close - open - 7);
  }

  fs::path m_root;
  std::string m_strSaved;
  std::string m_strDriverDir;
  std::string m_strLog;
  CCandidateDriver m_candidate;
};

// ---- Files in use ---------------------------------------------------------------------

TEST_F(RebootCheckTest, TheSpoolerHoldingADriverFileDoesNotCountAnotherProgramDoes) {
  EXPECT_FALSE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate)) << "no process holds anything";
  EXPECT_EQ(lastExit("kIsFileUsingExceptSpooler"), "FALSE (6)");

  // The spooler's image is recognised by its file name in any case.
  for (const char* pszSpooler : {kSpooler, "C:\\WINDOWS\\system32\\SpoolSv.Exe"}) {
    ASSERT_TRUE(procs::clear());
    run(pszSpooler, {inDriverDir("KVDRV.DLL"), inDriverDir("KVUI.DLL")});
    EXPECT_FALSE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate)) << pszSpooler;
    EXPECT_EQ(lastExit("kIsFileUsingExceptSpooler"), "FALSE (6)");
  }

  run(kApp, {"C:\\Windows\\system32\\gdi32.dll", inDriverDir("KVUI.DLL")});
  EXPECT_TRUE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate));
  EXPECT_EQ(lastExit("kIsFileUsingExceptSpooler"), "TRUE (7)");

  ASSERT_TRUE(procs::clear());
  EXPECT_FALSE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate)) << "the programs have ended";
}

TEST_F(RebootCheckTest, ModulesMatchByFileNameOrByTheFullPathOfTheDriversFiles) {
  struct Row {
    const char* pszWhat;
    std::string strModule;
    const char* pszConfigFile;  // the candidate's configuration file
    const char* pszResult;
  };
  const std::string strOther = inDriverDir("KVOTHER.DLL");
  std::string strLower = inDriverDir("kvres.dll");
  for (char& c : strLower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const Row rows[] = {
      {"a listed file by name", inDriverDir("KVRES.DLL"), "KVUI.DLL", "TRUE (7)"},
      {"names and folders in another case", strLower, "KVUI.DLL", "TRUE (7)"},
      {"in a version folder below the directory", m_strDriverDir + "\\KVDRV.DLL", "KVUI.DLL", "TRUE (7)"},
      {"an unlisted file of the directory", strOther, "KVUI.DLL", "FALSE (6)"},
      {"a configuration file named by its full path", strOther, strOther.c_str(), "TRUE (8)"},
      {"a listed name outside the driver directory", "C:\\Program Files\\Paint\\KVDRV.DLL", "KVUI.DLL", "FALSE (6)"},
      {"the full path outside the directory", "C:\\Tools\\KVOTHER.DLL", "C:\\Tools\\KVOTHER.DLL", "FALSE (6)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pszWhat);
    ASSERT_TRUE(procs::clear());
    run(kApp, {row.strModule});
    m_candidate.strConfigFile = row.pszConfigFile;
    EXPECT_EQ(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate), std::string(row.pszResult).front() == 'T');
    EXPECT_EQ(lastExit("kIsFileUsingExceptSpooler"), row.pszResult);
  }
  // The data and help files are matched by their full paths as well.
  ASSERT_TRUE(procs::clear());
  run(kApp, {strOther});
  m_candidate.strConfigFile = "KVUI.DLL";
  m_candidate.strHelpFile = strOther;
  EXPECT_TRUE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate));
  m_candidate.strHelpFile.clear();
  m_candidate.strDataFile = strOther;
  EXPECT_TRUE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate));
}

TEST_F(RebootCheckTest, ProcessesNoProgramMayReadArePassedOver) {
  // The list always begins with the idle and System processes, which cannot
  // be opened; a program after them is still found.
  run(kApp, {inDriverDir("KVDRV.DLL")});
  EXPECT_TRUE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate));
  const std::vector<std::string> lines = exits("kIsFileUsingExceptSpooler");
  ASSERT_EQ(lines.size(), 1u);
  std::ifstream in(m_strLog);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("Module=[" + inDriverDir("KVDRV.DLL") + "]"), std::string::npos) << text.str();
}

TEST_F(RebootCheckTest, BeforeWindows2000NothingIsChecked) {
  run(kApp, {inDriverDir("KVDRV.DLL")});
  winsim::OsChoice choice;
  choice.kind = winsim::findOsKind("nt4");
  ASSERT_NE(choice.kind, nullptr);
  winsim::MachineSettings settings;
  std::string error;
  ASSERT_TRUE(winsim::settingsForOs(winsim::machineSettings(), choice, &settings, &error)) << error;
  ASSERT_TRUE(winsim::applySettings(settings, &error)) << error;
  EXPECT_FALSE(CEnvironment::kGetOsVersionCheck());
  EXPECT_FALSE(CCommonFunction::kIsFileUsingExceptSpooler(&m_candidate));
  EXPECT_EQ(lastExit("kIsFileUsingExceptSpooler"), "FALSE (1)");
}

// ---- Pending upgrades ---------------------------------------------------------------------

void addPending(int nVersion, const char* pszName) {
  const std::string key = "SYSTEM\\CurrentControlSet\\Control\\Print\\PendingUpgrades\\Version-" +
                          std::to_string(nVersion) + "\\" + pszName;
  HKEY hKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(hKey);
}

CPresentDriver present(const char* pszName, const std::string& strDriverPath) {
  CPresentDriver driver;
  driver.dwVersion = 3;
  driver.strName = pszName;
  driver.strEnvironment = "Windows x64";
  driver.strDriverPath = strDriverPath;
  return driver;
}

TEST_F(RebootCheckTest, APendingUpgradeOfTheCandidatesNameOrDriverFile) {
  const CPresentDriverList drivers = {present("Other Printer", inDriverDir("OTHER.DLL")),
                                      present("KV Laser 4000", inDriverDir("KVDRV.DLL")),
                                      present("kv laser 5000", inDriverDir("KVOLD.DLL"))};
  EXPECT_FALSE(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, drivers)) << "nothing pending";
  EXPECT_EQ(lastExit("kIsExistPendingUpgradesDriver"), "FALSE (3)");

  addPending(3, "Other Printer");
  addPending(3, "Not Present");
  EXPECT_FALSE(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, drivers))
      << "pending drivers that are not the candidate's, or not present";

  // A present driver of another name whose driver file has the candidate's
  // driver file name, written exactly alike.
  addPending(3, "KV LASER 4000");
  EXPECT_TRUE(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, drivers));
  EXPECT_EQ(lastExit("kIsExistPendingUpgradesDriver"), "TRUE (2)");
  m_candidate.strDriverFile = "kvdrv.dll";
  EXPECT_FALSE(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, drivers))
      << "the driver file's name is compared with regard to case";

  // The candidate's own name, in any case.
  addPending(3, "KV Laser 5000");
  EXPECT_TRUE(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, drivers));
  EXPECT_EQ(lastExit("kIsExistPendingUpgradesDriver"), "TRUE (1)");
  EXPECT_FALSE(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, CPresentDriverList{}))
      << "a pending name counts only for a present driver";
}

TEST_F(RebootCheckTest, EachDriverVersionReadsItsOwnPendingUpgrades) {
  const CPresentDriverList drivers = {present("KV Laser 5000", inDriverDir("KVDRV.DLL"))};
  addPending(2, "KV Laser 5000");
  struct Row {
    DWORD dwVersion;
    BOOL bResult;
  };
  for (const Row& row : {Row{2, TRUE}, Row{3, FALSE}, Row{0, FALSE}}) {
    m_candidate.dwInfOSVersion = row.dwVersion;
    EXPECT_EQ(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, drivers), row.bResult) << row.dwVersion;
  }
  // Only versions 2 and 3 have pending upgrades at all.
  addPending(0, "KV Laser 5000");
  addPending(4, "KV Laser 5000");
  for (DWORD dwVersion : {0u, 4u}) {
    m_candidate.dwInfOSVersion = dwVersion;
    EXPECT_FALSE(CCommonFunction::kIsExistPendingUpgradesDriver(&m_candidate, drivers)) << dwVersion;
  }
}

}  // namespace
