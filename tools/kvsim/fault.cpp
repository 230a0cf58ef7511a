// kvsim fault: set, clear and list the machine's fault knobs
// (HKLM\SOFTWARE\KVSim\Faults), which make the simulated system misbehave
// on purpose.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "advapi32/registry_store.h"
#include "faults.h"
#include "kvsim.h"

namespace kvsim {
namespace {

namespace reg = winsim::reg;
using reg::Hive;

// A whole decimal or 0x-prefixed hexadecimal number that fits a DWORD.
bool parseNumber(const std::string& text, DWORD* out) {
  if (text.empty() || text.size() > 12) return false;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
    return false;
  const unsigned long long v = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
  if (v > 0xFFFFFFFFull) return false;
  *out = static_cast<DWORD>(v);
  return true;
}

int listFaults() {
  for (const auto& [name, value] : [] {
         std::vector<std::pair<std::string, reg::Value>> v;
         reg::inspect(Hive::LocalMachine, [&](const reg::Editor& h) { v = h.values(winsim::faults::kFaultsKey); });
         return v;
       }()) {
    if (value.type == REG_DWORD && value.data.size() >= 4) {
      std::printf("%s\t%u\n", name.c_str(), reg::getDword(Hive::LocalMachine, winsim::faults::kFaultsKey, name));
    } else {
      std::printf("%s\t%s\n", name.c_str(), reg::getString(Hive::LocalMachine, winsim::faults::kFaultsKey, name).c_str());
    }
  }
  return 0;
}

int setFault(const std::string& name, const std::string& text) {
  DWORD number = 0;
  const bool ok = parseNumber(text, &number)
                      ? reg::setDword(Hive::LocalMachine, winsim::faults::kFaultsKey, name, number)
                      : reg::setString(Hive::LocalMachine, winsim::faults::kFaultsKey, name, text);
  if (!ok) return fail("fault set: the knob '" + name + "' cannot be written");
  return 0;
}

int clearFaults(const std::string& name) {
  if (!name.empty()) {
    if (!reg::deleteValue(Hive::LocalMachine, winsim::faults::kFaultsKey, name))
      return fail("fault clear: no knob named '" + name + "' is set");
    return 0;
  }
  const bool ok = reg::transact(Hive::LocalMachine, [](reg::Editor& h) {
    for (const auto& n : h.valueNames(winsim::faults::kFaultsKey)) h.deleteValue(winsim::faults::kFaultsKey, n);
    return true;
  });
  return ok ? 0 : fail("fault clear: the knobs cannot be written");
}

void setup(CLI::App& kvsim) {
  CLI::App* fault = addCommand(kvsim, "fault", "set, clear or list the machine's fault knobs",
                               "usage: kvsim [--root DIR] fault set NAME VALUE\n"
                               "       kvsim [--root DIR] fault clear [NAME]\n"
                               "       kvsim [--root DIR] fault list\n",
                     "A knob is a value of HKLM\\SOFTWARE\\KVSim\\Faults; a VALUE that is a number\n"
                     "(decimal or 0x...) is stored as a DWORD, any other as text. Knobs:\n"
                     "  DiskFull 1                      every write fails for lack of space\n"
                     "  Spooler.<Function> CODE         that spooler call fails with CODE\n"
                     "                                  (e.g. Spooler.AddPrinterDriverExA 5)\n"
                     "  Spooler.ListGrows N             the next N enumerations find their list\n"
                     "                                  grown since the size was asked\n"
                     "  ServiceRefusesStop LIST         the services refuse the stop control\n"
                     "  ServiceNeverStops LIST          a stop is accepted but never ends\n"
                     "  ServiceStopQueries N            ... until the Nth status query after it\n"
                     "  ServiceBrokenPipeOnStop LIST    the stop answers ERROR_BROKEN_PIPE\n"
                     "  ServiceFailsToStart LIST        a start fails\n"
                     "  HoldAt LIST                     those calls wait until the knob is\n"
                     "                                  cleared (SetupCopyOEMInfA,\n"
                     "                                  SetupDecompressOrCopyFileA, ControlService\n"
                     "                                  for a stop, StartServiceA, any Spooler\n"
                     "                                  function); HeldAt names the call held\n"
                     "LIST is service names separated by commas, or * for every service.\n"
                     "clear without NAME removes every knob. list: one knob a line (name, value).\n");
  fault->require_subcommand(1);
  static std::string name, value, clearName;
  CLI::App* set = addCommand(*fault, "set", "set a knob", "usage: kvsim [--root DIR] fault set NAME VALUE\n");
  set->add_option("NAME", name, "the knob")->required()->check([](const std::string& text) {
    return text.empty() ? std::string("the knob's name is empty") : std::string();
  });
  set->add_option("VALUE", value, "a number (decimal or 0x...) is stored as a DWORD, anything else as text")
      ->required();
  onRun(set, [] { return setFault(name, value); });
  CLI::App* clear = addCommand(*fault, "clear", "remove one knob, or every knob",
                               "usage: kvsim [--root DIR] fault clear [NAME]\n");
  clear->add_option("NAME", clearName, "the knob (every knob without it)");
  onRun(clear, [] { return clearFaults(clearName); });
  CLI::App* list = addCommand(*fault, "list", "one knob a line (name, value)", "usage: kvsim [--root DIR] fault list\n");
  onRun(list, listFaults);
}

const Registrar kRegistrar("fault", setup);

}  // namespace
}  // namespace kvsim
