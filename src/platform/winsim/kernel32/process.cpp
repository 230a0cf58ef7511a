// winsim: processes: starting host programs by their Windows path, their
// exit codes, waiting for them, and the input-idle state of WaitForInputIdle.
//
// A process is a real host process. Its exit code is the host's exit status,
// which holds only 8 bits; a winsim program that ends through ExitProcess
// also leaves its whole 32-bit code in <root>/run for its parent to read, so
// that codes such as ERROR_CANCELLED (1223) arrive intact.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>
#include <unordered_map>

#include "kernel32/command_line.h"
#include "kernel32/sync_objects.h"
#include "machine.h"
#include "modules.h"
#include "process_table.h"
#include "psapi/process_store.h"

extern char** environ;

namespace winsim {
namespace {

fs::path runDir() { return machineRoot() / "run"; }

std::string identityTag(const ProcessIdentity& who) {
  return std::to_string(who.pid) + "-" + std::to_string(who.start);
}
fs::path exitFile(const ProcessIdentity& who) { return runDir() / ("exit-" + identityTag(who)); }
fs::path idleFile(const ProcessIdentity& who) { return runDir() / ("idle-" + identityTag(who)); }

std::optional<DWORD> readExitFile(const ProcessIdentity& who) {
  auto text = readWholeFile(exitFile(who));
  if (!text || text->empty()) return std::nullopt;
  return static_cast<DWORD>(std::strtoul(text->c_str(), nullptr, 10));
}

DWORD exitCodeFromStatus(int status) {
  if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    switch (WTERMSIG(status)) {
      case SIGSEGV:
      case SIGBUS:
        return 0xC0000005;  // an access violation
      case SIGABRT:
        return 3;  // what abort() gives on Windows
      default:
        return 0xC000013A;  // ended from outside
    }
  }
  return 0;
}

struct ProcessObject : Waitable {
  ProcessIdentity who;
  bool child = false;     // started by us: its end is reported by the reaper
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  bool terminated = false;  // TerminateProcess set the code
  bool self = false;
  // A simulated process of the machine, as it was when the handle was opened.
  std::optional<procs::Process> simulated;

