// kvsim state: everything a run of a setup program may change that a test
// judges it by, in one listing: printers, drivers, ports, services, the
// replacements waiting for the restart and the files of the system and
// driver folders. One record a line, tab-separated, the kind first.
#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "advapi32/registry_store.h"
#include "platform/win32.h"
#include "advapi32/service_store.h"
#include "faults.h"
#include "kvsim.h"
#include "machine.h"
#include "machine_settings.h"
#include "winspool/spool_store.h"

namespace kvsim {
namespace {

namespace reg = winsim::reg;
namespace sp = winsim::spool;
namespace svc = winsim::svc;

constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Tabs and line ends inside a field would break the record.
std::string field(std::string text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string dosName(std::string name) {
  if (name.rfind("\\??\\", 0) == 0) name.erase(0, 4);
  return name;
}

// The size of a machine file, -1 when it does not exist.
long long sizeOf(const std::string& winPath) {
  const auto host = winsim::hostPath(winPath);
  if (!host) return -1;
  std::error_code ec;
  const auto n = winsim::fs::file_size(*host, ec);
  return ec ? -1 : static_cast<long long>(n);
}

// The files under WINFOLDER (its sub-folders too when RECURSIVE), by
// Windows path, sorted.
void listFiles(const std::string& winFolder, bool recursive) {
  const auto host = winsim::hostPath(winFolder);
  if (!host) return;
  std::error_code ec;
  std::vector<std::pair<std::string, long long>> files;
  const auto add = [&](const winsim::fs::directory_entry& e) {
    std::error_code ec2;
    if (!e.is_regular_file(ec2)) return;
    std::string rel = e.path().lexically_relative(*host).string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    const auto size = e.file_size(ec2);
    files.emplace_back(winFolder + "\\" + rel, ec2 ? -1 : static_cast<long long>(size));
  };
  if (recursive) {
    for (winsim::fs::recursive_directory_iterator it(*host, ec), end; !ec && it != end; it.increment(ec)) add(*it);
  } else {
    for (winsim::fs::directory_iterator it(*host, ec), end; !ec && it != end; it.increment(ec)) add(*it);
  }
  std::sort(files.begin(), files.end());
  for (const auto& [name, size] : files) std::printf("file\t%s\t%lld\n", field(name).c_str(), size);
}

int runState() {
  if (!winsim::isMachine(winsim::machineRoot())) return fail("state: no machine in " + winsim::machineRoot().string());
  for (const auto& p : sp::printers())
    std::printf("printer\t%s\t%s\t%s\n", field(p.name).c_str(), field(p.driver).c_str(), field(p.port).c_str());
  for (const auto* env : sp::registeredEnvironments()) {
    for (const auto& d : sp::drivers(*env)) std::printf("driver\t%s\t%s\n", env->name, field(d.name).c_str());
  }
  for (const auto& p : sp::ports()) std::printf("port\t%s\t%s\n", field(p.name).c_str(), field(p.monitor).c_str());
  for (const svc::Service& s : svc::allServices()) {
    std::string deps;
    for (const auto& d : s.dependencies) deps += (deps.empty() ? "" : ",") + d;
    std::printf("service\t%s\t%s\t%s\n", field(s.name).c_str(), svc::stateWord(s.state), field(deps).c_str());
  }
  if (auto value = reg::getValue(reg::Hive::LocalMachine, kSessionManager, "PendingFileRenameOperations")) {
    std::vector<std::string> items;
    std::string current;
    for (BYTE b : value->data) {
      if (b == 0) {
        items.push_back(current);
        current.clear();
      } else {
        current.push_back(static_cast<char>(b));
      }
    }
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
      if (items[i].empty()) break;
      const std::string source = dosName(items[i]);
      std::string target = items[i + 1];
      if (!target.empty() && target[0] == '!') target.erase(0, 1);
      std::printf("pending\t%s\t%s\t%lld\n", field(source).c_str(), field(dosName(target)).c_str(), sizeOf(source));
    }
  }
  std::vector<std::pair<std::string, reg::Value>> knobs;
  reg::inspect(reg::Hive::LocalMachine, [&](const reg::Editor& h) { knobs = h.values(winsim::faults::kFaultsKey); });
  for (const auto& [name, value] : knobs) {
    if (value.type == REG_DWORD && value.data.size() >= 4) {
      std::printf("fault\t%s\t%u\n", field(name).c_str(),
                  reg::getDword(reg::Hive::LocalMachine, winsim::faults::kFaultsKey, name));
    } else {
      std::printf("fault\t%s\t%s\n", field(name).c_str(),
                  field(reg::getString(reg::Hive::LocalMachine, winsim::faults::kFaultsKey, name)).c_str());
    }
  }
  const winsim::MachineSettings s = winsim::machineSettings();
  std::string windows = "C:\\Windows";
  char dir[MAX_PATH] = {};
  const UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
  if (n > 0 && n < MAX_PATH) windows.assign(dir, n);
  listFiles(windows + "\\System32", false);
  listFiles(windows + "\\System32\\spool\\drivers", true);
  const std::string temp = winsim::userTempFolder(s);
  if (const auto host = winsim::hostPath(temp)) std::printf("temp\t%s\t%s\n", field(temp).c_str(), host->c_str());
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* state = addCommand(kvsim, "state", "list what a setup run may change, for tests",
                               "usage: kvsim [--root DIR] state\n",
                               "One record a line, tab-separated, its kind first:\n"
                               "  printer  name, driver, port\n"
                               "  driver   environment, name\n"
                               "  port     name, monitor\n"
                               "  service  name, state (running, stopped, ...), the services it depends on\n"
                               "  pending  source, target (empty: a deletion), source size (-1: none)\n"
                               "           for each rename waiting for the restart\n"
                               "  file     Windows path, size: the files of System32 and, with\n"
                               "           their sub-folders, of spool\\drivers\n"
                               "  fault    name, value: the fault knobs set\n"
                               "  temp     the user's temp folder, Windows path and host path\n");
  onRun(state, runState);
}

const Registrar kRegistrar("state", setup);

}  // namespace
}  // namespace kvsim
