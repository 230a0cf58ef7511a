// winsim: processor, WOW64, computer and user names, languages and code pages.
#include <cstring>
#include <string>

#include <windows.h>

#include "handles.h"
#include "kernel32/nls.h"
#include "machine_settings.h"
#include "modules.h"

namespace {

// The simulated machine has two processors, like the one the conformance
// tests run on under Wine.
constexpr DWORD kProcessors = 2;

void fillSystemInfo(LPSYSTEM_INFO info, WORD architecture, bool process32) {
  std::memset(info, 0, sizeof *info);
  info->wProcessorArchitecture = architecture;
  info->dwPageSize = 4096;
  info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(0x10000));
  info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(
      static_cast<ULONG_PTR>(process32 ? 0x7FFEFFFFull : 0x7FFFFFFEFFFFull));
  info->dwActiveProcessorMask = (1u << kProcessors) - 1;
  info->dwNumberOfProcessors = kProcessors;
  info->dwAllocationGranularity = 0x10000;
  switch (architecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
      info->dwProcessorType = PROCESSOR_AMD_X8664;
      info->wProcessorLevel = 6;
      info->wProcessorRevision = 0x3A09;
      break;
    case PROCESSOR_ARCHITECTURE_IA64:
      info->dwProcessorType = PROCESSOR_INTEL_IA64;
      info->wProcessorLevel = 0x1F;
      info->wProcessorRevision = 0;
      break;
    default:
      info->dwProcessorType = PROCESSOR_INTEL_PENTIUM;
      info->wProcessorLevel = 6;
      info->wProcessorRevision = 0x3A09;
      break;
  }
}

// The two-call rule of GetComputerNameA and GetUserNameA differ only in the
// error and in whether the success count includes the NUL.
BOOL copyName(const std::string& name, LPSTR buffer, LPDWORD size, DWORD tooSmallError, bool countNulOnSuccess) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD needed = static_cast<DWORD>(name.size() + 1);
  if (!buffer || *size < needed) {
    *size = needed;
    SetLastError(tooSmallError);
    return FALSE;
  }
  std::memcpy(buffer, name.c_str(), needed);
  *size = countNulOnSuccess ? needed : needed - 1;
  return TRUE;
}

}  // namespace

// GetNativeSystemInfo: never fails; the system's own processor architecture.
extern "C" void WINAPI GetNativeSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  if (!lpSystemInfo) return;
  const winsim::MachineSettings s = winsim::machineSettings();
  fillSystemInfo(lpSystemInfo, winsim::nativeProcessorArchitecture(s), winsim::processIsWow64(s) || !winsim::is64BitSystem(s));
}

// GetSystemInfo: never fails; a WOW64 process is told it runs on x86.
extern "C" void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  if (!lpSystemInfo) return;
  const winsim::MachineSettings s = winsim::machineSettings();
  const bool wow64 = winsim::processIsWow64(s);
  fillSystemInfo(lpSystemInfo, wow64 ? WORD{PROCESSOR_ARCHITECTURE_INTEL} : winsim::nativeProcessorArchitecture(s),
                 wow64 || !winsim::is64BitSystem(s));
}

// IsWow64Process: FALSE with ERROR_INVALID_HANDLE for a handle that is not
// open. Every process of the machine is built alike, so another process's
// handle gets the same answer as the current one.
extern "C" BOOL WINAPI IsWow64Process(HANDLE hProcess, PBOOL Wow64Process) {
  if (hProcess != winsim::currentProcessPseudoHandle() && !winsim::lookupHandle(hProcess)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!Wow64Process) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  *Wow64Process = winsim::processIsWow64(winsim::machineSettings()) ? TRUE : FALSE;
  return TRUE;
}

// GetComputerNameA: FALSE with ERROR_BUFFER_OVERFLOW and the size needed
// (with the NUL) when the buffer is too small; on success the length without it.
extern "C" BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  return copyName(winsim::machineSettings().computerName, lpBuffer, nSize, ERROR_BUFFER_OVERFLOW, false);
}

// GetUserNameA: FALSE with ERROR_INSUFFICIENT_BUFFER and the size needed when
// the buffer is too small; on success the length with the NUL.
extern "C" BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) {
  return copyName(winsim::machineSettings().userName, lpBuffer, pcbBuffer, ERROR_INSUFFICIENT_BUFFER, true);
}

// The language functions never fail: one language serves system, user and
// user interface alike, as on a single-language installation.
extern "C" LANGID WINAPI GetSystemDefaultLangID(void) { return static_cast<LANGID>(winsim::machineSettings().langId); }
extern "C" LANGID WINAPI GetUserDefaultLangID(void) { return GetSystemDefaultLangID(); }
extern "C" LANGID WINAPI GetUserDefaultUILanguage(void) { return GetSystemDefaultLangID(); }
extern "C" LANGID WINAPI GetSystemDefaultUILanguage(void) { return GetSystemDefaultLangID(); }
extern "C" LCID WINAPI GetSystemDefaultLCID(void) { return MAKELCID(GetSystemDefaultLangID(), SORT_DEFAULT); }
extern "C" LCID WINAPI GetUserDefaultLCID(void) { return MAKELCID(GetUserDefaultLangID(), SORT_DEFAULT); }

// GetACP: 1252 on a machine of a Western language, else UTF-8 (see
// ansiCodePage); GetOEMCP: UTF-8, as on a Windows with the system-wide UTF-8
// option set. Never fail.
extern "C" UINT WINAPI GetACP(void) { return winsim::ansiCodePage(); }
extern "C" UINT WINAPI GetOEMCP(void) { return CP_UTF8; }

static const winsim::ExportRegistrar kExports(
    "kernel32.dll",
    {WINSIM_EXPORT(GetNativeSystemInfo), WINSIM_EXPORT(GetSystemInfo), WINSIM_EXPORT(IsWow64Process),
     WINSIM_EXPORT(GetComputerNameA), WINSIM_EXPORT(GetSystemDefaultLangID), WINSIM_EXPORT(GetUserDefaultLangID),
     WINSIM_EXPORT(GetUserDefaultUILanguage), WINSIM_EXPORT(GetSystemDefaultUILanguage),
     WINSIM_EXPORT(GetSystemDefaultLCID), WINSIM_EXPORT(GetUserDefaultLCID), WINSIM_EXPORT(GetACP),
     WINSIM_EXPORT(GetOEMCP)});
static const winsim::ExportRegistrar kAdvapiExports("advapi32.dll", {WINSIM_EXPORT(GetUserNameA)});
