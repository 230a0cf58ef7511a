// winsim: machine settings and the Windows keys kept in step with them.
#include "machine_settings.h"

#include <cctype>
#include <cstdio>

#include "advapi32/registry_store.h"
#include "kernel32/environ.h"
#include "machine.h"
#include "unicode.h"

namespace winsim {
namespace {

using reg::Hive;

constexpr const char* kNtCurrentVersion = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr const char* kWinCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kProfileList = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

std::string hexBytes(const std::vector<unsigned char>& bytes) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
    if (i) out += ',';
    out += buf;
  }
  return out;
}

void appendUtf16le(std::vector<unsigned char>* out, std::string_view text) {
  for (WCHAR c : utf8ToUtf16(text)) {
    out->push_back(static_cast<unsigned char>(c & 0xFF));
    out->push_back(static_cast<unsigned char>(c >> 8));
  }
  out->push_back(0);
  out->push_back(0);
}

// Windows writes the architecture into the environment in upper case
// except for x86.
const char* environmentArchitecture(std::string_view arch) {
  if (arch == "amd64") return "AMD64";
  if (arch == "ia64") return "IA64";
  return "x86";
}

// "Service Pack 2" -> 2, "Service Pack 6a" -> 6, "Service Pack 1.1" -> 1.1.
void parseServicePack(std::string_view text, DWORD* major, DWORD* minor) {
  *major = 0;
  *minor = 0;
  size_t i = 0;
  while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && *major < 100)
    *major = *major * 10 + static_cast<DWORD>(text[i++] - '0');
  if (i + 1 < text.size() && text[i] == '.' && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && *minor < 100)
      *minor = *minor * 10 + static_cast<DWORD>(text[i++] - '0');
  }
}

bool newProfileLayout(const MachineSettings& s) { return isNtPlatform(s) && s.majorVersion >= 6; }

}  // namespace

// ---- Reading ----------------------------------------------------------------

MachineSettings machineSettings() {
  MachineSettings d;
  MachineSettings s;
  // One look at the hive for all of them: every API that asks the Windows
  // version asks this, and each separate read would check the hive file.
  // What was read from one state of the hive is kept until the state moves
  // (the look holds the hive's lock, which guards the kept copy too).
  static MachineSettings s_kept;
  static unsigned long long s_keptGeneration = 0;
  reg::inspect(Hive::LocalMachine, [&](const reg::Editor& e) {
    if (e.generation() == s_keptGeneration) {
      s = s_kept;
      return;
    }
    s.osKind = e.getString(kMachineKey, "OSKind", d.osKind);
    s.platformId = e.getDword(kMachineKey, "PlatformId", d.platformId);
    s.majorVersion = e.getDword(kMachineKey, "MajorVersion", d.majorVersion);
    s.minorVersion = e.getDword(kMachineKey, "MinorVersion", d.minorVersion);
    s.buildNumber = e.getDword(kMachineKey, "BuildNumber", d.buildNumber);
    s.csdVersion = e.getString(kMachineKey, "CSDVersion", d.csdVersion);
    s.servicePackMajor = e.getDword(kMachineKey, "ServicePackMajor", d.servicePackMajor);
    s.servicePackMinor = e.getDword(kMachineKey, "ServicePackMinor", d.servicePackMinor);
    s.suiteMask = e.getDword(kMachineKey, "SuiteMask", d.suiteMask);
    s.productType = e.getDword(kMachineKey, "ProductType", d.productType);
    s.architecture = toLower(e.getString(kMachineKey, "Architecture", d.architecture));
    s.wow64 = e.getDword(kMachineKey, "Wow64", d.wow64) != 0;
    s.admin = e.getDword(kMachineKey, "Admin", d.admin) != 0;
    s.langId = e.getDword(kMachineKey, "LangID", d.langId) & 0xFFFF;
    s.computerName = e.getString(kMachineKey, "ComputerName", d.computerName);
    s.userName = e.getString(kMachineKey, "UserName", d.userName);
    if (s.architecture != "x86" && s.architecture != "amd64" && s.architecture != "ia64") s.architecture = "x86";
    s_kept = s;
    s_keptGeneration = e.generation();
  });
  return s;
}

