// kvsim reboot: restarts the machine. The renames and deletions scheduled
// with MoveFileExA(MOVEFILE_DELAY_UNTIL_REBOOT) are carried out in order,
// as the session manager does before any program can hold the files; the
// programs that held files in use are gone afterwards.
#include <cstdio>
#include <system_error>

#include "advapi32/registry_store.h"
#include "kernel32/file_state.h"
#include "kvsim.h"
#include "machine.h"
#include "psapi/process_store.h"

namespace kvsim {
namespace {

namespace reg = winsim::reg;
constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// "\??\C:\X" -> "C:\X".
std::string dosName(std::string name) {
  if (name.rfind("\\??\\", 0) == 0) name.erase(0, 4);
  return name;
}

int runReboot() {
  std::vector<std::string> items;
  if (auto value = reg::getValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations")) {
    std::string current;
    for (BYTE b : value->data) {
      if (b == 0) {
        items.push_back(current);
        current.clear();
      } else {
        current.push_back(static_cast<char>(b));
      }
    }
  }
  // Programs end with the session: nothing holds a file any more.
  for (const auto& lock : winsim::files::allLocks()) winsim::files::clearLock(lock.key);
  winsim::procs::clear();
  int done = 0, failed = 0;
  for (size_t i = 0; i + 1 < items.size(); i += 2) {
    if (items[i].empty()) break;  // the list's closing NUL
    const std::string source = dosName(items[i]);
    std::string target = items[i + 1];
    const bool replace = !target.empty() && target[0] == '!';
    if (replace) target.erase(0, 1);
    target = dosName(target);
    auto src = winsim::hostPath(source);
    std::error_code ec;
    if (!src) {
      ++failed;
      continue;
    }
    if (target.empty()) {
      winsim::fs::remove(*src, ec);
    } else if (auto dst = winsim::hostPath(target)) {
      if (!replace && winsim::fs::exists(*dst, ec)) {
        ec = std::make_error_code(std::errc::file_exists);
      } else {
        winsim::fs::rename(*src, *dst, ec);
      }
    } else {
      ec = std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (ec) {
      std::fprintf(stderr, "kvsim: reboot: %s -> %s: %s\n", source.c_str(), target.c_str(), ec.message().c_str());
      ++failed;
    } else {
      std::printf("%s %s%s%s\n", target.empty() ? "deleted" : "replaced", target.empty() ? source.c_str() : target.c_str(),
                  target.empty() ? "" : " from ", target.empty() ? "" : source.c_str());
      ++done;
    }
  }
  reg::deleteValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations");
  reg::deleteValue(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "ShutdownRequest");
  reg::deleteValue(reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "ShutdownReason");
  std::printf("rebooted: %d pending operation(s) carried out, %d failed\n", done, failed);
  return failed ? 1 : 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* reboot = addCommand(kvsim, "reboot", "restart the machine, carrying out pending file renames",
                                "usage: kvsim [--root DIR] reboot\n",
                                "Carries out PendingFileRenameOperations in order (a rename, a replacement\n"
                                "with '!', or a deletion for an empty target), releases every file held in\n"
                                "use and forgets the recorded shutdown request. Prints one line per\n"
                                "operation; exit status 1 when one of them could not be carried out.\n");
  onRun(reboot, runReboot);
}

const Registrar kRegistrar("reboot", setup);

}  // namespace
}  // namespace kvsim
