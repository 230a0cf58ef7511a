// The runner: processes, prepared machines, the machine's state and runs
// (see lab.h).
#include "lab.h"

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
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace kvlab {
namespace {

double now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string withoutCr(const std::string& strText) {
  std::string strOut;
  strOut.reserve(strText.size());
  for (char c : strText) {
    if (c != '\r') strOut.push_back(c);
  }
  return strOut;
}

std::vector<std::string> splitLines(const std::string& strText) {
  std::vector<std::string> out;
  std::istringstream in(strText);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

std::vector<std::string> splitTabs(const std::string& strLine) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t tab = strLine.find('\t', start);
    out.push_back(strLine.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return out;
}

std::string trim(std::string s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  return s.substr(i);
}

std::string uniqueSuffix() {
  static std::mutex m;
  static std::mt19937_64 gen(std::random_device{}() ^ static_cast<unsigned long long>(getpid()));
  std::lock_guard<std::mutex> lock(m);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(gen()));
  return buf;
}

// A stamp of a file or folder tree: sizes and times of what is in it, so
// that a rebuilt program or an edited package prepares the machines anew.
void stampOf(const fs::path& path, std::hash<std::string>& h, size_t& acc) {
  std::error_code ec;
  const auto add = [&](const fs::path& p) {
    std::error_code ec2;
    const auto t = fs::last_write_time(p, ec2).time_since_epoch().count();
    const auto size = fs::is_regular_file(p, ec2) ? fs::file_size(p, ec2) : 0;
    acc = acc * 31 + h(p.string() + "|" + std::to_string(t) + "|" + std::to_string(size));
  };
  if (fs::is_directory(path, ec)) {
    std::vector<fs::path> all;
    for (fs::recursive_directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) all.push_back(it->path());
    std::sort(all.begin(), all.end());
    for (const auto& p : all) add(p);
  } else {
    add(path);
  }
}

}  // namespace

// ---- Processes -------------------------------------------------------------

std::string readWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

pid_t spawnProcess(const std::vector<std::string>& lstArgv, const std::map<std::string, std::string>& overrides,
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

int waitProcess(pid_t pid, double dSeconds) {
  const double deadline = now() + dSeconds;
  int status = 0;
  int nSleep = 1;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) break;
    if (r < 0) return -1;
    if (now() > deadline) {
      kill(-pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(nSleep));
    nSleep = std::min(nSleep * 2, 10);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProcessResult runProcess(const std::vector<std::string>& lstArgv, const std::map<std::string, std::string>& overrides,
                         double dSeconds) {
  const fs::path base = fs::temp_directory_path() / ("kvlab-proc-" + uniqueSuffix());
  const fs::path out = base.string() + ".out", err = base.string() + ".err";
  ProcessResult result;
  const pid_t pid = spawnProcess(lstArgv, overrides, out, err);
  if (pid > 0) result.nExit = waitProcess(pid, dSeconds);
  result.strOut = readWhole(out);
  result.strErr = pid > 0 ? readWhole(err) : "cannot start " + lstArgv.front();
  std::error_code ec;
  fs::remove(out, ec);
  fs::remove(err, ec);
  return result;
}

ProcessResult kvsimAt(const Tools& tools, const fs::path& root, const std::vector<std::string>& lstArgs) {
  std::vector<std::string> argv{tools.kvsim.string(), "--root", root.string()};
  argv.insert(argv.end(), lstArgs.begin(), lstArgs.end());
  return runProcess(argv, {}, 30.0);
}

// ---- Machines --------------------------------------------------------------

namespace {

struct NamedSystem {
  const char* pszName;
  const char* pszTemplate;
  std::vector<std::vector<std::string>> lstSets;
};

const std::vector<NamedSystem>& namedSystems() {
  static const std::vector<NamedSystem> all = {
      {"win7-x64", "win7-x64", {}},
      {"win7-x86", "win7-x86", {}},
      {"xp-x86", "xp-x86", {}},
      {"win10-x64", "win10-x64", {}},
      {"vista-x86", "win7-x86", {{"set", "os", "vista"}}},
      {"win8-x64", "win7-x64", {{"set", "os", "win8"}}},
      {"win2k-x86", "xp-x86", {{"set", "os", "win2k"}}},
      // The controls: the program must refuse each with its exit number.
      {"nt4-x86", "xp-x86", {{"set", "os", "nt4"}}},
      {"win7-x64-user", "win7-x64", {{"set", "admin", "off"}}},
      {"win7-x64-wow64", "win7-x64", {{"set", "wow64", "on"}}},
      {"win7-x64-nospooler", "win7-x64", {{"service", "set", "Spooler", "stopped"}}},
  };
  return all;
}

}  // namespace

std::optional<System> systemByName(const std::string& strName) {
  for (const auto& n : namedSystems()) {
    if (strName == n.pszName) return System{n.pszName, n.pszTemplate, n.lstSets};
  }
  return std::nullopt;
}

std::vector<std::string> systemNames() {
  std::vector<std::string> out;
  for (const auto& n : namedSystems()) out.push_back(n.pszName);
  return out;
}

fs::path defaultCacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && *xdg) return fs::path(xdg) / "kv_setup" / "machines";
  if (home && *home) return fs::path(home) / ".cache" / "kv_setup" / "machines";
  return fs::temp_directory_path() / ("kvlab-machines-" + std::to_string(getuid()));
}

MachineCache::MachineCache(Tools tools, Package package, fs::path folder)
    : m_tools(std::move(tools)), m_package(std::move(package)), m_folder(std::move(folder)) {
  std::hash<std::string> h;
  size_t acc = 17;
  stampOf(m_tools.kvsim, h, acc);
  stampOf(m_tools.setup, h, acc);
  for (const auto& f : m_package.lstFolders) stampOf(f, h, acc);
  acc = acc * 31 + h(m_package.strWinFolder);
  char buf[24];
  std::snprintf(buf, sizeof buf, "%016zx", acc);
  m_strStamp = buf;
}

bool MachineCache::prepare(const System& system, const fs::path& final, std::string* pstrError) {
  std::error_code ec;
  fs::create_directories(final.parent_path(), ec);
  const fs::path work = final.string() + ".new-" + uniqueSuffix();
  const auto failWith = [&](const std::string& strWhat) {
    *pstrError = system.strName + ": " + strWhat;
    std::error_code ec2;
    fs::remove_all(work, ec2);
    return false;
  };
  ProcessResult r = kvsimAt(m_tools, work, {"create", "--template", system.strTemplate});
  if (r.nExit != 0) return failWith("kvsim create: " + trim(r.strErr));
  for (const auto& set : system.lstSets) {
    r = kvsimAt(m_tools, work, set);
    if (r.nExit != 0) return failWith("kvsim " + set.front() + ": " + trim(r.strErr));
  }
  // The package on C:, as the stage script lays it out, the program beside it.
  std::string strFolder = m_package.strWinFolder;
  if (strFolder.size() < 3 || strFolder.compare(0, 3, "C:\\") != 0) return failWith("the package folder is not on C:");
  std::string rel = strFolder.substr(3);
  std::replace(rel.begin(), rel.end(), '\\', '/');
  const fs::path pkg = work / "drive_c" / rel;
  fs::create_directories(pkg, ec);
  for (const auto& f : m_package.lstFolders) {
    fs::copy(f, pkg, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) return failWith("copying " + f.string() + ": " + ec.message());
  }
  fs::copy_file(m_tools.setup, pkg / "kv_setup", fs::copy_options::overwrite_existing, ec);
  if (ec) return failWith("copying the program: " + ec.message());
  // The detail log in full: a failed case shows it.
  const fs::path reg = work / "kvlab-log-level.reg";
  std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n"
                     << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVERN\\IMG\\DI\\LOG]\n"
                     << "\"OutputLevel\"=dword:00000063\n";
  r = kvsimAt(m_tools, work, {"reg", "import", reg.string()});
  fs::remove(reg, ec);
  if (r.nExit != 0) return failWith("kvsim reg import: " + trim(r.strErr));
  fs::rename(work, final, ec);
  if (!ec) {
    // The same system prepared for an earlier build or package is of no more use.
    std::error_code ec2;
    const std::string strPrefix = system.strName + "-";
    for (fs::directory_iterator it(final.parent_path(), ec2), end; !ec2 && it != end; it.increment(ec2)) {
      const std::string name = it->path().filename().string();
      if (it->path() != final && name.rfind(strPrefix, 0) == 0 && name.size() == strPrefix.size() + 16 &&
          name.find('-', strPrefix.size()) == std::string::npos) {
        std::error_code ec3;
        fs::remove_all(it->path(), ec3);
      }
    }
  }
  if (ec) {
    // Another process prepared it first: theirs is as good.
    std::error_code ec2;
    fs::remove_all(work, ec2);
    if (!fs::is_directory(final, ec2)) return failWith("cannot keep the prepared machine: " + ec.message());
  }
  return true;
}

