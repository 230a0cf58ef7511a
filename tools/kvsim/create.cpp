// kvsim create: a new machine from a template.
#include <cstdio>
#include <cstdlib>

#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

int runCreate(const std::string& templ) {
  const char* env = std::getenv("KVSIM_ROOT");
  std::string root;
  if (env && *env) {
    root = env;
  } else {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    root = (xdg && *xdg) ? std::string(xdg) + "/kv_setup/machine"
                         : std::string(home ? home : "/tmp") + "/.local/share/kv_setup/machine";
  }
  std::string error;
  if (!winsim::createMachine(root, templ, &error)) return fail("create: " + error);
  std::printf("created %s machine in %s\n", templ.c_str(), root.c_str());
  return 0;
}

void setup(CLI::App& kvsim) {
  static std::string templ = winsim::kDefaultTemplate;
  CLI::App* create = addCommand(kvsim, "create", "create a machine from a template",
                                "usage: kvsim [--root DIR] create [--template win7-x64|win7-x86|xp-x86|win10-x64]\n",
                     "Creates a new simulated machine in the root folder (default template win7-x64).\n"
                     "Fails if the folder already holds a machine.\n");
  create->add_option("--template", templ, "the template (an unknown name lists them)");
  onRun(create, [] { return runCreate(templ); });
}

const Registrar kRegistrar("create", setup);

}  // namespace
}  // namespace kvsim
