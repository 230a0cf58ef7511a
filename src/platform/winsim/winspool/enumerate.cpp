// winsim: the spooler's enumerations: drivers, printers, ports, monitors and
// print processors, each answered with the two-call sizing of Windows.
#include <windows.h>
#include <winspool.h>

#include "machine.h"
#include "modules.h"
#include "winspool/spool_store.h"

namespace winsim::spool {
namespace {

std::string filePath(const DriverRecord& d, const std::string& name) {
  if (name.empty()) return {};
  return versionDirectory(*d.env, d.version) + "\\" + name;
}

std::vector<std::string> dependentPaths(const DriverRecord& d) {
  std::vector<std::string> paths;
  for (const auto& name : d.dependentFiles) paths.push_back(filePath(d, name));
  return paths;
}

// The fields levels 3 and 6 share; the file fields are full paths into the
// driver's version folder, as Windows answers them.
template <class Rec>
void fillDriver3(Packer& p, const DriverRecord& d, Rec& r) {
  r.cVersion = d.version;
  r.pName = p.text(d.name);
  r.pEnvironment = p.text(d.env->name);
  r.pDriverPath = p.text(filePath(d, d.driverFile));
  r.pDataFile = p.text(filePath(d, d.dataFile));
  r.pConfigFile = p.text(filePath(d, d.configFile));
  r.pHelpFile = p.optText(filePath(d, d.helpFile));
  r.pDependentFiles = p.multiText(dependentPaths(d));
  r.pMonitorName = p.optText(d.monitor);
  r.pDefaultDataType = p.optText(d.datatype);
}

void fillDriver6(Packer& p, const DriverRecord& d, DRIVER_INFO_6A& r) {
  fillDriver3(p, d, r);
  r.pszzPreviousNames = p.multiText(d.previousNames);
  r.ftDriverDate = d.date;
  r.dwlDriverVersion = d.driverVersion;
  r.pszMfgName = p.optText(d.manufacturer);
  r.pszOEMUrl = p.optText(d.oemUrl);
  r.pszHardwareID = p.optText(d.hardwareId);
  r.pszProvider = p.optText(d.provider);
}

}  // namespace

void fillPrinter2(Packer& p, const PrinterRecord& rec, PRINTER_INFO_2A& r) {
  r.pServerName = p.optText(rec.serverName);
  r.pPrinterName = p.text(rec.name);
  r.pShareName = p.text(rec.shareName);
  r.pPortName = p.text(rec.port);
  r.pDriverName = p.text(rec.driver);
  r.pComment = p.text(rec.comment);
  r.pLocation = p.text(rec.location);
  r.pDevMode = static_cast<LPDEVMODEA>(p.blob(rec.devMode));
  r.pSepFile = p.text(rec.sepFile);
  r.pPrintProcessor = p.text(rec.printProcessor);
  r.pDatatype = p.text(rec.datatype);
  r.pParameters = p.text(rec.parameters);
  r.pSecurityDescriptor = nullptr;
  r.Attributes = rec.attributes;
  r.Priority = rec.priority;
  r.DefaultPriority = rec.defaultPriority;
  r.StartTime = rec.startTime;
  r.UntilTime = rec.untilTime;
  r.Status = rec.status;
  r.cJobs = 0;
  r.AveragePPM = 0;
}

}  // namespace winsim::spool

namespace sp = winsim::spool;

// EnumPrinterDriversA: the drivers of an environment (NULL: the process's
// own; "all": every one) at level 3 or 6. FALSE with RPC_S_SERVER_UNAVAILABLE,
// ERROR_INVALID_ENVIRONMENT, ERROR_INVALID_LEVEL, or ERROR_INSUFFICIENT_BUFFER
// and the size needed.
extern "C" BOOL WINAPI EnumPrinterDriversA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                                           DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (!sp::reachSpooler("EnumPrinterDriversA", pName)) return FALSE;
  std::vector<const sp::Environment*> envs;
  if (pEnvironment && winsim::iequals(pEnvironment, "all")) {
    envs = sp::registeredEnvironments();
  } else {
    const sp::Environment* env = sp::callEnvironment(pEnvironment);
    if (!env) return FALSE;
    envs.push_back(env);
  }
  std::vector<sp::DriverRecord> list;
  for (const auto* env : envs) {
    for (auto& d : sp::drivers(*env)) list.push_back(std::move(d));
  }
  if (Level == 3)
    return sp::answerEnumeration<DRIVER_INFO_3A>(list, sp::fillDriver3<DRIVER_INFO_3A>, pDriverInfo, cbBuf, pcbNeeded,
                                                 pcReturned);
  if (Level == 6)
    return sp::answerEnumeration<DRIVER_INFO_6A>(list, sp::fillDriver6, pDriverInfo, cbBuf, pcbNeeded, pcReturned);
  SetLastError(ERROR_INVALID_LEVEL);
  return FALSE;
}

