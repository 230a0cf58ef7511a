// kvsim: entry point, command line and dispatch.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kvsim.h"
#include "machine.h"

namespace kvsim {
namespace {

std::map<std::string, Setup>& setups() {
  static std::map<std::string, Setup> table;
  return table;
}
std::map<const CLI::App*, Action>& actions() {
  static std::map<const CLI::App*, Action> table;
  return table;
}
std::map<const CLI::App*, std::string>& usages() {
  static std::map<const CLI::App*, std::string> table;
  return table;
}

// Each command's help opens with its own usage lines, which show the words
// of its sub-commands better than a generated one.
class Formatter : public CLI::Formatter {
 public:
  std::string make_usage(const CLI::App* app, std::string name) const override {
    const auto it = usages().find(app);
    return it != usages().end() ? it->second : CLI::Formatter::make_usage(app, std::move(name));
  }
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    if (mode == CLI::AppFormatMode::Sub) return make_expanded(app);
    std::stringstream out;
    out << make_usage(app, name) << make_description(app) << make_positionals(app) << make_groups(app, mode)
        << make_subcommands(app, mode) << '\n'
        << make_footer(app);
    return out.str();
  }
};

// "kvsim set os": the words of the sub-commands given, down to the last one.
const CLI::App* lastCommand(const CLI::App& app, std::string* words) {
  const CLI::App* at = &app;
  *words = "kvsim";
  for (;;) {
    const auto subs = at->get_subcommands();
    if (subs.empty()) return at;
    at = subs.front();
    *words += " " + at->get_name();
  }
}

}  // namespace

CLI::App* addCommand(CLI::App& parent, const std::string& name, const std::string& summary, const char* usage,
                     const char* help) {
  CLI::App* command = parent.add_subcommand(name, summary);
  command->footer(help ? help : "");
  if (usage) usages()[command] = usage;
  return command;
}

void onRun(CLI::App* command, Action action) { actions()[command] = std::move(action); }

Registrar::Registrar(const char* name, Setup setup) { setups()[name] = setup; }

int fail(const std::string& message) {
  std::fprintf(stderr, "kvsim: %s\n", message.c_str());
  return 2;
}

int usageError(const std::string& message) {
  std::fprintf(stderr, "kvsim: %s\n", message.c_str());
  return kExitUsage;
}

std::string rootFolder() {
  if (const char* env = std::getenv("KVSIM_ROOT"); env && *env) return env;
  return winsim::machineRoot().string();
}

}  // namespace kvsim

int main(int argc, char** argv) {
  CLI::App app{"Controls a simulated Windows machine. The machine is the folder --root names, else\n"
               "KVSIM_ROOT, else $XDG_DATA_HOME/kv_setup/machine. 'kvsim COMMAND --help' tells more.\n"
               "Exit status: 0 done; 1 a reboot could not carry out every operation; 2 the command\n"
               "failed; 64 a command line kvsim cannot use.",
               "kvsim"};
  app.formatter(std::make_shared<kvsim::Formatter>());
  kvsim::usages()[&app] = "usage: kvsim [--root DIR] COMMAND [ARGS...]\n";
  std::string root;
  app.add_option("--root", root, "the machine's folder (instead of KVSIM_ROOT)")->type_name("DIR");
  // --root may stand anywhere, before or after the command's own words: the
  // sub-commands hand what they do not know to their parent.
  app.fallthrough();
  app.require_subcommand(1);
  for (const auto& [name, setup] : kvsim::setups()) setup(app);

  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "help") args[0] = "--help";
  std::reverse(args.begin(), args.end());
  try {
    app.parse(args);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string words;
    const CLI::App* last = kvsim::lastCommand(app, &words);
    std::string message = e.what();
    // A word where a command was due: say which, not only that one is missing.
    const std::vector<std::string> left = app.remaining();
    if (!left.empty() && last->get_require_subcommand_min() > 0 && last->get_subcommands().empty())
      message = "unknown command '" + left.front() + "'";
    std::fprintf(stderr, "%s: %s\n(see %s --help)\n", words.c_str(), message.c_str(), words.c_str());
    return kvsim::kExitUsage;
  }
  if (!root.empty()) setenv("KVSIM_ROOT", root.c_str(), 1);
  winsim::resetMachineRoot();
  std::string words;
  const CLI::App* command = kvsim::lastCommand(app, &words);
  const auto it = kvsim::actions().find(command);
  if (it == kvsim::actions().end()) {
    std::fprintf(stderr, "%s: which one? (see %s --help)\n", words.c_str(), words.c_str());
    return kvsim::kExitUsage;
  }
  return it->second();
}
