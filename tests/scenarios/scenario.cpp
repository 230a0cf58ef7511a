// The scenario harness: machines, package, runs (see scenario.h).
#include "scenarios/scenario.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace scenario {
namespace {

// A run that takes longer than this has hung: its processes are ended so
// that the test fails instead of the whole suite waiting.
constexpr double kRunTimeoutSeconds = 30.0;

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string withoutCr(const std::string& strText) {
  std::string strOut;
  strOut.reserve(strText.size());
  for (char c : strText) {
    if (c != '\r') strOut.push_back(c);
  }
  return strOut;
}

// Starts PROGRAM ARGS with the test's environment changed by OVERRIDES, its
// standard output and error in files, in a process group of its own so that
// a hung run can be ended with everything it started.
pid_t spawn(const std::vector<std::string>& lstArgv, const std::map<std::string, std::string>& overrides,
            const fs::path& outFile, const fs::path& errFile) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (!overrides.count(name)) env.push_back(entry);
  }
  for (const auto& [name, value] : overrides) env.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = lstArgv;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// The exit code of a started process; -1 when it did not end in time (it is
// then ended, with its group) or did not end normally.
int waitFor(pid_t pid, double dSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(dSeconds);
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0) return -1;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> lines(const std::string& strText) {
  std::vector<std::string> out;
  std::istringstream in(strText);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) out.push_back(line);
  }
  return out;
}

}  // namespace

std::string parentLine(unsigned nKind, unsigned long long wParam, unsigned long long lParam) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "kind=%u wParam=0x%08llx lParam=0x%08llx", nKind, wParam, lParam);
  return buf;
}

std::string Outcome::describe() const {
  std::string s = "exit " + std::to_string(nExit) + "\n-- parent:\n";
  for (const auto& line : lstParent) s += line + "\n";
  s += "-- stderr:\n" + strErr + "-- transcript:\n" + strTranscript + "-- detail log:\n" + strDetailLog;
  return s;
}

void ScenarioTest::SetUp() {
  std::random_device rd;
  m_root = fs::temp_directory_path() / ("kvscenario-" + std::to_string(rd()) + std::to_string(rd()));
  kvsim({"create"});
  if (HasFatalFailure()) return;
  // The package as the stage script lays it out, and the program beside it.
  const fs::path pkg = m_root / "drive_c" / "PKG";
  fs::create_directories(pkg);
  fs::copy(KV_PACKAGE_SOURCE, pkg, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  std::error_code ec;
  if (fs::is_directory(KV_STAGE_DIR, ec)) {
    fs::copy(KV_STAGE_DIR, pkg, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << ec.message();
  }
  fs::copy_file(KV_SETUP_EXE, pkg / "kv_setup", fs::copy_options::overwrite_existing);
  setOutputLevel(99);
  // The machine's temporary folder, where the detail log is written.
  const fs::path out = m_root / "temp-path.txt";
  const pid_t pid = spawn({KV_SIM_EXE, "--root", m_root.string(), "path", "--temp"}, {}, out, m_root / "temp-path.err");
  ASSERT_EQ(waitFor(pid, 10), 0) << readWhole(m_root / "temp-path.err");
  std::string text = readWhole(out);
  const size_t tab = text.find('\t');
  ASSERT_NE(tab, std::string::npos) << text;
  text = text.substr(tab + 1);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  m_temp = text;
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
  std::vector<std::string> argv{KV_SIM_EXE, "--root", m_root.string()};
  argv.insert(argv.end(), lstArgs.begin(), lstArgs.end());
  const fs::path out = fs::temp_directory_path() / (m_root.filename().string() + ".kvsim.out");
  const fs::path err = fs::temp_directory_path() / (m_root.filename().string() + ".kvsim.err");
  const pid_t pid = spawn(argv, {}, out, err);
  const int rc = pid > 0 ? waitFor(pid, 10) : -1;
  std::string strCommand;
  for (const auto& a : lstArgs) strCommand += " " + a;
  const std::string strErr = readWhole(err);
  std::error_code ec;
  fs::remove(out, ec);
  fs::remove(err, ec);
  ASSERT_EQ(rc, 0) << "kvsim" << strCommand << ": " << strErr;
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
  fs::create_directories(started.folder);
  const fs::path script = started.folder / "ui.txt";
  std::ofstream(script) << strScript;
  std::vector<std::string> argv{KV_PARENT_EXE, "--", m_strProgram};
  argv.insert(argv.end(), lstArgs.begin(), lstArgs.end());
  const char* scale = std::getenv("KVSIM_TIMESCALE");
  started.pid = spawn(argv,
                      {{"KVSIM_ROOT", m_root.string()},
                       {"KVSIM_UI", "script:" + script.string()},
                       {"KVSIM_TRANSCRIPT", (started.folder / "transcript.log").string()},
                       {"KVSIM_TIMESCALE", scale && *scale ? scale : "0.01"}},
                      started.folder / "parent.out", started.folder / "parent.err");
  EXPECT_GT(started.pid, 0) << "kvparent cannot be started";
  if (started.pid > 0) m_lstRunning.push_back(started.pid);
  return started;
}

Outcome ScenarioTest::finish(Started& started) {
  Outcome result;
  if (started.pid > 0) {
    result.nExit = waitFor(started.pid, kRunTimeoutSeconds);
    m_lstRunning.erase(std::remove(m_lstRunning.begin(), m_lstRunning.end(), started.pid), m_lstRunning.end());
  }
  started.pid = -1;
  result.lstParent = lines(readWhole(started.folder / "parent.out"));
  result.strErr = readWhole(started.folder / "parent.err");
  result.strTranscript = readWhole(started.folder / "transcript.log");
  result.strDetailLog = withoutCr(readWhole(m_temp / "KV_SETUPDetail.LOG"));
  return result;
}

Outcome ScenarioTest::run(const std::vector<std::string>& lstArgs, const std::string& strScript) {
  Started started = start(lstArgs, strScript);
  return finish(started);
}

bool ScenarioTest::waitForParentLine(const Started& started, const std::string& strPart, double dSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(dSeconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (readWhole(started.folder / "parent.out").find(strPart) != std::string::npos) return true;
    // A run that has ended will print nothing more (it stays waitable).
    siginfo_t info{};
    if (started.pid > 0 && waitid(P_PID, static_cast<id_t>(started.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == started.pid)
      return readWhole(started.folder / "parent.out").find(strPart) != std::string::npos;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

}  // namespace scenario
