// winsim: the service control manager of advapi32: opening the manager and
// its services, their status, and the enumeration of services.
//
// The services themselves are kept in the registry (service_store.h). The
// handles of the manager are a table of their own, as on Windows, where a
// service handle is no kernel handle: CloseHandle does not take one, and
// CloseServiceHandle takes nothing else.
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>
#include <map>
#include <mutex>
#include <string>

#include <windows.h>

#include "advapi32/service_runstate.h"
#include "advapi32/service_store.h"
#include "advapi32/registry_store.h"
#include "faults.h"
#include "machine.h"
#include "machine_settings.h"
#include "modules.h"

namespace {

// What a user without administrator rights may ask of the manager and of a
// service; asking for more is refused with ERROR_ACCESS_DENIED, as the
// default security of the manager does.
constexpr DWORD kUserManagerAccess =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr DWORD kUserServiceAccess = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS |
                                     SERVICE_INTERROGATE | SERVICE_USER_DEFINED_CONTROL | READ_CONTROL;

struct ScObject {
  bool manager = false;
  DWORD access = 0;
  std::string serviceName;  // the service's own name (service handles)
};

struct ScTable {
  std::mutex lock;
  std::map<std::uintptr_t, ScObject> objects;
  std::uintptr_t next = 0x5C0000;
};

ScTable& table() {
  static ScTable* t = new ScTable;
  return *t;
}

SC_HANDLE addObject(const ScObject& object) {
  ScTable& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  t.next += 8;
  t.objects[t.next] = object;
  return reinterpret_cast<SC_HANDLE>(t.next);
}

bool findObject(SC_HANDLE handle, ScObject* object) {
  ScTable& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  const auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == t.objects.end()) return false;
  *object = it->second;
  return true;
}

// The generic rights mapped onto the specific ones of the manager or of a
// service; MAXIMUM_ALLOWED gives what the user may have.
DWORD mapAccess(DWORD access, bool manager, bool admin) {
  const DWORD all = manager ? SC_MANAGER_ALL_ACCESS : SERVICE_ALL_ACCESS;
  const DWORD user = manager ? kUserManagerAccess : kUserServiceAccess;
  DWORD mapped = access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
  if (access & (GENERIC_ALL | GENERIC_WRITE)) mapped |= all;
  if (access & (GENERIC_READ | GENERIC_EXECUTE)) mapped |= user;
  if (access & MAXIMUM_ALLOWED) mapped |= admin ? all : user;
  return mapped;
}

bool isLocalMachine(LPCSTR name, const winsim::MachineSettings& s) {
  if (!name || !*name) return true;
  std::string_view n(name);
  if (n.size() > 2 && n[0] == '\\' && n[1] == '\\') n.remove_prefix(2);
  return winsim::iequals(n, s.computerName);
}

// The machine's service timing (HKLM\SOFTWARE\KVSim\Machine), in machine
// milliseconds.
DWORD machineTiming(const char* name, DWORD fallback) {
  return winsim::reg::getDword(winsim::reg::Hive::LocalMachine, winsim::kMachineKey, name, fallback);
}

SERVICE_STATUS statusOf(const winsim::svc::Service& service) {
  SERVICE_STATUS status{};
  status.dwServiceType = service.type;
  status.dwCurrentState = service.state;
  if (service.state == SERVICE_START_PENDING || service.state == SERVICE_STOP_PENDING) {
    status.dwWaitHint = machineTiming("ServiceWaitHint", 3000);
    status.dwCheckPoint = 1;
  }
  if (service.state == SERVICE_RUNNING) status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  else if (service.state == SERVICE_PAUSED) status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE;
  return status;
}

bool stateWanted(DWORD state, DWORD wanted) {
  const bool active = state != SERVICE_STOPPED;
  return active ? (wanted & SERVICE_ACTIVE) != 0 : (wanted & SERVICE_INACTIVE) != 0;
}

}  // namespace

