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

int listServices(const Args& args) {
  if (args.size() != 1) return fail("service list: no arguments expected");
  for (const svc::Service& s : svc::allServices()) {
    std::printf("%s\t%s\t%s\n", s.name.c_str(), svc::stateWord(s.state), s.displayName.c_str());
  }
  return 0;
}

int addService(const Args& args) {
  svc::Service service;
  service.startType = SERVICE_AUTO_START;
  service.state = SERVICE_RUNNING;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if ((a == "--display" || a == "--depends") && i + 1 < args.size()) {
      if (a == "--display") service.displayName = args[++i];
      else service.dependencies = splitList(args[++i]);
    } else if (a.rfind("--display=", 0) == 0) {
      service.displayName = a.substr(10);
    } else if (a.rfind("--depends=", 0) == 0) {
      service.dependencies = splitList(a.substr(10));
    } else if (!a.empty() && a[0] == '-') {
      return fail("service add: unknown option '" + a + "'");
    } else if (service.name.empty()) {
      service.name = a;
    } else {
      return fail("service add: more than one name given");
    }
  }
  if (service.name.empty()) return fail("service add: expected NAME");
  std::string error;
  if (!svc::addService(service, &error)) return fail("service add: " + error);
  return 0;
}

int setService(const Args& args) {
  if (args.size() != 3) return fail("service set: expected NAME running|stopped");
  const auto state = svc::stateFromWord(args[2]);
  if (!state || (*state != SERVICE_RUNNING && *state != SERVICE_STOPPED))
    return fail("service set: the state is 'running' or 'stopped', not '" + args[2] + "'");
  if (!svc::findService(args[1])) return fail("service set: no service named '" + args[1] + "'");
  if (!svc::setState(args[1], *state)) return fail("service set: the state cannot be written");
  return 0;
}

int runService(const Args& args) {
  if (args.empty()) return fail("service: expected list, add or set (see kvsim service --help)");
  if (args[0] == "list") return listServices(args);
  if (args[0] == "add") return addService(args);
  if (args[0] == "set") return setService(args);
  return fail("service: unknown action '" + args[0] + "'");
}

const Registrar reg({"service", "list, add or start and stop the machine's services",
                     "usage: kvsim [--root DIR] service list\n"
                     "       kvsim service add NAME [--display TEXT] [--depends A,B]\n"
                     "       kvsim service set NAME running|stopped\n"
                     "list: one service a line: name, state, display name (tab-separated).\n"
                     "add: a new own-process service that starts automatically and runs; its key\n"
                     "is HKLM\\SYSTEM\\CurrentControlSet\\Services\\NAME. The services named by\n"
                     "--depends must exist.\n"
                     "set: the run state at once, without the pending states a real stop or start\n"
                     "passes through. The state is kept in the service's key as the value\n"
                     "KVSimState; a service without it runs when it starts automatically.\n",
                     runService});

}  // namespace
}  // namespace kvsim
