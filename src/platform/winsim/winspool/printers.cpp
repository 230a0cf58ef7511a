// winsim: printers: adding, opening, reading, changing and deleting them,
// the monitors' configuration interface (XcvData) that creates ports, and
// the user's default printer.
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

#include <windows.h>
#include <winspool.h>

#include "kernel32/file_state.h"
#include "machine.h"
#include "modules.h"
#include "unicode.h"
#include "winspool/spool_store.h"

namespace winsim::spool {
namespace {

using reg::Hive;

enum class Kind { Server, Printer, XcvMonitor, XcvPort };

struct PrinterHandle {
  Kind kind = Kind::Printer;
  std::string name;  // printer, monitor or port
  ACCESS_MASK access = 0;
};

// Printer handles are the spooler's own, not kernel handles: CloseHandle
// does not take them and ClosePrinter takes nothing else.
struct HandleTable {
  std::mutex lock;
  std::map<std::uintptr_t, PrinterHandle> handles;
  std::uintptr_t next = 0x3A0000;
};

HandleTable& handleTable() {
  static auto* t = new HandleTable;
  return *t;
}

HANDLE addHandle(const PrinterHandle& h) {
  auto& t = handleTable();
  std::lock_guard<std::mutex> guard(t.lock);
  t.next += 8;
  t.handles[t.next] = h;
  return reinterpret_cast<HANDLE>(t.next);
}

std::optional<PrinterHandle> lookup(HANDLE h) {
  auto& t = handleTable();
  std::lock_guard<std::mutex> guard(t.lock);
  const auto it = t.handles.find(reinterpret_cast<std::uintptr_t>(h));
  if (it == t.handles.end()) return std::nullopt;
  return it->second;
}

void renameHandles(const std::string& from, const std::string& to) {
  auto& t = handleTable();
  std::lock_guard<std::mutex> guard(t.lock);
  for (auto& [id, h] : t.handles) {
    if (h.kind == Kind::Printer && iequals(h.name, from)) h.name = to;
  }
}

ACCESS_MASK mapPrinterAccess(ACCESS_MASK access) {
  if (access & (GENERIC_ALL | GENERIC_WRITE)) access |= PRINTER_ALL_ACCESS;
  if (access & (GENERIC_READ | GENERIC_EXECUTE)) access |= PRINTER_ACCESS_USE;
  return access & ~(GENERIC_ALL | GENERIC_WRITE | GENERIC_READ | GENERIC_EXECUTE);
}

// A printer name Windows accepts: not empty, at most 220 characters, none of
// the characters that separate server, printer and options.
bool validPrinterName(std::string_view name) {
  return !name.empty() && name.size() <= 220 && name.find_first_of(",\\!") == std::string_view::npos;
}

// The data types the built-in print processor renders; other processors are
// trusted with any type.
bool datatypeSupported(std::string_view processor, std::string_view datatype) {
  if (datatype.empty() || !iequals(processor, "WinPrint")) return true;
  static const char* const kWinPrintTypes[] = {"RAW",          "RAW [FF appended]", "RAW [FF auto]",
                                               "NT EMF 1.003", "NT EMF 1.006",      "NT EMF 1.007",
                                               "NT EMF 1.008", "TEXT",              "XPS2GDI"};
  for (const char* t : kWinPrintTypes) {
    if (iequals(datatype, t)) return true;
  }
  return false;
}

bool eachPortExists(std::string_view list) {
  // A pooled printer names several ports, separated by commas.
  size_t start = 0;
  bool any = false;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    std::string_view port = list.substr(start, comma - start);
    while (!port.empty() && port.front() == ' ') port.remove_prefix(1);
    while (!port.empty() && port.back() == ' ') port.remove_suffix(1);
    if (!port.empty()) {
      if (!portExists(port)) return false;
      any = true;
    }
    start = comma + 1;
  }
  return any;
}

// The checks AddPrinterA and SetPrinterA share, in the order the spooler
// makes them; 0 when the record can be stored.
DWORD checkSettings(const PRINTER_INFO_2A& info) {
  const Environment& env = processEnvironment();
  if (!info.pDriverName || !findDriver(env, info.pDriverName)) return ERROR_UNKNOWN_PRINTER_DRIVER;
  if (!info.pPortName || !eachPortExists(info.pPortName)) return ERROR_UNKNOWN_PORT;
  bool processorKnown = false;
  if (info.pPrintProcessor) {
    for (const auto& name : printProcessors(env)) processorKnown |= iequals(name, info.pPrintProcessor);
  }
  if (!processorKnown) return ERROR_UNKNOWN_PRINTPROCESSOR;
  if (info.pDatatype && !datatypeSupported(info.pPrintProcessor, info.pDatatype)) return ERROR_INVALID_DATATYPE;
  if (info.Priority > 99 || info.DefaultPriority > 99) return ERROR_INVALID_PRIORITY;
  return 0;
}

std::string textOr(LPCSTR s, std::string_view fallback = {}) { return s ? std::string(s) : std::string(fallback); }

// A device mode given by a caller, kept only when its own sizes are sane.
std::vector<BYTE> devModeBytes(const DEVMODEA* dm) {
  if (!dm || dm->dmSize < offsetof(DEVMODEA, dmFields) || dm->dmSize > 4096 || dm->dmDriverExtra > 65535 - 4096)
    return {};
  const auto* p = reinterpret_cast<const BYTE*>(dm);
  return std::vector<BYTE>(p, p + dm->dmSize + dm->dmDriverExtra);
}

// The device mode a new printer starts with when the caller gives none.
std::vector<BYTE> defaultDevMode(const std::string& printer) {
  DEVMODEA dm{};
  std::memcpy(dm.dmDeviceName, printer.c_str(), std::min<size_t>(printer.size(), sizeof dm.dmDeviceName - 1));
  dm.dmSpecVersion = DM_SPECVERSION;
  dm.dmSize = sizeof(DEVMODEA);
  dm.dmFields = 0x1 | 0x2 | 0x100 | 0x8000;  // orientation, paper size, copies, collate
  dm.dmOrientation = 1;
  dm.dmPaperSize = 9;  // A4
  dm.dmCopies = 1;
  dm.dmPrintQuality = 600;
  dm.dmCollate = 1;
  const auto* p = reinterpret_cast<const BYTE*>(&dm);
  return std::vector<BYTE>(p, p + sizeof dm);
}

void applyInfo(PrinterRecord& rec, const PRINTER_INFO_2A& info) {
  rec.shareName = textOr(info.pShareName);
  rec.port = textOr(info.pPortName);
  rec.driver = textOr(info.pDriverName);
  rec.comment = textOr(info.pComment);
  rec.location = textOr(info.pLocation);
  rec.sepFile = textOr(info.pSepFile);
  rec.printProcessor = textOr(info.pPrintProcessor);
  rec.datatype = textOr(info.pDatatype, "RAW");
  if (rec.datatype.empty()) rec.datatype = "RAW";
  rec.parameters = textOr(info.pParameters);
  rec.attributes = (info.Attributes & ~(PRINTER_ATTRIBUTE_DEFAULT | PRINTER_ATTRIBUTE_NETWORK)) |
                   PRINTER_ATTRIBUTE_LOCAL;
  rec.priority = info.Priority ? info.Priority : 1;
  rec.defaultPriority = info.DefaultPriority;
  rec.startTime = info.StartTime;
  rec.untilTime = info.UntilTime;
  if (auto dm = devModeBytes(info.pDevMode); !dm.empty()) rec.devMode = std::move(dm);
}

bool setDefaultDevice(const PrinterRecord& p) {
  return reg::setString(Hive::CurrentUser, kDefaultPrinterKey, "Device", p.name + ",winspool," + p.port);
}

// ---- The configuration interface of the monitors -----------------------------------
// The record the TCP/IP monitor's "AddPort" takes (version 1).
struct PortData1 {
  WCHAR portName[64];
  DWORD version;
  DWORD protocol;
  DWORD size;
  DWORD reserved;
  WCHAR hostAddress[49];
  WCHAR snmpCommunity[33];
  DWORD doubleSpool;
  WCHAR queue[33];
  WCHAR ipAddress[16];
  BYTE reservedBytes[540];
  DWORD portNumber;
  DWORD snmpEnabled;
  DWORD snmpDevIndex;
};

// A UTF-16 text of a fixed field or buffer, ending at its first NUL or at
// its end, whichever comes first.
std::string boundedText(const WCHAR* text, size_t maxChars) {
  size_t n = 0;
  while (n < maxChars && text[n]) ++n;
  return utf16ToUtf8(wstring16_view(text, n));
}

std::string inputText(const BYTE* data, DWORD size) {
  if (!data || size < sizeof(WCHAR)) return {};
  std::vector<WCHAR> copy(size / sizeof(WCHAR));
  std::memcpy(copy.data(), data, copy.size() * sizeof(WCHAR));
  return boundedText(copy.data(), copy.size());
}

bool validPortName(std::string_view name) {
  return !name.empty() && name.size() <= 63 && name.find_first_of("\r\n\t") == std::string_view::npos;
}

DWORD xcvAddPort(const PrinterHandle& h, const BYTE* in, DWORD cbIn) {
  if (!files::isAdministrator()) return ERROR_ACCESS_DENIED;
  std::string name;
  PortData1 data{};
  const bool tcp = iequals(h.name, kTcpMonitor);
  const bool record = tcp && in && cbIn >= sizeof(PortData1);
  if (record) {
    std::memcpy(&data, in, sizeof data);
    name = boundedText(data.portName, 64);
  } else {
    name = inputText(in, cbIn);
  }
  if (!validPortName(name) || (!tcp && !iequals(h.name, kLocalMonitor))) return ERROR_INVALID_PARAMETER;
  if (portExists(name)) return ERROR_ALREADY_EXISTS;
  const bool ok = reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    if (!tcp) return hive.setString(kLocalPortsKey, name, "");
    const std::string key = std::string(kMonitorsKey) + "\\" + kTcpMonitor + "\\Ports\\" + name;
    std::string host = record ? boundedText(data.hostAddress, 49) : std::string();
    std::string ip = record ? boundedText(data.ipAddress, 16) : std::string();
    // A port named after its address ("IP_10.0.0.5") reaches that address.
    if (host.empty() && ip.empty() && name.rfind("IP_", 0) == 0) ip = name.substr(3);
    return hive.createKey(key) && hive.setDword(key, "Protocol", record && data.protocol ? data.protocol : 1) &&
           hive.setDword(key, "Version", 1) && hive.setString(key, "HostName", host) &&
           hive.setString(key, "IPAddress", ip) &&
           hive.setDword(key, "PortNumber", record && data.portNumber ? data.portNumber : 9100) &&
           hive.setString(key, "Queue", record ? boundedText(data.queue, 33) : std::string()) &&
           hive.setDword(key, "SNMP Enabled", record ? data.snmpEnabled : 0);
  });
  return ok ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