  const char* kind() const override { return "process"; }
  bool needsPolling() override { return !child && !self; }
  // Looks whether a process that is not our child has ended (lock held).
  void refresh() {
    if (finished || child || self) return;
    if (simulated) {
      // It ends when the machine's store no longer has it.
      const auto now = procs::find(simulated->pid);
      if (now && now->image == simulated->image) return;
      finished = true;
      if (!terminated) exitCode = 0;
      return;
    }
    if (processAlive(who)) return;
    finished = true;
    if (!terminated) exitCode = readExitFile(who).value_or(0);
  }
  bool tryAcquire(unsigned, bool*) override {
    refresh();
    return finished;
  }
};

// The main thread of a started process: signalled when the process ends.
struct MainThreadObject : ThreadObject {
  std::shared_ptr<ProcessObject> process;
  bool tryAcquire(unsigned, bool*) override {
    process->refresh();
    return process->finished;
  }
};

std::unordered_map<unsigned, std::weak_ptr<ProcessObject>>& children() {
  static auto* m = new std::unordered_map<unsigned, std::weak_ptr<ProcessObject>>;
  return *m;
}

void reap(std::shared_ptr<ProcessObject> p) {
  int status = 0;
  while (::waitpid(static_cast<pid_t>(p->who.pid), &status, 0) < 0 && errno == EINTR) {
  }
  const auto full = readExitFile(p->who);
  std::error_code ec;
  fs::remove(exitFile(p->who), ec);
  fs::remove(idleFile(p->who), ec);
  std::lock_guard<std::mutex> guard(waitMutex());
  if (!p->terminated) {
    DWORD code = exitCodeFromStatus(status);
    // The recorded code wins when it agrees with the host's status.
    if (full && WIFEXITED(status) && (*full & 0xFF) == code) code = *full;
    p->exitCode = code;
  }
  p->finished = true;
  notifyWaiters();
}

// The host file a Windows program path names; ".exe" is tried when the name
// has no extension. Sets the last error when there is none.
std::optional<fs::path> findProgram(const std::string& winName) {
  std::vector<std::string> tries{winName};
  const auto slash = winName.find_last_of("\\/");
  const std::string leaf = slash == std::string::npos ? winName : winName.substr(slash + 1);
  if (leaf.find('.') == std::string::npos) tries.push_back(winName + ".exe");
  for (auto& t : tries) {
    auto host = hostPath(t);
    std::error_code ec;
    if (host && fs::is_regular_file(*host, ec)) {
      if (::access(host->c_str(), X_OK) != 0) {
        SetLastError(ERROR_BAD_EXE_FORMAT);
        return std::nullopt;
      }
      return host;
    }
  }
  SetLastError(hostPath(winName) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  return std::nullopt;
}

// The program named by an unquoted command line with blanks: Windows tries
// "C:\Program.exe", then "C:\Program Files\My.exe", ... in turn.
std::optional<std::pair<fs::path, std::string>> findUnquotedProgram(const std::string& line) {
  size_t pos = 0;
  for (;;) {
    const size_t blank = line.find_first_of(" \t", pos);
    const std::string candidate = line.substr(0, blank);
    if (!candidate.empty()) {
      auto host = findProgram(candidate);
      if (host) return std::make_pair(*host, candidate);
      if (GetLastError() == ERROR_BAD_EXE_FORMAT) return std::nullopt;
    }
    if (blank == std::string::npos) return std::nullopt;
    pos = blank + 1;
  }
}

std::vector<std::string> childEnvironment(LPVOID block, const std::string& commandLine) {
  std::vector<std::string> env;
  if (block) {
    for (const char* p = static_cast<const char*>(block); *p; p += std::strlen(p) + 1) env.emplace_back(p);
  } else {
    for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  }
  auto setVar = [&](const std::string& name, const std::string& value, bool replace) {
    for (auto& e : env) {
      if (e.rfind(name + "=", 0) == 0) {
        if (replace) e = name + "=" + value;
        return;
      }
    }
    env.push_back(name + "=" + value);
  };
  // The child runs on the same machine, on the same clock and with the same
  // user interface, whatever environment block it was given.
  setVar("KVSIM_ROOT", fs::absolute(machineRoot()).string(), true);
  for (const char* name : {"KVSIM_TIMESCALE", "KVSIM_UI", "KVSIM_SCRIPT", "KVSIM_TRANSCRIPT"}) {
    const char* v = std::getenv(name);
    if (v) setVar(name, v, false);
  }
  // The command line exactly as given, for the child's GetCommandLineA.
  setVar("KVSIM_COMMAND_LINE", commandLine, true);
  return env;
}

}  // namespace

std::shared_ptr<Waitable> currentProcessObject() {
  static auto self = [] {
    auto p = std::make_shared<ProcessObject>();
    p->who = selfIdentity();
    p->self = true;
    return p;
  }();
  return self;
}

void noteProcessWaitingForInput() {
  std::error_code ec;
  fs::create_directories(runDir(), ec);
  atomicWriteFile(idleFile(selfIdentity()), "idle\n");
}

// For WaitForInputIdle: a waitable that is signalled when the process has
// waited for input once, or has ended.
struct InputIdleWaitable : Waitable {
  std::shared_ptr<ProcessObject> process;
  const char* kind() const override { return "input idle"; }
  bool needsPolling() override { return true; }
  bool tryAcquire(unsigned, bool*) override {
    process->refresh();
    if (process->finished) return true;
    std::error_code ec;
    return fs::exists(idleFile(process->who), ec);
  }
};

std::shared_ptr<Waitable> inputIdleWaitable(HANDLE hProcess) {
  auto p = lookupHandleAs<ProcessObject>(hProcess);
  if (!p) return nullptr;
  auto w = std::make_shared<InputIdleWaitable>();
  w->process = p;
  return w;
}

std::optional<std::vector<LoadedModule>> procs::modulesOfProcess(HANDLE hProcess) {
  std::shared_ptr<ProcessObject> p;
  if (hProcess == currentProcessPseudoHandle()) {
    p = std::dynamic_pointer_cast<ProcessObject>(currentProcessObject());
  } else {
    p = lookupHandleAs<ProcessObject>(hProcess);
  }
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  if (p->self) return processModules();
  {
    std::lock_guard<std::mutex> guard(waitMutex());
    p->refresh();
    if (p->finished) {
      // An ended process has no address space left to read.
      SetLastError(ERROR_PARTIAL_COPY);
      return std::nullopt;
    }
  }
  std::vector<LoadedModule> modules;
  if (p->simulated) {
    modules.push_back({imageHandle(), p->simulated->image});
    for (size_t i = 0; i < p->simulated->modules.size(); ++i) {
      modules.push_back({moduleHandle(i), p->simulated->modules[i]});
    }
    return modules;
  }
  // Another program of the host shows its image; what it has loaded besides
  // is no Windows module.
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/" + std::to_string(p->who.pid) + "/exe", ec);
  if (ec) {
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  modules.push_back({imageHandle(), winPath(exe)});
  return modules;
}

}  // namespace winsim

namespace ws = winsim;
namespace fs = std::filesystem;

// CreateProcessA: starts the host program that the Windows path names (the
// first word of the command line, quoted or not, or lpApplicationName). FALSE
// with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for a missing program,
// ERROR_BAD_EXE_FORMAT for a file that is not a program, ERROR_DIRECTORY for
// a bad lpCurrentDirectory.
extern "C" BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                                      LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID lpEnvironment,
                                      LPCSTR lpCurrentDirectory, LPSTARTUPINFOA,
                                      LPPROCESS_INFORMATION lpProcessInformation) {
  if ((!lpApplicationName && !lpCommandLine) || !lpProcessInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string line = lpCommandLine ? lpCommandLine : "";
  std::vector<std::string> args = ws::splitCommandLine(line);
  fs::path program;
  if (lpApplicationName) {
    auto host = ws::findProgram(lpApplicationName);
    if (!host) return FALSE;
    program = *host;
    if (args.empty()) args.push_back(lpApplicationName);
  } else {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return FALSE;
    }
    if (line[start] == '"' || line.find_first_of(" \t", start) == std::string::npos) {
      auto host = ws::findProgram(args.empty() ? "" : args[0]);
      if (!host) return FALSE;
      program = *host;
    } else {
      auto found = ws::findUnquotedProgram(line.substr(start));
      if (!found) {
        if (GetLastError() != ERROR_BAD_EXE_FORMAT) SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
      }
      program = found->first;
      // The child reads its arguments from the command line as it is, by the
      // same rules as any other: the search for the program changes nothing
      // of them (the words of an unquoted path with blanks stay words).
      args = ws::splitCommandLine(line);
    }
  }
  std::optional<fs::path> directory;
  if (lpCurrentDirectory) {
    directory = ws::hostPath(lpCurrentDirectory);
    std::error_code ec;
    if (!directory || !fs::is_directory(*directory, ec)) {
      SetLastError(ERROR_DIRECTORY);
      return FALSE;
    }
  }
  const std::vector<std::string> env = ws::childEnvironment(lpEnvironment, line.empty() ? args[0] : line);
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (directory) posix_spawn_file_actions_addchdir_np(&actions, directory->c_str());
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    SetLastError(rc == ENOEXEC ? ERROR_BAD_EXE_FORMAT : rc == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  auto process = std::make_shared<ws::ProcessObject>();
  process->who.pid = static_cast<unsigned>(pid);
  process->who.start = ws::processStartTime(process->who.pid);
  process->child = true;
  auto thread = std::make_shared<ws::MainThreadObject>();
  thread->tid = process->who.pid;
  thread->process = process;
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    ws::children()[process->who.pid] = process;
  }
  std::thread(ws::reap, process).detach();
  lpProcessInformation->hProcess = ws::allocHandle(process);
  lpProcessInformation->hThread = ws::allocHandle(thread);
  lpProcessInformation->dwProcessId = process->who.pid;
  lpProcessInformation->dwThreadId = process->who.pid;
  return TRUE;
}

