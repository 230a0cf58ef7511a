// winsim: registering printer drivers, monitors and print processors with
// the spooler. Driver files are copied into the driver folder's version
// subfolder as the copy flags say; the registry is written only once every
// file is in place, so a failed call never leaves a driver half-registered.
#include <cstddef>
#include <cstring>
#include <system_error>

#include <windows.h>
#include <winspool.h>

#include "kernel32/file_state.h"
#include "machine.h"
#include "modules.h"
#include "version/pe_resource.h"
#include "winspool/spool_store.h"

namespace winsim::spool {
namespace {

using reg::Hive;

constexpr const char* kPendingUpgrades = "SYSTEM\\CurrentControlSet\\Control\\Print\\PendingUpgrades";

std::string baseName(std::string_view path) {
  const size_t cut = path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

bool fileExists(const std::string& winPath) {
  const auto host = hostPath(winPath);
  std::error_code ec;
  return host && fs::is_regular_file(*host, ec);
}

// One file of a driver: where it comes from and where it goes.
struct DriverFile {
  std::string source;  // empty when the file is already in the version folder only
  std::string target;
};

enum class CopyPlan { Copy, Skip };

// Whether a file is to be copied under the flags, or the whole call refused
// (ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) because a strict rule is broken.
bool planCopy(const DriverFile& f, DWORD flags, CopyPlan* plan) {
  *plan = CopyPlan::Copy;
  if (f.source.empty()) {
    *plan = CopyPlan::Skip;
    return true;
  }
  const auto src = hostPath(f.source);
  const auto dst = hostPath(f.target);
  std::error_code ec;
  if (!dst || !fs::exists(*dst, ec)) return true;
  const auto srcTime = fs::last_write_time(*src, ec);
  const auto dstTime = fs::last_write_time(*dst, ec);
  if ((flags & APD_STRICT_UPGRADE) && !(srcTime > dstTime)) return false;
  if ((flags & APD_STRICT_DOWNGRADE) && !(srcTime < dstTime)) return false;
  if (!(flags & APD_COPY_ALL_FILES) && !(flags & (APD_STRICT_UPGRADE | APD_STRICT_DOWNGRADE)) && !(srcTime > dstTime))
    *plan = CopyPlan::Skip;
  return true;
}

// Copies one file with its time stamp; the last error on failure.
DWORD copyWithTime(const std::string& from, const std::string& to) {
  if (files::diskFull()) return ERROR_DISK_FULL;
  const auto src = hostPath(from);
  const auto dst = hostPath(to);
  if (!src || !dst) return ERROR_PATH_NOT_FOUND;
  std::error_code ec;
  fs::create_directories(dst->parent_path(), ec);
  if (fs::equivalent(*src, *dst, ec)) return ERROR_SUCCESS;
  const fs::path temp = dst->parent_path() / (dst->filename().string() + ".kvcopy");
  if (!fs::copy_file(*src, temp, fs::copy_options::overwrite_existing, ec)) return ERROR_ACCESS_DENIED;
  fs::last_write_time(temp, fs::last_write_time(*src, ec), ec);
  fs::rename(temp, *dst, ec);
  if (ec) {
    fs::remove(temp, ec);
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

bool isInUse(const std::string& winPath) {
  const auto host = hostPath(winPath);
  return host && files::lockOf(files::fileKey(*host)).has_value();
}

// The driver versions an environment takes: 0 for the 95 family's drivers,
// the kernel-mode 2 or the user-mode 3 for the NT ones (3 only on 64-bit).
bool versionFits(const Environment& env, DWORD version) {
  const std::string_view name(env.name);
  if (name == "Windows 4.0") return version == 0;
  if (name == "Windows NT x86") return version == 2 || version == 3;
  return version == 3;
}

DriverRecord recordFrom(const DRIVER_INFO_6A& info, DWORD level, const Environment& env) {
  DriverRecord d;
  d.env = &env;
  d.version = info.cVersion;
  d.name = info.pName;
  d.driverFile = baseName(info.pDriverPath);
  d.dataFile = baseName(info.pDataFile);
  d.configFile = baseName(info.pConfigFile);
  if (level < 3) return d;
  if (info.pHelpFile) d.helpFile = baseName(info.pHelpFile);
  for (const char* p = info.pDependentFiles; p && *p; p += std::strlen(p) + 1) d.dependentFiles.push_back(baseName(p));
  if (info.pMonitorName) d.monitor = info.pMonitorName;
  if (info.pDefaultDataType) d.datatype = info.pDefaultDataType;
  if (level < 4) return d;
  for (const char* p = info.pszzPreviousNames; p && *p; p += std::strlen(p) + 1) d.previousNames.push_back(p);
  if (level < 6) return d;
  d.date = info.ftDriverDate;
  d.driverVersion = info.dwlDriverVersion;
  if (info.pszMfgName) d.manufacturer = info.pszMfgName;
  if (info.pszOEMUrl) d.oemUrl = info.pszOEMUrl;
  if (info.pszHardwareID) d.hardwareId = info.pszHardwareID;
  if (info.pszProvider) d.provider = info.pszProvider;
  return d;
}

// The sources named by the caller's record, in the order of the record.
std::vector<std::string> namedFiles(const DRIVER_INFO_6A& info, DWORD level) {
  std::vector<std::string> files = {info.pDriverPath, info.pDataFile, info.pConfigFile};
  if (level >= 3) {
    if (info.pHelpFile && *info.pHelpFile) files.push_back(info.pHelpFile);
    for (const char* p = info.pDependentFiles; p && *p; p += std::strlen(p) + 1) files.push_back(p);
  }
  return files;
}

// The whole of AddPrinterDriverExA. `reportInstalled` makes a call that
// copies nothing for a driver already registered answer
// ERROR_PRINTER_DRIVER_ALREADY_INSTALLED (AddPrinterDriverA's way).
BOOL addDriver(LPSTR pName, DWORD Level, LPBYTE pDriverInfo, DWORD flags, const char* function,
               bool reportInstalled) {
  if (!reachSpooler(function, pName)) return FALSE;
  if (Level != 2 && Level != 3 && Level != 4 && Level != 6) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (!pDriverInfo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Levels 2, 3, 4 and 6 share their leading members, so the caller's record
  // is read only as far as its level reaches.
  DRIVER_INFO_6A info{};
  const size_t size = Level == 2 ? offsetof(DRIVER_INFO_6A, pHelpFile)
                      : Level == 3 ? offsetof(DRIVER_INFO_6A, pszzPreviousNames)
                      : Level == 4 ? offsetof(DRIVER_INFO_6A, ftDriverDate)
                                   : sizeof(DRIVER_INFO_6A);
  std::memcpy(&info, pDriverInfo, size);
  if (!files::isAdministrator()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const Environment* env = callEnvironment(info.pEnvironment);
  if (!env) return FALSE;
  if (!info.pName || !*info.pName || !info.pDriverPath || !*info.pDriverPath || !info.pDataFile ||
      !*info.pDataFile || !info.pConfigFile || !*info.pConfigFile || !versionFits(*env, info.cVersion) ||
      std::string_view(info.pName).find_first_of("\\,") != std::string_view::npos) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string staging = driverDirectory(*env);
  const std::string installed = versionDirectory(*env, info.cVersion);

  // Where each file comes from: the named path itself with
  // APD_COPY_FROM_DIRECTORY, else the staged copy in the driver folder, else
  // a copy already installed in the version folder (files drivers share).
  std::vector<DriverFile> files;
  for (const std::string& named : namedFiles(info, Level)) {
    const std::string name = baseName(named);
    DriverFile f{{}, installed + "\\" + name};
    if (flags & APD_COPY_FROM_DIRECTORY) {
      if (fileExists(named)) f.source = fullWinPath(named);
    } else if (fileExists(staging + "\\" + name)) {
      f.source = staging + "\\" + name;
    }
    if (f.source.empty() && !fileExists(f.target)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    files.push_back(std::move(f));
  }

  std::vector<CopyPlan> plans(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    if (!planCopy(files[i], flags, &plans[i])) {
      SetLastError(ERROR_PRINTER_DRIVER_ALREADY_INSTALLED);
      return FALSE;
    }
  }
  const DriverRecord record = recordFrom(info, Level, *env);
  const bool known = findDriver(*env, record.name).has_value();
  bool copied = false;
  bool pending = false;
  for (size_t i = 0; i < files.size(); ++i) {
    if (plans[i] == CopyPlan::Skip) continue;
    // A file the running spooler or a program holds cannot be replaced now:
    // the new file waits in the version folder's "New" subfolder and the
    // driver is listed as a pending upgrade, as the spooler does.
    std::string target = files[i].target;
    if (isInUse(target)) {
      target = installed + "\\New\\" + baseName(target);
      pending = true;
    }
    const DWORD error = copyWithTime(files[i].source, target);
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return FALSE;
    }
    copied = true;
  }
  if (reportInstalled && known && !copied) {
    SetLastError(ERROR_PRINTER_DRIVER_ALREADY_INSTALLED);
    return FALSE;
  }
  const bool ok = reg::transact(Hive::LocalMachine, [&](reg::Editor& hive) {
    if (!writeDriver(hive, record)) return false;
    if (pending) {
      return hive.createKey(std::string(kPendingUpgrades) + "\\Version-" + std::to_string(record.version) + "\\" +
                            record.name);
    }
    return true;
  });
  if (!ok) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace
}  // namespace winsim::spool

namespace sp = winsim::spool;

// AddPrinterDriverExA: registers a driver (levels 2, 3, 4, 6) and copies its
// files into the version folder as the flags say. FALSE with
// RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_LEVEL, ERROR_ACCESS_DENIED,
// ERROR_INVALID_ENVIRONMENT, ERROR_INVALID_PARAMETER, ERROR_FILE_NOT_FOUND,
// ERROR_PRINTER_DRIVER_ALREADY_INSTALLED (a strict flag not met) or
// ERROR_DISK_FULL.
extern "C" BOOL WINAPI AddPrinterDriverExA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo, DWORD dwFileCopyFlags) {
  return sp::addDriver(pName, Level, pDriverInfo, dwFileCopyFlags, "AddPrinterDriverExA", false);
}

// AddPrinterDriverA: AddPrinterDriverExA with APD_COPY_NEW_FILES; a driver
// already registered whose files are all current gives FALSE with
// ERROR_PRINTER_DRIVER_ALREADY_INSTALLED.
extern "C" BOOL WINAPI AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) {
  return sp::addDriver(pName, Level, pDriverInfo, APD_COPY_NEW_FILES, "AddPrinterDriverA", true);
}

// DeletePrinterDriverA: removes a driver's registration (every version of
// the environment); its files stay. FALSE with RPC_S_SERVER_UNAVAILABLE,
// ERROR_INVALID_ENVIRONMENT, ERROR_UNKNOWN_PRINTER_DRIVER,
// ERROR_PRINTER_DRIVER_IN_USE (a printer uses it) or ERROR_ACCESS_DENIED.
extern "C" BOOL WINAPI DeletePrinterDriverA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName) {
  if (!sp::reachSpooler("DeletePrinterDriverA", pName)) return FALSE;
  const sp::Environment* env = sp::callEnvironment(pEnvironment);
  if (!env) return FALSE;
  if (!pDriverName || !sp::findDriver(*env, pDriverName)) {
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return FALSE;
  }
  for (const auto& p : sp::printers()) {
    if (winsim::iequals(p.driver, pDriverName)) {
      SetLastError(ERROR_PRINTER_DRIVER_IN_USE);
      return FALSE;
    }
  }
  if (!winsim::files::isAdministrator()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const std::string name = pDriverName;
  winsim::reg::transact(winsim::reg::Hive::LocalMachine, [&](winsim::reg::Editor& hive) {
    for (const auto& d : sp::drivers(*env)) {
      if (winsim::iequals(d.name, name)) hive.deleteKeyTree(sp::driversKey(*env, d.version) + "\\" + d.name);
    }
    return true;
  });
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// AddMonitorA: registers a port or language monitor (level 2). FALSE with
// RPC_S_SERVER_UNAVAILABLE, ERROR_INVALID_LEVEL, ERROR_INVALID_PARAMETER,
// ERROR_INVALID_ENVIRONMENT, ERROR_ACCESS_DENIED,
// ERROR_PRINT_MONITOR_ALREADY_INSTALLED, ERROR_MOD_NOT_FOUND (the DLL is not
// in the system folder) or ERROR_PROC_NOT_FOUND (it exports neither
// InitializePrintMonitor2 nor InitializePrintMonitor).
extern "C" BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitors) {
  if (!sp::reachSpooler("AddMonitorA", pName)) return FALSE;
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const auto* info = reinterpret_cast<const MONITOR_INFO_2A*>(pMonitors);
  if (!info || !info->pName || !*info->pName || !info->pDLLName || !*info->pDLLName ||
      std::string_view(info->pName).find('\\') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (info->pEnvironment && *info->pEnvironment && !sp::callEnvironment(info->pEnvironment)) return FALSE;
  if (!winsim::files::isAdministrator()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  for (const auto& m : sp::monitors()) {
    if (winsim::iequals(m.name, info->pName)) {
      SetLastError(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
      return FALSE;
    }
  }
  const std::string dll = sp::baseName(info->pDLLName);
  if (!sp::fileExists("C:\\Windows\\system32\\" + dll)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  // The spooler loads the monitor and asks it for its functions: a DLL
  // without the entry point is no monitor. (A file that is no PE image at
  // all stands for a monitor winsim does not look into, as tests write
  // them, and is taken.)
  if (auto host = winsim::hostPath("C:\\Windows\\system32\\" + dll)) {
    if (auto image = winsim::readWholeFile(*host)) {
      bool v2 = false, v1 = false;
      if (winsim::version::hasExport(*image, "InitializePrintMonitor2", &v2) == ERROR_SUCCESS && !v2 &&
          winsim::version::hasExport(*image, "InitializePrintMonitor", &v1) == ERROR_SUCCESS && !v1) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
      }
    }
  }
  const std::string key = std::string(sp::kMonitorsKey) + "\\" + info->pName;
  const bool ok = winsim::reg::transact(winsim::reg::Hive::LocalMachine, [&](winsim::reg::Editor& hive) {
    return hive.createKey(key) && hive.setString(key, "Driver", dll);
  });
  if (!ok) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// DeleteMonitorA: removes a monitor. FALSE with RPC_S_SERVER_UNAVAILABLE,
// ERROR_UNKNOWN_PRINT_MONITOR, ERROR_PRINT_MONITOR_IN_USE (a printer uses one
// of its ports) or ERROR_ACCESS_DENIED.
extern "C" BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  (void)pEnvironment;
  if (!sp::reachSpooler("DeleteMonitorA", pName)) return FALSE;
  std::string name;
  for (const auto& m : sp::monitors()) {
    if (pMonitorName && winsim::iequals(m.name, pMonitorName)) name = m.name;
  }
  if (name.empty()) {
    SetLastError(ERROR_UNKNOWN_PRINT_MONITOR);
    return FALSE;
  }
  for (const auto& port : sp::ports()) {
    if (!winsim::iequals(port.monitor, name)) continue;
    for (const auto& p : sp::printers()) {
      if (winsim::iequals(p.port, port.name)) {
        SetLastError(ERROR_PRINT_MONITOR_IN_USE);
        return FALSE;
      }
    }
  }
  if (!winsim::files::isAdministrator()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  winsim::reg::deleteKeyTree(winsim::reg::Hive::LocalMachine, std::string(sp::kMonitorsKey) + "\\" + name);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// AddPrintProcessorA: registers a print processor whose DLL is already in the
// environment's print processor folder. FALSE with RPC_S_SERVER_UNAVAILABLE,
// ERROR_INVALID_ENVIRONMENT, ERROR_INVALID_PARAMETER,
// ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED, ERROR_ACCESS_DENIED or
// ERROR_MOD_NOT_FOUND.
extern "C" BOOL WINAPI AddPrintProcessorA(LPSTR pName, LPSTR pEnvironment, LPSTR pPathName,
                                          LPSTR pPrintProcessorName) {
  if (!sp::reachSpooler("AddPrintProcessorA", pName)) return FALSE;
  const sp::Environment* env = sp::callEnvironment(pEnvironment);
  if (!env) return FALSE;
  if (!pPathName || !*pPathName || !pPrintProcessorName || !*pPrintProcessorName ||
      std::string_view(pPrintProcessorName).find('\\') != std::string_view::npos) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (const auto& name : sp::printProcessors(*env)) {
    if (winsim::iequals(name, pPrintProcessorName)) {
      SetLastError(ERROR_PRINT_PROCESSOR_ALREADY_INSTALLED);
      return FALSE;
    }
  }
  if (!winsim::files::isAdministrator()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const std::string dll = sp::baseName(pPathName);
  if (!sp::fileExists(sp::printProcessorDirectory(*env) + "\\" + dll)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  const std::string key = sp::printProcessorsKey(*env) + "\\" + pPrintProcessorName;
  winsim::reg::transact(winsim::reg::Hive::LocalMachine, [&](winsim::reg::Editor& hive) {
    return hive.createKey(key) && hive.setString(key, "Driver", dll);
  });
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

static const winsim::ExportRegistrar kInstallExports("winspool.drv", {
    WINSIM_EXPORT(AddPrinterDriverExA),
    WINSIM_EXPORT(AddPrinterDriverA),
    WINSIM_EXPORT(DeletePrinterDriverA),
    WINSIM_EXPORT(AddMonitorA),
    WINSIM_EXPORT(DeleteMonitorA),
    WINSIM_EXPORT(AddPrintProcessorA),
});
