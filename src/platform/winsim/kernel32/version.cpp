// winsim: GetVersionExA and GetVersion, from the machine settings.
#include <cstring>

#include <windows.h>

#include "machine_settings.h"
#include "modules.h"

namespace {

struct ReportedVersion {
  DWORD major, minor, build;
  std::string csd;
  DWORD spMajor, spMinor;
};

// What a program without a supportedOS manifest is told. Windows 8.1 and
// later answer as Windows 8 (6.2.9200, no service pack); KV_SETUP ships no
// such manifest, so every newer machine answers that way here.
ReportedVersion reportedVersion(const winsim::MachineSettings& s) {
  ReportedVersion v{s.majorVersion, s.minorVersion, s.buildNumber, s.csdVersion, s.servicePackMajor,
                    s.servicePackMinor};
  const bool newer = s.majorVersion > winsim::kUnmanifestedMajor ||
                     (s.majorVersion == winsim::kUnmanifestedMajor && s.minorVersion > winsim::kUnmanifestedMinor);
  if (winsim::isNtPlatform(s) && newer) {
    v = {winsim::kUnmanifestedMajor, winsim::kUnmanifestedMinor, winsim::kUnmanifestedBuild, "", 0, 0};
  }
  return v;
}

}  // namespace

// GetVersionExA: FALSE with ERROR_INSUFFICIENT_BUFFER when the size field
// names neither record (the 95 family knows only the basic one).
extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (!lpVersionInformation) {
    SetLastError(ERROR_NOACCESS);
    return FALSE;
  }
  const winsim::MachineSettings s = winsim::machineSettings();
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  const bool nt = winsim::isNtPlatform(s);
  const bool basic = size == sizeof(OSVERSIONINFOA);
  const bool extended = size == sizeof(OSVERSIONINFOEXA) && nt;
  if (!basic && !extended) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const ReportedVersion v = reportedVersion(s);
  OSVERSIONINFOA* info = lpVersionInformation;
  info->dwMajorVersion = v.major;
  info->dwMinorVersion = v.minor;
  // The 95 family packs its version into the high word of the build number.
  info->dwBuildNumber = nt ? v.build : static_cast<DWORD>(MAKELONG(v.build, MAKEWORD(v.minor, v.major)));
  info->dwPlatformId = s.platformId;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  std::strncpy(info->szCSDVersion, v.csd.c_str(), sizeof info->szCSDVersion - 1);
  if (extended) {
    auto* ex = reinterpret_cast<OSVERSIONINFOEXA*>(lpVersionInformation);
    ex->wServicePackMajor = static_cast<WORD>(v.spMajor);
    ex->wServicePackMinor = static_cast<WORD>(v.spMinor);
    ex->wSuiteMask = static_cast<WORD>(s.suiteMask);
    ex->wProductType = static_cast<BYTE>(s.productType);
    ex->wReserved = 0;
  }
  return TRUE;
}

// GetVersion: never fails. The low word is major and minor, the high word the
// build on NT; the 95 family sets the top bits instead.
extern "C" DWORD WINAPI GetVersion(void) {
  const winsim::MachineSettings s = winsim::machineSettings();
  const ReportedVersion v = reportedVersion(s);
  DWORD result = MAKEWORD(v.major, v.minor);
  if (winsim::isNtPlatform(s)) result |= (v.build & 0xFFFF) << 16;
  else result |= 0xC0000000u;
  return result;
}

static const winsim::ExportRegistrar kExports("kernel32.dll",
                                              {WINSIM_EXPORT(GetVersionExA), WINSIM_EXPORT(GetVersion)});
