// winsim: the print spooler's state in the registry, and the packing of the
// answers of its enumerations.
#include "winspool/spool_store.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "advapi32/service_runstate.h"
#include "faults.h"
#include "machine.h"
#include "machine_settings.h"

namespace winsim::spool {
namespace {

using reg::Hive;

constexpr const char* kEnvironmentNames[] = {"Windows NT x86", "Windows x64", "Windows IA64", "Windows ARM64",
                                             "Windows 4.0"};

std::vector<BYTE> binaryOf(const void* data, size_t size) {
  const auto* p = static_cast<const BYTE*>(data);
  return std::vector<BYTE>(p, p + size);
}

reg::Value binaryValue(const void* data, size_t size) {
  reg::Value v;
  v.type = REG_BINARY;
  v.data = binaryOf(data, size);
  return v;
}

// The version number of a "Version-N" key, or nothing for another name.
std::optional<DWORD> versionOfKey(std::string_view key) {
  constexpr std::string_view prefix = "Version-";
  if (key.size() <= prefix.size() || !iequals(key.substr(0, prefix.size()), prefix)) return std::nullopt;
  const std::string digits(key.substr(prefix.size()));
  if (digits.size() > 4 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return static_cast<DWORD>(std::strtoul(digits.c_str(), nullptr, 10));
}

DriverRecord readDriver(const reg::Editor& hive, const Environment& env, DWORD version, const std::string& name) {
  const std::string key = driversKey(env, version) + "\\" + name;
  DriverRecord d;
  d.env = &env;
  d.name = name;
  d.version = hive.getDword(key, "Version", version);
  d.driverFile = hive.getString(key, "Driver");
  d.dataFile = hive.getString(key, "Data File");
  d.configFile = hive.getString(key, "Configuration File");
  d.helpFile = hive.getString(key, "Help File");
  d.dependentFiles = hive.getMultiString(key, "Dependent Files");
  d.monitor = hive.getString(key, "Monitor");
  d.datatype = hive.getString(key, "Datatype");
  d.previousNames = hive.getMultiString(key, "Previous Names");
  d.manufacturer = hive.getString(key, "Manufacturer");
  d.oemUrl = hive.getString(key, "OEM Url");
  d.hardwareId = hive.getString(key, "HardwareID");
  d.provider = hive.getString(key, "Provider");
  if (auto v = hive.getValue(key, "DriverDate"); v && v->data.size() == sizeof(FILETIME))
    std::memcpy(&d.date, v->data.data(), sizeof(FILETIME));
  if (auto v = hive.getValue(key, "DriverVersion"); v && v->data.size() == sizeof(DWORDLONG))
    std::memcpy(&d.driverVersion, v->data.data(), sizeof(DWORDLONG));
  return d;
}

PrinterRecord readPrinter(const reg::Editor& hive, const std::string& key, const std::string& name) {
  PrinterRecord p;
  p.name = hive.getString(key, "Name", name);
  if (p.name.empty()) p.name = name;
  p.shareName = hive.getString(key, "Share Name");
  p.port = hive.getString(key, "Port");
  p.driver = hive.getString(key, "Printer Driver");
  p.comment = hive.getString(key, "Description");
  p.location = hive.getString(key, "Location");
  p.sepFile = hive.getString(key, "Separator File");
  p.printProcessor = hive.getString(key, "Print Processor");
  p.datatype = hive.getString(key, "Datatype");
  p.parameters = hive.getString(key, "Parameters");
  p.attributes = hive.getDword(key, "Attributes", PRINTER_ATTRIBUTE_LOCAL);
  p.priority = hive.getDword(key, "Priority", 1);
  p.defaultPriority = hive.getDword(key, "Default Priority", 0);
  p.startTime = hive.getDword(key, "StartTime", 0);
  p.untilTime = hive.getDword(key, "UntilTime", 0);
  p.status = hive.getDword(key, "Status", 0);
  // A stored device mode is used only when it is whole: at least the public
  // part and as long as its own sizes say.
  if (auto v = hive.getValue(key, "Default DevMode"); v && v->data.size() >= offsetof(DEVMODEA, dmFields)) {
    DEVMODEA head{};
    std::memcpy(&head, v->data.data(), offsetof(DEVMODEA, dmFields));
    const size_t whole = static_cast<size_t>(head.dmSize) + head.dmDriverExtra;
    if (head.dmSize >= offsetof(DEVMODEA, dmFields) && whole == v->data.size()) p.devMode = v->data;
  }
  return p;
}

// Whether any fault knob is set on the machine. Every spooler call looks
// for two knobs of its own; most machines have none at all, and then the
// look costs one check of the hive's state instead of two reads of values.
// The answer is kept for the state of the hive it was read from.
bool anyFaultKnob() {
  static std::mutex mutex;
  static unsigned long long generation = 0;
  static bool any = true;
  bool result = true;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    std::lock_guard<std::mutex> guard(mutex);
    if (generation != hive.generation()) {
      generation = hive.generation();
      any = !hive.valueNames(faults::kFaultsKey).empty();
    }
    result = any;
  });
  return result;
}

}  // namespace

