// The scenario harness: machines, package, runs (see scenario.h).
#include "scenarios/scenario.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>

namespace fs = std::filesystem;

namespace scenario {
namespace {

// A run that takes longer than this has hung: its processes are ended so
// that the test fails instead of the whole suite waiting.
constexpr double kRunTimeoutSeconds = 30.0;

std::string currentTestName() {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return info ? std::string(info->test_suite_name()) + "." + info->name() : std::string();
}

// Tests whose runs the truth check finds at fault, by a fault another piece
// of work is mending; each comes off the list when its mend lands.
const std::map<std::string, const char*>& knownDisagreements() {
  static const std::map<std::string, const char*> known = {
      {"UsbPath.APrinterPluggedInWhileThePageWaitsIsInstalledAndSetUp",
       "in some runs the success is reported before the plugged printer is found in the spooler: to be found and mended"},
      {"UsbPath.AFullDiskDuringTheCopyLeavesNoHalfWrittenFile",
       "the temporary folder is on the full disk: the run can write no report, and says so only in its status word"},
  };
  return known;
}

}  // namespace

const char* knownDisagreement(const std::string& strTest) {
  const auto& known = knownDisagreements();
  const auto it = known.find(strTest);
  return it == known.end() ? nullptr : it->second;
}

kvlab::MachineCache& machines() {
  static kvlab::MachineCache cache = [] {
    kvlab::Package package;
    package.lstFolders.push_back(KV_PACKAGE_SOURCE);
    std::error_code ec;
    // The package as the stage script lays it out: the built driver files and stand-ins over it.
    if (fs::is_directory(KV_STAGE_DIR, ec)) package.lstFolders.push_back(KV_STAGE_DIR);
    package.strWinFolder = kPackageFolder;
    return kvlab::MachineCache({KV_SIM_EXE, KV_PARENT_EXE, KV_SETUP_EXE}, package, KV_LAB_CACHE);
  }();
  return cache;
}

std::string parentLine(unsigned nKind, unsigned long long wParam, unsigned long long lParam) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "kind=%u wParam=0x%08llx lParam=0x%08llx", nKind, wParam, lParam);
  return buf;
}

std::string Outcome::describe() const {
  std::string s = "exit " + std::to_string(nExit) + "\n-- parent:\n";
  for (const auto& line : lstParent) s += line + "\n";
  s += "-- stderr:\n" + strErr + "-- transcript:\n" + strTranscript + "-- detail log:\n" + strDetailLog;
  if (!lstFindings.empty()) s += "-- the truth check:\n" + kvlab::describeFindings(lstFindings);
  return s;
}

void ScenarioTest::SetUp() {
  std::random_device rd;
  m_root = fs::temp_directory_path() / ("kvscenario-" + std::to_string(rd()) + std::to_string(rd()));
  std::string strError;
  ASSERT_TRUE(machines().makeMachine(*kvlab::systemByName("win7-x64"), m_root, &strError)) << strError;
  const kvlab::MachineState state = kvlab::readState(machines().tools(), m_root);
  ASSERT_TRUE(state.bRead && !state.tempHost.empty()) << "the machine cannot be read";
  m_temp = state.tempHost;
}

void ScenarioTest::TearDown() {
  // A test that failed half-way may leave a run behind: end it, with what it
  // started, before its machine goes.
  for (const pid_t pid : m_lstRunning) {
    kill(-pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  m_lstRunning.clear();
  // KVTEST_KEEP=1 keeps the machine for a look after a failure.
  if (m_root.empty() || std::getenv("KVTEST_KEEP")) return;
  std::error_code ec;
  fs::remove_all(m_root, ec);
}

void ScenarioTest::kvsim(const std::vector<std::string>& lstArgs) {
  const kvlab::ProcessResult r = kvlab::kvsimAt(machines().tools(), m_root, lstArgs);
  std::string strCommand;
  for (const auto& a : lstArgs) strCommand += " " + a;
  ASSERT_EQ(r.nExit, 0) << "kvsim" << strCommand << ": " << r.strErr;
}

void ScenarioTest::setOutputLevel(unsigned dwLevel) {
  char value[16];
  std::snprintf(value, sizeof value, "%08x", dwLevel);
  const fs::path reg = m_root / "output-level.reg";
  std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n"
                     << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVERN\\IMG\\DI\\LOG]\n"
                     << "\"OutputLevel\"=dword:" << value << "\n";
  kvsim({"reg", "import", reg.string()});
}

fs::path ScenarioTest::packageFile(const std::string& strRelative) const {
  return m_root / "drive_c" / "PKG" / strRelative;
}

void ScenarioTest::writePackageFile(const std::string& strRelative, const std::string& strBytes) const {
  std::ofstream(packageFile(strRelative), std::ios::binary | std::ios::trunc) << strBytes;
}

void ScenarioTest::removePackageFile(const std::string& strRelative) const {
  std::error_code ec;
  fs::remove(packageFile(strRelative), ec);
}

Started ScenarioTest::start(const std::vector<std::string>& lstArgs, const std::string& strScript) {
  Started started;
  started.folder = m_root / ("run" + std::to_string(++m_nRuns));
  kvlab::RunSpec runSpec;
  runSpec.lstArgs = lstArgs;
  runSpec.strScript = strScript;
  runSpec.strProgram = m_strProgram;
  runSpec.dTimeoutSeconds = kRunTimeoutSeconds;
  started.run = kvlab::startRun(machines().tools(), m_root, started.folder, runSpec);
  started.pid = started.run.pid;
  EXPECT_GT(started.pid, 0) << "kvparent cannot be started";
  if (started.pid > 0) m_lstRunning.push_back(started.pid);
  return started;
}

Outcome ScenarioTest::finish(Started& started, Judge judge) {
  Outcome result;
  if (started.pid > 0)
    m_lstRunning.erase(std::remove(m_lstRunning.begin(), m_lstRunning.end(), started.pid), m_lstRunning.end());
  result.record = kvlab::finishRun(machines().tools(), started.run);
  started.pid = -1;
  const kvlab::Record& r = result.record;
  result.nExit = r.nExit;
  result.lstParent = r.lstParentLines;
  result.strErr = r.strErr;
  result.strTranscript = r.strTranscript;
  result.strDetailLog = r.strDetailLog;
  if (judge == Judge::Killed) return result;
  result.lstFindings = kvlab::truthCheck(r);
  const std::string strTest = currentTestName();
  if (const char* pszKnown = knownDisagreement(strTest)) {
    if (result.lstFindings.empty()) {
      std::cout << "[ truth    ] " << strTest << " agrees now: take it off the known disagreements\n";
    } else {
      std::cout << "[ truth    ] known disagreement (" << pszKnown << "):\n" << kvlab::describeFindings(result.lstFindings);
    }
  } else if (!result.lstFindings.empty()) {
    ADD_FAILURE() << "the truth check: what the run reported disagrees with the machine:\n"
                  << kvlab::describeFindings(result.lstFindings) << r.describe();
  }
  return result;
}

Outcome ScenarioTest::run(const std::vector<std::string>& lstArgs, const std::string& strScript) {
  Started started = start(lstArgs, strScript);
  return finish(started);
}

bool ScenarioTest::waitForParentLine(const Started& started, const std::string& strPart, double dSeconds) {
  return kvlab::waitUntil(
      started.run,
      [&] { return kvlab::readWhole(started.folder / "parent.out").find(strPart) != std::string::npos; }, dSeconds);
}

}  // namespace scenario
