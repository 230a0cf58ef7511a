// kvsim net: the printers the stand-in network library finds on the machine's
// network. One key per printer under HKLM\SOFTWARE\KVSim\Network, numbered in
// the order they were added, which is the order the library discovers them.
// A test under Wine fills the same key with "reg import".
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "advapi32/registry_store.h"
#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

namespace reg = winsim::reg;
using reg::Hive;

constexpr const char* kNetworkKey = "SOFTWARE\\KVSim\\Network";
constexpr double kMaxDelaySeconds = 3600;

// "Printer000001", "Printer000002", ...: the numbers keep the key order of
// the registry equal to the order of adding.
std::string printerKeyName(unsigned n) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "Printer%06u", n);
  return sz;
}

struct AddOptions {
  std::string address, model, description;
  bool unreachable = false;
  double delay = 0;
};

int runAdd(const AddOptions& o) {
  const std::string& address = o.address;
  const std::string& model = o.model;
  const std::string& description = o.description;
  const bool unreachable = o.unreachable;
  const double delay = o.delay;
  if (!std::isfinite(delay) || delay < 0 || delay > kMaxDelaySeconds)
    return usageError("net add: --delay expects seconds from 0 to 3600");
  // Line breaks cannot be stored in the machine's registry; other odd
  // characters can, so that tests can offer the program hostile printers.
  if (address.find_first_of("\r\n") != std::string::npos || model.find_first_of("\r\n") != std::string::npos ||
      description.find_first_of("\r\n") != std::string::npos)
    return fail("net add: the address, model and description cannot hold line breaks");
  const DWORD delayMs = static_cast<DWORD>(std::llround(delay * 1000));
  std::string keyName;
  const bool ok = reg::transact(Hive::LocalMachine, [&](reg::Editor& h) {
    unsigned next = 1;
    for (const auto& k : h.subKeys(kNetworkKey)) {
      if (k.size() == 13 && k.compare(0, 7, "Printer") == 0) {
        const unsigned n = static_cast<unsigned>(std::strtoul(k.c_str() + 7, nullptr, 10));
        if (n >= next) next = n + 1;
      }
    }
    if (next > 999999) return false;
    keyName = printerKeyName(next);
    const std::string path = std::string(kNetworkKey) + "\\" + keyName;
    return h.createKey(path) && h.setString(path, "Address", address) && h.setString(path, "Model", model) &&
           h.setString(path, "Description", description) && h.setDword(path, "Unreachable", unreachable ? 1 : 0) &&
           h.setDword(path, "Delay", delayMs);
  });
  if (!ok) return fail("net add: the machine's registry cannot be written");
  return 0;
}

int clearNetwork() {
  if (reg::keyExists(Hive::LocalMachine, kNetworkKey) && !reg::deleteKeyTree(Hive::LocalMachine, kNetworkKey))
    return fail("net clear: the machine's registry cannot be written");
  return 0;
}

int listNetwork() {
  reg::inspect(Hive::LocalMachine, [](const reg::Editor& h) {
    for (const auto& k : h.subKeys(kNetworkKey)) {
      const std::string path = std::string(kNetworkKey) + "\\" + k;
      std::printf("%s\t%s\t%s", h.getString(path, "Address").c_str(), h.getString(path, "Model").c_str(),
                  h.getString(path, "Description").c_str());
      if (h.getDword(path, "Unreachable")) std::printf("\tunreachable");
      if (const DWORD d = h.getDword(path, "Delay")) std::printf("\tdelay=%g", d / 1000.0);
      std::printf("\n");
    }
  });
  return 0;
}

void setup(CLI::App& kvsim) {
  CLI::App* net = addCommand(
      kvsim, "net", "printers on the simulated network (the stand-in network library)",
      "usage: kvsim [--root DIR] net add ADDRESS MODEL [--description TEXT] [--unreachable]\n"
      "                                  [--delay SECONDS]\n"
      "       kvsim [--root DIR] net list\n"
      "       kvsim [--root DIR] net clear\n",
      "add: puts a printer on the machine's network. The stand-in library\n"
      "NETDLL\\NQCORE64.DLL (NQCORE.DLL) discovers the printers in the order they were\n"
      "added and reports ADDRESS, MODEL and TEXT as they are given. --unreachable: the\n"
      "printer is listed but cannot be opened. --delay: the printer takes that many\n"
      "seconds of machine time (KVSIM_TIMESCALE) to answer in every enumeration, so a\n"
      "search can be stopped while it runs. Example:\n"
      "  kvsim net add 192.168.1.20 'KV Laser 4000' --description 'Floor 2'\n"
      "list: one printer a line: address, model, description, then 'unreachable'\n"
      "and 'delay=SECONDS' when set, tab-separated.\n"
      "clear: takes every printer off the network.\n"
      "The printers live under HKLM\\SOFTWARE\\KVSim\\Network (one key per printer with\n"
      "the values Address, Model, Description, Unreachable and Delay in machine\n"
      "milliseconds), so a .reg file fills the same network under Wine.\n");
  net->require_subcommand(1);
  static AddOptions o;
  CLI::App* add = addCommand(*net, "add", "put a printer on the network",
                             "usage: kvsim [--root DIR] net add ADDRESS MODEL [--description TEXT] [--unreachable]\n"
                             "                                  [--delay SECONDS]\n");
  add->add_option("ADDRESS", o.address, "the printer's address")->required()->check([](const std::string& text) {
    return text.empty() ? std::string("the address is empty") : std::string();
  });
  add->add_option("MODEL", o.model, "the model the library reports")->required();
  add->add_option("--description", o.description, "the description the library reports");
  add->add_flag("--unreachable", o.unreachable, "listed, but it cannot be opened");
  add->add_option("--delay", o.delay, "seconds of machine time it takes to answer (0 to 3600)")
      ->check(CLI::Range(0.0, kMaxDelaySeconds));
  onRun(add, [] { return runAdd(o); });
  CLI::App* list = addCommand(*net, "list", "one printer a line", "usage: kvsim [--root DIR] net list\n");
  onRun(list, listNetwork);
  CLI::App* clear = addCommand(*net, "clear", "take every printer off the network",
                               "usage: kvsim [--root DIR] net clear\n");
  onRun(clear, clearNetwork);
}

const Registrar kRegistrar("net", setup);

}  // namespace
}  // namespace kvsim