bool MachineCache::makeMachine(const System& system, const fs::path& dest, std::string* pstrError) {
  static std::mutex preparing;
  const fs::path final = m_folder / (system.strName + "-" + m_strStamp);
  std::error_code ec;
  {
    std::lock_guard<std::mutex> lock(preparing);
    if (!fs::is_directory(final, ec) && !prepare(system, final, pstrError)) return false;
  }
  fs::remove_all(dest, ec);
  fs::create_directories(dest.parent_path(), ec);
  fs::copy(final, dest, fs::copy_options::recursive, ec);
  if (ec) {
    *pstrError = system.strName + ": copying the prepared machine: " + ec.message();
    return false;
  }
  return true;
}

// ---- The machine's state ---------------------------------------------------

const Printer* MachineState::printer(const std::string& strName) const {
  for (const auto& p : lstPrinters) {
    if (p.strName == strName) return &p;
  }
  return nullptr;
}

bool MachineState::hasDriver(const std::string& strName) const {
  for (const auto& d : lstDrivers) {
    const size_t tab = d.find('\t');
    if (tab != std::string::npos && d.compare(tab + 1, std::string::npos, strName) == 0) return true;
  }
  return false;
}

MachineState readState(const Tools& tools, const fs::path& root) {
  MachineState s;
  const ProcessResult r = kvsimAt(tools, root, {"state"});
  if (r.nExit != 0) return s;
  s.bRead = true;
  for (const auto& line : splitLines(r.strOut)) {
    const auto f = splitTabs(line);
    if (f.empty()) continue;
    if (f[0] == "printer" && f.size() >= 4) {
      s.lstPrinters.push_back({f[1], f[2], f[3]});
    } else if (f[0] == "driver" && f.size() >= 3) {
      s.lstDrivers.push_back(f[1] + "\t" + f[2]);
    } else if (f[0] == "port" && f.size() >= 3) {
      s.lstPorts.push_back(f[1] + "\t" + f[2]);
    } else if (f[0] == "service" && f.size() >= 3) {
      s.services[f[1]] = f[2];
      if (f.size() >= 4) s.serviceDependencies[f[1]] = f[3];
    } else if (f[0] == "pending" && f.size() >= 4) {
      s.lstPending.push_back({f[1], f[2], std::atoll(f[3].c_str())});
    } else if (f[0] == "file" && f.size() >= 3) {
      s.files[f[1]] = std::atoll(f[2].c_str());
    } else if (f[0] == "fault" && f.size() >= 3) {
      s.faults[f[1]] = f[2];
    } else if (f[0] == "temp" && f.size() >= 3) {
      s.tempHost = f[2];
    }
  }
  return s;
}