WORD nativeProcessorArchitecture(const MachineSettings& s) {
  if (s.architecture == "amd64") return PROCESSOR_ARCHITECTURE_AMD64;
  if (s.architecture == "ia64") return PROCESSOR_ARCHITECTURE_IA64;
  return PROCESSOR_ARCHITECTURE_INTEL;
}

bool is64BitSystem(const MachineSettings& s) { return s.architecture == "amd64" || s.architecture == "ia64"; }
bool processIsWow64(const MachineSettings& s) { return s.wow64 && is64BitSystem(s); }
bool isNtPlatform(const MachineSettings& s) { return s.platformId == VER_PLATFORM_WIN32_NT; }

// ---- Deriving ---------------------------------------------------------------------

bool settingsForOs(const MachineSettings& base, const OsChoice& choice, MachineSettings* out, std::string* error) {
  const OsKind& k = *choice.kind;
  const bool nt = k.platformId == VER_PLATFORM_WIN32_NT;
  if (choice.server && !k.server.major) {
    if (error) *error = std::string(k.name) + " has no server edition";
    return false;
  }
  if (choice.terminal && !nt) {
    if (error) *error = std::string(k.name) + " has no terminal services";
    return false;
  }
  MachineSettings s = base;
  if (!k.has64 && s.architecture != "x86") {
    s.architecture = "x86";
    s.wow64 = false;
  }
  const OsEdition& e = osEdition(k, choice.server, s.architecture);
  s.osKind = k.name;
  s.platformId = k.platformId;
  s.majorVersion = e.major;
  s.minorVersion = e.minor;
  s.buildNumber = e.build;
  s.csdVersion = e.csd;
  s.servicePackMajor = e.spMajor;
  s.servicePackMinor = 0;
  if (choice.hasServicePack) {
    s.csdVersion = choice.servicePack;
    parseServicePack(choice.servicePack, &s.servicePackMajor, &s.servicePackMinor);
    // Vista and 7 count their service packs in the build number.
    if (k.rtmBuild) s.buildNumber = k.rtmBuild + s.servicePackMajor;
  }
  s.productType = nt ? (choice.server ? VER_NT_SERVER : VER_NT_WORKSTATION) : 0;
  s.suiteMask = 0;
  if (nt && !choice.server && k.singleUserTs) s.suiteMask |= VER_SUITE_SINGLEUSERTS;
  if (choice.terminal) s.suiteMask |= VER_SUITE_TERMINAL;
  *out = s;
  return true;
}

MachineSettings rederiveForArchitecture(const MachineSettings& s, std::string_view newArchitecture) {
  MachineSettings next = s;
  next.architecture = std::string(newArchitecture);
  if (!is64BitSystem(next)) next.wow64 = false;
  const OsKind* k = findOsKind(s.osKind);
  if (!k) return next;
  const bool server = s.productType != VER_NT_WORKSTATION && s.productType != 0;
  const OsEdition& before = osEdition(*k, server, s.architecture);
  OsChoice choice;
  choice.kind = k;
  choice.server = server;
  choice.terminal = (s.suiteMask & VER_SUITE_TERMINAL) != 0;
  if (s.csdVersion != before.csd) {
    choice.hasServicePack = true;
    choice.servicePack = s.csdVersion;
  }
  MachineSettings out;
  std::string ignored;
  if (!settingsForOs(next, choice, &out, &ignored)) return next;
  out.architecture = next.architecture;
  out.wow64 = next.wow64;
  return out;
}

// ---- .reg text ----------------------------------------------------------------------

