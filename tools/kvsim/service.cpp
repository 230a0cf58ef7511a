// kvsim service: list the services of the machine, add one, or set whether
// it runs, as an administrator would with the service tools of Windows.
#include <cstdio>
#include <string>
#include <vector>

#include "advapi32/service_store.h"
#include "kvsim.h"

namespace kvsim {
namespace {

namespace svc = winsim::svc;

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!item.empty()) items.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return items;
}

int listServices() {
  for (const svc::Service& s : svc::allServices()) {
    std::printf("%s\t%s\t%s\n", s.name.c_str(), svc::stateWord(s.state), s.displayName.c_str());
  }
  return 0;
}

struct AddOptions {
  std::string name, display, depends;
};

int addService(const AddOptions& o) {
  svc::Service service;
  service.startType = SERVICE_AUTO_START;
  service.state = SERVICE_RUNNING;
  service.name = o.name;
  service.displayName = o.display;
  service.dependencies = splitList(o.depends);
  std::string error;
  if (!svc::addService(service, &error)) return fail("service add: " + error);
  return 0;
}

int setService(const std::string& name, const std::string& word) {
  const auto state = svc::stateFromWord(word);
  if (!state) return usageError("service set: the state is 'running' or 'stopped', not '" + word + "'");
  if (!svc::findService(name)) return fail("service set: no service named '" + name + "'");
  if (!svc::setState(name, *state)) return fail("service set: the state cannot be written");
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* service = addCommand(
      kvsim, "service", "list, add or start and stop the machine's services",
      "usage: kvsim [--root DIR] service list\n"
      "       kvsim service add NAME [--display TEXT] [--depends A,B]\n"
      "       kvsim service set NAME running|stopped\n",
      "list: one service a line: name, state, display name (tab-separated).\n"
      "add: a new own-process service that starts automatically and runs; its key\n"
      "is HKLM\\SYSTEM\\CurrentControlSet\\Services\\NAME. The services named by\n"
      "--depends must exist.\n"
      "set: the run state at once, without the pending states a real stop or start\n"
      "passes through. The states are kept in <root>/services.state; a service\n"
      "without a line there runs when it starts automatically.\n"
      "Fault knobs (kvsim fault set NAME SERVICE[,SERVICE...]):\n"
      "  ServiceRefusesStop       the stop control is refused (1052)\n"
      "  ServiceNeverStops        a stop is accepted but never ends\n"
      "  ServiceBrokenPipeOnStop  the stop answers ERROR_BROKEN_PIPE, then the service stops\n"
      "  ServiceFailsToStart      a start fails with ERROR_SERVICE_REQUEST_TIMEOUT (1053)\n"
      "Timing (DWORD values of HKLM\\SOFTWARE\\KVSim\\Machine, machine milliseconds):\n"
      "  ServiceStopDelay, ServiceStartDelay (default 1000), ServiceWaitHint (default 3000).\n");
  service->require_subcommand(1);
  CLI::App* list = addCommand(*service, "list", "one service a line", "usage: kvsim [--root DIR] service list\n");
  onRun(list, listServices);
  static AddOptions o;
  CLI::App* add = addCommand(*service, "add", "a new service that starts automatically and runs",
                             "usage: kvsim service add NAME [--display TEXT] [--depends A,B]\n");
  add->add_option("NAME", o.name, "the service's name")->required();
  add->add_option("--display", o.display, "its display name");
  add->add_option("--depends", o.depends, "the services it depends on, separated by commas");
  onRun(add, [] { return addService(o); });
  static std::string name, state;
  CLI::App* set = addCommand(*service, "set", "the run state at once",
                             "usage: kvsim service set NAME running|stopped\n");
  set->add_option("NAME", name, "the service")->required();
  set->add_option("STATE", state, "running or stopped")->required()->check(CLI::IsMember({"running", "stopped"}));
  onRun(set, [] { return setService(name, state); });
}

const Registrar kRegistrar("service", setup);

}  // namespace
}  // namespace kvsim
