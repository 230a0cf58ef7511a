// kvsim proc: the machine's other programs, with the modules they have loaded.
#include <cstdio>

#include "kvsim.h"
#include "machine.h"
#include "psapi/process_store.h"

namespace kvsim {
namespace {

namespace procs = winsim::procs;

int listProcs() {
  for (const auto& p : procs::all()) {
    std::printf("%u\t%s", static_cast<unsigned>(p.pid), p.image.c_str());
    for (const auto& m : p.modules) std::printf("\t%s", m.c_str());
    std::printf("\n");
  }
  return 0;
}

int addProc(const std::string& image, const std::vector<std::string>& modules) {
  const auto pid = procs::add(image, modules);
  if (!pid) return fail("proc add: the process list cannot be written");
  std::printf("%u\n", static_cast<unsigned>(*pid));
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* proc = addCommand(kvsim, "proc", "run simulated processes with loaded modules",
                              "usage: kvsim [--root DIR] proc add IMAGE [MODULE...]\n"
                              "       kvsim [--root DIR] proc clear\n"
                              "       kvsim [--root DIR] proc list\n",
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
                              "files in use (see 'kvsim file lock').\n");
  proc->require_subcommand(1);
  const CLI::Validator modulePath(
      [](std::string& text) {
        return procs::isModulePath(text) ? std::string()
                                         : "'" + text + "' is not a full Windows path (X:\\... or \\\\server\\...) of at most " +
                                               std::to_string(procs::kMaxPath) + " characters";
      },
      "WINPATH");
  static std::string image;
  static std::vector<std::string> modules;
  CLI::App* add = addCommand(*proc, "add", "record a process and print its id",
                             "usage: kvsim [--root DIR] proc add IMAGE [MODULE...]\n");
  add->add_option("IMAGE", image, "the program file (a full Windows path)")->required()->check(modulePath);
  add->add_option("MODULE", modules, "the modules it has loaded (full Windows paths)")->check(modulePath);
  onRun(add, [] { return addProc(image, modules); });
  CLI::App* clear = addCommand(*proc, "clear", "end every recorded process", "usage: kvsim [--root DIR] proc clear\n");
  onRun(clear, [] { return procs::clear() ? 0 : fail("proc clear: the process list cannot be written"); });
  CLI::App* list = addCommand(*proc, "list", "the recorded processes, one a line", "usage: kvsim [--root DIR] proc list\n");
  onRun(list, listProcs);
}

const Registrar kRegistrar("proc", setup);

}  // namespace
}  // namespace kvsim
