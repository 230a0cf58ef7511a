// winsim: device notifications. A window registers for WM_DEVICECHANGE;
// the registrations of every process are kept in <root>/devnotify.txt, one
// line each: HWND PID START DEVICETYPE ALLCLASSES GUID, so that a broadcast
// (kvsim usb plug) reaches the windows of every running program.
#include <cstring>
#include <sstream>

#include "machine.h"
#include "modules.h"
#include "process_table.h"
#include <dbt.h>

#include "advapi32/registry_store.h"
#include "advapi32/token_privileges.h"
#include "machine_settings.h"
#include "user32/user_private.h"

namespace winsim::user {
namespace {

struct Registration {
  HWND hwnd = nullptr;
  ProcessIdentity owner;
  DWORD deviceType = 0;
  bool allClasses = false;
  GUID classGuid{};
};

fs::path registryPath() { return machineRoot() / "devnotify.txt"; }

std::string guidText(const GUID& g) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

GUID parseGuid(const std::string& s) {
  GUID g{};
  unsigned d[11] = {};
  if (std::sscanf(s.c_str(), "%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x", &d[0], &d[1], &d[2], &d[3], &d[4], &d[5], &d[6],
                  &d[7], &d[8], &d[9], &d[10]) == 11) {
    g.Data1 = d[0];
    g.Data2 = static_cast<WORD>(d[1]);
    g.Data3 = static_cast<WORD>(d[2]);
    for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<BYTE>(d[3 + i]);
  }
  return g;
}

std::vector<Registration> readRegistrations() {
  std::vector<Registration> out;
  std::istringstream in(readWholeFile(registryPath()).value_or(""));
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string h, guid;
    Registration r;
    int all = 0;
    if (!(ls >> h >> r.owner.pid >> r.owner.start >> r.deviceType >> all >> guid)) continue;
    r.hwnd = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(std::strtoull(h.c_str(), nullptr, 16)));
    r.allClasses = all != 0;
    r.classGuid = parseGuid(guid);
    if (processAlive(r.owner)) out.push_back(r);
  }
  return out;
}

void writeRegistrations(const std::vector<Registration>& regs) {
  std::ostringstream out;
  for (auto& r : regs) {
    char h[32];
    std::snprintf(h, sizeof h, "%08llx", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(r.hwnd)));
    out << h << " " << r.owner.pid << " " << r.owner.start << " " << r.deviceType << " " << (r.allClasses ? 1 : 0)
        << " " << guidText(r.classGuid) << "\n";
  }
  atomicWriteFile(registryPath(), out.str());
}

// The handle of a registration: its own number, never NULL.
struct Notification {
  Registration reg;
};

bool wants(const Registration& r, const std::vector<BYTE>& payload) {
  if (payload.size() < sizeof(DEV_BROADCAST_HDR)) return true;
  DEV_BROADCAST_HDR hdr;
  std::memcpy(&hdr, payload.data(), sizeof hdr);
  if (hdr.dbch_devicetype != r.deviceType) return false;
  if (hdr.dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE || r.allClasses) return true;
  if (payload.size() < offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)) return false;
  GUID g;
  std::memcpy(&g, payload.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_classguid), sizeof g);
  return std::memcmp(&g, &r.classGuid, sizeof g) == 0;
}

}  // namespace

int broadcastDeviceChange(WPARAM wParam, const std::vector<BYTE>& payload) {
  // Every record starts with its size; make sure it agrees with the payload.
  std::vector<BYTE> data = payload;
  if (data.size() >= sizeof(DEV_BROADCAST_HDR)) {
    const DWORD size = static_cast<DWORD>(data.size());
    std::memcpy(data.data(), &size, sizeof size);
  }
  int reached = 0;
  for (const auto& r : readRegistrations()) {
    if (!wants(r, data)) continue;
    const LPARAM lParam = data.empty() ? 0 : reinterpret_cast<LPARAM>(data.data());
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(r.hwnd, WM_DEVICECHANGE, wParam, lParam, SMTO_ABORTIFHUNG, 60000, &answer)) ++reached;
  }
  return reached;
}

}  // namespace winsim::user

