// kvsim set: change what the simulated Windows is and who uses it. Each
// change writes the machine settings and the Windows keys that mirror them
// together, so a program reading either sees the same machine.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kvsim.h"
#include "machine.h"
#include "machine_settings.h"

namespace kvsim {
namespace {

using winsim::MachineSettings;

int apply(const MachineSettings& s) {
  std::string error;
  if (!winsim::applySettings(s, &error)) return fail("set: " + error);
  return 0;
}

bool parseOnOff(const std::string& word, bool* value) {
  if (word == "on") *value = true;
  else if (word == "off") *value = false;
  else return false;
  return true;
}

int setOs(const Args& args) {
  if (args.empty()) return fail("set os: which release? (see kvsim set --help)");
  winsim::OsChoice choice;
  choice.kind = winsim::findOsKind(args[0]);
  if (!choice.kind) return fail("set os: unknown release '" + args[0] + "'");
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--server") choice.server = true;
    else if (args[i] == "--terminal") choice.terminal = true;
    else if (args[i] == "--sp" && i + 1 < args.size()) {
      choice.hasServicePack = true;
      choice.servicePack = args[++i];
    } else if (args[i].rfind("--sp=", 0) == 0) {
      choice.hasServicePack = true;
      choice.servicePack = args[i].substr(5);
    } else {
      return fail("set os: unexpected argument '" + args[i] + "'");
    }
  }
  if (choice.servicePack.size() > 127) return fail("set os: the service-pack text is longer than 127 characters");
  winsim::MachineLock lock;
  const MachineSettings before = winsim::machineSettings();
  MachineSettings after;
  std::string error;
  if (!winsim::settingsForOs(before, choice, &after, &error)) return fail("set os: " + error);
  if (after.architecture != before.architecture)
    std::printf("%s has no 64-bit edition: the machine is now x86\n", choice.kind->name);
  return apply(after);
}

int setArch(const std::string& arch) {
  if (arch != "x86" && arch != "amd64" && arch != "ia64") return fail("set arch: expected x86, amd64 or ia64");
  winsim::MachineLock lock;
  const MachineSettings s = winsim::machineSettings();
  const winsim::OsKind* kind = winsim::findOsKind(s.osKind);
  if (arch != "x86" && kind && !kind->has64) return fail("set arch: " + s.osKind + " has no 64-bit edition");
  return apply(winsim::rederiveForArchitecture(s, arch));
}

int setWow64(const std::string& word) {
  bool on = false;
  if (!parseOnOff(word, &on)) return fail("set wow64: expected on or off");
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  if (on && !winsim::is64BitSystem(s)) return fail("set wow64: WOW64 needs a 64-bit system (kvsim set arch amd64)");
  s.wow64 = on;
  return apply(s);
}

int setAdmin(const std::string& word) {
  bool on = false;
  if (!parseOnOff(word, &on)) return fail("set admin: expected on or off");
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.admin = on;
  return apply(s);
}

int setLang(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 4 ||
      digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return fail("set lang: expected a language id such as 0x0409");
  const DWORD lang = static_cast<DWORD>(std::strtoul(digits.c_str(), nullptr, 16));
  if (PRIMARYLANGID(lang) == 0) return fail("set lang: " + text + " names no language");
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.langId = lang;
  return apply(s);
}

int setComputer(const std::string& name) {
  if (!winsim::isValidComputerName(name))
    return fail("set computer: a computer name is 1 to 15 letters, digits, '-' or '_', not digits only");
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.computerName = winsim::toUpper(name);  // NetBIOS names are upper case
  return apply(s);
}

int setUser(const std::string& name) {
  if (!winsim::isValidUserName(name))
    return fail("set user: a user name is 1 to 20 characters without \" / \\ [ ] : ; | = , + * ? < > @");
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.userName = name;
  return apply(s);
}

int runSet(const Args& args) {
  if (args.empty()) return fail("set: what to set? (see kvsim set --help)");
  const std::string& what = args[0];
  const Args rest(args.begin() + 1, args.end());
  if (what == "os") return setOs(rest);
  if (rest.size() != 1) return fail("set " + what + ": expected one value");
  if (what == "arch") return setArch(rest[0]);
  if (what == "wow64") return setWow64(rest[0]);
  if (what == "admin") return setAdmin(rest[0]);
  if (what == "lang") return setLang(rest[0]);
  if (what == "computer") return setComputer(rest[0]);
  if (what == "user") return setUser(rest[0]);
  return fail("set: unknown setting '" + what + "'");
}

const Registrar reg({"set", "set the OS release, architecture, rights, language or names",
                     "usage: kvsim [--root DIR] set os win95|win98|winme|nt4|win2k|xp|vista|win7|win8|win10\n"
                     "                              [--server] [--terminal] [--sp TEXT]\n"
                     "       kvsim set arch x86|amd64|ia64\n"
                     "       kvsim set wow64 on|off      (the program runs as a 32-bit process on x64)\n"
                     "       kvsim set admin on|off\n"
                     "       kvsim set lang 0xNNNN\n"
                     "       kvsim set computer NAME\n"
                     "       kvsim set user NAME\n"
                     "Each change writes HKLM\\SOFTWARE\\KVSim\\Machine and the Windows keys that\n"
                     "mirror it (CurrentVersion, ProductOptions, the environment, the computer name).\n"
                     "'set os' takes the numbers of the release's last service pack: --server\n"
                     "gives the server release of the same code base, --terminal adds terminal\n"
                     "services, --sp replaces the service-pack text. A release without a 64-bit\n"
                     "edition turns the machine into an x86 one.\n",
                     runSet});

}  // namespace
}  // namespace kvsim
