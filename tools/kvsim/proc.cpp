// kvsim proc: the machine's other programs, with the modules they have loaded.
#include <cstdio>

#include "kvsim.h"
#include "machine.h"
#include "psapi/process_store.h"

namespace kvsim {
namespace {

namespace procs = winsim::procs;

int runProc(const Args& args) {
  if (args.empty()) return fail("proc: expected add, clear or list (see kvsim proc --help)");
  const std::string& verb = args[0];
  if (verb == "list" || verb == "clear") {
    if (args.size() != 1) return fail("proc " + verb + ": no arguments expected");
    if (verb == "clear") return procs::clear() ? 0 : fail("proc clear: the process list cannot be written");
    for (const auto& p : procs::all()) {
      std::printf("%u\t%s", static_cast<unsigned>(p.pid), p.image.c_str());
      for (const auto& m : p.modules) std::printf("\t%s", m.c_str());
      std::printf("\n");
    }
    return 0;
  }
  if (verb != "add") return fail("proc: unknown action '" + verb + "'");
  if (args.size() < 2) return fail("proc add: expected IMAGE [MODULE...]");
  for (size_t i = 1; i < args.size(); ++i) {
    if (!args[i].empty() && args[i][0] == '-') return fail("proc add: unknown option '" + args[i] + "'");
    if (!procs::isModulePath(args[i])) {
      return fail("proc add: '" + args[i] + "' is not a full Windows path (X:\\... or \\\\server\\...) of at most " +
                  std::to_string(procs::kMaxPath) + " characters");
    }
  }
  const std::vector<std::string> modules(args.begin() + 2, args.end());
  const auto pid = procs::add(args[1], modules);
  if (!pid) return fail("proc add: the process list cannot be written");
  std::printf("%u\n", static_cast<unsigned>(*pid));
  return 0;
}

const Registrar reg({"proc", "run simulated processes with loaded modules",
                     "usage: kvsim [--root DIR] proc add IMAGE [MODULE...]\n"
                     "       kvsim [--root DIR] proc clear\n"
                     "       kvsim [--root DIR] proc list\n"
                     "add: records a process of the machine whose program file is IMAGE and that\n"
                     "has loaded the MODULEs (full Windows paths, which need not exist), and prints\n"
                     "its process id. EnumProcesses lists it, OpenProcess opens it, and\n"
                     "EnumProcessModules and GetModuleFileNameExA show IMAGE first, then the MODULEs\n"
                     "in the order given. Example:\n"
                     "  kvsim proc add 'C:\\Windows\\System32\\spoolsv.exe' \\\n"
                     "    'C:\\Windows\\System32\\spool\\drivers\\x64\\3\\KVDRV.DLL'\n"
                     "clear: ends every recorded process.\n"
                     "list: the recorded processes, one a line: id, image and modules, tab-separated.\n"
                     "The processes stay in the machine until cleared; they do not hold their\n"
                     "files in use (see 'kvsim file lock').\n",
                     runProc});

}  // namespace
}  // namespace kvsim
