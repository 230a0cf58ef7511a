// winsim: the machine settings (HKLM\SOFTWARE\KVSim\Machine) that decide what
// the simulated Windows says about itself, and the Windows keys that must
// agree with them.
//
// The settings are read afresh on every question, so a `kvsim set` made
// while a program runs shows in its next call, as a change of the registry
// would. A machine whose settings are missing answers as the default
// template does (Windows 7 SP1 x64, the user an administrator).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "os_kinds.h"

namespace winsim {

inline constexpr const char* kMachineKey = "SOFTWARE\\KVSim\\Machine";

struct MachineSettings {
  std::string osKind = "win7";
  DWORD platformId = VER_PLATFORM_WIN32_NT;
  DWORD majorVersion = 6;
  DWORD minorVersion = 1;
  DWORD buildNumber = 7601;
  std::string csdVersion = "Service Pack 1";
  DWORD servicePackMajor = 1;
  DWORD servicePackMinor = 0;
  DWORD suiteMask = VER_SUITE_SINGLEUSERTS;
  DWORD productType = VER_NT_WORKSTATION;
  std::string architecture = "amd64";  // amd64 | x86 | ia64
  bool wow64 = false;                  // this process is a 32-bit process on a 64-bit system
  bool admin = true;
  DWORD langId = 0x0409;
  std::string computerName = "KVSIM-PC";
  std::string userName = "User";
};

MachineSettings machineSettings();

// PROCESSOR_ARCHITECTURE_INTEL, _AMD64 or _IA64 of the system itself.
WORD nativeProcessorArchitecture(const MachineSettings& s);
bool is64BitSystem(const MachineSettings& s);
// WOW64 only exists on a 64-bit system.
bool processIsWow64(const MachineSettings& s);
bool isNtPlatform(const MachineSettings& s);

// ---- Deriving and writing settings -------------------------------------------
struct OsChoice {
  const OsKind* kind = nullptr;
  bool server = false;
  bool terminal = false;
  bool hasServicePack = false;  // --sp given
  std::string servicePack;
};

// The settings of `base` turned into the chosen release. A release without
// a 64-bit edition also turns the machine into an x86 one. Fails with a
// reason for choices Windows never shipped (a server of the 95 family).
bool settingsForOs(const MachineSettings& base, const OsChoice& choice, MachineSettings* out, std::string* error);

// Re-derives the version numbers after a change of architecture (XP on x64
// is the 2003 code base), keeping the product type, terminal services and a
// service-pack text that was set by hand.
MachineSettings rederiveForArchitecture(const MachineSettings& s, std::string_view newArchitecture);

// The .reg text ("Windows Registry Editor Version 5.00") of the settings and
// of Windows' own keys that mirror them: version keys, product options,
// processor architecture, computer name, language, the user's environment.
std::string settingsRegText(const MachineSettings& s, std::string_view profilesDirectory);

// Writes the settings and Windows' keys, removes values the new release
// does not have, and makes the user's profile and temp folders.
bool applySettings(const MachineSettings& s, std::string* error);

// Windows' printer INF (%windir%\INF\ntprint.inf, of winsim's writing) and
// the core printer driver files in the version folder of the machine's own
// print environment; an Itanium machine also gets its print environment.
// Files already there are kept.
bool installPrinterCore(const std::filesystem::path& root, const MachineSettings& s, std::string* error);
// The text of that printer INF, for tests that put it elsewhere.
std::string printerCoreInfText();

// ---- The user's folders ---------------------------------------------------------
// "C:\Users" (Vista and later layout) or "C:\Documents and Settings", as the
// machine's ProfileList says.
std::string profilesDirectory();
std::string userProfileFolder(const MachineSettings& s);
// The user's temp folder: HKCU\Environment TEMP with the profile expanded.
std::string userTempFolder(const MachineSettings& s);
bool createUserFolders(const MachineSettings& s, std::string* error);

// ---- .reg text helpers ------------------------------------------------------------
std::string regQuote(std::string_view text);                   // "text" with \ and " escaped
std::string regExpandSz(std::string_view text);                 // hex(2):... in UTF-16LE
std::string regMultiSz(const std::vector<std::string>& items);  // hex(7):...
std::string regDword(DWORD value);                              // dword:0000000a

// Name checks of `kvsim set computer` and `kvsim set user`, as Windows
// accepts them.
bool isValidComputerName(std::string_view name);
bool isValidUserName(std::string_view name);

}  // namespace winsim
