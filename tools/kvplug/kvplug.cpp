// kvplug: what plug and play does on Windows when a USB printer whose
// driver is installed is plugged in, for the Windows build under Wine
// (which has no USB printers, no USB port monitor and sends no device
// events):
//
//   kvplug USBPRINT\MODEL --description DRIVER [--port USB001] [--to PROGRAM.EXE]
//
// It registers the USB device and its USBPRINT printer device (hardware ID
// USBPRINT\MODEL, described as DRIVER) with the Setup API, adds the port
// (a local port, as Wine has no USB monitor), the printer object DRIVER on
// it with the driver of that name, and sends WM_DEVICECHANGE with
// DBT_DEVICEARRIVAL to the top-level windows of PROGRAM.EXE (KV_SETUP.exe).
// A device or printer already there is kept. Prints what it did; exit 0, or
// 1 with the step that failed.
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
#include <winspool.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// GUID_DEVCLASS_USB and GUID_DEVCLASS_PRINTER
constexpr GUID kUsbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr GUID kPrinterClass = {0x4D36E979, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
// GUID_DEVINTERFACE_USB_DEVICE
constexpr GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};
constexpr const char kUsbDevice[] = "USB\\VID_0000&PID_0001";
constexpr const char kUsbInstance[] = "USB\\VID_0000&PID_0001\\5&1A2B3C00&0&1";

int fail(const std::string& what) {
  std::fprintf(stderr, "kvplug: %s (error %lu)\n", what.c_str(), GetLastError());
  return 1;
}

// The driver key plug and play gives the first device of a class.
std::string classDriverKey(const GUID& cls) {
  char text[64];
  std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}\\0000",
                static_cast<unsigned long>(cls.Data1), cls.Data2, cls.Data3, cls.Data4[0], cls.Data4[1], cls.Data4[2],
                cls.Data4[3], cls.Data4[4], cls.Data4[5], cls.Data4[6], cls.Data4[7]);
  return text;
}

// A device of the class with that instance ID, its hardware ID and its
// description, registered; one already registered is kept.
bool registerDevice(const GUID& cls, const std::string& instance, const std::string& hardwareId,
                    const std::string& description) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(&cls, nullptr);
  if (set == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  bool ok = SetupDiCreateDeviceInfoA(set, instance.c_str(), &cls, description.c_str(), nullptr, 0, &data);
  if (!ok && GetLastError() == ERROR_DEVINST_ALREADY_EXISTS) {
    SetupDiDestroyDeviceInfoList(set);
    std::printf("device %s is there already\n", instance.c_str());
    return true;
  }
  if (ok) {
    std::string ids = hardwareId + '\0' + '\0';
    ok = SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                           static_cast<DWORD>(ids.size())) &&
         SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_DEVICEDESC,
                                           reinterpret_cast<const BYTE*>(description.c_str()),
                                           static_cast<DWORD>(description.size() + 1)) &&
         SetupDiRegisterDeviceInfo(set, &data, 0, nullptr, nullptr, nullptr);
    // Plug and play ends by giving the device its driver key: the program
    // counts a device as arrived only once it has one.
    if (ok) {
      const std::string driverKey = classDriverKey(cls);
      ok = SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_DRIVER, reinterpret_cast<const BYTE*>(driverKey.c_str()),
                                             static_cast<DWORD>(driverKey.size() + 1));
    }
  }
  const DWORD error = GetLastError();
  SetupDiDestroyDeviceInfoList(set);
  SetLastError(error);
  if (ok) std::printf("device %s registered\n", instance.c_str());
  return ok;
}

// The port, through the local port monitor's AddPort.
bool addPort(const std::string& port) {
  using XcvDataFn = BOOL(WINAPI*)(HANDLE, PCWSTR, PBYTE, DWORD, PBYTE, DWORD, PDWORD, PDWORD);
  auto xcvData = reinterpret_cast<XcvDataFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("winspool.drv"), "XcvDataW")));
  PRINTER_DEFAULTSA defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE xcv = nullptr;
  char monitor[] = ",XcvMonitor Local Port";
  if (!xcvData || !OpenPrinterA(monitor, &xcv, &defaults)) return false;
  std::wstring name(port.begin(), port.end());
  DWORD needed = 0, status = 0;
  const BOOL ok = xcvData(xcv, L"AddPort", reinterpret_cast<PBYTE>(name.data()),
                          static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)), nullptr, 0, &needed, &status);
  ClosePrinter(xcv);
  if (!ok) return false;
  if (status != ERROR_SUCCESS && status != ERROR_ALREADY_EXISTS) {
    SetLastError(status);
    return false;
  }
  std::printf("port %s%s\n", port.c_str(), status == ERROR_ALREADY_EXISTS ? " is there already" : " added");
  return true;
}