std::string regQuote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string regExpandSz(std::string_view text) {
  std::vector<unsigned char> bytes;
  appendUtf16le(&bytes, text);
  return "hex(2):" + hexBytes(bytes);
}

std::string regMultiSz(const std::vector<std::string>& items) {
  std::vector<unsigned char> bytes;
  for (const auto& item : items) appendUtf16le(&bytes, item);
  bytes.push_back(0);
  bytes.push_back(0);
  return "hex(7):" + hexBytes(bytes);
}

std::string regDword(DWORD value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "dword:%08x", value);
  return buf;
}

std::string settingsRegText(const MachineSettings& s, std::string_view profiles) {
  const bool nt = isNtPlatform(s);
  const bool is64 = is64BitSystem(s);
  const OsKind* kind = findOsKind(s.osKind);
  const bool server = s.productType == VER_NT_SERVER || s.productType == VER_NT_DOMAIN_CONTROLLER;
  const OsEdition* e = kind ? &osEdition(*kind, server, s.architecture) : nullptr;
  std::string t = "Windows Registry Editor Version 5.00\n\n";
  auto key = [&](std::string_view k) { t += "[" + std::string(k) + "]\n"; };
  auto sz = [&](std::string_view n, std::string_view v) { t += regQuote(n) + "=" + regQuote(v) + "\n"; };
  auto dw = [&](std::string_view n, DWORD v) { t += regQuote(n) + "=" + regDword(v) + "\n"; };
  auto ex = [&](std::string_view n, std::string_view v) { t += regQuote(n) + "=" + regExpandSz(v) + "\n"; };
  auto end = [&] { t += "\n"; };

  key("HKEY_LOCAL_MACHINE\\SOFTWARE\\KVSim\\Machine");
  sz("OSKind", s.osKind);
  dw("PlatformId", s.platformId);
  dw("MajorVersion", s.majorVersion);
  dw("MinorVersion", s.minorVersion);
  dw("BuildNumber", s.buildNumber);
  sz("CSDVersion", s.csdVersion);
  dw("ServicePackMajor", s.servicePackMajor);
  dw("ServicePackMinor", s.servicePackMinor);
  dw("SuiteMask", s.suiteMask);
  dw("ProductType", s.productType);
  sz("Architecture", s.architecture);
  dw("Wow64", s.wow64 ? 1 : 0);
  dw("Admin", s.admin ? 1 : 0);
  dw("LangID", s.langId);
  sz("ComputerName", s.computerName);
  sz("UserName", s.userName);
  end();

  const std::string productName = e ? e->productName : "Microsoft Windows";
  const std::string version = std::to_string(s.majorVersion) + "." + std::to_string(s.minorVersion);
  if (nt) {
    key(std::string("HKEY_LOCAL_MACHINE\\") + kNtCurrentVersion);
    sz("CurrentVersion", e ? e->currentVersion : version);
    sz("CurrentBuildNumber", std::to_string(s.buildNumber));
    sz("CurrentBuild", std::to_string(s.buildNumber));
    if (!s.csdVersion.empty()) sz("CSDVersion", s.csdVersion);
    sz("ProductName", productName);
    sz("CurrentType", "Multiprocessor Free");
    sz("SystemRoot", "C:\\Windows");
    sz("RegisteredOwner", s.userName);
    if (s.majorVersion >= 10) {
      // Windows 10 keeps "6.3" in CurrentVersion for old readers and gives
      // its real numbers in these two values.
      dw("CurrentMajorVersionNumber", s.majorVersion);
      dw("CurrentMinorVersionNumber", s.minorVersion);
      sz("EditionID", server ? "ServerStandard" : "Professional");
      sz("DisplayVersion", server ? "1809" : "22H2");
    }
    end();
  } else {
    key(std::string("HKEY_LOCAL_MACHINE\\") + kWinCurrentVersion);
    sz("Version", productName.substr(productName.find("Windows")));
    sz("VersionNumber", std::to_string(s.majorVersion) + "." + (s.minorVersion < 10 ? "0" : "") +
                            std::to_string(s.minorVersion) + "." + std::to_string(s.buildNumber));
    sz("SubVersionNumber", s.csdVersion);
    sz("ProductName", productName);
    end();
  }

  key(std::string("HKEY_LOCAL_MACHINE\\") + kWinCurrentVersion);
  sz("ProgramFilesDir", "C:\\Program Files");
  sz("CommonFilesDir", "C:\\Program Files\\Common Files");
  if (is64) {
    sz("ProgramFilesDir (x86)", "C:\\Program Files (x86)");
    sz("CommonFilesDir (x86)", "C:\\Program Files (x86)\\Common Files");
    sz("ProgramW6432Dir", "C:\\Program Files");
  }
  t += regQuote("DevicePath") + "=" + regExpandSz("%SystemRoot%\\inf") + "\n";
  end();

  key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions");
  sz("ProductType", s.productType == VER_NT_DOMAIN_CONTROLLER ? "LanmanNT"
                    : s.productType == VER_NT_SERVER          ? "ServerNT"
                                                               : "WinNT");
  std::vector<std::string> suites;
  if (s.suiteMask & VER_SUITE_TERMINAL) suites.push_back("Terminal Server");
  t += regQuote("ProductSuite") + "=" + regMultiSz(suites) + "\n";
  end();

  key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
  sz("PROCESSOR_ARCHITECTURE", environmentArchitecture(s.architecture));
  sz("NUMBER_OF_PROCESSORS", "2");
  sz("OS", "Windows_NT");
  ex("ComSpec", "%SystemRoot%\\system32\\cmd.exe");
  ex("Path", "%SystemRoot%\\system32;%SystemRoot%;%SystemRoot%\\System32\\Wbem");
  sz("PATHEXT", ".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC");
  ex("TEMP", "%SystemRoot%\\TEMP");
  ex("TMP", "%SystemRoot%\\TEMP");
  sz("windir", "%SystemRoot%");
  end();

  key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName");
  sz("ComputerName", s.computerName);
  end();
  key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName");
  sz("ComputerName", s.computerName);
  end();

  char lang[16];
  std::snprintf(lang, sizeof lang, "%04X", s.langId);
  key("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\Language");
  sz("Default", lang);
  sz("InstallLanguage", lang);
  end();
  key("HKEY_CURRENT_USER\\Control Panel\\International");
  sz("Locale", std::string("0000") + lang);
  end();

  const std::string profile = std::string(profiles) + "\\" + s.userName;
  key("HKEY_CURRENT_USER\\Volatile Environment");
  sz("USERNAME", s.userName);
  sz("USERDOMAIN", s.computerName);
  sz("USERPROFILE", profile);
  sz("HOMEDRIVE", "C:");
  sz("HOMEPATH", profile.substr(2));
  if (newProfileLayout(s)) {
    sz("APPDATA", profile + "\\AppData\\Roaming");
    sz("LOCALAPPDATA", profile + "\\AppData\\Local");
  } else {
    sz("APPDATA", profile + "\\Application Data");
  }
  end();
  key("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer");
  sz("Logon User Name", s.userName);
  end();
  return t;
}

