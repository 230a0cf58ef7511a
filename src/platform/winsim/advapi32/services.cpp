// winsim: the service control manager of advapi32: opening the manager and
// its services, their status, and the enumeration of services.
//
// The services themselves are kept in the registry (service_store.h). The
// handles of the manager are a table of their own, as on Windows, where a
// service handle is no kernel handle: CloseHandle does not take one, and
// CloseServiceHandle takes nothing else.
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include <windows.h>

#include "advapi32/service_store.h"
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

SERVICE_STATUS statusOf(const winsim::svc::Service& service) {
  SERVICE_STATUS status{};
  status.dwServiceType = service.type;
  status.dwCurrentState = service.state;
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
  const auto service = winsim::svc::findService(object.serviceName);
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

static const winsim::ExportRegistrar kExports(
    "advapi32.dll", {WINSIM_EXPORT(OpenSCManagerA), WINSIM_EXPORT(OpenServiceA), WINSIM_EXPORT(QueryServiceStatus),
                     WINSIM_EXPORT(EnumServicesStatusA), WINSIM_EXPORT(CloseServiceHandle)});