bool addPrinter(const std::string& name, const std::string& port) {
  HANDLE printer = nullptr;
  std::string own = name;
  if (OpenPrinterA(own.data(), &printer, nullptr)) {
    ClosePrinter(printer);
    std::printf("printer \"%s\" is there already\n", name.c_str());
    return true;
  }
  std::string portName = port, driver = name;
  char processor[] = "WinPrint", datatype[] = "RAW";
  PRINTER_INFO_2A info{};
  info.pPrinterName = own.data();
  info.pPortName = portName.data();
  info.pDriverName = driver.data();
  info.pPrintProcessor = processor;
  info.pDatatype = datatype;
  info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
  info.Priority = 1;
  printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  if (!printer) return false;
  ClosePrinter(printer);
  std::printf("printer \"%s\" added on %s\n", name.c_str(), port.c_str());
  return true;
}

struct Broadcast {
  std::string program;
  std::vector<BYTE> payload;
  int reached = 0;
};

std::string imageName(DWORD pid) {
  std::string name;
  if (HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
    char path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (QueryFullProcessImageNameA(p, 0, path, &size)) name = path;
    CloseHandle(p);
  }
  const size_t slash = name.find_last_of("\\/");
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

BOOL CALLBACK arrive(HWND hwnd, LPARAM lParam) {
  auto* b = reinterpret_cast<Broadcast*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (lstrcmpiA(imageName(pid).c_str(), b->program.c_str()) != 0) return TRUE;
  DWORD_PTR answer = 0;
  // The arrival's data crosses to the other process only where the system
  // carries it for this message; else the event goes without it (a window
  // that asks only which event it is hears the same).
  if (SendMessageTimeoutA(hwnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(b->payload.data()),
                          SMTO_ABORTIFHUNG, 5000, &answer) ||
      SendMessageTimeoutA(hwnd, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
    ++b->reached;
  }
  return TRUE;
}

int usage() {
  std::fprintf(stderr, "usage: kvplug USBPRINT\\MODEL --description DRIVER [--port USB001] [--to PROGRAM.EXE]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string hardwareId, description, port = "USB001", program = "KV_SETUP.exe";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if ((a == "--description" || a == "--desc") && hasValue) description = argv[++i];
    else if (a == "--port" && hasValue) port = argv[++i];
    else if (a == "--to" && hasValue) program = argv[++i];
    else if (!a.empty() && a[0] != '-' && hardwareId.empty()) hardwareId = a;
    else return usage();
  }
  const std::string prefix = "USBPRINT\\";
  if (hardwareId.size() <= prefix.size() || lstrcmpiA(hardwareId.substr(0, prefix.size()).c_str(), prefix.c_str()) != 0 ||
      description.empty()) {
    return usage();
  }
  const std::string model = hardwareId.substr(prefix.size());
  if (!registerDevice(kUsbClass, kUsbInstance, kUsbDevice, "USB Printing Support"))
    return fail("the USB device cannot be registered");
  if (!registerDevice(kPrinterClass, prefix + model + "\\7&1A2B3C00&0&" + port, hardwareId, description))
    return fail("the printer device cannot be registered");
  if (!addPort(port)) return fail("the port " + port + " cannot be added");
  if (!addPrinter(description, port)) return fail("the printer \"" + description + "\" cannot be added");

  // The arrival names the USB device's interface.
  std::string name = std::string("\\\\?\\") + kUsbInstance;
  for (size_t i = 4; i < name.size(); ++i)
    if (name[i] == '\\') name[i] = '#';
  name += "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  Broadcast b;
  b.program = program;
  b.payload.assign(offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name) + name.size() + 1, 0);
  DEV_BROADCAST_DEVICEINTERFACE_A head{};
  head.dbcc_size = static_cast<DWORD>(b.payload.size());
  head.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  head.dbcc_classguid = kUsbDeviceInterface;
  std::memcpy(b.payload.data(), &head, offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name));
  std::memcpy(b.payload.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name), name.c_str(), name.size() + 1);
  EnumWindows(arrive, reinterpret_cast<LPARAM>(&b));
  std::printf("arrival sent to %d window(s) of %s\n", b.reached, program.c_str());
  return 0;
}