// ---- Runs ------------------------------------------------------------------

bool Record::reportSays(const std::string& strResult) const {
  return std::find(lstResults.begin(), lstResults.end(), strResult) != lstResults.end();
}

bool Record::toldSuccess() const { return nExit == 0 && status && (*status & 0x3) == 0; }

std::string Record::describe() const {
  std::string s = "kv_setup";
  for (const auto& a : lstArgs) s += " " + a;
  s += "\nexit " + std::to_string(nExit) + (bTimedOut ? " (timed out)" : "") + "\n-- parent:\n";
  for (const auto& line : lstParentLines) s += line + "\n";
  s += "-- stderr:\n" + strErr + "-- report:\n" + strReport + "-- printers after:\n";
  for (const auto& p : after.lstPrinters) s += "  " + p.strName + "\t" + p.strDriver + "\t" + p.strPort + "\n";
  s += "-- transcript:\n" + strTranscript + "-- detail log:\n" + strDetailLog;
  return s;
}

namespace {

// The report's summary: its setup kind, result words and installed printers.
void readReport(Record& record) {
  const auto lines = splitLines(record.strReport);
  bool bInResult = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.rfind("Result : ", 0) == 0) {
      record.lstResults.push_back(trim(line.substr(9)));
      bInResult = true;
      continue;
    }
    if (bInResult && !line.empty() && line[0] == ' ' && !trim(line).empty()) {
      record.lstResults.push_back(trim(line));
      continue;
    }
    bInResult = false;
    if (line.rfind("Setup type : ", 0) == 0) record.strSetupKind = trim(line.substr(13));
    if (line == "Installed printer:") {
      Record::Installed installed;
      for (size_t j = i + 1; j < lines.size() && j <= i + 3; ++j) {
        const std::string& l = lines[j];
        const auto value = [&](const char* key) { return trim(l.substr(std::string(key).size())); };
        if (l.rfind("Driver:", 0) == 0) installed.strDriver = value("Driver:");
        if (l.rfind("Printer:", 0) == 0) installed.strPrinter = value("Printer:");
        if (l.rfind("Port:", 0) == 0) installed.strPort = value("Port:");
      }
      // "NAME [type]": the name alone.
      const size_t bracket = installed.strDriver.rfind(" [");
      if (bracket != std::string::npos) installed.strDriver.erase(bracket);
      record.lstInstalled.push_back(installed);
    }
  }
}

