// winsim: GetPrinterDriverDirectoryA and GetPrintProcessorDirectoryA.
#include "winspool/directories.h"

#include <cstring>

#include <windows.h>
#include <winspool.h>

#include "machine.h"
#include "machine_settings.h"
#include "modules.h"

namespace winsim::spool {
namespace {

const Environment kEnvironments[] = {
    {"Windows NT x86", "w32x86"}, {"Windows x64", "x64"},     {"Windows IA64", "ia64"},
    {"Windows ARM64", "arm64"},   {"Windows 4.0", "win40"},
};

constexpr const char* kSpool = "C:\\Windows\\system32\\spool";

// Level, size and buffer rules shared by both directory calls. `reportBytes`
// is the size the call reports, which differs from the text's own size for
// the print processor folder.
BOOL answerDirectory(LPCSTR pEnvironment, DWORD Level, LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded,
                     std::string (*folder)(const Environment&), bool wideCount) {
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (!pcbNeeded) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return FALSE;
  }
  const Environment* env = findEnvironment(pEnvironment ? pEnvironment : "");
  if (!env) {
    *pcbNeeded = 0;
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
  }
  const std::string dir = folder(*env);
  const DWORD bytes = static_cast<DWORD>(dir.size() + 1);
  if (!buffer && cbBuf != 0) {
    *pcbNeeded = 0;
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  // The ANSI print processor call reports what its wide form would need,
  // as Windows does; callers size their buffers generously.
  *pcbNeeded = wideCount ? bytes * 2 : bytes;
  if (!buffer || cbBuf < bytes) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, dir.c_str(), bytes);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace

const Environment* findEnvironment(std::string_view name) {
  if (name.empty()) return &processEnvironment();
  for (const auto& env : kEnvironments) {
    if (iequals(name, env.name)) return &env;
  }
  return nullptr;
}

const Environment& processEnvironment() {
  const MachineSettings settings = machineSettings();
  if (processIsWow64(settings) || iequals(settings.architecture, "x86")) return kEnvironments[0];
  if (iequals(settings.architecture, "ia64")) return kEnvironments[2];
  return kEnvironments[1];
}

std::string driverDirectory(const Environment& env) { return std::string(kSpool) + "\\drivers\\" + env.dir; }

std::string printProcessorDirectory(const Environment& env) {
  return std::string(kSpool) + "\\prtprocs\\" + env.dir;
}

}  // namespace winsim::spool

// GetPrinterDriverDirectoryA: the driver folder of an environment (level 1
// only). FALSE with ERROR_INVALID_LEVEL, ERROR_INVALID_ENVIRONMENT or
// ERROR_INSUFFICIENT_BUFFER (and the size needed) on failure.
extern "C" BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                                  LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
  (void)pName;
  return winsim::spool::answerDirectory(pEnvironment, Level, pDriverDirectory, cbBuf, pcbNeeded,
                                        &winsim::spool::driverDirectory, false);
}

// GetPrintProcessorDirectoryA: the print processor folder of an environment
// (level 1 only); failures as GetPrinterDriverDirectoryA.
extern "C" BOOL WINAPI GetPrintProcessorDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                                   LPBYTE pPrintProcessorInfo, DWORD cbBuf, LPDWORD pcbNeeded) {
  (void)pName;
  return winsim::spool::answerDirectory(pEnvironment, Level, pPrintProcessorInfo, cbBuf, pcbNeeded,
                                        &winsim::spool::printProcessorDirectory, true);
}

static const winsim::ExportRegistrar kDirectoryExports("winspool.drv", {
    WINSIM_EXPORT(GetPrinterDriverDirectoryA),
    WINSIM_EXPORT(GetPrintProcessorDirectoryA),
});
