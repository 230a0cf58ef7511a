// winsim: plug and play of USB printers, and UpdateDriverForPlugAndPlayDevicesA.
#include "newdev/pnp.h"

#include <cstdio>
#include <cstring>

#include <dbt.h>
#include <newdev.h>
#include <winspool.h>

#include "advapi32/registry_store.h"
#include "machine.h"
#include "modules.h"
#include "winspool/spool_store.h"

namespace winsim::user {
int broadcastDeviceChange(WPARAM wParam, const std::vector<BYTE>& payload);
}

namespace winsim::pnp {
namespace {

using reg::Hive;

constexpr const char* kEnum = "SYSTEM\\CurrentControlSet\\Enum";
constexpr const char* kUsbMonitorPorts = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\USB Monitor\\Ports";
constexpr const char* kPrinterClassGuid = "{4D36E979-E325-11CE-BFC1-08002BE10318}";
constexpr const char* kUsbClassGuid = "{36FC9E60-C465-11CF-8056-444553540000}";
constexpr DWORD kConfigFlagFailedInstall = 0x40;
// GUID_DEVINTERFACE_USB_DEVICE {A5DCBF10-6530-11D2-901F-00C04FB951ED}
constexpr GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

// "USBPRINT\Model" -> "Model"; empty when the ID names no USBPRINT device.
std::string modelPart(const std::string& hardwareId) {
  const std::string prefix = "USBPRINT\\";
  if (hardwareId.size() <= prefix.size() || !iequals(hardwareId.substr(0, prefix.size()), prefix)) return {};
  std::string model = hardwareId.substr(prefix.size());
  if (model.find('\\') != std::string::npos) return {};
  return model;
}

// A short hexadecimal text that differs from plug to plug: the instance
// prefixes Windows derives from the bus position.
std::string nextSerial() {
  const DWORD n = reg::getDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "UsbPlugCount", 0) + 1;
  reg::setDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "UsbPlugCount", n);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%x", 0x1a2b3c00u + n * 0x1111u);
  return buf;
}

std::string nextUsbPort() {
  for (int n = 1; n < 1000; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "USB%03d", n);
    if (!spool::portExists(name)) return name;
  }
  return {};
}

std::string freePrinterName(const std::string& base) {
  if (!spool::findPrinter(base)) return base;
  for (int n = 2; n < 1000; ++n) {
    const std::string name = base + " (Copy " + std::to_string(n) + ")";
    if (!spool::findPrinter(name)) return name;
  }
  return base;
}

// The spooler's driver (of this system's environment) whose hardware ID is
// `hardwareId`.
std::optional<spool::DriverRecord> driverFor(const std::string& hardwareId) {
  const auto* env = spool::callEnvironment(nullptr);
  if (!env) return std::nullopt;
  for (auto& d : spool::drivers(*env)) {
    if (!d.hardwareId.empty() && iequals(d.hardwareId, hardwareId)) return d;
  }
  return std::nullopt;
}

}  // namespace

DWORD installPrinterInstance(const std::string& printInstance, PlugResult* result) {
  const std::string key = std::string(kEnum) + "\\" + printInstance;
  auto ids = reg::getMultiString(Hive::LocalMachine, key, "HardwareID");
  for (const auto& id : reg::getMultiString(Hive::LocalMachine, key, "CompatibleIDs")) ids.push_back(id);
  std::optional<spool::DriverRecord> driver;
  for (const auto& id : ids) {
    if ((driver = driverFor(id))) break;
  }
  if (!driver) {
    reg::setDword(Hive::LocalMachine, key, "ConfigFlags", kConfigFlagFailedInstall);
    return ERROR_NO_DRIVER_SELECTED;
  }
  // The port: the instance keeps the one it got at its first installation.
  std::string port = reg::getString(Hive::LocalMachine, key + "\\Device Parameters", "PortName");
  if (port.empty()) {
    port = nextUsbPort();
    if (port.empty() || !reg::createKey(Hive::LocalMachine, std::string(kUsbMonitorPorts) + "\\" + port)) {
      return ERROR_NOT_ENOUGH_MEMORY;
    }
    reg::setString(Hive::LocalMachine, key + "\\Device Parameters", "PortName", port);
  } else if (!spool::portExists(port)) {
    reg::createKey(Hive::LocalMachine, std::string(kUsbMonitorPorts) + "\\" + port);
  }
  std::string printerName;
  for (const auto& p : spool::printers()) {
    if (iequals(p.port, port) && iequals(p.driver, driver->name)) printerName = p.name;
  }
  if (printerName.empty()) {
    printerName = freePrinterName(driver->name);
    PRINTER_INFO_2A info{};
    info.pPrinterName = printerName.data();
    info.pPortName = port.data();
    info.pDriverName = driver->name.data();
    char processor[] = "WinPrint";
    char datatype[] = "RAW";
    info.pPrintProcessor = processor;
    info.pDatatype = datatype;
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    info.Priority = 1;
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    if (!printer) return GetLastError();
    ClosePrinter(printer);
  }
  reg::setString(Hive::LocalMachine, key, "Class", "Printer");
  reg::setString(Hive::LocalMachine, key, "ClassGUID", kPrinterClassGuid);
  reg::setString(Hive::LocalMachine, key, "DeviceDesc", driver->name);
  reg::setString(Hive::LocalMachine, key, "Driver", std::string(kPrinterClassGuid) + "\\0000");
  reg::setDword(Hive::LocalMachine, key, "ConfigFlags", 0);
  if (result) {
    result->installed = true;
    result->printerName = printerName;
    result->portName = port;
  }
  return ERROR_SUCCESS;
}