// The pages and boxes of the transcript, the last completion page's text,
// and the UI script's complaint when it did not fit the run.
void readTranscript(Record& record) {
  std::string strCompletion;
  bool bInCompletion = false;
  for (const auto& line : splitLines(record.strTranscript)) {
    if (line.rfind("== ", 0) == 0) {
      std::string strWhat = line.substr(3);
      // "page 133 "caption"", "msgbox "caption" style [ids]": the kind and id.
      if (strWhat.rfind("page ", 0) == 0) {
        record.lstPages.push_back(strWhat.substr(0, strWhat.find(' ', 5)));
        if (line.find("\" ended while starting") != std::string::npos) record.lstPages.back() += " (ended while starting)";
      } else {
        const size_t open = strWhat.find(" [");
        record.lstPages.push_back(open == std::string::npos ? std::string("msgbox")
                                                            : "msgbox " + strWhat.substr(open + 2, strWhat.find(']', open) - open - 2));
      }
      bInCompletion = strWhat.rfind("page 135 ", 0) == 0;
      if (bInCompletion) strCompletion.clear();
      continue;
    }
    if (line.rfind("!! ", 0) == 0) {
      record.strScriptMisfit = line.substr(3);
      continue;
    }
    if (line.rfind("-- ", 0) == 0) {
      bInCompletion = false;
      continue;
    }
    if (bInCompletion) strCompletion += line + "\n";
  }
  record.strCompletion = strCompletion;
}

}  // namespace

