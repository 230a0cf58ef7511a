// winsim: the Windows releases a simulated machine can be, as one const
// table shared by the machine templates and `kvsim set os`.
//
// Each row gives what the release itself reports: the platform, the version
// numbers and service pack of its last service pack, and the product names
// Windows writes into its own registry keys. A server row is the server
// release built from the same code base (Windows Server 2003 for XP, 2008 for
// Vista, and so on); where an x64 edition has numbers of its own (XP x64 is
// the 2003 code base) the row says so.
#pragma once

#include <string_view>

#include <windows.h>

namespace winsim {

struct OsEdition {
  DWORD major;
  DWORD minor;
  DWORD build;          // the build of the service pack named by csd
  const char* csd;      // szCSDVersion as the release reports it
  WORD spMajor;
  const char* productName;     // ProductName of its CurrentVersion key
  const char* currentVersion;  // CurrentVersion of that key ("6.1"; Windows 10 keeps "6.3")
};

struct OsKind {
  const char* name;  // the machine setting OSKind and the word of `kvsim set os`
  DWORD platformId;  // VER_PLATFORM_WIN32_WINDOWS or VER_PLATFORM_WIN32_NT
  OsEdition workstation;
  OsEdition server;             // major 0: the release has no server edition
  OsEdition workstationX64;     // major 0: the x64 edition reports the same as x86
  bool has64;                   // whether an x64 or IA64 edition exists
  bool singleUserTs;            // workstations carry VER_SUITE_SINGLEUSERTS
  DWORD rtmBuild;               // build without a service pack when each pack adds one (Vista, 7), else 0
};

// Windows 8.1 and later tell a program without a supportedOS compatibility
// manifest that they are Windows 8 (6.2.9200). KV_SETUP ships no such
// manifest, so GetVersionExA applies this rule on every machine newer than 8.
inline constexpr DWORD kUnmanifestedMajor = 6;
inline constexpr DWORD kUnmanifestedMinor = 2;
inline constexpr DWORD kUnmanifestedBuild = 9200;

inline constexpr OsKind kOsKinds[] = {
    {"win95", VER_PLATFORM_WIN32_WINDOWS,
     {4, 0, 950, "", 0, "Microsoft Windows 95", "4.0"}, {}, {}, false, false, 0},
    {"win98", VER_PLATFORM_WIN32_WINDOWS,
     {4, 10, 2222, " A ", 0, "Microsoft Windows 98", "4.10"}, {}, {}, false, false, 0},
    {"winme", VER_PLATFORM_WIN32_WINDOWS,
     {4, 90, 3000, " ", 0, "Microsoft Windows ME", "4.90"}, {}, {}, false, false, 0},
    {"nt4", VER_PLATFORM_WIN32_NT,
     {4, 0, 1381, "Service Pack 6", 6, "Microsoft Windows NT Workstation", "4.0"},
     {4, 0, 1381, "Service Pack 6", 6, "Microsoft Windows NT Server", "4.0"}, {}, false, false, 0},
    {"win2k", VER_PLATFORM_WIN32_NT,
     {5, 0, 2195, "Service Pack 4", 4, "Microsoft Windows 2000", "5.0"},
     {5, 0, 2195, "Service Pack 4", 4, "Microsoft Windows 2000", "5.0"}, {}, false, false, 0},
    {"xp", VER_PLATFORM_WIN32_NT,
     {5, 1, 2600, "Service Pack 3", 3, "Microsoft Windows XP", "5.1"},
     {5, 2, 3790, "Service Pack 2", 2, "Microsoft Windows Server 2003", "5.2"},
     {5, 2, 3790, "Service Pack 2", 2, "Microsoft Windows XP", "5.2"}, true, true, 0},
    {"vista", VER_PLATFORM_WIN32_NT,
     {6, 0, 6002, "Service Pack 2", 2, "Windows Vista (TM) Business", "6.0"},
     {6, 0, 6002, "Service Pack 2", 2, "Windows Server (R) 2008 Standard", "6.0"}, {}, true, true, 6000},
    {"win7", VER_PLATFORM_WIN32_NT,
     {6, 1, 7601, "Service Pack 1", 1, "Windows 7 Professional", "6.1"},
     {6, 1, 7601, "Service Pack 1", 1, "Windows Server 2008 R2 Standard", "6.1"}, {}, true, true, 7600},
    {"win8", VER_PLATFORM_WIN32_NT,
     {6, 2, 9200, "", 0, "Windows 8 Pro", "6.2"},
     {6, 2, 9200, "", 0, "Windows Server 2012 Standard", "6.2"}, {}, true, true, 0},
    {"win10", VER_PLATFORM_WIN32_NT,
     {10, 0, 19045, "", 0, "Windows 10 Pro", "6.3"},
     {10, 0, 17763, "", 0, "Windows Server 2019 Standard", "6.3"}, {}, true, true, 0},
};

inline const OsKind* findOsKind(std::string_view name) {
  for (const OsKind& k : kOsKinds) {
    if (name == k.name) return &k;
  }
  return nullptr;
}

// The edition a machine of this kind reports for its product type and
// processor architecture ("x86", "amd64", "ia64").
inline const OsEdition& osEdition(const OsKind& kind, bool server, std::string_view architecture) {
  if (server && kind.server.major) return kind.server;
  if (architecture != "x86" && kind.workstationX64.major) return kind.workstationX64;
  return kind.workstation;
}

}  // namespace winsim