bool applySettings(const MachineSettings& s, std::string* error) {
  MachineLock lock;
  if (!reg::importText(settingsRegText(s, profilesDirectory()), error)) return false;
  // Values the new release does not have must go, or a reader of Windows'
  // own keys would see the old release through them.
  const bool nt = isNtPlatform(s);
  if (nt) {
    if (s.csdVersion.empty()) reg::deleteValue(Hive::LocalMachine, kNtCurrentVersion, "CSDVersion");
    if (s.majorVersion < 10) {
      for (const char* v : {"CurrentMajorVersionNumber", "CurrentMinorVersionNumber", "EditionID", "DisplayVersion"})
        reg::deleteValue(Hive::LocalMachine, kNtCurrentVersion, v);
    }
    for (const char* v : {"Version", "VersionNumber", "SubVersionNumber"})
      reg::deleteValue(Hive::LocalMachine, kWinCurrentVersion, v);
  } else {
    for (const char* v : {"CurrentVersion", "CurrentBuildNumber", "CurrentBuild", "CSDVersion", "ProductName",
                          "CurrentMajorVersionNumber", "CurrentMinorVersionNumber", "EditionID", "DisplayVersion"})
      reg::deleteValue(Hive::LocalMachine, kNtCurrentVersion, v);
  }
  if (!is64BitSystem(s)) {
    for (const char* v : {"ProgramFilesDir (x86)", "CommonFilesDir (x86)", "ProgramW6432Dir"})
      reg::deleteValue(Hive::LocalMachine, kWinCurrentVersion, v);
  }
  if (!newProfileLayout(s)) reg::deleteValue(Hive::CurrentUser, "Volatile Environment", "LOCALAPPDATA");
  resetEnvironmentBlock();
  if (!installPrinterCore(machineRoot(), s, error)) return false;
  return createUserFolders(s, error);
}

