// kvsim set: change what the simulated Windows is and who uses it. Each
// change writes the machine settings and the Windows keys that mirror them
// together, so a program reading either sees the same machine.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

struct OsOptions {
  std::string release;
  bool server = false;
  bool terminal = false;
  std::string servicePack;
  bool hasServicePack = false;
};

int setOs(const OsOptions& o) {
  winsim::OsChoice choice;
  choice.kind = winsim::findOsKind(o.release);
  if (!choice.kind) return usageError("set os: unknown release '" + o.release + "'");
  choice.server = o.server;
  choice.terminal = o.terminal;
  choice.hasServicePack = o.hasServicePack;
  choice.servicePack = o.servicePack;
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
  winsim::MachineLock lock;
  const MachineSettings s = winsim::machineSettings();
  const winsim::OsKind* kind = winsim::findOsKind(s.osKind);
  if (arch != "x86" && kind && !kind->has64) return fail("set arch: " + s.osKind + " has no 64-bit edition");
  return apply(winsim::rederiveForArchitecture(s, arch));
}

int setWow64(const std::string& word) {
  const bool on = word == "on";
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  if (on && !winsim::is64BitSystem(s)) return fail("set wow64: WOW64 needs a 64-bit system (kvsim set arch amd64)");
  s.wow64 = on;
  return apply(s);
}

int setAdmin(const std::string& word) {
  const bool on = word == "on";
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.admin = on;
  return apply(s);
}

// "0x0409" or "0409" -> "0409".
std::string langDigits(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  return hex ? text.substr(2) : text;
}

int setLang(const std::string& text) {
  const DWORD lang = static_cast<DWORD>(std::strtoul(langDigits(text).c_str(), nullptr, 16));
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.langId = lang;
  return apply(s);
}

int setComputer(const std::string& name) {
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.computerName = winsim::toUpper(name);  // NetBIOS names are upper case
  return apply(s);
}

int setUser(const std::string& name) {
  winsim::MachineLock lock;
  MachineSettings s = winsim::machineSettings();
  s.userName = name;
  return apply(s);
}

// The release names of "set os", for its help and its check.
std::vector<std::string> releaseNames() {
  return {"win95", "win98", "winme", "nt4", "win2k", "xp", "vista", "win7", "win8", "win10"};
}

// Each value checked before anything is written: a malformed one is a
// command-line mistake.
void setup(CLI::App& kvsim) {
  CLI::App* set = addCommand(kvsim, "set", "set the OS release, architecture, rights, language or names",
                             "usage: kvsim [--root DIR] set os win95|win98|winme|nt4|win2k|xp|vista|win7|win8|win10\n"
                             "                              [--server] [--terminal] [--sp TEXT]\n"
                             "       kvsim set arch x86|amd64|ia64\n"
                             "       kvsim set wow64 on|off      (the program runs as a 32-bit process on x64)\n"
                             "       kvsim set admin on|off\n"
                             "       kvsim set lang 0xNNNN\n"
                             "       kvsim set computer NAME\n"
                             "       kvsim set user NAME\n",
                             "Each change writes HKLM\\SOFTWARE\\KVSim\\Machine and the Windows keys that\n"
                             "mirror it (CurrentVersion, ProductOptions, the environment, the computer name).\n"
                             "'set os' takes the numbers of the release's last service pack: --server\n"
                             "gives the server release of the same code base, --terminal adds terminal\n"
                             "services, --sp replaces the service-pack text. A release without a 64-bit\n"
                             "edition turns the machine into an x86 one.\n");
  set->require_subcommand(1);

  static OsOptions os;
  CLI::App* osCmd = addCommand(*set, "os", "the Windows release",
                               "usage: kvsim [--root DIR] set os RELEASE [--server] [--terminal] [--sp TEXT]\n");
  osCmd->add_option("RELEASE", os.release, "win95, win98, winme, nt4, win2k, xp, vista, win7, win8 or win10")
      ->required()
      ->check(CLI::IsMember(releaseNames()));
  osCmd->add_flag("--server", os.server, "the server release of the same code base");
  osCmd->add_flag("--terminal", os.terminal, "with terminal services");
  osCmd->add_option("--sp", os.servicePack, "the service-pack text instead of the release's last one")
      ->check([](const std::string& text) {
        return text.size() > 127 ? std::string("the service-pack text is longer than 127 characters") : std::string();
      });
  onRun(osCmd, [osCmd] {
    os.hasServicePack = osCmd->count("--sp") > 0;
    return setOs(os);
  });

  static std::string arch, wow64, admin, lang, computer, user;
  CLI::App* archCmd = addCommand(*set, "arch", "the processor architecture", "usage: kvsim set arch x86|amd64|ia64\n");
  archCmd->add_option("ARCH", arch, "x86, amd64 or ia64")->required()->check(CLI::IsMember({"x86", "amd64", "ia64"}));
  onRun(archCmd, [] { return setArch(arch); });

  CLI::App* wowCmd = addCommand(*set, "wow64", "the program runs as a 32-bit process on x64",
                                "usage: kvsim set wow64 on|off\n");
  wowCmd->add_option("ON_OFF", wow64, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
  onRun(wowCmd, [] { return setWow64(wow64); });

  CLI::App* adminCmd = addCommand(*set, "admin", "the user's administrator rights", "usage: kvsim set admin on|off\n");
  adminCmd->add_option("ON_OFF", admin, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
  onRun(adminCmd, [] { return setAdmin(admin); });

  CLI::App* langCmd = addCommand(*set, "lang", "the system language", "usage: kvsim set lang 0xNNNN\n");
  langCmd->add_option("LANGID", lang, "a language id such as 0x0409")->required()->check([](const std::string& text) {
    const std::string digits = langDigits(text);
    if (digits.empty() || digits.size() > 4 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
      return std::string("expected a language id such as 0x0409, not '" + text + "'");
    if (PRIMARYLANGID(std::strtoul(digits.c_str(), nullptr, 16)) == 0) return text + " names no language";
    return std::string();
  });
  onRun(langCmd, [] { return setLang(lang); });

  CLI::App* computerCmd = addCommand(*set, "computer", "the computer name", "usage: kvsim set computer NAME\n");
  computerCmd->add_option("NAME", computer, "1 to 15 letters, digits, '-' or '_', not digits only")
      ->required()
      ->check([](const std::string& name) {
        return winsim::isValidComputerName(name)
                   ? std::string()
                   : std::string("a computer name is 1 to 15 letters, digits, '-' or '_', not digits only");
      });
  onRun(computerCmd, [] { return setComputer(computer); });

  CLI::App* userCmd = addCommand(*set, "user", "the user's name", "usage: kvsim set user NAME\n");
  userCmd->add_option("NAME", user, "1 to 20 characters")->required()->check([](const std::string& name) {
    return winsim::isValidUserName(name)
               ? std::string()
               : std::string("a user name is 1 to 20 characters without \" / \\ [ ] : ; | = , + * ? < > @");
  });
  onRun(userCmd, [] { return setUser(user); });
}

const Registrar kRegistrar("set", setup);

}  // namespace
}  // namespace kvsim
