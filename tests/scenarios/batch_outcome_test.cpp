// The outcome a deployment tool sees for batch runs that fail: each case is
// run silently (+1) and without +1, under a parent window and without one.
// With +1, or without a parent window, every failure ends with an exit code
// of its own (never 0); under a parent without +1 the exit code stays 0
// after start-up and the status word tells. No case shows a box, hangs, or
// reports success, and every run that got past start-up leaves a report
// with its own result at the top.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "scenarios/scenario.h"

extern char** environ;

namespace {

using scenario::Outcome;
using scenario::parentLine;
namespace fs = std::filesystem;

constexpr const char kDriver[] = "KV LaserPro 5000";

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class BatchOutcome;
struct Case;
void PrintTo(const Case& c, std::ostream* os);

struct Case {
  const char* pszName;
  std::function<void(BatchOutcome&)> prepare;
  std::vector<std::string> lstArgs;  // empty: +B "+A:<driver>" +Q:1
  int nExit;                         // with +1, or without a parent window
  unsigned long ulStatus;            // the status word the parent receives
  int nExitUnderParent;              // without +1, under a parent window
  const char* pszReport;             // the report's first result, nullptr: no report of this run
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.pszName; }

class BatchOutcome : public scenario::ScenarioTest, public testing::WithParamInterface<Case> {
 public:
  void knobs(const std::string& strValues) {
    const fs::path reg = m_root / "neli.reg";
    std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KVSim\\NELI]\n"
                       << strValues;
    kvsim({"reg", "import", reg.string()});
  }
  using scenario::ScenarioTest::kvsim;
  using scenario::ScenarioTest::removePackageFile;
  using scenario::ScenarioTest::writePackageFile;
  fs::path packageFolder() const { return packageFile(""); }

 protected:
  void SetUp() override {
    ScenarioTest::SetUp();
    setOutputLevel(1);
  }
  std::vector<std::string> args(bool bSilent) const {
    std::vector<std::string> lst = GetParam().lstArgs;
    if (lst.empty()) lst = {"+B", std::string("+A:") + kDriver, "+Q:1"};
    if (bSilent) lst.push_back("+1");
    return lst;
  }
  // The whole exit code, as the program returned it (the host keeps 8 bits
  // of a process's exit status); -1 when the log does not say.
  static int loggedExit(const std::string& strLog, int nHostExit) {
    const std::string strMark = "CKV_SETUPApp::ExitInstance() return [";
    const size_t nAt = strLog.rfind(strMark);
    if (nAt == std::string::npos) return nHostExit;
    return std::atoi(strLog.c_str() + nAt + strMark.size());
  }
  // The report's first result line, or "" without a report.
  std::string reportResult() {
    const std::string strReport = readWhole(m_temp / "INNELI.LOG");
    const std::string strMark = "Result : \t\t";
    const size_t nAt = strReport.find(strMark);
    if (nAt == std::string::npos) return "";
    const size_t nEnd = strReport.find("\r\n", nAt);
    return strReport.substr(nAt + strMark.size(), nEnd - nAt - strMark.size());
  }
  void clearReport() {
    std::error_code ec;
    fs::remove(m_temp / "INNELI.LOG", ec);
  }
  int m_nDirect = 0;
  // The program started directly, without a parent window; with an empty
  // script a box would end the run as a script error, never wait.
  int runWithoutParent(const std::vector<std::string>& lstArgs, const std::string& strScript, std::string* pstrLog) {
    const fs::path folder = m_root / ("direct" + std::to_string(++m_nDirect));
    fs::create_directories(folder);
    std::ofstream(folder / "ui.txt") << strScript;
    std::vector<std::string> argv{(packageFolder() / "kv_setup").string()};
    argv.insert(argv.end(), lstArgs.begin(), lstArgs.end());
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
      const std::string s = *e;
      if (s.rfind("KVSIM_", 0) != 0) env.push_back(s);
    }
    env.push_back("KVSIM_ROOT=" + m_root.string());
    env.push_back("KVSIM_UI=script:" + (folder / "ui.txt").string());
    env.push_back("KVSIM_TRANSCRIPT=" + (folder / "transcript.log").string());
    env.push_back("KVSIM_TIMESCALE=0.01");
    std::vector<char*> a, e;
    for (auto& s : argv) a.push_back(s.data());
    a.push_back(nullptr);
    for (auto& s : env) e.push_back(s.data());
    e.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string strOut = (folder / "out.txt").string();
    posix_spawn_file_actions_addopen(&actions, 1, strOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, strOut.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, a.data(), e.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    *pstrLog = readWhole(m_temp / "KV_SETUPDetail.LOG");
    return loggedExit(*pstrLog, WEXITSTATUS(status));
  }
};