// OpenSCManagerA: NULL with ERROR_CALL_NOT_IMPLEMENTED on the 95 family,
// RPC_S_SERVER_UNAVAILABLE for another computer, ERROR_DATABASE_DOES_NOT_EXIST
// for the failed-services database, ERROR_INVALID_NAME for any other name
// than the active database, ERROR_ACCESS_DENIED for rights a user without
// administrator rights does not hold.
extern "C" SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName, DWORD dwDesiredAccess) {
  const winsim::MachineSettings s = winsim::machineSettings();
  if (!winsim::isNtPlatform(s)) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  if (!isLocalMachine(lpMachineName, s)) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return nullptr;
  }
  if (lpDatabaseName && !winsim::iequals(lpDatabaseName, SERVICES_ACTIVE_DATABASEA)) {
    SetLastError(winsim::iequals(lpDatabaseName, SERVICES_FAILED_DATABASEA) ? ERROR_DATABASE_DOES_NOT_EXIST
                                                                             : ERROR_INVALID_NAME);
    return nullptr;
  }
  const DWORD access = mapAccess(dwDesiredAccess, true, s.admin) | SC_MANAGER_CONNECT;
  if (!s.admin && (access & ~kUserManagerAccess)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return addObject({true, access, {}});
}

// OpenServiceA: NULL with ERROR_INVALID_HANDLE (not a manager handle),
// ERROR_INVALID_ADDRESS (no name), ERROR_INVALID_NAME, ERROR_SERVICE_DOES_NOT_EXIST,
// or ERROR_ACCESS_DENIED (control rights without administrator rights).
extern "C" SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
  ScObject manager;
  if (!findObject(hSCManager, &manager) || !manager.manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (!lpServiceName) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return nullptr;
  }
  if (!winsim::svc::isValidServiceName(lpServiceName)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  const auto service = winsim::svc::findService(lpServiceName);
  if (!service) {
    SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  const bool admin = winsim::machineSettings().admin;
  const DWORD access = mapAccess(dwDesiredAccess, false, admin);
  if (!admin && (access & ~kUserServiceAccess)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return addObject({false, access, service->name});
}

// QueryServiceStatus: FALSE with ERROR_INVALID_HANDLE (not a service handle),
// ERROR_ACCESS_DENIED (opened without SERVICE_QUERY_STATUS) or
// ERROR_INVALID_ADDRESS (no record). A service deleted since it was opened
// reports itself stopped.
extern "C" BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  ScObject object;
  if (!findObject(hService, &object) || object.manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(object.access & SERVICE_QUERY_STATUS)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!lpServiceStatus) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  winsim::svc::Service gone;
  gone.name = object.serviceName;
  auto service = winsim::svc::findService(object.serviceName);
  // A stop that would never end (ServiceNeverStops) ends instead with the
  // status query that brings "ServiceStopQueries" to 0: a stop that takes a
  // known number of polls, whatever the host's speed.
  if (service && service->state == SERVICE_STOP_PENDING && service->deadline == 0) {
    const auto left = winsim::faults::countDown("ServiceStopQueries");
    if (left && *left == 0) {
      winsim::svc::setState(service->name, SERVICE_STOPPED);
      service = winsim::svc::findService(object.serviceName);
    }
  }
  *lpServiceStatus = statusOf(service ? *service : gone);
  return TRUE;
}

// EnumServicesStatusA: FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED
// (no SC_MANAGER_ENUMERATE_SERVICE), ERROR_INVALID_ADDRESS (no count
// outputs, or no buffer with a size), ERROR_INVALID_PARAMETER (a type or
// state Windows does not know), or ERROR_MORE_DATA when not every service
// fitted: the ones that fit are returned, *pcbBytesNeeded holds the size of
// the rest and *lpResumeHandle where the next call goes on. The records come
// first in the buffer and their names are packed at its end.
extern "C" BOOL WINAPI EnumServicesStatusA(SC_HANDLE hSCManager, DWORD dwServiceType, DWORD dwServiceState,
                                           LPENUM_SERVICE_STATUSA lpServices, DWORD cbBufSize,
                                           LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned,
                                           LPDWORD lpResumeHandle) {
  ScObject manager;
  if (!findObject(hSCManager, &manager) || !manager.manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(manager.access & SC_MANAGER_ENUMERATE_SERVICE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!pcbBytesNeeded || !lpServicesReturned || (!lpServices && cbBufSize)) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  if (!dwServiceType || (dwServiceType & ~static_cast<DWORD>(SERVICE_TYPE_ALL)) || !dwServiceState ||
      (dwServiceState & ~static_cast<DWORD>(SERVICE_STATE_ALL))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<winsim::svc::Service> wanted;
  for (auto& service : winsim::svc::allServices()) {
    if ((service.type & dwServiceType) && stateWanted(service.state, dwServiceState)) wanted.push_back(service);
  }
  auto entrySize = [](const winsim::svc::Service& s) {
    return sizeof(ENUM_SERVICE_STATUSA) + s.name.size() + 1 + s.displayName.size() + 1;
  };

  size_t index = lpResumeHandle ? *lpResumeHandle : 0;
  BYTE* const base = reinterpret_cast<BYTE*>(lpServices);
  size_t recordsEnd = 0;
  size_t stringsStart = cbBufSize;
  DWORD returned = 0;
  for (; index < wanted.size(); ++index) {
    const auto& s = wanted[index];
    if (recordsEnd + entrySize(s) > stringsStart) break;
    auto* record = reinterpret_cast<ENUM_SERVICE_STATUSA*>(base + recordsEnd);
    recordsEnd += sizeof(ENUM_SERVICE_STATUSA);
    stringsStart -= s.displayName.size() + 1;
    std::memcpy(base + stringsStart, s.displayName.c_str(), s.displayName.size() + 1);
    record->lpDisplayName = reinterpret_cast<LPSTR>(base + stringsStart);
    stringsStart -= s.name.size() + 1;
    std::memcpy(base + stringsStart, s.name.c_str(), s.name.size() + 1);
    record->lpServiceName = reinterpret_cast<LPSTR>(base + stringsStart);
    record->ServiceStatus = statusOf(s);
    ++returned;
  }
  *lpServicesReturned = returned;
  size_t rest = 0;
  for (size_t i = index; i < wanted.size(); ++i) rest += entrySize(wanted[i]);
  *pcbBytesNeeded = static_cast<DWORD>(rest);
  if (index < wanted.size()) {
    if (lpResumeHandle) *lpResumeHandle = static_cast<DWORD>(index);
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  if (lpResumeHandle) *lpResumeHandle = 0;
  return TRUE;
}

// CloseServiceHandle: FALSE with ERROR_INVALID_HANDLE for a handle the
// manager did not give out (or gave out and took back).
extern "C" BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  ScTable& t = table();
  std::lock_guard<std::mutex> guard(t.lock);
  if (t.objects.erase(reinterpret_cast<std::uintptr_t>(hSCObject)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

namespace {

// The service of a handle with the rights a call needs; nothing (and the
// last error set) otherwise.
std::optional<winsim::svc::Service> serviceOf(SC_HANDLE handle, DWORD access) {
  ScObject object;
  if (!findObject(handle, &object) || object.manager) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  if ((object.access & access) != access) {
    SetLastError(ERROR_ACCESS_DENIED);
    return std::nullopt;
  }
  auto service = winsim::svc::findService(object.serviceName);
  if (!service) SetLastError(ERROR_SERVICE_MARKED_FOR_DELETE);
  return service;
}

// When a pending state that lasts `delayName` ends, in wall-clock time.
std::uint64_t deadlineAfter(const char* delayName) {
  const double ms = machineTiming(delayName, 1000) * winsim::timescale();
  return winsim::runstate::nowMs() + static_cast<std::uint64_t>(ms) + 1;
}

// The services that depend on `name`, directly or through others, ordered
// so that each comes before every service it depends on: the order in which
// they can be stopped, the reverse of the order in which they start.
std::vector<winsim::svc::Service> dependentsOf(const std::string& name) {
  const auto all = winsim::svc::allServices();
  auto dependsOn = [](const winsim::svc::Service& s, const std::string& other) {
    for (const auto& d : s.dependencies) {
      if (winsim::iequals(d, other)) return true;
    }
    return false;
  };
  std::vector<std::string> found;
  std::vector<std::string> frontier{name};
  while (!frontier.empty()) {
    const std::string next = frontier.back();
    frontier.pop_back();
    for (const auto& s : all) {
      if (!dependsOn(s, next)) continue;
      bool seen = winsim::iequals(s.name, name);
      for (const auto& f : found) seen |= winsim::iequals(f, s.name);
      if (seen) continue;
      found.push_back(s.name);
      frontier.push_back(s.name);
    }
  }
  // Depth-first: a service is placed after everything that depends on it.
  std::vector<winsim::svc::Service> ordered;
  std::vector<std::string> placed;
  std::function<void(const winsim::svc::Service&, int)> place = [&](const winsim::svc::Service& s, int depth) {
    for (const auto& p : placed) {
      if (winsim::iequals(p, s.name)) return;
    }
    if (depth > 64) return;  // a cycle of dependencies: stop rather than loop
    for (const auto& other : all) {
      bool inSet = false;
      for (const auto& f : found) inSet |= winsim::iequals(f, other.name);
      if (inSet && dependsOn(other, s.name)) place(other, depth + 1);
    }
    for (const auto& p : placed) {
      if (winsim::iequals(p, s.name)) return;
    }
    placed.push_back(s.name);
    ordered.push_back(s);
  };
  for (const auto& s : all) {
    for (const auto& f : found) {
      if (winsim::iequals(f, s.name)) place(s, 0);
    }
  }
  return ordered;
}

// Starts a service and, first, what it depends on that is not running.
// 0 or the error of StartServiceA.
DWORD startWithDependencies(const winsim::svc::Service& service, int depth) {
  if (depth > 64) return ERROR_CIRCULAR_DEPENDENCY;
  if (service.startType == SERVICE_DISABLED) return ERROR_SERVICE_DISABLED;
  if (winsim::faults::listNames("ServiceFailsToStart", service.name)) return ERROR_SERVICE_REQUEST_TIMEOUT;
  for (const auto& name : service.dependencies) {
    const auto dependency = winsim::svc::findService(name);
    if (!dependency) return ERROR_SERVICE_DEPENDENCY_DELETED;
    if (dependency->state == SERVICE_RUNNING) continue;
    if (dependency->state != SERVICE_STOPPED) return ERROR_SERVICE_DEPENDENCY_FAIL;
    if (startWithDependencies(*dependency, depth + 1) != 0) return ERROR_SERVICE_DEPENDENCY_FAIL;
    // A dependency must run before the service can start.
    winsim::svc::setState(dependency->name, SERVICE_RUNNING);
  }
  return 0;
}

}  // namespace

// ControlService: SERVICE_CONTROL_STOP begins a stop (the service passes
// through SERVICE_STOP_PENDING for the machine's ServiceStopDelay);
// SERVICE_CONTROL_INTERROGATE reports the status. FALSE with
// ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_SERVICE_NOT_ACTIVE,
// ERROR_SERVICE_CANNOT_ACCEPT_CTRL (pending), ERROR_DEPENDENT_SERVICES_RUNNING,
// ERROR_INVALID_SERVICE_CONTROL, or the faults' ERROR_BROKEN_PIPE.
extern "C" BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  const DWORD need = dwControl == SERVICE_CONTROL_STOP          ? SERVICE_STOP
                     : dwControl == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                                                                : SERVICE_PAUSE_CONTINUE;
  if (dwControl == SERVICE_CONTROL_STOP) winsim::faults::holdAt("ControlService");
  const auto service = serviceOf(hService, need);
  if (!service) return FALSE;
  if (!lpServiceStatus) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  *lpServiceStatus = statusOf(*service);
  if (service->state == SERVICE_STOPPED) {
    SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    return FALSE;
  }
  if (service->state == SERVICE_START_PENDING || service->state == SERVICE_STOP_PENDING) {
    SetLastError(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    return FALSE;
  }
  if (dwControl == SERVICE_CONTROL_INTERROGATE) return TRUE;
  if (dwControl != SERVICE_CONTROL_STOP || winsim::faults::listNames("ServiceRefusesStop", service->name)) {
    SetLastError(ERROR_INVALID_SERVICE_CONTROL);
    return FALSE;
  }
  for (const auto& dependent : dependentsOf(service->name)) {
    if (dependent.state != SERVICE_STOPPED) {
      SetLastError(ERROR_DEPENDENT_SERVICES_RUNNING);
      return FALSE;
    }
  }
  // A service that breaks its pipe while ending has stopped, but its answer
  // to the control is lost.
  if (winsim::faults::listNames("ServiceBrokenPipeOnStop", service->name)) {
    winsim::svc::setState(service->name, SERVICE_STOPPED);
    SetLastError(ERROR_BROKEN_PIPE);
    return FALSE;
  }
  const bool hangs = winsim::faults::listNames("ServiceNeverStops", service->name);
  const bool instant = !hangs && machineTiming("ServiceStopDelay", 1000) == 0;
  if (instant) winsim::svc::setState(service->name, SERVICE_STOPPED);
  else winsim::svc::setState(service->name, SERVICE_STOP_PENDING, hangs ? 0 : deadlineAfter("ServiceStopDelay"));
  const auto now = winsim::svc::findService(service->name);
  *lpServiceStatus = statusOf(now ? *now : *service);
  return TRUE;
}

// StartServiceA: starts a stopped service, and first the services it
// depends on; it passes through SERVICE_START_PENDING for the machine's
// ServiceStartDelay. FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED,
// ERROR_SERVICE_ALREADY_RUNNING, ERROR_SERVICE_DISABLED,
// ERROR_SERVICE_DEPENDENCY_FAIL or ERROR_SERVICE_REQUEST_TIMEOUT (fault).
extern "C" BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) {
  (void)dwNumServiceArgs;
  (void)lpServiceArgVectors;
  winsim::faults::holdAt("StartServiceA");
  const auto service = serviceOf(hService, SERVICE_START);
  if (!service) return FALSE;
  if (service->state != SERVICE_STOPPED) {
    SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
    return FALSE;
  }
  if (const DWORD error = startWithDependencies(*service, 0)) {
    SetLastError(error);
    return FALSE;
  }
  if (machineTiming("ServiceStartDelay", 1000) == 0) winsim::svc::setState(service->name, SERVICE_RUNNING);
  else winsim::svc::setState(service->name, SERVICE_START_PENDING, deadlineAfter("ServiceStartDelay"));
  return TRUE;
}

// EnumDependentServicesA: the services that depend on this one (directly or
// not) in the states asked for, in the order they can be stopped. FALSE with
// ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER,
// ERROR_INVALID_ADDRESS, or ERROR_MORE_DATA with the size needed.
extern "C" BOOL WINAPI EnumDependentServicesA(SC_HANDLE hService, DWORD dwServiceState,
                                              LPENUM_SERVICE_STATUSA lpServices, DWORD cbBufSize,
                                              LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned) {
  const auto service = serviceOf(hService, SERVICE_ENUMERATE_DEPENDENTS);
  if (!service) return FALSE;
  if (!pcbBytesNeeded || !lpServicesReturned || (!lpServices && cbBufSize)) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  if (!dwServiceState || (dwServiceState & ~static_cast<DWORD>(SERVICE_STATE_ALL))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<winsim::svc::Service> wanted;
  for (auto& s : dependentsOf(service->name)) {
    if (stateWanted(s.state, dwServiceState)) wanted.push_back(s);
  }
  size_t needed = 0;
  for (const auto& s : wanted) needed += sizeof(ENUM_SERVICE_STATUSA) + s.name.size() + 1 + s.displayName.size() + 1;
  *lpServicesReturned = 0;
  *pcbBytesNeeded = static_cast<DWORD>(needed);
  if (needed > cbBufSize) {
    SetLastError(ERROR_MORE_DATA);
    return FALSE;
  }
  BYTE* const base = reinterpret_cast<BYTE*>(lpServices);
  size_t top = cbBufSize;
  for (size_t i = 0; i < wanted.size(); ++i) {
    const auto& s = wanted[i];
    top -= s.displayName.size() + 1;
    std::memcpy(base + top, s.displayName.c_str(), s.displayName.size() + 1);
    lpServices[i].lpDisplayName = reinterpret_cast<LPSTR>(base + top);
    top -= s.name.size() + 1;
    std::memcpy(base + top, s.name.c_str(), s.name.size() + 1);
    lpServices[i].lpServiceName = reinterpret_cast<LPSTR>(base + top);
    lpServices[i].ServiceStatus = statusOf(s);
  }
  *lpServicesReturned = static_cast<DWORD>(wanted.size());
  return TRUE;
}

// QueryServiceConfigA: the service's configuration, with the two-call
// sizing. FALSE with ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED,
// ERROR_INVALID_ADDRESS or ERROR_INSUFFICIENT_BUFFER and the size needed.
extern "C" BOOL WINAPI QueryServiceConfigA(SC_HANDLE hService, LPQUERY_SERVICE_CONFIGA lpServiceConfig,
                                           DWORD cbBufSize, LPDWORD pcbBytesNeeded) {
  const auto service = serviceOf(hService, SERVICE_QUERY_CONFIG);
  if (!service) return FALSE;
  if (!pcbBytesNeeded) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  std::string dependencies;
  for (const auto& d : service->dependencies) dependencies += d + '\0';
  dependencies += '\0';
  const std::string texts[] = {service->imagePath, service->group, service->objectName, service->displayName};
  size_t needed = sizeof(QUERY_SERVICE_CONFIGA) + dependencies.size();
  for (const auto& t : texts) needed += t.size() + 1;
  *pcbBytesNeeded = static_cast<DWORD>(needed);
  if (!lpServiceConfig || cbBufSize < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  char* out = reinterpret_cast<char*>(lpServiceConfig + 1);
  auto put = [&out](const std::string& text) {
    std::memcpy(out, text.c_str(), text.size() + 1);
    char* at = out;
    out += text.size() + 1;
    return at;
  };
  QUERY_SERVICE_CONFIGA config{};
  config.dwServiceType = service->type;
  config.dwStartType = service->startType;
  config.dwErrorControl = service->errorControl;
  config.lpBinaryPathName = put(service->imagePath);
  config.lpLoadOrderGroup = put(service->group);
  config.dwTagId = 0;
  std::memcpy(out, dependencies.data(), dependencies.size());
  config.lpDependencies = out;
  out += dependencies.size();
  config.lpServiceStartName = put(service->objectName);
  config.lpDisplayName = put(service->displayName);
  *lpServiceConfig = config;
  return TRUE;
}

static const winsim::ExportRegistrar kExports(
    "advapi32.dll", {WINSIM_EXPORT(OpenSCManagerA), WINSIM_EXPORT(OpenServiceA), WINSIM_EXPORT(QueryServiceStatus),
                     WINSIM_EXPORT(EnumServicesStatusA), WINSIM_EXPORT(CloseServiceHandle),
                     WINSIM_EXPORT(ControlService), WINSIM_EXPORT(StartServiceA),
                     WINSIM_EXPORT(EnumDependentServicesA), WINSIM_EXPORT(QueryServiceConfigA)});