// EnumPrintersA: the local printers (PRINTER_ENUM_LOCAL) and the user's
// connections (PRINTER_ENUM_CONNECTIONS) at level 2. FALSE with
// RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_LEVEL or ERROR_INSUFFICIENT_BUFFER.
extern "C" BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                                     LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (!sp::reachSpooler("EnumPrintersA", Name)) return FALSE;
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::vector<sp::PrinterRecord> list;
  if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) list = sp::printers();
  if (Flags & PRINTER_ENUM_CONNECTIONS) {
    for (auto& p : sp::connections()) list.push_back(std::move(p));
  }
  const std::string def = sp::defaultPrinter();
  for (auto& p : list) {
    if (!def.empty() && winsim::iequals(p.name, def)) p.attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  }
  return sp::answerEnumeration<PRINTER_INFO_2A>(list, sp::fillPrinter2, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
}

// EnumPortsA: every port of every monitor at level 1 or 2. FALSE with
// RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_LEVEL or ERROR_INSUFFICIENT_BUFFER.
extern "C" BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded,
                                  LPDWORD pcReturned) {
  if (!sp::reachSpooler("EnumPortsA", pName)) return FALSE;
  const auto list = sp::ports();
  if (Level == 1) {
    return sp::answerEnumeration<LPSTR>(
        list, [](sp::Packer& p, const sp::PortRecord& port, LPSTR& r) { r = p.text(port.name); }, pPort, cbBuf,
        pcbNeeded, pcReturned);
  }
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  return sp::answerEnumeration<PORT_INFO_2A>(
      list,
      [](sp::Packer& p, const sp::PortRecord& port, PORT_INFO_2A& r) {
        r.pPortName = p.text(port.name);
        r.pMonitorName = p.text(port.monitor);
        r.pDescription = p.text(port.description);
        r.fPortType = port.type;
        r.Reserved = 0;
      },
      pPort, cbBuf, pcbNeeded, pcReturned);
}

// EnumMonitorsA: the port and language monitors at level 1 or 2. FALSE with
// RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_LEVEL or ERROR_INSUFFICIENT_BUFFER.
extern "C" BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                                     LPDWORD pcReturned) {
  if (!sp::reachSpooler("EnumMonitorsA", pName)) return FALSE;
  const auto list = sp::monitors();
  if (Level == 1) {
    return sp::answerEnumeration<MONITOR_INFO_1A>(
        list, [](sp::Packer& p, const sp::MonitorRecord& m, MONITOR_INFO_1A& r) { r.pName = p.text(m.name); },
        pMonitor, cbBuf, pcbNeeded, pcReturned);
  }
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const std::string env = sp::processEnvironment().name;
  return sp::answerEnumeration<MONITOR_INFO_2A>(
      list,
      [&env](sp::Packer& p, const sp::MonitorRecord& m, MONITOR_INFO_2A& r) {
        r.pName = p.text(m.name);
        r.pEnvironment = p.text(env);
        r.pDLLName = p.text(m.dll);
      },
      pMonitor, cbBuf, pcbNeeded, pcReturned);
}

// EnumPrintProcessorsA: the print processors of an environment at level 1.
// FALSE with RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_ENVIRONMENT,
// ERROR_INVALID_LEVEL or ERROR_INSUFFICIENT_BUFFER.
extern "C" BOOL WINAPI EnumPrintProcessorsA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pPrintProcessorInfo,
                                            DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (!sp::reachSpooler("EnumPrintProcessorsA", pName)) return FALSE;
  const sp::Environment* env = sp::callEnvironment(pEnvironment);
  if (!env) return FALSE;
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  return sp::answerEnumeration<PRINTPROCESSOR_INFO_1A>(
      sp::printProcessors(*env),
      [](sp::Packer& p, const std::string& name, PRINTPROCESSOR_INFO_1A& r) { r.pName = p.text(name); },
      pPrintProcessorInfo, cbBuf, pcbNeeded, pcReturned);
}

static const winsim::ExportRegistrar kEnumerationExports("winspool.drv", {
    WINSIM_EXPORT(EnumPrinterDriversA),
    WINSIM_EXPORT(EnumPrintersA),
    WINSIM_EXPORT(EnumPortsA),
    WINSIM_EXPORT(EnumMonitorsA),
    WINSIM_EXPORT(EnumPrintProcessorsA),
});
