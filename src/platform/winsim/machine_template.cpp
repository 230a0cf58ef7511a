// winsim: the machine templates. A template is the folders under drive_c
// and the registry a new machine starts with: the machine settings and
// Windows' own version keys, the user's profile and environment, the print
// spooler's registry as a clean installation has it (environments, monitors,
// the print processor, the local ports, no printers) and the services it
// runs with.
#include <string>
#include <vector>

#include "advapi32/registry_store.h"
#include "machine.h"
#include "machine_settings.h"

namespace winsim {
namespace {

struct Template {
  const char* name;
  const char* osKind;
  const char* architecture;
};

// The four templates; each is a workstation whose user is an administrator.
constexpr Template kTemplateTable[] = {
    {"win7-x64", "win7", "amd64"},
    {"win7-x86", "win7", "x86"},
    {"xp-x86", "xp", "x86"},
    {"win10-x64", "win10", "amd64"},
};

// A spooler environment as Windows registers it: its folder under
// spool\drivers and the driver version its drivers are filed under.
struct SpoolerEnvironment {
  const char* name;
  const char* directory;
  const char* driverVersion;
};

constexpr const char* kPrint = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print";
constexpr const char* kServices = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

std::vector<SpoolerEnvironment> environmentsOf(const MachineSettings& s) {
  std::vector<SpoolerEnvironment> envs = {{"Windows NT x86", "W32X86", "Version-3"},
                                          {"Windows x64", "x64", "Version-3"}};
  // The environment of the 95 family's drivers was dropped in Windows 8.
  const bool hasWin40 = s.majorVersion < 6 || (s.majorVersion == 6 && s.minorVersion <= 1);
  if (hasWin40) envs.insert(envs.begin(), {"Windows 4.0", "WIN40", "Version-0"});
  return envs;
}

std::string spoolerRegText(const MachineSettings& s) {
  std::string t;
  auto key = [&](const std::string& k) { t += "\n[" + k + "]\n"; };
  auto sz = [&](std::string_view n, std::string_view v) { t += regQuote(n) + "=" + regQuote(v) + "\n"; };
  auto dw = [&](std::string_view n, DWORD v) { t += regQuote(n) + "=" + regDword(v) + "\n"; };
  const std::string print = kPrint;

  for (const auto& env : environmentsOf(s)) {
    const std::string base = print + "\\Environments\\" + env.name;
    key(base);
    sz("Directory", env.directory);
    key(base + "\\Drivers");
    key(base + "\\Drivers\\" + env.driverVersion);
    key(base + "\\Print Processors");
    key(base + "\\Print Processors\\WinPrint");
    sz("Driver", "winprint.dll");
  }
  key(print + "\\Monitors");
  key(print + "\\Monitors\\Local Port");
  sz("Driver", "localspl.dll");
  key(print + "\\Monitors\\Standard TCP/IP Port");
  sz("Driver", "tcpmon.dll");
  key(print + "\\Monitors\\Standard TCP/IP Port\\Ports");
  dw("StatusUpdateEnabled", 1);
  dw("StatusUpdateInterval", 10);
  key(print + "\\Printers");
  sz("DefaultSpoolDirectory", "C:\\Windows\\system32\\spool\\PRINTERS");
  key(print + "\\Providers");
  key(print + "\\Forms");
  // The local monitor's ports are listed where Windows lists them.
  key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
  sz("LPT1:", "");
  sz("COM1:", "9600,n,8,1");
  sz("FILE:", "");
  return t;
}

std::string serviceRegText(const MachineSettings& s) {
  const bool vista = s.majorVersion >= 6;
  std::string t;
  auto key = [&](const std::string& k) { t += "\n[" + std::string(kServices) + "\\" + k + "]\n"; };
  auto sz = [&](std::string_view n, std::string_view v) { t += regQuote(n) + "=" + regQuote(v) + "\n"; };
  auto dw = [&](std::string_view n, DWORD v) { t += regQuote(n) + "=" + regDword(v) + "\n"; };
  auto ex = [&](std::string_view n, std::string_view v) { t += regQuote(n) + "=" + regExpandSz(v) + "\n"; };
  auto multi = [&](std::string_view n, const std::vector<std::string>& v) {
    t += regQuote(n) + "=" + regMultiSz(v) + "\n";
  };

  key("RpcSs");
  sz("DisplayName", "Remote Procedure Call (RPC)");
  ex("ImagePath", "%SystemRoot%\\system32\\svchost.exe -k rpcss");
  dw("Type", 0x20);
  dw("Start", 2);
  dw("ErrorControl", 1);
  sz("ObjectName", "NT AUTHORITY\\NetworkService");
  if (vista) {
    key("HTTP");
    sz("DisplayName", "HTTP");
    ex("ImagePath", "system32\\drivers\\HTTP.sys");
    dw("Type", 1);
    dw("Start", 3);
    dw("ErrorControl", 1);
  }
  key("Spooler");
  sz("DisplayName", "Print Spooler");
  ex("ImagePath", "%SystemRoot%\\System32\\spoolsv.exe");
  // XP's spooler may interact with the desktop; later ones may not.
  dw("Type", vista ? 0x10 : 0x110);
  dw("Start", 2);
  dw("ErrorControl", 1);
  sz("Group", "SpoolerGroup");
  sz("ObjectName", "LocalSystem");
  multi("DependOnService", vista ? std::vector<std::string>{"RPCSS", "http"} : std::vector<std::string>{"RPCSS"});
  key("Fax");
  sz("DisplayName", "Fax");
  ex("ImagePath", "%systemroot%\\system32\\fxssvc.exe");
  dw("Type", 0x10);
  dw("Start", 3);
  dw("ErrorControl", 1);
  sz("ObjectName", vista ? "NT AUTHORITY\\NetworkService" : "LocalSystem");
  multi("DependOnService", {"RpcSs", "Spooler"});
  // The server service shares the printer drivers folder as print$ for
  // clients that connect to this machine's printers; the administrative
  // shares (ADMIN$, C$, IPC$) it makes itself and never records.
  key("LanmanServer");
  sz("DisplayName", "Server");
  ex("ImagePath", "%SystemRoot%\\system32\\svchost.exe -k netsvcs");
  dw("Type", 0x20);
  dw("Start", 2);
  dw("ErrorControl", 1);
  sz("ObjectName", "LocalSystem");
  key("LanmanServer\\Parameters");
  key("LanmanServer\\Shares");
  multi("print$", {"CSCFlags=0", "MaxUses=4294967295", "Path=C:\\Windows\\system32\\spool\\drivers",
                   "Permissions=0", "Remark=Printer Drivers", "Type=0"});
  return t;
}

std::string templateRegText(const MachineSettings& s, const std::string& profiles, bool vistaLayout) {
  std::string t = settingsRegText(s, profiles);
  auto line = [&](std::string_view n, const std::string& v) { t += regQuote(n) + "=" + v + "\n"; };
  t += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList]\n";
  line("ProfilesDirectory", regExpandSz(vistaLayout ? "%SystemDrive%\\Users" : "%SystemDrive%\\Documents and Settings"));
  if (vistaLayout) {
    line("ProgramData", regExpandSz("%SystemDrive%\\ProgramData"));
    line("Public", regExpandSz("%SystemDrive%\\Users\\Public"));
    line("Default", regExpandSz("%SystemDrive%\\Users\\Default"));
  } else {
    line("AllUsersProfile", regQuote("All Users"));
    line("DefaultUserProfile", regQuote("Default User"));
  }
  t += "\n[HKEY_CURRENT_USER\\Environment]\n";
  const char* temp = vistaLayout ? "%USERPROFILE%\\AppData\\Local\\Temp" : "%USERPROFILE%\\Local Settings\\Temp";
  line("TEMP", regExpandSz(temp));
  line("TMP", regExpandSz(temp));
  t += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KVSim\\Faults]\n";
  t += spoolerRegText(s);
  t += serviceRegText(s);
  return t;
}

