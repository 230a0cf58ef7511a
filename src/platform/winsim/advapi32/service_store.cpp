// winsim: the services of the simulated machine, kept in the registry.
#include "advapi32/service_store.h"

#include <algorithm>

#include "advapi32/registry_store.h"
#include "machine.h"

namespace winsim::svc {
namespace {

using reg::Hive;

std::string keyOf(std::string_view name) { return std::string(kServicesKey) + "\\" + std::string(name); }

// The service read from its key; `name` is the key's own name.
Service readService(const reg::Editor& hive, const std::string& name) {
  const std::string key = keyOf(name);
  Service s;
  s.name = name;
  s.displayName = hive.getString(key, "DisplayName", name);
  if (s.displayName.empty()) s.displayName = name;
  s.type = hive.getDword(key, "Type", SERVICE_WIN32_OWN_PROCESS);
  s.startType = hive.getDword(key, "Start", SERVICE_DEMAND_START);
  s.dependencies = hive.getMultiString(key, "DependOnService");
  const std::string word = hive.getString(key, kStateValue);
  const auto state = stateFromWord(word);
  if (state) s.state = *state;
  else s.state = s.startType <= SERVICE_AUTO_START ? SERVICE_RUNNING : SERVICE_STOPPED;
  return s;
}

// The key's own name for a name given in any case.
std::optional<std::string> keyName(const reg::Editor& hive, std::string_view name) {
  for (const std::string& sub : hive.subKeys(kServicesKey)) {
    if (iequals(sub, name)) return sub;
  }
  return std::nullopt;
}

}  // namespace

const char* stateWord(DWORD state) {
  for (const StateWord& w : kStateWords) {
    if (w.state == state) return w.word;
  }
  return nullptr;
}

std::optional<DWORD> stateFromWord(std::string_view word) {
  for (const StateWord& w : kStateWords) {
    if (iequals(w.word, word)) return w.state;
  }
  return std::nullopt;
}

bool isValidServiceName(std::string_view name) {
  if (name.empty() || name.size() > 256) return false;
  return name.find_first_of("\\/\r\n") == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::optional<Service> findService(std::string_view name) {
  if (!isValidServiceName(name)) return std::nullopt;
  std::optional<Service> found;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    if (auto own = keyName(hive, name)) found = readService(hive, *own);
  });
  return found;
}

std::vector<Service> allServices() {
  std::vector<Service> services;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& hive) {
    for (const std::string& name : hive.subKeys(kServicesKey)) services.push_back(readService(hive, name));
  });
  std::stable_sort(services.begin(), services.end(),
                   [](const Service& a, const Service& b) { return toLower(a.name) < toLower(b.name); });
  return services;
}

bool addService(const Service& service, std::string* error) {
  if (!isValidServiceName(service.name)) {
    *error = "'" + service.name + "' is not a valid service name";
    return false;
  }
  const char* word = stateWord(service.state);
  if (!word) {
    *error = "unknown service state";
    return false;
  }
  return reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    if (keyName(hive, service.name)) {
      *error = "a service named '" + service.name + "' exists already";
      return false;
    }
    for (const std::string& dependency : service.dependencies) {
      if (!keyName(hive, dependency)) {
        *error = "the service '" + service.name + "' would depend on '" + dependency + "', which does not exist";
        return false;
      }
    }
    const std::string key = keyOf(service.name);
    const bool ok = hive.createKey(key) &&
                    hive.setString(key, "DisplayName", service.displayName.empty() ? service.name : service.displayName) &&
                    hive.setDword(key, "Type", service.type) && hive.setDword(key, "Start", service.startType) &&
                    hive.setDword(key, "ErrorControl", SERVICE_ERROR_NORMAL) &&
                    hive.setString(key, "ImagePath", "%SystemRoot%\\System32\\" + service.name + ".exe",
                                   REG_EXPAND_SZ) &&
                    (service.dependencies.empty() ||
                     hive.setMultiString(key, "DependOnService", service.dependencies)) &&
                    hive.setString(key, kStateValue, word);
    if (!ok) *error = "the service's key cannot be written";
    return ok;
  });
}

bool setState(std::string_view name, DWORD state) {
  const char* word = stateWord(state);
  if (!word || !isValidServiceName(name)) return false;
  return reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    const auto own = keyName(hive, name);
    return own && hive.setString(keyOf(*own), kStateValue, word);
  });
}

}  // namespace winsim::svc