TEST_P(BatchOutcome, ExitCodeStatusWordAndReport) {
  const Case& c = GetParam();
  c.prepare(*this);

  // Silent, under a parent window.
  clearReport();
  const Outcome silent = run(args(true), "");
  EXPECT_EQ(loggedExit(silent.strDetailLog, silent.nExit), c.nExit) << silent.describe();
  ASSERT_FALSE(silent.lstParent.empty()) << silent.describe();
  EXPECT_EQ(silent.lstParent.back(), parentLine(0, c.ulStatus, 0)) << silent.describe();
  EXPECT_EQ(silent.strTranscript.find("== msgbox"), std::string::npos) << "+1 showed a box\n" << silent.describe();
  EXPECT_EQ(reportResult(), c.pszReport ? c.pszReport : "") << silent.describe();

  // Without +1, under a parent window: the parent has the status word.
  clearReport();
  const Outcome loud = run(args(false), "msgbox *: ok\n");
  EXPECT_EQ(loggedExit(loud.strDetailLog, loud.nExit), c.nExitUnderParent) << loud.describe();
  ASSERT_FALSE(loud.lstParent.empty()) << loud.describe();
  EXPECT_EQ(loud.lstParent.back(), parentLine(0, c.ulStatus, 0)) << loud.describe();
  EXPECT_EQ(reportResult(), c.pszReport ? c.pszReport : "") << loud.describe();

  // Without a parent window the exit code is all a script has: silent,
  // and with the boxes answered.
  for (const bool bSilent : {true, false}) {
    clearReport();
    std::string strLog;
    EXPECT_EQ(runWithoutParent(args(bSilent), bSilent ? "" : "msgbox *: ok\n", &strLog), c.nExit)
        << (bSilent ? "+1" : "without +1") << "\n" << strLog;
    EXPECT_EQ(reportResult(), c.pszReport ? c.pszReport : "") << strLog;
  }
}

void nothing(BatchOutcome&) {}

const Case kCases[] = {
    {"Success", nothing, {}, 0, 0x0, 0, "Completed successfully"},
    {"RestartNeeded", [](BatchOutcome& t) { t.knobs("\"Status\"=dword:00010000\n"); }, {}, 3010, 0x10000, 0,
     "Completed successfully"},
    {"UnknownDriverName", nothing, {"+B", "+A:No Such Printer", "+Q:1"}, 45, 0x1, 0, "Failed"},
    {"NoDriverForThisSystem", [](BatchOutcome& t) { t.removePackageFile("DRIVERS/DISK1/KVX64.INF"); }, {}, 45, 0x1,
     0, "Failed"},
    {"PackageFailsAnalysis",
     // A printer INF without its [Manufacturer] section.
     [](BatchOutcome& t) {
       t.writePackageFile("DRIVERS/DISK1/KVX64.INF",
                          "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
                          "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\nProvider=KV\r\n");
     },
     {}, 47, 0x1, 0, "Failed"},
    {"InstallerReportsAnErrorAndExitsZero", [](BatchOutcome& t) { t.knobs("\"Status\"=dword:00000001\n"); }, {}, 43,
     0x1, 0, "Failed"},
    {"InstallerReportsBreakOffAndExitsZero", [](BatchOutcome& t) { t.knobs("\"Status\"=dword:00000002\n"); }, {}, 44,
     0x2, 0, "Cancelled"},
    {"InstallerCancelledWithoutAWord",
     [](BatchOutcome& t) { t.knobs("\"NoPost\"=dword:00000001\n\"ExitCode\"=dword:000004c7\n"); }, {}, 1223, 0x2, 0,
     "Cancelled"},
    {"InstallerMissing", [](BatchOutcome& t) { t.removePackageFile("INSTDLL/NELI64.EXE"); }, {}, 40, 0x1, 0, "Failed"},
    {"InstallerIsNoProgram", [](BatchOutcome& t) { t.writePackageFile("INSTDLL/NELI64.EXE", "not a program"); }, {},
     42, 0x1, 0, "Failed"},
    {"SpoolerStopped", [](BatchOutcome& t) { t.kvsim({"service", "set", "Spooler", "stopped"}); }, {}, 28, 0x1, 28,
     "Failed"},
    {"NotAnAdministrator", [](BatchOutcome& t) { t.kvsim({"set", "admin", "off"}); }, {}, 27, 0x1, 27, "Failed"},
    {"SetupConfigurationMissing", [](BatchOutcome& t) { t.removePackageFile("KVISETUP.INI"); }, {}, 22, 0x1, 22,
     "Failed"},
    {"CommandLineRefused", nothing, {"+B", "+Q:1"}, 16, 0x1, 16, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, BatchOutcome, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.pszName); });

}  // namespace