bool plugPrinter(const PlugRequest& request, PlugResult* result, std::string* error) {
  const std::string model = modelPart(request.hardwareId);
  if (model.empty()) {
    if (error) *error = "the hardware ID must read USBPRINT\\MODEL";
    return false;
  }
  const std::string serial = nextSerial();
  const DWORD count = reg::getDword(Hive::LocalMachine, "SOFTWARE\\KVSim\\Machine", "UsbPlugCount", 1);
  char pid[16];
  std::snprintf(pid, sizeof pid, "PID_%04X", static_cast<unsigned>(count & 0xFFFF));
  const std::string usbDevice = request.vid + "&" + (request.pid.empty() ? std::string(pid) : request.pid);
  const std::string usbInstance = "USB\\" + usbDevice + "\\5&" + serial + "&0&1";
  const std::string prefix = "7&" + serial + "&0";
  const std::string usbKey = std::string(kEnum) + "\\" + usbInstance;
  const std::string printInstance = "USBPRINT\\" + model + "\\" + prefix + "&USB001";
  const std::string printKey = std::string(kEnum) + "\\" + printInstance;
  const std::string description = request.description.empty() ? model : request.description;
  const bool ok = reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    return hive.createKey(usbKey) && hive.setString(usbKey, "Service", "usbprint") &&
           hive.setString(usbKey, "ParentIdPrefix", prefix) &&
           hive.setString(usbKey, "LocationInformation", "USB Printing Support") &&
           hive.setString(usbKey, "DeviceDesc", "USB Printing Support") && hive.setString(usbKey, "Class", "USB") &&
           hive.setString(usbKey, "ClassGUID", kUsbClassGuid) &&
           hive.setMultiString(usbKey, "HardwareID", {"USB\\" + usbDevice}) && hive.setDword(usbKey, "ConfigFlags", 0) &&
           hive.createKey(printKey) && hive.setMultiString(printKey, "HardwareID", {request.hardwareId}) &&
           hive.setMultiString(printKey, "CompatibleIDs", {model}) &&
           hive.setString(printKey, "DeviceDesc", description) && hive.setString(printKey, "Service", "") &&
           hive.setString(printKey, "LocationInformation", "USB001");
  });
  if (!ok) {
    if (error) *error = "the machine's registry cannot be written";
    return false;
  }
  PlugResult r;
  r.usbInstance = usbInstance;
  r.printInstance = printInstance;
  if (request.unknown) {
    reg::setDword(Hive::LocalMachine, printKey, "ConfigFlags", kConfigFlagFailedInstall);
  } else {
    installPrinterInstance(printInstance, &r);
  }
  if (result) *result = r;
  return true;
}