DWORD xcvDeletePort(const PrinterHandle& h, const BYTE* in, DWORD cbIn) {
  if (!files::isAdministrator()) return ERROR_ACCESS_DENIED;
  const std::string name = h.kind == Kind::XcvPort ? h.name : inputText(in, cbIn);
  bool known = false;
  for (const auto& p : ports()) known |= iequals(p.name, name);
  if (!known) return ERROR_UNKNOWN_PORT;
  for (const auto& p : printers()) {
    if (iequals(p.port, name)) return ERROR_BUSY;
  }
  reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    hive.deleteValue(kLocalPortsKey, name);
    for (const auto& m : hive.subKeys(kMonitorsKey)) hive.deleteKeyTree(std::string(kMonitorsKey) + "\\" + m + "\\Ports\\" + name);
    return true;
  });
  return ERROR_SUCCESS;
}

DWORD xcvOutput(const void* data, DWORD size, PBYTE out, DWORD cbOut, PDWORD needed) {
  *needed = size;
  if (!out || cbOut < size) return ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(out, data, size);
  return ERROR_SUCCESS;
}

}  // namespace
}  // namespace winsim::spool

namespace sp = winsim::spool;
using winsim::reg::Hive;

// OpenPrinterA: a handle to a printer, to the print server (NULL name), or to
// a monitor's or port's configuration interface (",XcvMonitor NAME",
// ",XcvPort NAME"). FALSE with RPC_S_SERVER_UNAVAILABLE,
// ERROR_INVALID_PARAMETER, ERROR_INVALID_PRINTER_NAME, ERROR_UNKNOWN_PORT (no
// such monitor or port) or ERROR_ACCESS_DENIED.
extern "C" BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  if (!phPrinter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phPrinter = nullptr;
  std::string name = pPrinterName ? pPrinterName : "";
  std::string server;
  if (name.size() > 2 && name[0] == '\\' && name[1] == '\\') {
    const size_t end = name.find_first_of("\\,", 2);
    server = name.substr(0, end);
    name = end == std::string::npos ? std::string() : name.substr(end + (name[end] == '\\' ? 1 : 0));
  }
  if (!sp::reachSpooler("OpenPrinterA", server.c_str())) return FALSE;
  const ACCESS_MASK access = sp::mapPrinterAccess(pDefault ? pDefault->DesiredAccess : PRINTER_ACCESS_USE);
  const bool admin = winsim::files::isAdministrator();
  const bool administer = (access & (PRINTER_ACCESS_ADMINISTER | SERVER_ACCESS_ADMINISTER | DELETE | WRITE_DAC |
                                     WRITE_OWNER)) != 0;
  if (administer && !admin) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  sp::PrinterHandle h;
  h.access = access;
  if (name.empty()) {
    h.kind = sp::Kind::Server;
  } else if (name[0] == ',') {
    constexpr std::string_view kMonitor = ",XcvMonitor ", kPort = ",XcvPort ";
    if (name.rfind(kMonitor, 0) == 0) {
      h.kind = sp::Kind::XcvMonitor;
      h.name = name.substr(kMonitor.size());
      bool known = false;
      for (const auto& m : sp::monitors()) {
        if (winsim::iequals(m.name, h.name)) {
          known = true;
          h.name = m.name;
        }
      }
      if (!known) {
        SetLastError(ERROR_UNKNOWN_PORT);
        return FALSE;
      }
    } else if (name.rfind(kPort, 0) == 0) {
      h.kind = sp::Kind::XcvPort;
      h.name = name.substr(kPort.size());
      if (!sp::portExists(h.name)) {
        SetLastError(ERROR_UNKNOWN_PORT);
        return FALSE;
      }
    } else {
      SetLastError(ERROR_INVALID_PRINTER_NAME);
      return FALSE;
    }
  } else {
    const auto printer = sp::findPrinter(name);
    if (!printer) {
      SetLastError(ERROR_INVALID_PRINTER_NAME);
      return FALSE;
    }
    h.name = printer->name;
  }
  *phPrinter = sp::addHandle(h);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// ClosePrinter: FALSE with ERROR_INVALID_HANDLE for a handle the spooler did
// not give out.
extern "C" BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  auto& t = sp::handleTable();
  std::lock_guard<std::mutex> guard(t.lock);
  if (t.handles.erase(reinterpret_cast<std::uintptr_t>(hPrinter)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// AddPrinterA: creates a printer (level 2) and returns a handle with full
// access. NULL with RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_LEVEL,
// ERROR_INVALID_PARAMETER, ERROR_ACCESS_DENIED, ERROR_INVALID_PRINTER_NAME,
// ERROR_PRINTER_ALREADY_EXISTS, ERROR_UNKNOWN_PRINTER_DRIVER,
// ERROR_UNKNOWN_PORT, ERROR_UNKNOWN_PRINTPROCESSOR, ERROR_INVALID_DATATYPE or
// ERROR_INVALID_PRIORITY.
extern "C" HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
  if (!sp::reachSpooler("AddPrinterA", pName)) return nullptr;
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return nullptr;
  }
  const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
  if (!info || !info->pPrinterName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!winsim::files::isAdministrator()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (!sp::validPrinterName(info->pPrinterName)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return nullptr;
  }
  if (sp::findPrinter(info->pPrinterName)) {
    SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
    return nullptr;
  }
  if (const DWORD error = sp::checkSettings(*info)) {
    SetLastError(error);
    return nullptr;
  }
  sp::PrinterRecord rec;
  rec.name = info->pPrinterName;
  sp::applyInfo(rec, *info);
  if (rec.devMode.empty()) rec.devMode = sp::defaultDevMode(rec.name);
  bool exists = false;
  const bool ok = winsim::reg::transact(Hive::LocalMachine, [&](winsim::reg::Editor& hive) {
    // Checked again under the lock: another process may have added it since.
    for (const auto& key : hive.subKeys(sp::kPrintersKey)) exists |= winsim::iequals(key, rec.name);
    return !exists && sp::writePrinter(hive, rec);
  });
  if (!ok) {
    SetLastError(exists ? ERROR_PRINTER_ALREADY_EXISTS : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // The first printer of a user becomes the default, as Windows makes it.
  if (sp::defaultPrinter().empty()) sp::setDefaultDevice(rec);
  SetLastError(ERROR_SUCCESS);
  return sp::addHandle({sp::Kind::Printer, rec.name, PRINTER_ALL_ACCESS});
}

// DeletePrinter: deletes the printer of the handle (which must carry DELETE
// access); when it was the default, the next printer becomes the default.
// FALSE with RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_HANDLE or
// ERROR_ACCESS_DENIED.
extern "C" BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
  if (!sp::reachSpooler("DeletePrinter")) return FALSE;
  const auto h = sp::lookup(hPrinter);
  if (!h || h->kind != sp::Kind::Printer || !sp::findPrinter(h->name)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(h->access & DELETE)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  winsim::reg::deleteKeyTree(Hive::LocalMachine, std::string(sp::kPrintersKey) + "\\" + h->name);
  if (winsim::iequals(sp::defaultPrinter(), h->name)) {
    const auto rest = sp::printers();
    if (rest.empty()) winsim::reg::deleteValue(Hive::CurrentUser, sp::kDefaultPrinterKey, "Device");
    else sp::setDefaultDevice(rest.front());
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// GetPrinterA: the printer's settings at level 2, with the two-call sizing.
// FALSE with RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_HANDLE,
// ERROR_INVALID_LEVEL, RPC_X_NULL_REF_POINTER or ERROR_INSUFFICIENT_BUFFER and
// the size needed.
extern "C" BOOL WINAPI GetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
  if (!sp::reachSpooler("GetPrinterA")) return FALSE;
  const auto h = sp::lookup(hPrinter);
  const auto rec = h && h->kind == sp::Kind::Printer ? sp::findPrinter(h->name) : std::nullopt;
  if (!rec) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (!pcbNeeded) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return FALSE;
  }
  sp::PrinterRecord shown = *rec;
  if (winsim::iequals(sp::defaultPrinter(), shown.name)) shown.attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  sp::Packer counter;
  PRINTER_INFO_2A scratch{};
  sp::fillPrinter2(counter, shown, scratch);
  const size_t needed = sizeof(PRINTER_INFO_2A) + counter.bytes();
  *pcbNeeded = static_cast<DWORD>(needed);
  if (!pPrinter || cbBuf < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  sp::Packer packer(pPrinter, cbBuf);
  PRINTER_INFO_2A record{};
  sp::fillPrinter2(packer, shown, record);
  std::memcpy(pPrinter, &record, sizeof record);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetPrinterA: level 2 replaces the printer's settings (a NULL device mode
// keeps the stored one; a new name renames it); level 0 pauses (1), resumes
// (2) or purges (3) it. FALSE with RPC_S_SERVER_UNAVAILABLE,
// ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_INVALID_LEVEL,
// ERROR_INVALID_PRINTER_COMMAND, ERROR_INVALID_PRINTER_NAME,
// ERROR_PRINTER_ALREADY_EXISTS, or the codes of AddPrinterA for the driver,
// port, print processor and data type.
extern "C" BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  if (!sp::reachSpooler("SetPrinterA")) return FALSE;
  const auto h = sp::lookup(hPrinter);
  auto rec = h && h->kind == sp::Kind::Printer ? sp::findPrinter(h->name) : std::nullopt;
  if (!rec) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!(h->access & PRINTER_ACCESS_ADMINISTER)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (Level == 0) {
    constexpr DWORD kPaused = 0x1;
    if (Command == 1) rec->status |= kPaused;
    else if (Command == 2) rec->status &= ~kPaused;
    else if (Command != 3) {
      SetLastError(ERROR_INVALID_PRINTER_COMMAND);
      return FALSE;
    }
  } else if (Level == 2) {
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter);
    if (!info) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (const DWORD error = sp::checkSettings(*info)) {
      SetLastError(error);
      return FALSE;
    }
    if (info->pPrinterName && !winsim::iequals(info->pPrinterName, rec->name)) {
      if (!sp::validPrinterName(info->pPrinterName)) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return FALSE;
      }
      if (sp::findPrinter(info->pPrinterName)) {
        SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
        return FALSE;
      }
    }
    sp::applyInfo(*rec, *info);
  } else {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const std::string oldName = rec->name;
  const auto* info = Level == 2 ? reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter) : nullptr;
  if (info && info->pPrinterName) rec->name = info->pPrinterName;
  winsim::reg::transact(Hive::LocalMachine, [&](winsim::reg::Editor& hive) {
    const std::string oldKey = std::string(sp::kPrintersKey) + "\\" + oldName;
    // Keys below the printer (its driver data, colour associations) move with it.
    if (oldName != rec->name) {
      std::vector<std::pair<std::string, std::vector<std::pair<std::string, winsim::reg::Value>>>> sub;
      for (const auto& s : hive.subKeys(oldKey)) sub.push_back({s, hive.values(oldKey + "\\" + s)});
      hive.deleteKeyTree(oldKey);
      const std::string newKey = std::string(sp::kPrintersKey) + "\\" + rec->name;
      for (const auto& [s, values] : sub) {
        hive.createKey(newKey + "\\" + s);
        for (const auto& [n, v] : values) hive.setValue(newKey + "\\" + s, n, v);
      }
    }
    return sp::writePrinter(hive, *rec);
  });
  if (oldName != rec->name) {
    sp::renameHandles(oldName, rec->name);
    if (winsim::iequals(sp::defaultPrinter(), oldName)) sp::setDefaultDevice(*rec);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// XcvDataW: a request to a monitor's or port's configuration interface:
// "AddPort", "DeletePort", "PortExists" and "MonitorUI". TRUE when the
// request reached the monitor, with its own result in *pdwStatus; FALSE with
// ERROR_INVALID_HANDLE (not an Xcv handle), RPC_X_NULL_REF_POINTER or
// RPC_S_SERVER_UNAVAILABLE.
extern "C" BOOL WINAPI XcvDataW(HANDLE hXcv, PCWSTR pszDataName, PBYTE pInputData, DWORD cbInputData,
                                PBYTE pOutputData, DWORD cbOutputData, PDWORD pcbOutputNeeded, PDWORD pdwStatus) {
  if (!sp::reachSpooler("XcvDataW")) return FALSE;
  const auto h = sp::lookup(hXcv);
  if (!h || (h->kind != sp::Kind::XcvMonitor && h->kind != sp::Kind::XcvPort)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!pcbOutputNeeded || !pdwStatus || !pszDataName) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return FALSE;
  }
  *pcbOutputNeeded = 0;
  const std::string request = winsim::utf16ToUtf8(winsim::wstring16_view(pszDataName, winsim::wlen(pszDataName)));
  if (request == "AddPort" && h->kind == sp::Kind::XcvMonitor) {
    *pdwStatus = sp::xcvAddPort(*h, pInputData, cbInputData);
  } else if (request == "DeletePort") {
    *pdwStatus = sp::xcvDeletePort(*h, pInputData, cbInputData);
  } else if (request == "PortExists") {
    const DWORD exists = sp::portExists(sp::inputText(pInputData, cbInputData)) ? 1 : 0;
    *pdwStatus = sp::xcvOutput(&exists, sizeof exists, pOutputData, cbOutputData, pcbOutputNeeded);
  } else if (request == "MonitorUI") {
    const bool tcp = h->kind == sp::Kind::XcvMonitor && winsim::iequals(h->name, sp::kTcpMonitor);
    const winsim::wstring16 ui = winsim::utf8ToUtf16(tcp ? "tcpmonui.dll" : "localui.dll");
    *pdwStatus = sp::xcvOutput(ui.c_str(), static_cast<DWORD>((ui.size() + 1) * sizeof(WCHAR)), pOutputData,
                               cbOutputData, pcbOutputNeeded);
  } else {
    *pdwStatus = ERROR_INVALID_PARAMETER;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// GetDefaultPrinterA: the user's default printer; *pcchBuffer counts
// characters with the NUL. FALSE with ERROR_INVALID_PARAMETER,
// ERROR_FILE_NOT_FOUND (no default) or ERROR_INSUFFICIENT_BUFFER and the size
// needed. The default lives in the user's registry, so this call works while
// the spooler is stopped, as on Windows.
extern "C" BOOL WINAPI GetDefaultPrinterA(LPSTR pszBuffer, LPDWORD pcchBuffer) {
  if (!pcchBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string name = sp::defaultPrinter();
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const DWORD need = static_cast<DWORD>(name.size() + 1);
  if (!pszBuffer || *pcchBuffer < need) {
    *pcchBuffer = need;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(pszBuffer, name.c_str(), need);
  *pcchBuffer = need;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// SetDefaultPrinterA: makes a printer (or connection) the user's default;
// NULL or "" keeps a default that still exists, else picks the first
// printer. FALSE with RPC_S_SERVER_UNAVAILABLE or ERROR_INVALID_PRINTER_NAME.
extern "C" BOOL WINAPI SetDefaultPrinterA(LPCSTR pszPrinter) {
  if (!sp::reachSpooler("SetDefaultPrinterA")) return FALSE;
  std::vector<sp::PrinterRecord> all = sp::printers();
  for (auto& c : sp::connections()) all.push_back(std::move(c));
  const sp::PrinterRecord* chosen = nullptr;
  if (!pszPrinter || !*pszPrinter) {
    const std::string current = sp::defaultPrinter();
    for (const auto& p : all) {
      if (!current.empty() && winsim::iequals(p.name, current)) {
        SetLastError(ERROR_SUCCESS);
        return TRUE;
      }
    }
    if (all.empty()) {
      SetLastError(ERROR_SUCCESS);
      return TRUE;
    }
    chosen = &all.front();
  } else {
    for (const auto& p : all) {
      if (winsim::iequals(p.name, pszPrinter)) chosen = &p;
    }
    if (!chosen) {
      SetLastError(ERROR_INVALID_PRINTER_NAME);
      return FALSE;
    }
  }
  sp::setDefaultDevice(*chosen);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

static const winsim::ExportRegistrar kPrinterExports("winspool.drv", {
    WINSIM_EXPORT(OpenPrinterA),
    WINSIM_EXPORT(ClosePrinter),
    WINSIM_EXPORT(AddPrinterA),
    WINSIM_EXPORT(DeletePrinter),
    WINSIM_EXPORT(GetPrinterA),
    WINSIM_EXPORT(SetPrinterA),
    WINSIM_EXPORT(XcvDataW),
    WINSIM_EXPORT(GetDefaultPrinterA),
    WINSIM_EXPORT(SetDefaultPrinterA),
});
