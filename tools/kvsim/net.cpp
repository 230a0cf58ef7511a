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


int runAdd(const Args& args) {
  std::string address, model, description;
  bool unreachable = false;
  double delay = 0;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--unreachable") {
      unreachable = true;
    } else if (a == "--description" || a == "--delay") {
      if (i + 1 >= args.size()) return fail("net add: " + a + " needs a value");
      const std::string& v = args[++i];
      if (a == "--description") {
        description = v;
      } else {
        char* end = nullptr;
        delay = std::strtod(v.c_str(), &end);
        if (v.empty() || *end || !std::isfinite(delay) || delay < 0 || delay > kMaxDelaySeconds)
          return fail("net add: --delay expects seconds from 0 to 3600, not '" + v + "'");
      }
    } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
      return fail("net add: unknown option '" + a + "'");
    } else {
      positional.push_back(a);
    }
  }
  if (positional.size() != 2) return fail("net add: expected ADDRESS MODEL");
  address = positional[0];
  model = positional[1];
  if (address.empty()) return fail("net add: the address is empty");
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

int runNet(const Args& args) {
  if (args.empty()) return fail("net: expected add, list or clear (see kvsim net --help)");
  const std::string& verb = args[0];
  if (verb == "add") return runAdd(args);
  if (args.size() != 1) return fail("net " + verb + ": no arguments expected");
  if (verb == "clear") {
    if (reg::keyExists(Hive::LocalMachine, kNetworkKey) && !reg::deleteKeyTree(Hive::LocalMachine, kNetworkKey))
      return fail("net clear: the machine's registry cannot be written");
    return 0;
  }
  if (verb != "list") return fail("net: unknown action '" + verb + "'");
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

const Registrar kNetCommand({"net", "printers on the simulated network (the stand-in network library)",
                     "usage: kvsim [--root DIR] net add ADDRESS MODEL [--description TEXT] [--unreachable]\n"
                     "                                  [--delay SECONDS]\n"
                     "       kvsim [--root DIR] net list\n"
                     "       kvsim [--root DIR] net clear\n"
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
                     "milliseconds), so a .reg file fills the same network under Wine.\n",
                     runNet});

}  // namespace
}  // namespace kvsim