std::vector<std::string> templateFolders(const MachineSettings& s, bool vistaLayout) {
  std::vector<std::string> f = {
      "Windows/system32/spool/drivers/color",
      "Windows/system32/spool/drivers/w32x86/3",
      "Windows/system32/spool/prtprocs/w32x86",
      "Windows/system32/spool/PRINTERS",
      "Windows/system32/drivers",
      "Windows/inf",
      "Windows/Temp",
      "Program Files/Common Files",
  };
  if (is64BitSystem(s)) {
    for (const char* d : {"Windows/system32/spool/drivers/x64/3", "Windows/system32/spool/prtprocs/x64",
                          "Windows/SysWOW64", "Program Files (x86)/Common Files"})
      f.push_back(d);
  }
  if (environmentsOf(s).front().name == std::string("Windows 4.0")) f.push_back("Windows/system32/spool/drivers/win40/0");
  if (vistaLayout) {
    f.push_back("ProgramData");
    f.push_back("Users/Public");
    f.push_back("Users/Default");
  } else {
    f.push_back("Documents and Settings/All Users");
    f.push_back("Documents and Settings/Default User");
  }
  return f;
}

}  // namespace

bool populateTemplate(const fs::path& root, std::string_view templateName, std::string* error) {
  const Template* templ = nullptr;
  for (const auto& t : kTemplateTable) {
    if (templateName == t.name) templ = &t;
  }
  if (!templ) {
    if (error) *error = "unknown template '" + std::string(templateName) + "'";
    return false;
  }
  MachineSettings base;
  base.architecture = templ->architecture;
  OsChoice choice;
  choice.kind = findOsKind(templ->osKind);
  MachineSettings s;
  if (!choice.kind || !settingsForOs(base, choice, &s, error)) return false;
  const bool vistaLayout = s.majorVersion >= 6;
  const std::string profiles = vistaLayout ? "C:\\Users" : "C:\\Documents and Settings";

  std::error_code ec;
  for (const auto& folder : templateFolders(s, vistaLayout)) {
    fs::create_directories(root / "drive_c" / folder, ec);
    if (ec) {
      if (error) *error = "cannot create " + (root / "drive_c" / folder).string() + ": " + ec.message();
      return false;
    }
  }
  std::string importError;
  if (!reg::importText(templateRegText(s, profiles, vistaLayout), &importError)) {
    if (error) *error = "template registry: " + importError;
    return false;
  }
  // Run states of the services: the spooler, the service that depends on it
  // and the server service are running, as on a machine that has just started.
  if (!atomicWriteFile(root / "services.state", "RpcSs\trunning\nSpooler\trunning\nFax\trunning\nLanmanServer\trunning\n")) {
    if (error) *error = "cannot write " + (root / "services.state").string();
    return false;
  }
  if (!installPrinterCore(root, s, error)) return false;
  return createUserFolders(s, error);
}

}  // namespace winsim
