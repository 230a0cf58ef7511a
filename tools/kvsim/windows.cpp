// kvsim windows: the top-level windows of the machine's running programs.
#include <cstdio>

#include "kvsim.h"
#include "user32/window_internal.h"

namespace kvsim {
namespace {

int runWindows() {
  for (const auto& w : winsim::user::listWindows()) {
    std::printf("%08llx\t%u\t%s\t%s\t%s\n", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(w.hwnd)),
                w.pid, w.cls.c_str(), w.title.c_str(), w.messageOnly ? "message" : w.visible ? "visible" : "hidden");
  }
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* windows = addCommand(kvsim, "windows", "list the windows of running programs",
                                 "usage: kvsim [--root DIR] windows\n",
                                 "Prints one line per top-level window of the programs running on the machine:\n"
                                 "handle (hexadecimal), process id, class, title and visible|hidden|message\n"
                                 "(a message-only window), separated by tabs.\n");
  onRun(windows, runWindows);
}

const Registrar kRegistrar("windows", setup);

}  // namespace
}  // namespace kvsim