using namespace winsim::user;
namespace ws = winsim;

// RegisterDeviceNotificationA: a notification handle, or NULL with
// ERROR_INVALID_PARAMETER (no window, no filter, a filter shorter than its
// header) or ERROR_INVALID_DATA (a filter of an unknown device type).
extern "C" HDEVNOTIFY WINAPI RegisterDeviceNotificationA(HANDLE hRecipient, LPVOID NotificationFilter, DWORD Flags) {
  HWND hwnd = static_cast<HWND>(hRecipient);
  auto* hdr = static_cast<const DEV_BROADCAST_HDR*>(NotificationFilter);
  if (!hwnd || !hdr || (Flags & DEVICE_NOTIFY_SERVICE_HANDLE) || !findWindow(hwnd) ||
      hdr->dbch_size < sizeof(DEV_BROADCAST_HDR)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Registration r;
  r.hwnd = hwnd;
  r.owner = ws::selfIdentity();
  r.deviceType = hdr->dbch_devicetype;
  r.allClasses = (Flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0;
  if (r.deviceType == DBT_DEVTYP_DEVICEINTERFACE) {
    if (hdr->dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    r.classGuid = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(NotificationFilter)->dbcc_classguid;
  } else if (r.deviceType != DBT_DEVTYP_HANDLE && r.deviceType != DBT_DEVTYP_PORT &&
             r.deviceType != DBT_DEVTYP_VOLUME && r.deviceType != DBT_DEVTYP_OEM) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  {
    ws::MachineLock lock;
    auto regs = readRegistrations();
    regs.push_back(r);
    writeRegistrations(regs);
  }
  return new Notification{r};
}

// UnregisterDeviceNotification: FALSE with ERROR_INVALID_HANDLE for NULL.
extern "C" BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY Handle) {
  auto* n = static_cast<Notification*>(Handle);
  if (!n) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    ws::MachineLock lock;
    auto regs = readRegistrations();
    for (auto it = regs.begin(); it != regs.end(); ++it) {
      if (it->hwnd == n->reg.hwnd && it->deviceType == n->reg.deviceType && it->allClasses == n->reg.allClasses &&
          std::memcmp(&it->classGuid, &n->reg.classGuid, sizeof(GUID)) == 0) {
        regs.erase(it);
        break;
      }
    }
    writeRegistrations(regs);
  }
  delete n;
  return TRUE;
}

// ExitWindowsEx: the request is recorded in the machine
// (HKLM\SOFTWARE\KVSim\Machine "ShutdownRequest": reboot, shutdown, poweroff
// or logoff) and never carried out; `kvsim reboot` acts on it. TRUE. On the
// NT family a shutdown, reboot or power-off needs the caller's
// SeShutdownPrivilege enabled first (AdjustTokenPrivileges): without it
// FALSE, ERROR_PRIVILEGE_NOT_HELD, and nothing is recorded. Logging off
// needs no privilege, nor does anything on the 95 family, which has no
// tokens.
extern "C" BOOL WINAPI ExitWindowsEx(UINT uFlags, DWORD dwReason) {
  const bool endsSession = (uFlags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) != 0;
  if (endsSession && ws::isNtPlatform(ws::machineSettings()) && !ws::privilegeEnabled(SE_SHUTDOWN_NAME)) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  const char* kind = (uFlags & EWX_REBOOT) ? "reboot" : (uFlags & EWX_POWEROFF) ? "poweroff"
                     : (uFlags & EWX_SHUTDOWN)                                  ? "shutdown"
                                                                                : "logoff";
  ws::reg::setString(ws::reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "ShutdownRequest", kind);
  ws::reg::setDword(ws::reg::Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "ShutdownReason", dwReason);
  return TRUE;
}

static const winsim::ExportRegistrar kExports("user32.dll", {WINSIM_EXPORT(RegisterDeviceNotificationA),
                                                             WINSIM_EXPORT(UnregisterDeviceNotification),
                                                             WINSIM_EXPORT(ExitWindowsEx)});
