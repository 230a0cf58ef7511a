// kvsim: entry point and command dispatch.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

std::map<std::string, Command>& commands() {
  static std::map<std::string, Command> table;
  return table;
}

void printUsage() {
  std::printf(
      "usage: kvsim [--root DIR] COMMAND [ARGS...]\n"
      "Controls a simulated Windows machine (default root: KVSIM_ROOT, then\n"
      "$XDG_DATA_HOME/kv_setup/machine). 'kvsim COMMAND --help' tells more.\n\ncommands:\n");
  for (auto& [name, cmd] : commands()) std::printf("  %-10s %s\n", name.c_str(), cmd.summary);
}

}  // namespace

void registerCommand(const Command& command) { commands()[command.name] = command; }

int fail(const std::string& message) {
  std::fprintf(stderr, "kvsim: %s\n", message.c_str());
  return 2;
}

std::string rootFolder() {
  if (const char* env = std::getenv("KVSIM_ROOT"); env && *env) return env;
  return winsim::machineRoot().string();
}

}  // namespace kvsim

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  // --root may stand anywhere before or after the command.
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--root") {
      if (i + 1 >= args.size()) return kvsim::fail("--root needs a folder");
      setenv("KVSIM_ROOT", args[i + 1].c_str(), 1);
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      --i;
    } else if (args[i].rfind("--root=", 0) == 0) {
      setenv("KVSIM_ROOT", args[i].substr(7).c_str(), 1);
      args.erase(args.begin() + static_cast<long>(i));
      --i;
    }
  }
  winsim::resetMachineRoot();
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    kvsim::printUsage();
    return args.empty() ? 2 : 0;
  }
  auto it = kvsim::commands().find(args[0]);
  if (it == kvsim::commands().end()) return kvsim::fail("unknown command '" + args[0] + "' (see kvsim --help)");
  kvsim::Args rest(args.begin() + 1, args.end());
  if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
    std::printf("%s", it->second.help);
    return 0;
  }
  return it->second.run(rest);
}