Started startRun(const Tools& tools, const fs::path& root, const fs::path& runFolder, const RunSpec& runSpec) {
  Started started;
  started.root = root;
  started.folder = runFolder;
  started.dTimeoutSeconds = runSpec.dTimeoutSeconds;
  started.record.lstArgs = runSpec.lstArgs;
  std::error_code ec;
  fs::create_directories(runFolder, ec);
  started.record.before = readState(tools, root);
  if (!started.record.before.tempHost.empty())
  {
    const fs::path report = started.record.before.tempHost / "INNELI.LOG";
    started.strReportBefore = readWhole(report);
    std::error_code ec2;
    started.reportTimeBefore = fs::last_write_time(report, ec2);
  }
  const fs::path script = runFolder / "ui.txt";
  std::ofstream(script) << runSpec.strScript;
  std::vector<std::string> argv{tools.kvparent.string(), "--", runSpec.strProgram};
  argv.insert(argv.end(), runSpec.lstArgs.begin(), runSpec.lstArgs.end());
  std::map<std::string, std::string> env{{"KVSIM_ROOT", root.string()},
                                         {"KVSIM_UI", "script:" + script.string()},
                                         {"KVSIM_TRANSCRIPT", (runFolder / "transcript.log").string()},
                                         {"KVSIM_TIMESCALE", "0.01"}};
  if (const char* scale = std::getenv("KVSIM_TIMESCALE"); scale && *scale) env["KVSIM_TIMESCALE"] = scale;
  for (const auto& [k, v] : runSpec.env) env[k] = v;
  started.dStart = now();
  started.pid = spawnProcess(argv, env, runFolder / "parent.out", runFolder / "parent.err");
  return started;
}

