// kvsim path: where a Windows path of the machine lives on the host, and the
// machine's temporary folder.
#include <cstdio>

#include <windows.h>

#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

int runPath(const std::string& winPath, bool temp) {
  if (temp == !winPath.empty()) return usageError("path: expected WINPATH or --temp (see kvsim path --help)");
  if (temp) {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return fail("path: the temporary folder cannot be read");
    auto host = winsim::hostPath(buffer);
    if (!host) return fail(std::string("path: the temporary folder ") + buffer + " is on no drive of the machine");
    std::printf("%s\t%s\n", buffer, host->c_str());
    return 0;
  }
  auto host = winsim::hostPath(winPath);
  if (!host) return fail("path: '" + winPath + "' is on no drive of the machine (C: and Z: exist)");
  std::printf("%s\n", host->c_str());
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* path = addCommand(kvsim, "path", "map a Windows path to the host",
                              "usage: kvsim [--root DIR] path WINPATH\n"
                              "       kvsim [--root DIR] path --temp\n",
                              "WINPATH: prints the host path of a Windows path of the machine (C: is the\n"
                              "machine's drive_c folder, Z: the host's /). Names are matched without regard\n"
                              "to case; the parts that do not exist keep the case given. Relative paths are\n"
                              "taken from the host's current folder.\n"
                              "--temp: prints the machine's temporary folder in Windows form, a tab, and\n"
                              "its host path.\n");
  static std::string winPath;
  static bool temp = false;
  path->add_option("WINPATH", winPath, "a Windows path of the machine");
  path->add_flag("--temp", temp, "the machine's temporary folder instead");
  onRun(path, [] { return runPath(winPath, temp); });
}

const Registrar kRegistrar("path", setup);

}  // namespace
}  // namespace kvsim
