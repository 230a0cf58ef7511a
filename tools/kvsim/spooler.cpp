// kvsim spooler: list what the machine's print spooler holds, one record a
// line, tab-separated, for scripts and tests.
#include <cstdio>
#include <string>

#include "kvsim.h"
#include "machine.h"
#include "netapi32/shares.h"
#include "winspool/spool_store.h"

namespace kvsim {
namespace {

namespace sp = winsim::spool;

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : ",") + item;
  return text;
}

int runSpooler(const std::string& what) {
  if (what == "drivers") {
    for (const auto* env : sp::registeredEnvironments()) {
      for (const auto& d : sp::drivers(*env))
        std::printf("%s\t%s\t%u\t%s\t%s\t%s\t%s\n", env->name, d.name.c_str(), d.version, d.driverFile.c_str(),
                    d.dataFile.c_str(), d.configFile.c_str(), joined(d.dependentFiles).c_str());
    }
  } else if (what == "printers") {
    const std::string def = sp::defaultPrinter();
    for (const auto& p : sp::printers())
      std::printf("%s\t%s\t%s\t%s\t0x%x%s\n", p.name.c_str(), p.driver.c_str(), p.port.c_str(),
                  p.printProcessor.c_str(), p.attributes, winsim::iequals(p.name, def) ? "\tdefault" : "");
  } else if (what == "ports") {
    for (const auto& p : sp::ports()) std::printf("%s\t%s\n", p.name.c_str(), p.monitor.c_str());
  } else if (what == "monitors") {
    for (const auto& m : sp::monitors()) std::printf("%s\t%s\n", m.name.c_str(), m.dll.c_str());
  } else if (what == "processors") {
    for (const auto* env : sp::registeredEnvironments()) {
      for (const auto& name : sp::printProcessors(*env)) std::printf("%s\t%s\n", env->name, name.c_str());
    }
  } else if (what == "shares") {
    // What the server offers, as NetShareEnum sees it: nothing while the
    // server service is stopped.
    if (!winsim::net::serverRunning()) {
      std::fprintf(stderr, "kvsim: the server service (LanmanServer) is not running: no shares\n");
      return 0;
    }
    for (const auto& s : winsim::net::serverShares())
      std::printf("%s\t0x%x\t%s\t%s\n", s.name.c_str(), s.type, s.path.c_str(), s.remark.c_str());
  } else {
    return fail("spooler list: unknown list '" + what + "'");
  }
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* spooler = addCommand(
      kvsim, "spooler", "list what the print spooler holds",
      "usage: kvsim [--root DIR] spooler list drivers|printers|ports|monitors|processors|shares\n",
      "One record a line, tab-separated:\n"
      "  drivers     environment, name, version, driver, data file, config file,\n"
      "              dependent files (comma-separated)\n"
      "  printers    name, driver, port, print processor, attributes (0x...),\n"
      "              and 'default' for the user's default printer\n"
      "  ports       name, monitor\n"
      "  monitors    name, DLL\n"
      "  processors  environment, name\n"
      "  shares      name, type (0x...), path, remark: what the server service\n"
      "              offers, its administrative shares included; nothing while\n"
      "              it is stopped\n");
  spooler->require_subcommand(1);
  static std::string what;
  CLI::App* list = addCommand(*spooler, "list", "one record a line, tab-separated",
                              "usage: kvsim [--root DIR] spooler list drivers|printers|ports|monitors|processors|shares\n");
  list->add_option("WHAT", what, "drivers, printers, ports, monitors, processors or shares")
      ->required()
      ->check(CLI::IsMember({"drivers", "printers", "ports", "monitors", "processors", "shares"}));
  onRun(list, [] { return runSpooler(what); });
}

const Registrar kRegistrar("spooler", setup);

}  // namespace
}  // namespace kvsim
