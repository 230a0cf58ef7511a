// winsim: a UI script cannot pass unused. The processes of one run that
// share a script (a parent installer, the program, the installer it starts)
// note in a small state file how far the script got; the last of them to
// end looks at what is left, and a statement other than a wait that was
// never reached ends the run with exit status 3, naming it ("page 145
// expected, the program ended"). Otherwise a script whose pages never came
// would let a test pass without checking anything.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "user32/ui.h"
#include "user32/ui_script.h"

namespace winsim::ui {
namespace {

namespace fs = std::filesystem;

struct State {
  std::vector<long> pids;
  size_t reached = 0;  // statements taken by the furthest process
};

// The script of this process, as KVSIM_UI named it when the process started.
std::string& scriptPath() {
  static auto* path = new std::string;
  return *path;
}

fs::path statePath() {
  std::error_code ec;
  const fs::path script = fs::absolute(scriptPath(), ec);
  const size_t hash = std::hash<std::string>{}(script.string());
  char name[64];
  std::snprintf(name, sizeof name, "kvsim-ui-%016zx.state", hash);
  return fs::temp_directory_path(ec) / name;
}

bool alive(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

State readState(int fd) {
  State s;
  std::string text;
  char buf[4096];
  ::lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  std::istringstream in(text);
  std::string word;
  while (in >> word) {
    long value = 0;
    if (!(in >> value)) break;
    if (word == "pid" && alive(value)) s.pids.push_back(value);
    if (word == "reached" && value > 0) s.reached = static_cast<size_t>(value);
  }
  return s;
}

void writeState(int fd, const State& s) {
  std::string text = "reached " + std::to_string(s.reached) + "\n";
  for (long pid : s.pids) text += "pid " + std::to_string(pid) + "\n";
  ::ftruncate(fd, 0);
  ::lseek(fd, 0, SEEK_SET);
  (void)!::write(fd, text.data(), text.size());
}

// Runs `change` on the state under the file's lock.
template <typename F>
void withState(F change) {
  const fs::path path = statePath();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  ::flock(fd, LOCK_EX);
  State s = readState(fd);
  const bool keep = change(s);
  if (keep) writeState(fd, s);
  else ::unlink(path.c_str());
  ::flock(fd, LOCK_UN);
  ::close(fd);
}

void atProcessEnd() {
  bool last = false;
  size_t reached = 0;
  withState([&](State& s) {
    const long self = static_cast<long>(::getpid());
    std::erase(s.pids, self);
    reached = s.reached;
    last = s.pids.empty();
    return !last;
  });
  if (!last) return;
  std::ifstream in(scriptPath(), std::ios::binary);
  if (!in) return;  // the renderer reports an unreadable script itself
  std::stringstream text;
  text << in.rdbuf();
  std::vector<Statement> statements;
  std::string error;
  if (!parseScript(text.str(), scriptPath(), &statements, &error)) return;
  for (size_t i = reached; i < statements.size(); ++i) {
    const Statement& st = statements[i];
    if (st.kind == StatementKind::Wait) continue;
    failRun(describeStatement(st) + " expected, the program ended (" + scriptPath() + ":" + std::to_string(st.line) +
            ": \"" + st.source + "\" was never reached)");
  }
}

// Every process that starts with a script takes part, from its first
// moment: a program that ends before showing anything must still be seen.
struct Registration {
  Registration() {
    const char* ui = std::getenv("KVSIM_UI");
    if (!ui || std::string(ui).rfind("script:", 0) != 0 || !ui[7]) return;
    scriptPath() = ui + 7;
    withState([](State& s) {
      // A state whose processes have all gone belongs to an earlier run of
      // the same script.
      if (s.pids.empty()) s.reached = 0;
      s.pids.push_back(static_cast<long>(::getpid()));
      return true;
    });
    std::atexit(atProcessEnd);
  }
} g_registration;

}  // namespace

void noteScriptReached(size_t statements) {
  if (scriptPath().empty()) return;
  withState([statements](State& s) {
    if (statements > s.reached) s.reached = statements;
    return true;
  });
}

}  // namespace winsim::ui