bool hasEnded(const Started& started) {
  if (started.pid <= 0) return true;
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(started.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == started.pid;
}

bool waitUntil(const Started& started, const std::function<bool()>& pred, double dSeconds) {
  const double deadline = now() + dSeconds;
  while (now() < deadline) {
    if (pred()) return true;
    if (hasEnded(started)) return pred();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

Record finishRun(const Tools& tools, Started& started, bool bKill) {
  Record record = std::move(started.record);
  if (started.pid > 0) {
    if (bKill) {
      kill(-started.pid, SIGKILL);
      waitpid(started.pid, nullptr, 0);
      record.bKilled = true;
    } else {
      record.nExit = waitProcess(started.pid, started.dTimeoutSeconds);
      record.bTimedOut = record.nExit == -1 && now() - started.dStart >= started.dTimeoutSeconds;
    }
  }
  started.pid = -1;
  record.dSeconds = now() - started.dStart;
  const std::string strOut = readWhole(started.folder / "parent.out");
  for (const auto& line : splitLines(strOut)) {
    if (line.empty()) continue;
    record.lstParentLines.push_back(line);
    unsigned kind = 0;
    unsigned long long w = 0;
    if (std::sscanf(line.c_str(), "kind=%u wParam=0x%llx", &kind, &w) == 2 && kind == 0)
      record.status = static_cast<uint32_t>(w);
  }
  record.strErr = readWhole(started.folder / "parent.err");
  record.strTranscript = readWhole(started.folder / "transcript.log");
  record.after = readState(tools, started.root);
  const fs::path temp = !record.after.tempHost.empty() ? record.after.tempHost : record.before.tempHost;
  if (!temp.empty()) {
    record.strDetailLog = withoutCr(readWhole(temp / "KV_SETUPDetail.LOG"));
    const std::string strReport = readWhole(temp / "INNELI.LOG");
    std::error_code ec;
    const auto time = fs::last_write_time(temp / "INNELI.LOG", ec);
    record.bReportWritten = !strReport.empty() && (strReport != started.strReportBefore || time != started.reportTimeBefore);
    if (record.bReportWritten) {
      record.strReport = withoutCr(strReport);
      readReport(record);
    }
  }
  readTranscript(record);
  return record;
}

Record runOnce(const Tools& tools, const fs::path& root, const fs::path& runFolder, const RunSpec& runSpec) {
  Started started = startRun(tools, root, runFolder, runSpec);
  return finishRun(tools, started);
}

// ---- UI scripts that follow the run ------------------------------------------

std::string scriptText(const std::vector<std::string>& lstLines) {
  std::string s;
  for (const auto& line : lstLines) s += (line.rfind("?", 0) == 0 ? line.substr(1) : line) + "\n";
  return s;
}

namespace {

// The line number after "ui.txt:" in a complaint of the script renderer; 0 when none.
size_t lineOf(const std::string& strMisfit, size_t from = 0) {
  const size_t at = strMisfit.find("ui.txt:", from);
  if (at == std::string::npos) return 0;
  return static_cast<size_t>(std::strtoul(strMisfit.c_str() + at + 7, nullptr, 10));
}

}  // namespace

std::optional<std::vector<std::string>> adaptScript(const std::vector<std::string>& lstLines, const Record& record) {
  const std::string& m = record.strScriptMisfit;
  if (m.empty() || record.nExit != 3) return std::nullopt;
  std::vector<std::string> out = lstLines;
  const bool bBox = m.rfind("message box ", 0) == 0;
  if (bBox && m.find(" opened, but the UI script ") != std::string::npos && m.find(" has ended") != std::string::npos) {
    out.push_back("msgbox *: ok");
    return out;
  }
  if (bBox && m.find(" opened, but ") != std::string::npos) {
    const size_t line = lineOf(m);
    if (line == 0 || line > out.size()) return std::nullopt;
    out.insert(out.begin() + static_cast<long>(line - 1), "msgbox *: ok");
    return out;
  }
  if (bBox && m.find(" has no button '") != std::string::npos) {
    const size_t has = m.find("(it has ");
    const size_t line = lineOf(m, has == std::string::npos ? 0 : has);
    if (has == std::string::npos || line == 0 || line > out.size()) return std::nullopt;
    std::string strFirst = m.substr(has + 8);
    strFirst = strFirst.substr(0, strFirst.find_first_of(",)"));
    std::string& target = out[line - 1];
    const size_t colon = target.rfind(": ");
    if (colon == std::string::npos || target.rfind("msgbox ", 0) != 0) return std::nullopt;
    target = target.substr(0, colon + 2) + strFirst;
    return out;
  }
  // A page the script marks optional ("?page 149: ...") that the run did
  // not show: the statement goes.
  if (m.rfind("page ", 0) == 0 && m.find(" opened, but ") != std::string::npos) {
    const size_t line = lineOf(m, m.find(" opened, but "));
    if (line == 0 || line > out.size() || out[line - 1].rfind("?", 0) != 0) return std::nullopt;
    out.erase(out.begin() + static_cast<long>(line - 1));
    return out;
  }
  if (m.find(" expected, the program ended (") != std::string::npos) {
    const size_t line = lineOf(m);
    if (line == 0 || line > out.size()) return std::nullopt;
    out.resize(line - 1);
    return out;
  }
  return std::nullopt;
}

AdaptiveResult runAdaptive(const AdaptiveRun& how, const fs::path& root, const fs::path& folder,
                           std::vector<std::string> lstScript) {
  AdaptiveResult result;
  for (int i = 0; i < how.nAttempts; ++i) {
    std::error_code ec;
    if (how.bFreshMachine) fs::remove_all(root, ec);
    if (!how.prepare(root, &result.strError)) return result;
    result.nAttempts = i + 1;
    result.record = how.run(root, folder / ("attempt" + std::to_string(i + 1)), scriptText(lstScript));
    result.lstScript = lstScript;
    // A start the simulated system refused (it happens on a loaded host):
    // nothing ran, the same again.
    if (result.record.nExit == 2 && result.record.strErr.find("kvparent: cannot start") != std::string::npos &&
        result.record.strTranscript.empty())
      continue;
    auto adapted = adaptScript(lstScript, result.record);
    if (!adapted) break;
    lstScript = std::move(*adapted);
  }
  return result;
}

}  // namespace kvlab