// OpenProcess: a handle to a simulated process of the machine or to a
// running process of the host; NULL with ERROR_INVALID_PARAMETER when there
// is no such process, ERROR_ACCESS_DENIED for the System process.
extern "C" HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD dwProcessId) {
  if (dwProcessId == ws::procs::kSystemPid) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (dwProcessId >= ws::procs::kFirstPid) {
    auto simulated = ws::procs::find(dwProcessId);
    if (!simulated) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    auto p = std::make_shared<ws::ProcessObject>();
    p->who = {dwProcessId, 0};
    p->simulated = std::move(simulated);
    return ws::allocHandle(p);
  }
  {
    std::lock_guard<std::mutex> guard(ws::waitMutex());
    auto it = ws::children().find(dwProcessId);
    if (it != ws::children().end()) {
      if (auto p = it->second.lock()) return ws::allocHandle(p);
    }
  }
  if (dwProcessId == ws::currentProcessId()) return ws::allocHandle(ws::currentProcessObject());
  auto p = std::make_shared<ws::ProcessObject>();
  p->who = {dwProcessId, ws::processStartTime(dwProcessId)};
  if (dwProcessId == 0 || p->who.start == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ws::allocHandle(p);
}

// GetExitCodeProcess: STILL_ACTIVE while the process runs, then its exit code.
extern "C" BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  auto p = hProcess == ws::currentProcessPseudoHandle()
               ? std::dynamic_pointer_cast<ws::ProcessObject>(ws::currentProcessObject())
               : ws::lookupHandleAs<ws::ProcessObject>(hProcess);
  if (!p || !lpExitCode) {
    SetLastError(p ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  p->refresh();
  *lpExitCode = p->finished ? p->exitCode : STILL_ACTIVE;
  return TRUE;
}

// TerminateProcess: ends the process with the given exit code; FALSE with
// ERROR_INVALID_HANDLE, or ERROR_ACCESS_DENIED when it has already ended.
extern "C" BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
  if (hProcess == ws::currentProcessPseudoHandle()) ExitProcess(uExitCode);
  auto p = ws::lookupHandleAs<ws::ProcessObject>(hProcess);
  if (!p || p->self) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (p->simulated) {
    // The machine's other programs end through `kvsim proc clear` only.
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(ws::waitMutex());
  p->refresh();
  if (p->finished || !ws::processAlive(p->who) || ::kill(static_cast<pid_t>(p->who.pid), SIGKILL) != 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  p->terminated = true;
  p->exitCode = uExitCode;
  if (!p->child) p->finished = true;
  ws::notifyWaiters();
  return TRUE;
}

// ExitProcess: ends the process with the code (kept whole for the parent);
// does not return.
extern "C" void WINAPI ExitProcess(UINT uExitCode) {
  std::error_code ec;
  fs::create_directories(ws::runDir(), ec);
  ws::atomicWriteFile(ws::exitFile(ws::selfIdentity()), std::to_string(uExitCode) + "\n");
  std::fflush(nullptr);
  std::exit(static_cast<int>(uExitCode & 0xFF));
}

static const winsim::ExportRegistrar kExports(
    "kernel32.dll", {WINSIM_EXPORT(CreateProcessA), WINSIM_EXPORT(OpenProcess), WINSIM_EXPORT(GetExitCodeProcess),
                     WINSIM_EXPORT(TerminateProcess), WINSIM_EXPORT(ExitProcess)});