int unplugPrinter(const std::string& hardwareId) {
  const std::string model = modelPart(hardwareId);
  if (model.empty()) return 0;
  const std::string modelKey = std::string(kEnum) + "\\USBPRINT\\" + model;
  int removed = 0;
  std::vector<std::string> prefixes;
  for (const auto& instance : reg::subKeys(Hive::LocalMachine, modelKey)) {
    const size_t amp = instance.rfind('&');
    if (amp != std::string::npos) prefixes.push_back(instance.substr(0, amp));
    ++removed;
  }
  reg::deleteKeyTree(Hive::LocalMachine, modelKey);
  const std::string usbRoot = std::string(kEnum) + "\\USB";
  for (const auto& device : reg::subKeys(Hive::LocalMachine, usbRoot)) {
    for (const auto& instance : reg::subKeys(Hive::LocalMachine, usbRoot + "\\" + device)) {
      const std::string key = usbRoot + "\\" + device + "\\" + instance;
      const std::string prefix = reg::getString(Hive::LocalMachine, key, "ParentIdPrefix");
      for (const auto& p : prefixes) {
        if (iequals(p, prefix)) reg::deleteKeyTree(Hive::LocalMachine, usbRoot + "\\" + device);
      }
    }
  }
  return removed;
}

std::vector<DeviceLine> usbPrinters() {
  std::vector<DeviceLine> out;
  const std::string root = std::string(kEnum) + "\\USBPRINT";
  for (const auto& device : reg::subKeys(Hive::LocalMachine, root)) {
    for (const auto& instance : reg::subKeys(Hive::LocalMachine, root + "\\" + device)) {
      const std::string key = root + "\\" + device + "\\" + instance;
      DeviceLine line;
      line.instance = "USBPRINT\\" + device + "\\" + instance;
      const auto ids = reg::getMultiString(Hive::LocalMachine, key, "HardwareID");
      line.hardwareId = ids.empty() ? std::string() : ids.front();
      line.ids = ids;
      for (const auto& id : reg::getMultiString(Hive::LocalMachine, key, "CompatibleIDs")) line.ids.push_back(id);
      line.description = reg::getString(Hive::LocalMachine, key, "DeviceDesc");
      line.deviceClass = reg::getString(Hive::LocalMachine, key, "Class");
      line.configFlags = reg::getDword(Hive::LocalMachine, key, "ConfigFlags", 0);
      out.push_back(line);
    }
  }
  return out;
}

int broadcastArrival(const std::string& instance) {
  std::string name = "\\\\?\\" + instance;
  for (char& c : name) {
    if (c == '\\' && &c > name.data() + 3) c = '#';
  }
  name += "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  std::vector<BYTE> payload(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + name.size() + 1, 0);
  DEV_BROADCAST_DEVICEINTERFACE_A head{};
  head.dbcc_size = static_cast<DWORD>(payload.size());
  head.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  head.dbcc_classguid = kUsbDeviceInterface;
  std::memcpy(payload.data(), &head, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name));
  std::memcpy(payload.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name), name.c_str(), name.size() + 1);
  return winsim::user::broadcastDeviceChange(DBT_DEVICEARRIVAL, payload);
}

}  // namespace winsim::pnp

namespace pnp = winsim::pnp;

// UpdateDriverForPlugAndPlayDevicesA: installs every present USBPRINT
// device whose hardware ID or compatible ID is HardwareId with the driver of that ID that the
// spooler holds (winsim installs no driver from the INF itself: the INF must
// name an existing file, and its driver must be registered). FALSE with
// ERROR_INVALID_PARAMETER, ERROR_INVALID_FLAGS, ERROR_FILE_NOT_FOUND (INF),
// ERROR_NO_SUCH_DEVINST (no such device) or ERROR_NO_DRIVER_SELECTED.
extern "C" BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND hwndParent, LPCSTR HardwareId, LPCSTR FullInfPath,
                                                          DWORD InstallFlags, PBOOL bRebootRequired) {
  (void)hwndParent;
  if (!HardwareId || !*HardwareId || !FullInfPath || !*FullInfPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (InstallFlags & ~static_cast<DWORD>(INSTALLFLAG_BITS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return FALSE;
  }
  if (GetFileAttributesA(FullInfPath) == INVALID_FILE_ATTRIBUTES) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (bRebootRequired) *bRebootRequired = FALSE;
  bool found = false;
  DWORD error = ERROR_SUCCESS;
  for (const auto& line : pnp::usbPrinters()) {
    // Plug and play matches a hardware ID or a compatible ID.
    bool match = false;
    for (const auto& id : line.ids) match = match || winsim::iequals(id, HardwareId);
    if (!match) continue;
    found = true;
    if (DWORD e = pnp::installPrinterInstance(line.instance, nullptr)) error = e;
  }
  if (!found) {
    SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

static const winsim::ExportRegistrar kExports("NEWDEV.DLL", {WINSIM_EXPORT(UpdateDriverForPlugAndPlayDevicesA)});