std::string environmentKey(const Environment& env) { return std::string(kPrintKey) + "\\Environments\\" + env.name; }

std::string driversKey(const Environment& env, DWORD version) {
  return environmentKey(env) + "\\Drivers\\Version-" + std::to_string(version);
}

std::string printProcessorsKey(const Environment& env) { return environmentKey(env) + "\\Print Processors"; }

bool listGrewMeanwhile() { return faults::takeOne("Spooler.ListGrows"); }

bool reachSpooler(const char* function, LPCSTR server) {
  if (server && *server) {
    std::string_view s(server);
    if (s.size() > 2 && s[0] == '\\' && s[1] == '\\') s.remove_prefix(2);
    if (!iequals(s, machineSettings().computerName)) {
      SetLastError(RPC_S_SERVER_UNAVAILABLE);
      return false;
    }
  }
  // The knobs as the call finds them when it starts (a held call reads its
  // error knob again once it is let go).
  const bool knobs = anyFaultKnob();
  if (knobs) faults::holdAt(function);
  if (!runstate::spoolerRunning()) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return false;
  }
  if (!knobs) return true;
  if (const auto code = faults::errorFor(std::string("Spooler.") + function)) {
    SetLastError(*code);
    return false;
  }
  return true;
}

const Environment* callEnvironment(LPCSTR name) {
  const Environment* env = findEnvironment(name ? name : "");
  if (!env || !reg::keyExists(Hive::LocalMachine, environmentKey(*env))) {
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return nullptr;
  }
  return env;
}

std::vector<const Environment*> registeredEnvironments() {
  std::vector<const Environment*> envs;
  for (const char* name : kEnvironmentNames) {
    const Environment* env = findEnvironment(name);
    if (env && reg::keyExists(Hive::LocalMachine, environmentKey(*env))) envs.push_back(env);
  }
  return envs;
}

std::string versionDirectory(const Environment& env, DWORD version) {
  return driverDirectory(env) + "\\" + std::to_string(version);
}

std::vector<DriverRecord> drivers(const Environment& env) {
  std::vector<DriverRecord> list;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    for (const std::string& versionKey : hive.subKeys(environmentKey(env) + "\\Drivers")) {
      const auto version = versionOfKey(versionKey);
      if (!version) continue;
      for (const std::string& name : hive.subKeys(driversKey(env, *version)))
        list.push_back(readDriver(hive, env, *version, name));
    }
  });
  return list;
}

std::optional<DriverRecord> findDriver(const Environment& env, std::string_view name) {
  for (auto& d : drivers(env)) {
    if (iequals(d.name, name)) return d;
  }
  return std::nullopt;
}

bool writeDriver(reg::Editor& hive, const DriverRecord& d) {
  const std::string key = driversKey(*d.env, d.version) + "\\" + d.name;
  hive.deleteKeyTree(key);
  bool ok = hive.createKey(key) && hive.setString(key, "Driver", d.driverFile) &&
            hive.setString(key, "Data File", d.dataFile) && hive.setString(key, "Configuration File", d.configFile) &&
            hive.setString(key, "Help File", d.helpFile) &&
            hive.setMultiString(key, "Dependent Files", d.dependentFiles) &&
            hive.setString(key, "Monitor", d.monitor) && hive.setString(key, "Datatype", d.datatype) &&
            hive.setDword(key, "Version", d.version) &&
            hive.setMultiString(key, "Previous Names", d.previousNames) &&
            hive.setString(key, "Manufacturer", d.manufacturer) && hive.setString(key, "OEM Url", d.oemUrl) &&
            hive.setString(key, "HardwareID", d.hardwareId) && hive.setString(key, "Provider", d.provider) &&
            hive.setValue(key, "DriverDate", binaryValue(&d.date, sizeof d.date)) &&
            hive.setValue(key, "DriverVersion", binaryValue(&d.driverVersion, sizeof d.driverVersion));
  return ok;
}

std::vector<PrinterRecord> printers() {
  std::vector<PrinterRecord> list;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    for (const std::string& name : hive.subKeys(kPrintersKey))
      list.push_back(readPrinter(hive, std::string(kPrintersKey) + "\\" + name, name));
  });
  return list;
}

