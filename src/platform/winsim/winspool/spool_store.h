// winsim: the print spooler's state, kept where Windows keeps it, in
// HKLM\SYSTEM\CurrentControlSet\Control\Print (environments with their
// drivers by version and print processors, monitors, printers), the local
// ports in HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports and the
// default printer in HKCU. The calls of winspool.drv read and change it
// through these helpers; `kvsim spooler list` reads it the same way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
#include <winspool.h>

#include "advapi32/registry_store.h"
#include "winspool/directories.h"

namespace winsim::spool {

inline constexpr const char* kPrintKey = "SYSTEM\\CurrentControlSet\\Control\\Print";
inline constexpr const char* kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr const char* kMonitorsKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr const char* kLocalPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
inline constexpr const char* kDefaultPrinterKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr const char* kConnectionsKey = "Printers\\Connections";
inline constexpr const char* kLocalMonitor = "Local Port";
inline constexpr const char* kTcpMonitor = "Standard TCP/IP Port";

std::string environmentKey(const Environment& env);
std::string driversKey(const Environment& env, DWORD version);
std::string printProcessorsKey(const Environment& env);

// ---- The gate every call passes ---------------------------------------------------
// False (with the last error set) when the call cannot reach the spooler:
// RPC_S_SERVER_UNAVAILABLE while the Spooler service is not running, or the
// error of the fault knob "Spooler.<function>". `server` is the call's
// server name: another computer is unavailable too.
bool reachSpooler(const char* function, LPCSTR server = nullptr);

// The environment of a call: the process's own for NULL or "", an
// environment the machine registers otherwise; nullptr (and
// ERROR_INVALID_ENVIRONMENT) for any other name.
const Environment* callEnvironment(LPCSTR name);
// Every environment the machine registers, in the table's order.
std::vector<const Environment*> registeredEnvironments();

// ---- Records ----------------------------------------------------------------------
struct DriverRecord {
  DWORD version = 3;
  std::string name;
  const Environment* env = nullptr;
  // File names only, as the registry keeps them.
  std::string driverFile, dataFile, configFile, helpFile;
  std::vector<std::string> dependentFiles;
  std::string monitor, datatype;
  std::vector<std::string> previousNames;
  FILETIME date{};
  DWORDLONG driverVersion = 0;
  std::string manufacturer, oemUrl, hardwareId, provider;
};

// The driver's version folder: C:\Windows\system32\spool\drivers\<dir>\<version>.
std::string versionDirectory(const Environment& env, DWORD version);
std::vector<DriverRecord> drivers(const Environment& env);
std::optional<DriverRecord> findDriver(const Environment& env, std::string_view name);
bool writeDriver(reg::Editor& hive, const DriverRecord& d);

struct PrinterRecord {
  std::string name, shareName, port, driver, comment, location, sepFile, printProcessor, datatype, parameters;
  std::vector<BYTE> devMode;  // "Default DevMode": dmSize + dmDriverExtra bytes, or empty
  DWORD attributes = PRINTER_ATTRIBUTE_LOCAL;
  DWORD priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0;
  std::string serverName;  // connections only
};
std::vector<PrinterRecord> printers();
std::vector<PrinterRecord> connections();
std::optional<PrinterRecord> findPrinter(std::string_view name);
bool writePrinter(reg::Editor& hive, const PrinterRecord& p);

struct PortRecord {
  std::string name, monitor, description;
  DWORD type = PORT_TYPE_WRITE;
};
std::vector<PortRecord> ports();
bool portExists(std::string_view name);

struct MonitorRecord {
  std::string name, dll;
};
std::vector<MonitorRecord> monitors();

std::vector<std::string> printProcessors(const Environment& env);

// The default printer's name from HKCU (the part of "Device" before the
// first comma), or "" when there is none.
std::string defaultPrinter();

// ---- Packing enumeration answers ------------------------------------------------------
// Windows puts the records at the start of the caller's buffer and the
// strings they point to at its end. A Packer without a buffer only counts the
// bytes, so one routine both sizes and fills a record.
class Packer {
 public:
  Packer() = default;  // counting only
  Packer(BYTE* base, size_t end) : m_base(base), m_top(end) {}
  LPSTR text(std::string_view s);
  // NULL for an empty text.
  LPSTR optText(std::string_view s) { return s.empty() ? nullptr : text(s); }
  // Items each with a NUL and one more NUL at the end; NULL for no items.
  LPSTR multiText(const std::vector<std::string>& items);
  // Bytes aligned for a structure.
  void* blob(const std::vector<BYTE>& bytes);
  size_t bytes() const { return m_bytes; }

 private:
  BYTE* m_base = nullptr;
  size_t m_top = 0;
  size_t m_bytes = 0;
};

// Whether the list grew since its size was asked (the fault knob
// "Spooler.ListGrows" counts how many fill calls find it so).
bool listGrewMeanwhile();

// The two-call answer of an enumeration: `fill(packer, item, record)`
// completes one record of type Rec. TRUE with the records, or FALSE with
// ERROR_INSUFFICIENT_BUFFER and the size needed, with the argument checks
// Windows makes.
template <class Rec, class Item, class Fill>
BOOL answerEnumeration(const std::vector<Item>& items, Fill fill, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
  if (!pcbNeeded || !pcReturned) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return FALSE;
  }
  if (!buffer && cbBuf) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  size_t needed = 0;
  for (const Item& item : items) {
    Packer counter;
    Rec scratch{};
    fill(counter, item, scratch);
    needed += sizeof(Rec) + counter.bytes();
  }
  // Another process that adds a record between the size question and this
  // call makes the list longer than the size the caller was told.
  if (buffer && cbBuf && needed <= cbBuf && listGrewMeanwhile()) needed = cbBuf + sizeof(Rec) + 64;
  *pcbNeeded = static_cast<DWORD>(needed);
  *pcReturned = 0;
  if (needed > cbBuf) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Packer packer(buffer, cbBuf);
  auto* records = reinterpret_cast<Rec*>(buffer);
  for (size_t i = 0; i < items.size(); ++i) {
    Rec record{};
    fill(packer, items[i], record);
    records[i] = record;
  }
  *pcReturned = static_cast<DWORD>(items.size());
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace winsim::spool

namespace winsim::spool {
// Completes a PRINTER_INFO_2A (enumerate.cpp; GetPrinterA uses it too).
void fillPrinter2(Packer& p, const PrinterRecord& rec, PRINTER_INFO_2A& r);
}  // namespace winsim::spool
