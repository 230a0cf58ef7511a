// winsim: the services of the simulated machine, as the service control
// manager and `kvsim service` see them.
//
// A service is a subkey of HKLM\SYSTEM\CurrentControlSet\Services, as on
// Windows: its name is the key's name, and DisplayName, Type, Start and
// DependOnService say what Windows would say. The run state, which Windows
// keeps only in the memory of the service manager, lives beside them in the
// REG_SZ value "KVSimState" (one word of kStateWords), so that every process
// of the machine sees the same state and a scenario can set it in a .reg
// file. A service without that value is in the state a freshly started
// machine gives it: running when it starts automatically (Start 0 to 2),
// stopped otherwise.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

namespace winsim::svc {

inline constexpr const char* kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
inline constexpr const char* kStateValue = "KVSimState";

struct StateWord {
  DWORD state;       // SERVICE_STOPPED ... SERVICE_PAUSED
  const char* word;  // the text of KVSimState
};

inline constexpr StateWord kStateWords[] = {
    {SERVICE_STOPPED, "stopped"},
    {SERVICE_START_PENDING, "start_pending"},
    {SERVICE_STOP_PENDING, "stop_pending"},
    {SERVICE_RUNNING, "running"},
    {SERVICE_CONTINUE_PENDING, "continue_pending"},
    {SERVICE_PAUSE_PENDING, "pause_pending"},
    {SERVICE_PAUSED, "paused"},
};

// The word of a state ("running"), or nullptr for a number no service has.
const char* stateWord(DWORD state);
// The state of a word, compared without regard to case.
std::optional<DWORD> stateFromWord(std::string_view word);

struct Service {
  std::string name;         // the key's own name
  std::string displayName;  // DisplayName, else the name
  DWORD type = SERVICE_WIN32_OWN_PROCESS;
  DWORD startType = SERVICE_DEMAND_START;
  DWORD state = SERVICE_STOPPED;
  std::vector<std::string> dependencies;  // DependOnService
};

// A name the manager accepts: 1 to 256 characters, no slash or backslash.
bool isValidServiceName(std::string_view name);

// The service of that name (compared without regard to case).
std::optional<Service> findService(std::string_view name);
// Every service, ordered by name without regard to case, as the manager
// lists them.
std::vector<Service> allServices();

// Adds a service that does not exist yet: its key with DisplayName, Type,
// Start, ErrorControl, ImagePath, DependOnService and the state. Fails with
// a reason when the name is invalid or taken, or a dependency is unknown.
bool addService(const Service& service, std::string* error);
// Sets the run state of an existing service; false when there is none.
bool setState(std::string_view name, DWORD state);

}  // namespace winsim::svc