// Connections are kept per user as ",,server,printer" keys, as Windows does.
std::vector<PrinterRecord> connections() {
  std::vector<PrinterRecord> list;
  reg::inspect(Hive::CurrentUser, [&](const reg::Editor& hive) {
    for (const std::string& key : hive.subKeys(kConnectionsKey)) {
      if (key.size() < 5 || key[0] != ',' || key[1] != ',') continue;
      const size_t comma = key.find(',', 2);
      if (comma == std::string::npos || comma == 2 || comma + 1 >= key.size()) continue;
      PrinterRecord p = readPrinter(hive, std::string(kConnectionsKey) + "\\" + key, {});
      p.serverName = "\\\\" + key.substr(2, comma - 2);
      p.name = p.serverName + "\\" + key.substr(comma + 1);
      p.attributes = (p.attributes & ~PRINTER_ATTRIBUTE_LOCAL) | PRINTER_ATTRIBUTE_NETWORK;
      list.push_back(std::move(p));
    }
  });
  return list;
}

std::optional<PrinterRecord> findPrinter(std::string_view name) {
  for (auto& p : printers()) {
    if (iequals(p.name, name)) return p;
  }
  return std::nullopt;
}

bool writePrinter(reg::Editor& hive, const PrinterRecord& p) {
  const std::string key = std::string(kPrintersKey) + "\\" + p.name;
  bool ok = hive.createKey(key) && hive.setString(key, "Name", p.name) &&
            hive.setString(key, "Share Name", p.shareName) && hive.setString(key, "Port", p.port) &&
            hive.setString(key, "Printer Driver", p.driver) && hive.setString(key, "Description", p.comment) &&
            hive.setString(key, "Location", p.location) && hive.setString(key, "Separator File", p.sepFile) &&
            hive.setString(key, "Print Processor", p.printProcessor) && hive.setString(key, "Datatype", p.datatype) &&
            hive.setString(key, "Parameters", p.parameters) && hive.setDword(key, "Attributes", p.attributes) &&
            hive.setDword(key, "Priority", p.priority) && hive.setDword(key, "Default Priority", p.defaultPriority) &&
            hive.setDword(key, "StartTime", p.startTime) && hive.setDword(key, "UntilTime", p.untilTime) &&
            hive.setDword(key, "Status", p.status);
  if (ok && !p.devMode.empty()) ok = hive.setValue(key, "Default DevMode", binaryValue(p.devMode.data(), p.devMode.size()));
  return ok;
}

std::vector<PortRecord> ports() {
  std::vector<PortRecord> list;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    for (const std::string& name : hive.valueNames(kLocalPortsKey))
      list.push_back({name, kLocalMonitor, kLocalMonitor, PORT_TYPE_WRITE});
    for (const std::string& monitor : hive.subKeys(kMonitorsKey)) {
      if (iequals(monitor, kLocalMonitor)) continue;
      for (const std::string& port : hive.subKeys(std::string(kMonitorsKey) + "\\" + monitor + "\\Ports"))
        list.push_back({port, monitor, monitor, PORT_TYPE_WRITE | PORT_TYPE_READ});
    }
  });
  return list;
}

bool portExists(std::string_view name) {
  for (const auto& p : ports()) {
    if (iequals(p.name, name)) return true;
  }
  return false;
}

std::vector<MonitorRecord> monitors() {
  std::vector<MonitorRecord> list;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    for (const std::string& name : hive.subKeys(kMonitorsKey))
      list.push_back({name, hive.getString(std::string(kMonitorsKey) + "\\" + name, "Driver")});
  });
  return list;
}

std::vector<std::string> printProcessors(const Environment& env) {
  return reg::subKeys(Hive::LocalMachine, printProcessorsKey(env));
}

std::string defaultPrinter() {
  const std::string device = reg::getString(Hive::CurrentUser, kDefaultPrinterKey, "Device");
  return device.substr(0, device.find(','));
}

LPSTR Packer::text(std::string_view s) {
  m_bytes += s.size() + 1;
  if (!m_base) return nullptr;
  m_top -= s.size() + 1;
  char* out = reinterpret_cast<char*>(m_base + m_top);
  std::memcpy(out, s.data(), s.size());
  out[s.size()] = '\0';
  return out;
}

LPSTR Packer::multiText(const std::vector<std::string>& items) {
  if (items.empty()) return nullptr;
  size_t size = 1;
  for (const auto& item : items) size += item.size() + 1;
  m_bytes += size;
  if (!m_base) return nullptr;
  m_top -= size;
  char* out = reinterpret_cast<char*>(m_base + m_top);
  char* p = out;
  for (const auto& item : items) {
    std::memcpy(p, item.c_str(), item.size() + 1);
    p += item.size() + 1;
  }
  *p = '\0';
  return out;
}

void* Packer::blob(const std::vector<BYTE>& bytes) {
  if (bytes.empty()) return nullptr;
  m_bytes += bytes.size() + 7;
  if (!m_base) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(m_base + m_top - bytes.size()) & ~std::uintptr_t{7};
  m_top = start - reinterpret_cast<std::uintptr_t>(m_base);
  std::memcpy(m_base + m_top, bytes.data(), bytes.size());
  return m_base + m_top;
}

}  // namespace winsim::spool