// ---- Folders ------------------------------------------------------------------------

std::string profilesDirectory() {
  std::string dir = reg::getString(Hive::LocalMachine, kProfileList, "ProfilesDirectory", "%SystemDrive%\\Users");
  return expandVariables(dir, [](std::string_view name) -> std::optional<std::string> {
    if (iequals(name, "SystemDrive")) return std::string("C:");
    if (iequals(name, "SystemRoot")) return std::string("C:\\Windows");
    return std::nullopt;
  });
}

std::string userProfileFolder(const MachineSettings& s) { return profilesDirectory() + "\\" + s.userName; }

std::string userTempFolder(const MachineSettings& s) {
  const std::string profile = userProfileFolder(s);
  const bool vistaLayout = !iequals(profilesDirectory(), "C:\\Documents and Settings");
  std::string temp = reg::getString(Hive::CurrentUser, "Environment", "TEMP",
                                    vistaLayout ? "%USERPROFILE%\\AppData\\Local\\Temp"
                                                : "%USERPROFILE%\\Local Settings\\Temp");
  return expandVariables(temp, [&](std::string_view name) -> std::optional<std::string> {
    if (iequals(name, "USERPROFILE")) return profile;
    if (iequals(name, "SystemDrive")) return std::string("C:");
    if (iequals(name, "SystemRoot") || iequals(name, "windir")) return std::string("C:\\Windows");
    if (iequals(name, "USERNAME")) return s.userName;
    return std::nullopt;
  });
}

bool createUserFolders(const MachineSettings& s, std::string* error) {
  for (const std::string& win : {userProfileFolder(s), userTempFolder(s)}) {
    auto host = hostPath(win);
    if (!host) continue;  // a folder on a drive the machine does not have
    std::error_code ec;
    fs::create_directories(*host, ec);
    if (ec) {
      if (error) *error = "cannot create " + host->string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}

// ---- Names ----------------------------------------------------------------------------

bool isValidComputerName(std::string_view name) {
  if (name.empty() || name.size() > MAX_COMPUTERNAME_LENGTH) return false;
  bool allDigits = true;
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || c == '-' || c == '_')) return false;
    if (!std::isdigit(u)) allDigits = false;
  }
  return !allDigits && name.front() != '-';
}

bool isValidUserName(std::string_view name) {
  if (name.empty() || name.size() > 20) return false;
  for (char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::string_view("\"/\\[]:;|=,+*?<>@").find(c) != std::string_view::npos) return false;
  }
  // A name of dots and blanks only would name no folder.
  return name.find_first_not_of(". ") != std::string_view::npos && name.back() != '.';
}

}  // namespace winsim
